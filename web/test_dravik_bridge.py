"""The bridge's own tests: what it parses, what it serves, and its WebSockets carried to a
seat that echoes, while another connection breaks the rules."""
import io
import os
import shutil
import socket
import tempfile
import threading
import unittest

import dravik_bridge as bridge
import dravik_serve as serve


class Requests(unittest.TestCase):
    def test_malformed_heads_are_refused(self):
        for head in [b'GET /', b'GET / HTTP/2', b'GET nothing HTTP/1.1', b'\xff / HTTP/1.1',
                     b'GET / HTTP/1.1\r\nno colon', b'GET / HTTP/1.1\r\n : empty name',
                     b'G-T / HTTP/1.1']:
            with self.assertRaises(bridge.Refused, msg=head) as caught:
                bridge.parse_head(head)
            self.assertEqual(caught.exception.status, 400)
        self.assertEqual(bridge.parse_head(b'GET /2/websockify?token=1 HTTP/1.1\r\nUpgrade: WebSocket'),
                         ('GET', '/2/websockify', 'token=1', 'HTTP/1.1', {'upgrade': 'WebSocket'}))

    def test_only_the_pages_own_files_are_served(self):
        with tempfile.TemporaryDirectory() as top:
            pages, novnc = os.path.join(top, 'pages'), os.path.join(top, 'novnc')
            for directory in (pages, os.path.join(novnc, 'core')):
                os.makedirs(directory)
            for name in ['pages/index.html', 'pages/watch.html', 'pages/secret', 'novnc/core/rfb.js',
                         'novnc/vnc.html']:
                open(os.path.join(top, name), 'w').close()
            os.symlink('/etc/passwd', os.path.join(novnc, 'core', 'out.js'))
            site = bridge.Site(pages, novnc, top, {'1', '2', 'watch'})
            served = [('/', '1', 'pages/index.html'), ('/2/', '1', 'pages/index.html'),
                      ('/watch/', '1', 'pages/watch.html'), ('/', 'watch', 'pages/watch.html'),
                      ('/core/rfb.js', '1', 'novnc/core/rfb.js')]
            for path, default, want in served:
                self.assertEqual(os.path.realpath(site.file(*bridge.route(path, default, site.targets))),
                                 os.path.realpath(os.path.join(top, want)), path)
            for path in ['/secret', '/core/', '/core', '/vnc.html', '/core/out.js', '/core/../vnc.html',
                         '/core/%2e%2e/vnc.html', '/%2e%2e/pages/secret', '/3/', '/7/index.html']:
                with self.assertRaises(bridge.Refused, msg=path):
                    site.file(*bridge.route(path, '1', site.targets))


class Arguments(unittest.TestCase):
    BASE = ['--pages', 'p', '--novnc', 'n', '--run', 'r']

    def test_seats_are_numbered_in_order_and_malformed_ones_refused(self):
        args = bridge.arguments(self.BASE + ['--seat', '288x348:dravik: anna', '1@127.0.0.1:6080',
                                             '--seat', '288x678:dravik', '2@127.0.0.1:6081'])
        self.assertEqual(args.seats, [(288, 348, 'dravik: anna'), (288, 678, 'dravik')])
        for seat in ['288x348', '288x348:', '288:x', 'x348:a', '288xb:c', '-1x348:a']:
            with self.assertRaises(SystemExit, msg=seat):
                bridge.arguments(self.BASE + ['--seat', seat, '1@127.0.0.1:6080'])

    def test_passwords_are_eight_letters_and_digits_and_differ(self):
        passwords = {bridge.password() for _ in range(100)}
        self.assertEqual(len(passwords), 100)
        for password in passwords:
            self.assertRegex(password, r'^[A-Za-z0-9]{8}$')


class Sockets(unittest.TestCase):
    def setUp(self):
        run = tempfile.mkdtemp()
        seat = socket.socket(socket.AF_UNIX)
        seat.bind(os.path.join(run, 'seat.1.sock'))
        seat.listen()
        server = socket.create_server(('127.0.0.1', 0))
        self.port = server.getsockname()[1]
        for cleanup in (server.close, seat.close, lambda: shutil.rmtree(run)):
            self.addCleanup(cleanup)
        self.log = io.StringIO()
        threading.Thread(target=self.echo, args=(seat,), daemon=True).start()
        args = type('Arguments', (), {'pages': run, 'novnc': run, 'run': run, 'context': None})
        threading.Thread(target=serve.Server(args, self.log, targets={'1'}).accept,
                         args=(server, '1'), daemon=True).start()

    @staticmethod
    def echo(seat):
        while True:
            connection, _ = seat.accept()
            threading.Thread(target=lambda c: [c.sendall(d) for d in iter(lambda: c.recv(100), b'')],
                             args=(connection,), daemon=True).start()

    def connect(self, path='/websockify'):
        sock = socket.create_connection(('127.0.0.1', self.port), timeout=5)
        self.addCleanup(sock.close)
        sock.sendall(f'GET {path} HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n'
                     'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n'
                     .encode())
        return sock, sock.recv(4096).decode()   # the answer's head, in one piece on loopback

    @staticmethod
    def masked(payload, length=None):
        n = len(payload) if length is None else length
        head = bytes((0x82, 0xFF)) + n.to_bytes(8, 'big') if n > 125 else bytes((0x82, 0x80 | n))
        return head + b'\0\0\0\0' + payload   # a zero mask leaves the payload as it is

    def test_seats_carry_on_while_another_connection_breaks_the_rules(self):
        sock, answer = self.connect()
        self.assertIn('Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=', answer)
        _, unknown = self.connect('/2/websockify')
        self.assertTrue(unknown.startswith('HTTP/1.1 404'), unknown)
        big, _ = self.connect()
        big.sendall(self.masked(b'', bridge.MAX_FRAME + 1))
        closing = big.recv(4)
        self.assertEqual((closing[0], closing[2:]), (0x88, (1009).to_bytes(2, 'big')))
        self.assertIn('frame of', self.log.getvalue())
        sock.sendall(self.masked(b'still') + self.masked(b' here'))
        got, payload = b'', b''
        while len(payload) < 10:   # the seat may echo both frames as one
            got += sock.recv(100)
            while len(got) >= 2 and len(got) >= 2 + got[1]:
                self.assertEqual(got[0], 0x82)
                payload, got = payload + got[2:2 + got[1]], got[2 + got[1]:]
        self.assertEqual(payload, b'still here')
