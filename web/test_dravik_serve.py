"""The server's pure parts: the game's name rule, and the keys read in a page's RFB
messages, which start a game against the computer and keep a game from idling out."""
import unittest

import dravik_serve as serve


class Names(unittest.TestCase):
    def test_the_game_takes_one_to_eight_bytes_and_no_option(self):
        for name, taken in [('anna', True), ('ÅÅÅÅÅ', False), ('ÅsaÅsa', True), ('12345678', True),
                            ('123456789', False), ('', False), ('-p2', False), ('a\nb', False),
                            (' anna', False), (None, False)]:
            self.assertEqual(serve.name_refusal(name) is None, taken, name)


class Keys(unittest.TestCase):
    HANDSHAKE = b'RFB 003.008\n' + b'\x02' + bytes(16) + b'\x01'
    MESSAGES = [bytes([0]) + bytes(19),                         # pixel format
                bytes([2, 0, 0, 2]) + bytes(8),                  # two encodings
                bytes([3]) + bytes(9),                           # update request
                bytes([5, 0]) + bytes(4),                        # pointer moved
                bytes([248, 0, 0, 0, 0, 0, 0, 0, 3]) + b'abc',   # fence
                bytes([6, 0, 0, 0, 255, 255, 255, 252]) + bytes(4),   # extended clipboard
                bytes([251, 0, 1, 32, 2, 166, 1, 0]) + bytes(16),    # desktop size
                bytes([4, 0]) + bytes(6)]                        # key released

    def presses(self, data, piece):
        count = []
        watch = serve.KeyWatch(lambda: count.append(1))
        for at in range(0, len(data), piece):
            watch(data[at:at + piece])
        return len(count)

    def test_only_presses_count_however_the_bytes_come(self):
        quiet = self.HANDSHAKE + b''.join(self.MESSAGES)
        pressed = quiet + bytes([4, 1]) + bytes(6) + bytes([255, 0, 0, 1]) + bytes(8) + bytes([5, 1]) + bytes(4)
        for piece in (1, 3, 7, len(pressed)):
            self.assertEqual(self.presses(quiet, piece), 0, piece)
            self.assertEqual(self.presses(pressed, piece), 3, piece)

    def test_a_message_not_known_counts_as_a_key_from_then_on(self):
        self.assertEqual(self.presses(self.HANDSHAKE + bytes([99, 1, 2]), 1), 3)


if __name__ == '__main__':
    unittest.main()
