"""The bridge's own tests: what it parses, what it serves, and its WebSockets carried to a
seat that echoes, while another connection breaks the rules."""
import asyncio
import os
import tempfile
import unittest

import dravik_bridge as bridge


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
            os.makedirs(os.path.join(novnc, 'core'))
            os.makedirs(pages)
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


class Sockets(unittest.IsolatedAsyncioTestCase):
    async def asyncSetUp(self):
        self.dir = tempfile.TemporaryDirectory()
        run = self.dir.name
        self.seat = await asyncio.start_unix_server(self.echo, os.path.join(run, 'seat.1.sock'))
        self.log = open(os.devnull, 'w')
        server = bridge.Bridge(bridge.Site(run, run, run, {'1'}), self.log)
        self.server = await asyncio.start_server(lambda r, w: server.serve(r, w, '1'), '127.0.0.1', 0)
        self.port = self.server.sockets[0].getsockname()[1]

    async def asyncTearDown(self):
        for s in (self.server, self.seat):
            s.close()
        self.log.close()
        self.dir.cleanup()

    @staticmethod
    async def echo(reader, writer):
        while data := await reader.read(100):
            writer.write(data)
        writer.close()

    async def connect(self, path='/websockify'):
        reader, writer = await asyncio.open_connection('127.0.0.1', self.port)
        writer.write(f'GET {path} HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n'
                     'Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n'
                     .encode())
        return reader, writer, (await reader.readuntil(b'\r\n\r\n')).decode()

    @staticmethod
    def masked(payload, length=None):
        n = len(payload) if length is None else length
        head = bytes((0x82, 0xFF)) + n.to_bytes(8, 'big') if n > 125 else bytes((0x82, 0x80 | n))
        return head + b'\0\0\0\0' + payload   # a zero mask leaves the payload as it is

    async def test_seats_carry_on_while_another_connection_breaks_the_rules(self):
        reader, writer, answer = await self.connect()
        self.assertIn('Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=', answer)
        _, _, unknown = await self.connect('/2/websockify')
        self.assertTrue(unknown.startswith('HTTP/1.1 404'), unknown)
        big_reader, big_writer, _ = await self.connect()
        big_writer.write(self.masked(b'', bridge.MAX_FRAME + 1))
        closing = await big_reader.readexactly(4)
        self.assertEqual((closing[0], closing[2:]), (0x88, (1009).to_bytes(2, 'big')))
        writer.write(self.masked(b'still here'))
        self.assertEqual(await reader.readexactly(12), bytes((0x82, 10)) + b'still here')
        writer.close()
