#!/usr/bin/python3 -S
"""dravik_bridge.py: HTTP, WebSockets and TLS for the web seats, and scripts/play's
private server: dravik_serve.py's server holding exactly the seats of one game, which
the script starts on them.

usage: dravik_bridge.py --pages DIR --novnc DIR --run DIR [--seat WIDTHxHEIGHT:NAME]...
                        [--computer LEVEL --bot PATH]
                        [--cert FILE [--key FILE] [--ciphers LIST]] TARGET@HOST:PORT...

Each TARGET@HOST:PORT is a listening port and what its address opens: a seat's number
(its VNC server at RUN/seat.N.sock) or 'watch', the onlookers' page, whose WebSocket
?token=N reaches seat N through RUN/watch-seats/N once the players let onlookers in. On
any port, /N/ opens seat N and /watch/ the onlookers' page, so one port is enough.
Every port is bound before any is served: a port that another program holds ends the
server with a message and status 1. Each --seat is then started, numbered from 1, as
dravik_serve.py starts its seats (a WIDTHxHEIGHT screen whose page is titled NAME), and
the server tells on its standard output, which only its starter reads, what the game
needs: a line `seat N DISPLAY PID PASSWORD` for each (the X server's process, whose
password file is an in-memory one given as /proc/self/fd/F), and `watch PASSWORD` for
onlookers, whose view-only line its starter adds once the players are in. With
--computer, the computer opponent PATH plays at LEVEL on an X server of its own, as
the service's does, told as `computer DISPLAY`. The seats' X servers take the cookie
in RUN/seat.N.auth (the computer's, RUN/computer.1.auth), and end with the server.
Passwords never pass through here in the clear: the VNC servers check them by
challenge and answer.

Each connection has a thread, which alone reads and writes its sockets (as TLS wants),
waiting on both ends of a WebSocket at once; a slow or broken connection holds up none
but itself. Threads and blocking sockets, not asyncio, and only the modules it needs
(ssl only for HTTPS): the interpreter with asyncio loaded keeps 12 MiB of its own, this
about 5, and each run of the game has a server.
"""
import binascii
import os
import select
import signal
import socket
import sys
import threading
import time
try:
    from _sha1 import sha1   # without loading OpenSSL, which plain HTTP does without
except ImportError:
    from hashlib import sha1

# HTTPS takes TLS 1.2 and 1.3 only, and in 1.2 only suites with forward secrecy (ECDHE),
# the AEAD ones first: a recorded session stays sealed even if the key is stolen later.
# TLS 1.3's suites all have forward secrecy.
TLS_CIPHERS = 'ECDHE+AESGCM:ECDHE+CHACHA20:ECDHE+AES:!aNULL'
MAX_HEAD = 8192            # bytes of a request line and its headers
MAX_FRAME = 1 << 16        # a page sends keys, pointer and a few settings: small frames
HEAD_TIMEOUT = 30          # seconds a request's head may take, and a kept connection wait
CHUNK = 1 << 16            # bytes read from a socket at a time
MAX_CONNECTIONS = 256      # at once: a page keeps about seven
STACK = 256 << 10          # bytes of stack a connection's thread may take
WS_GUID = b'258EAFA5-E914-47DA-95CA-C5AB0DC85B11'
PAGES = {'seat': ('index.html', {'index.html', 'seat.js', 'page.js'}),
         'watch': ('watch.html', {'watch.html', 'watch.js', 'page.js'})}
NOVNC_PARTS = ('core', 'vendor')   # all that the pages load of noVNC
TYPES = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8'}
REASONS = {101: 'Switching Protocols', 200: 'OK', 301: 'Moved Permanently',
           400: 'Bad Request', 403: 'Forbidden', 404: 'Not Found', 405: 'Method Not Allowed',
           409: 'Conflict', 411: 'Length Required', 413: 'Content Too Large',
           415: 'Unsupported Media Type', 429: 'Too Many Requests',
           431: 'Request Header Fields Too Large', 502: 'Bad Gateway', 503: 'Service Unavailable'}


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
    parts = unquote(path).split('/')[1:]
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
            seat = dict(p.partition('=')[::2] for p in query.split('&')).get('token', '')
            path = os.path.join(self.run, 'watch-seats', seat) if seat.isdigit() else None
        else:
            path = os.path.join(self.run, f'seat.{target}.sock')
        if path is None or not os.path.exists(path):
            raise Refused(404, 'no such seat, or not open yet')
        return path


def unquote(text):
    """TEXT with its %XX escapes decoded, as UTF-8."""
    pieces = text.split('%')
    out = bytearray(pieces[0].encode())
    for piece in pieces[1:]:
        if len(piece) >= 2 and all(c in '0123456789abcdefABCDEF' for c in piece[:2]):
            out += bytes((int(piece[:2], 16),)) + piece[2:].encode()
        else:
            out += b'%' + piece.encode()
    return out.decode('utf-8', 'replace')


def b64(data):
    return binascii.b2a_base64(data, newline=False).decode()


def accept_key(key):
    return b64(sha1(key.encode() + WS_GUID).digest())


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


def parse_frame(buffer, limit=MAX_FRAME):
    """(opcode, payload, length) of the client's frame at BUFFER's start, unmasked, or None
    while it is incomplete; Closing for what breaks the protocol or passes LIMIT bytes,
    as soon as its header shows it."""
    if len(buffer) < 2:
        return None
    b0, b1 = buffer[0], buffer[1]
    opcode, n, at = b0 & 0x0F, b1 & 0x7F, 2
    if b0 & 0x70 or not b1 & 0x80:
        raise Closing(1002, 'unmasked frame or unknown extension')
    if n >= 126:
        at = 4 if n == 126 else 10
        if len(buffer) < at:
            return None
        n = int.from_bytes(buffer[2:at], 'big')
    if opcode >= 8 and (n > 125 or not b0 & 0x80):
        raise Closing(1002, 'malformed control frame')
    if n > limit:
        raise Closing(1009, f'frame of {n} bytes')
    if len(buffer) < at + 4 + n:
        return None
    mask, data = bytes(buffer[at:at + 4]), bytes(buffer[at + 4:at + 4 + n])
    whole = (mask * (n // 4 + 1))[:n]
    payload = (int.from_bytes(data, 'big') ^ int.from_bytes(whole, 'big')).to_bytes(n, 'big')
    return opcode, payload, at + 4 + n


class Stream:
    """A connection's socket and what has come from it but is not read yet."""

    def __init__(self, sock):
        self.sock, self.buffer = sock, bytearray()

    def fill(self):
        data = self.sock.recv(CHUNK)
        if not data:
            raise EOFError
        self.buffer += data

    def head(self):
        """A request's head, without its blank line; None when the connection ends
        between requests. The whole head must come within HEAD_TIMEOUT: a byte now and
        then keeps no connection open."""
        deadline = time.monotonic() + HEAD_TIMEOUT
        while (end := self.buffer.find(b'\r\n\r\n')) < 0 and len(self.buffer) <= MAX_HEAD:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                self.fill()
            except EOFError:
                if self.buffer.strip():
                    raise Refused(400, 'request cut short') from None
                return None
        if end < 0 or end > MAX_HEAD:
            raise Refused(431, 'request head too long')
        head = bytes(self.buffer[:end])
        del self.buffer[:end + 4]
        return head


def response_head(status, fields):
    """An answer's status line and header FIELDS."""
    lines = [f'HTTP/1.1 {status} {REASONS[status]}'] + [f'{k}: {v}' for k, v in fields.items()]
    return ('\r\n'.join(lines) + '\r\n\r\n').encode()


def upgrade_fields(headers):
    """The header fields that accept a WebSocket handshake of these HEADERS, or Refused(400)."""
    key = headers.get('sec-websocket-key', '')
    try:
        raw = binascii.a2b_base64(key)
        well_formed = len(raw) == 16 and b64(raw) == key
    except binascii.Error:
        well_formed = False
    if (headers.get('upgrade', '').lower() != 'websocket' or not well_formed or
            'upgrade' not in headers.get('connection', '').lower() or
            headers.get('sec-websocket-version') != '13'):
        raise Refused(400, 'not a WebSocket handshake')
    fields = {'Upgrade': 'websocket', 'Connection': 'Upgrade',
              'Sec-WebSocket-Accept': accept_key(key)}
    if 'binary' in offered_protocols(headers):
        fields['Sec-WebSocket-Protocol'] = 'binary'
    return fields


def offered_protocols(headers):
    return [p.strip() for p in headers.get('sec-websocket-protocol', '').split(',')]


class Lost(EOFError):
    """A page that answered no ping in time: its network has gone."""


def carry(stream, vnc, heard=None, lost_after=None):
    """Carries frames from the page to the seat and the seat's bytes back in frames,
    until either end closes. HEARD, when given, sees every payload from the page first.
    With LOST_AFTER seconds, a page quiet for half of them is pinged, and one quiet for
    all of them raises Lost: a browser answers pings by itself while it is there."""
    page = stream.sock
    poll = select.poll()
    poll.register(page, select.POLLIN)
    poll.register(vnc, select.POLLIN)
    wait = None if lost_after is None else int(lost_after * 250)
    last, pinged = time.monotonic(), False
    while True:
        while (parsed := parse_frame(stream.buffer)) is not None:
            opcode, payload, length = parsed
            del stream.buffer[:length]
            if opcode in (0, 1, 2):
                if heard:
                    heard(payload)
                vnc.sendall(payload)
            elif opcode == 8:
                page.sendall(frame(8, payload[:2]))
                return
            elif opcode == 9:
                page.sendall(frame(10, payload))
            elif opcode != 10:
                raise Closing(1002, f'unknown opcode {opcode}')
        # TLS may hold decrypted bytes that the socket no longer shows.
        pending = hasattr(page, 'pending') and page.pending()
        ready = {fd for fd, _ in poll.poll(0 if pending else wait)}
        if pending or page.fileno() in ready:
            stream.fill()
            last, pinged = time.monotonic(), False
        elif lost_after is not None:
            quiet = time.monotonic() - last
            if quiet > lost_after:
                raise Lost
            if quiet > lost_after / 2 and not pinged:
                page.sendall(frame(9))
                pinged = True
        if vnc.fileno() in ready:
            data = vnc.recv(CHUNK)
            if not data:
                page.sendall(close_frame(1000))
                return
            page.sendall(frame(2, data))


def listener(text):
    """(target, host, port) of TARGET@HOST:PORT; HOST may be [IPv6]."""
    target, at, address = text.partition('@')
    host, colon, port = address.rpartition(':')
    if not (at and colon and port.isdigit() and (target.isdigit() or target == 'watch')):
        raise ValueError(f'not TARGET@HOST:PORT: {text}')
    return target, host.strip('[]'), int(port)


def tls_context(cert, key, ciphers):
    import ssl
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.options |= ssl.OP_NO_COMPRESSION | ssl.OP_CIPHER_SERVER_PREFERENCE
    context.set_ciphers(ciphers)
    context.load_cert_chain(cert, key)
    return context


def main(args):
    import dravik_serve as serve
    args.context = args.cert and tls_context(args.cert, args.key, args.ciphers)
    server = serve.Server(args, targets={t for t, _, _ in args.listeners})
    listening = []
    for target, host, port in args.listeners:   # every port ours before any is served
        try:
            listening.append((target, socket.create_server(
                (host, port), family=socket.AF_INET6 if ':' in host else socket.AF_INET,
                dualstack_ipv6=host == '::')))
        except OSError as error:
            sys.exit(f'dravik_bridge.py: port {port} on {host}: {error.strerror}')
    # Ctrl-C is the script's: it ends the game first, then the bridge.
    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, lambda *_: sys.exit(0))
    game = serve.Game(1, 'private', args.computer)
    try:
        if args.seats:
            server.start_private(game, args.seats)
            tell(game)
        threading.stack_size(STACK)
        for target, sock in listening:
            threading.Thread(target=server.accept, args=(sock, target), daemon=True).start()
        while True:
            signal.pause()
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)   # the seats end whatever comes
        for seat in game.seats:
            server.discard(seat, game)
        server.wait_carried()


def tell(game):
    """Tells the starter, on the standard output, what GAME's process needs."""
    for seat in game.seats:
        print(f'seat {seat.id} :{seat.display} {seat.xvnc.pid} {seat.password}')
    if game.level:
        print(f'computer :{game.computer}')
    print(f'watch {game.watch}', flush=True)
    sys.stdout.close()


def password():
    """8 letters and digits: 48 bits, all that VNC's password check reads; too many to
    guess through the network, so no blacklist, which would shut the player out too."""
    return b64(os.urandom(6)).replace('+', 'x').replace('/', 'y')


USAGE = ('usage: dravik_bridge.py --pages DIR --novnc DIR --run DIR [--seat WIDTHxHEIGHT:NAME]... '
         '[--computer LEVEL --bot PATH] [--cert FILE [--key FILE] [--ciphers LIST]] TARGET@HOST:PORT...')


def arguments(argv):
    """The options and listeners of the command line; exits with the usage if it is wrong."""
    args = {'cert': None, 'key': None, 'ciphers': TLS_CIPHERS, 'computer': None, 'bot': None}
    listeners, seats = [], []
    try:
        while argv:
            if argv[0] == '--seat' and len(argv) > 1:
                size, colon, name = argv[1].partition(':')
                width, x, height = size.partition('x')
                if not (colon and x and width.isdigit() and height.isdigit() and name):
                    raise ValueError(f'not WIDTHxHEIGHT:NAME: {argv[1]}')
                seats.append((int(width), int(height), name))
                argv = argv[2:]
            elif argv[0] == '--computer' and len(argv) > 1:
                from dravik_serve import LEVELS
                if not argv[1].isdigit() or int(argv[1]) not in LEVELS:
                    raise ValueError(f"the computer's level is {LEVELS[0]} to {LEVELS[-1]}, not {argv[1]}")
                args['computer'], argv = int(argv[1]), argv[2:]
            elif argv[0] in ('--pages', '--novnc', '--run', '--cert', '--key', '--ciphers',
                             '--bot') and len(argv) > 1:
                args[argv[0][2:]] = argv[1]
                argv = argv[2:]
            else:
                listeners.append(listener(argv[0]))
                argv = argv[1:]
        if not listeners or not all(args.get(k) for k in ('pages', 'novnc', 'run')):
            raise ValueError('missing arguments')
        if bool(args['computer']) != bool(args['bot']):
            raise ValueError('--computer and --bot go together')
    except ValueError as error:
        sys.exit(f'dravik_bridge.py: {error}\n{USAGE}')
    return type('Arguments', (), dict(args, listeners=listeners, seats=seats))


if __name__ == '__main__':
    try:
        main(arguments(sys.argv[1:]))
    except OSError as error:   # a certificate that will not load among them
        sys.exit(f'dravik_bridge.py: {error}')
