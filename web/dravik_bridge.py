#!/usr/bin/python3
"""dravik_bridge.py: the web seats' one server. It serves the players' and the onlookers'
pages (and the noVNC client they load) and carries each page's WebSocket to its seat's
VNC server, a Unix socket, for every seat and onlooker at once, in one process.

usage: dravik_bridge.py --pages DIR --novnc DIR --run DIR
                        [--cert FILE [--key FILE] --ciphers LIST] TARGET@HOST:PORT...

Each TARGET@HOST:PORT is a listening port and what its address opens: a seat's number
(its VNC server at RUN/seat.N.sock) or 'watch', the onlookers' page, whose WebSocket
?token=N reaches seat N through RUN/watch-seats/N once the players let onlookers in. On
any port, /N/ opens seat N and /watch/ the onlookers' page, so one port is enough.
Every port is bound before any is served: a port that another program holds ends the
bridge with a message and status 1. Passwords never pass through here in the clear:
the VNC servers check them by challenge and answer.
"""
import argparse
import asyncio
import base64
import hashlib
import os
import signal
import socket
import ssl
import sys
import urllib.parse

MAX_HEAD = 8192            # bytes of a request line and its headers
MAX_FRAME = 1 << 16        # a page sends keys, pointer and a few settings: small frames
HEAD_TIMEOUT = 30          # seconds a connection may take to send a request's head
CHUNK = 1 << 16            # bytes read from a VNC server at a time
WS_GUID = b'258EAFA5-E914-47DA-95CA-C5AB0DC85B11'
PAGES = {'seat': ('index.html', {'index.html', 'seat.js', 'page.js'}),
         'watch': ('watch.html', {'watch.html', 'watch.js', 'page.js'})}
NOVNC_PARTS = ('core', 'vendor')   # all that the pages load of noVNC
TYPES = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8'}
REASONS = {101: 'Switching Protocols', 301: 'Moved Permanently', 400: 'Bad Request',
           404: 'Not Found', 405: 'Method Not Allowed', 431: 'Request Header Fields Too Large',
           502: 'Bad Gateway'}


class Refused(Exception):
    """A request answered with an error status and a closed connection."""

    def __init__(self, status, text):
        super().__init__(text)
        self.status = status


def parse_head(head):
    """(method, path, query, version, headers) of a request's head, headers' names in
    lower case; Refused(400) when it is not HTTP/1."""
    try:
        lines = head.decode('ascii').split('\r\n')
        method, target, version = lines[0].split(' ')
    except (UnicodeDecodeError, ValueError):
        raise Refused(400, 'malformed request line') from None
    if version not in ('HTTP/1.0', 'HTTP/1.1') or not target.startswith('/') or not method.isalpha():
        raise Refused(400, 'malformed request line')
    headers = {}
    for line in lines[1:]:
        if not line:
            continue
        name, colon, value = line.partition(':')
        if not colon or not name or name != name.strip() or not name.isprintable():
            raise Refused(400, 'malformed header')
        headers[name.lower()] = value.strip()
    path, _, query = target.partition('?')
    return method, path, query, version, headers


def route(path, default, targets):
    """(target, parts) that PATH asks for on a port opening DEFAULT: /N/... and /watch/...
    name the target, anything else is the port's own. Refused(404) for a target not
    served, Refused(301) with the location for a target's name without its slash."""
    parts = urllib.parse.unquote(path).split('/')[1:]
    if parts[0] in targets or parts[0].isdigit() or parts[0] == 'watch':
        if parts[0] not in targets:
            raise Refused(404, f'no seat {parts[0]!r} here')
        if len(parts) == 1:
            raise Refused(301, f'/{parts[0]}/')
        return parts[0], parts[1:]
    return default, parts


class Site:
    """Where the pages' files and the seats' sockets are."""

    def __init__(self, pages, novnc, run, targets):
        self.pages, self.run, self.targets = pages, run, targets
        self.novnc = os.path.realpath(novnc)

    def file(self, target, parts):
        """The file that PARTS names for TARGET's page, or Refused(404): only the page's
        own files and noVNC's parts that it loads, never a directory, never a hidden
        name, never '..'."""
        kind = 'watch' if target == 'watch' else 'seat'
        first, names = PAGES[kind]
        if parts == ['']:
            return os.path.join(self.pages, first)
        if any(not p or p.startswith('.') or '\\' in p or '\0' in p for p in parts):
            raise Refused(404, 'no such file')
        if len(parts) == 1 and parts[0] in names:
            return os.path.join(self.pages, parts[0])
        if len(parts) > 1 and parts[0] in NOVNC_PARTS:
            path = os.path.realpath(os.path.join(self.novnc, *parts))
            if path.startswith(self.novnc + os.sep) and os.path.isfile(path):
                return path
        raise Refused(404, 'no such file')

    def socket(self, target, query):
        """The VNC server's socket of a WebSocket for TARGET, or Refused(404)."""
        if target == 'watch':
            seat = urllib.parse.parse_qs(query).get('token', [''])[0]
            path = os.path.join(self.run, 'watch-seats', seat) if seat.isdigit() else None
        else:
            path = os.path.join(self.run, f'seat.{target}.sock')
        if path is None or not os.path.exists(path):
            raise Refused(404, 'no such seat, or not open yet')
        return path


def accept_key(key):
    return base64.b64encode(hashlib.sha1(key.encode() + WS_GUID).digest()).decode()


def frame(opcode, payload=b''):
    """A server's WebSocket frame, final and unmasked."""
    n = len(payload)
    if n < 126:
        head = bytes((0x80 | opcode, n))
    elif n < 1 << 16:
        head = bytes((0x80 | opcode, 126)) + n.to_bytes(2, 'big')
    else:
        head = bytes((0x80 | opcode, 127)) + n.to_bytes(8, 'big')
    return head + payload


def close_frame(code, reason=''):
    return frame(8, code.to_bytes(2, 'big') + reason.encode())


class Closing(Exception):
    """Ends a WebSocket with a close frame of this code."""

    def __init__(self, code, reason):
        super().__init__(reason)
        self.code = code


async def read_frame(reader, limit=MAX_FRAME):
    """(opcode, payload) of a client's frame, unmasked; Closing for what breaks the
    protocol or passes LIMIT bytes."""
    b0, b1 = await reader.readexactly(2)
    opcode, n = b0 & 0x0F, b1 & 0x7F
    if b0 & 0x70 or not b1 & 0x80:
        raise Closing(1002, 'unmasked frame or unknown extension')
    if n == 126:
        n = int.from_bytes(await reader.readexactly(2), 'big')
    elif n == 127:
        n = int.from_bytes(await reader.readexactly(8), 'big')
    if opcode >= 8 and (n > 125 or not b0 & 0x80):
        raise Closing(1002, 'malformed control frame')
    if n > limit:
        raise Closing(1009, f'frame of {n} bytes')
    mask = await reader.readexactly(4)
    data = await reader.readexactly(n)
    whole = (mask * (n // 4 + 1))[:n]
    return opcode, (int.from_bytes(data, 'big') ^ int.from_bytes(whole, 'big')).to_bytes(n, 'big')


class Bridge:
    def __init__(self, site, log=sys.stderr):
        self.site, self.log = site, log

    def note(self, peer, text):
        print(f'{peer}: {text}', file=self.log, flush=True)

    async def serve(self, reader, writer, default):
        peer = writer.get_extra_info('peername')
        peer = peer[0] if isinstance(peer, tuple) else 'client'
        try:
            while await self.request(reader, writer, default, peer):
                pass
        except (asyncio.IncompleteReadError, asyncio.TimeoutError, ConnectionError, ssl.SSLError):
            pass
        finally:
            writer.close()

    async def request(self, reader, writer, default, peer):
        """Answers one request; whether the connection stays open for another."""
        try:
            head = await asyncio.wait_for(reader.readuntil(b'\r\n\r\n'), HEAD_TIMEOUT)
        except asyncio.LimitOverrunError:
            return self.refuse(writer, peer, Refused(431, 'request head too long'))
        except asyncio.IncompleteReadError as error:
            if error.partial.strip():
                self.refuse(writer, peer, Refused(400, 'request cut short'))
            return False
        try:
            method, path, query, version, headers = parse_head(head[:-4])
            if method not in ('GET', 'HEAD'):
                raise Refused(405, f'method {method}')
            target, parts = route(path, default, self.site.targets)
            if parts == ['websockify']:
                await self.websocket(reader, writer, target, query, headers, peer)
                return False
            with open(self.site.file(target, parts), 'rb') as file:
                body = file.read()
        except Refused as refusal:
            return self.refuse(writer, peer, refusal)
        connection = headers.get('connection', '').lower()
        keep = connection != 'close' if version == 'HTTP/1.1' else connection == 'keep-alive'
        kind = TYPES.get(os.path.splitext(parts[-1] or PAGES['seat'][0])[1], 'application/octet-stream')
        writer.write(self.head(200, 'OK', {
            'Content-Type': kind, 'Content-Length': len(body), 'Cache-Control': 'no-cache',
            'X-Content-Type-Options': 'nosniff',
            'Connection': 'keep-alive' if keep else 'close'}))
        if method == 'GET':
            writer.write(body)
        await writer.drain()
        return keep

    @staticmethod
    def head(status, reason, fields):
        lines = [f'HTTP/1.1 {status} {reason}'] + [f'{k}: {v}' for k, v in fields.items()]
        return ('\r\n'.join(lines) + '\r\n\r\n').encode()

    def refuse(self, writer, peer, refusal):
        """Answers with the refusal's status and a line saying why; the connection ends."""
        fields = {'Connection': 'close'}
        if refusal.status == 301:
            fields['Location'] = str(refusal)
            text = ''
        else:
            text = f'{refusal.status} {REASONS[refusal.status]}: {refusal}\n'
            self.note(peer, text.strip())
        body = text.encode()
        fields.update({'Content-Type': 'text/plain; charset=utf-8', 'Content-Length': len(body)})
        writer.write(self.head(refusal.status, REASONS[refusal.status], fields) + body)
        return False

    async def websocket(self, reader, writer, target, query, headers, peer):
        key = headers.get('sec-websocket-key', '')
        try:
            well_formed = len(base64.b64decode(key, validate=True)) == 16
        except ValueError:
            well_formed = False
        if (headers.get('upgrade', '').lower() != 'websocket' or not well_formed or
                'upgrade' not in headers.get('connection', '').lower() or
                headers.get('sec-websocket-version') != '13'):
            raise Refused(400, 'not a WebSocket handshake')
        path = self.site.socket(target, query)
        try:
            vnc_reader, vnc_writer = await asyncio.open_unix_connection(path)
        except OSError as error:
            raise Refused(502, f'seat {target} does not answer ({error.strerror})') from None
        fields = {'Upgrade': 'websocket', 'Connection': 'Upgrade',
                  'Sec-WebSocket-Accept': accept_key(key)}
        offered = [p.strip() for p in headers.get('sec-websocket-protocol', '').split(',')]
        if 'binary' in offered:
            fields['Sec-WebSocket-Protocol'] = 'binary'
        writer.write(self.head(101, REASONS[101], fields))
        try:
            tasks = [asyncio.ensure_future(self.to_seat(reader, writer, vnc_writer, peer)),
                     asyncio.ensure_future(self.to_page(vnc_reader, writer))]
            await asyncio.wait(tasks, return_when=asyncio.FIRST_COMPLETED)
            for task in tasks:
                task.cancel()
            await asyncio.gather(*tasks, return_exceptions=True)
        finally:
            vnc_writer.close()

    async def to_seat(self, reader, writer, vnc_writer, peer):
        try:
            while True:
                opcode, payload = await read_frame(reader)
                if opcode in (0, 1, 2):
                    vnc_writer.write(payload)
                    await vnc_writer.drain()
                elif opcode == 8:
                    writer.write(frame(8, payload[:2]))
                    return
                elif opcode == 9:
                    writer.write(frame(10, payload))
                elif opcode != 10:
                    raise Closing(1002, f'unknown opcode {opcode}')
        except Closing as closing:
            self.note(peer, f'WebSocket closed: {closing}')
            writer.write(close_frame(closing.code, str(closing)))
        except (asyncio.IncompleteReadError, ConnectionError, ssl.SSLError):
            pass

    async def to_page(self, vnc_reader, writer):
        try:
            while data := await vnc_reader.read(CHUNK):
                writer.write(frame(2, data))
                await writer.drain()
            writer.write(close_frame(1000))
        except (ConnectionError, ssl.SSLError):
            pass


def listener(spec):
    """(target, host, port) of TARGET@HOST:PORT; HOST may be [IPv6]."""
    target, at, address = spec.partition('@')
    host, colon, port = address.rpartition(':')
    if not (at and colon and port.isdigit() and (target.isdigit() or target == 'watch')):
        raise argparse.ArgumentTypeError(f'not TARGET@HOST:PORT: {spec}')
    return target, host.strip('[]'), int(port)


def tls_context(cert, key, ciphers):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.options |= ssl.OP_NO_COMPRESSION | ssl.OP_CIPHER_SERVER_PREFERENCE
    context.set_ciphers(ciphers)
    context.load_cert_chain(cert, key)
    return context


async def main(args):
    site = Site(args.pages, args.novnc, args.run, {t for t, _, _ in args.listeners})
    bridge = Bridge(site)
    context = args.cert and tls_context(args.cert, args.key, args.ciphers)
    sockets = []
    for target, host, port in args.listeners:   # every port ours before any is served
        try:
            sockets.append((target, socket.create_server(
                (host, port), family=socket.AF_INET6 if ':' in host else socket.AF_INET,
                dualstack_ipv6=host == '::')))
        except OSError as error:
            sys.exit(f'dravik_bridge.py: port {port} on {host}: {error.strerror}')
    for target, sock in sockets:
        await asyncio.start_server(
            lambda r, w, t=target: bridge.serve(r, w, t), sock=sock, limit=MAX_HEAD,
            ssl=context or None, ssl_handshake_timeout=HEAD_TIMEOUT if context else None)
    done = asyncio.Event()
    # Ctrl-C is the script's: it ends the game first, then the bridge.
    for number in (signal.SIGTERM, signal.SIGHUP):
        asyncio.get_running_loop().add_signal_handler(number, done.set)
    await done.wait()


def arguments(argv):
    parser = argparse.ArgumentParser(prog='dravik_bridge.py')
    parser.add_argument('--pages', required=True)
    parser.add_argument('--novnc', required=True)
    parser.add_argument('--run', required=True)
    parser.add_argument('--cert')
    parser.add_argument('--key')
    parser.add_argument('--ciphers', default='ECDHE+AESGCM:ECDHE+CHACHA20:ECDHE+AES:!aNULL')
    parser.add_argument('listeners', nargs='+', type=listener, metavar='TARGET@HOST:PORT')
    return parser.parse_args(argv)


if __name__ == '__main__':
    try:
        asyncio.run(main(arguments(sys.argv[1:])))
    except (OSError, ssl.SSLError) as error:
        sys.exit(f'dravik_bridge.py: {error}')
