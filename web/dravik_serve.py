#!/usr/bin/python3 -S
"""dravik_serve.py: one address where anyone with a browser plays the game, alone, against
the computer or in a duel, and watches the games under way. A click makes a seat: a
private X server with a VNC face (Xvnc) on a Unix socket of mode 600 in the server's
private directory, a cookie of its own, and the game started on it with the player's
name. This process serves the pages and carries each page's WebSocket to its seat; its
server, with dravik_bridge.py's HTTP, WebSocket and TLS code, also serves scripts/play's
private seats.

usage: dravik_serve.py --game PATH --pages DIR --novnc DIR [--bot PATH] [--tables PATH]
                       [--listen ADDR] [--port P] [--host NAME] [--cert FILE [--key FILE]]
                       [--seats N] [--run DIR] [--trust-proxy]

Each seat has a random token, known only to the page that asked for it (in its address's
fragment and its memory): its WebSocket offers it as a subprotocol, and nothing reaches a
seat without it. Each seat's X server has its own password too (checked by challenge and
answer) and a view-only one for onlookers, which its game shares.

Threads, one per connection, as in the bridge: a seat costs a thread's stack here, and a
slow or broken connection holds up none but itself.
"""
import json
import os
import select
import signal
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dravik_bridge as bridge   # noqa: E402
from dravik_bridge import Refused   # noqa: E402
# Without loading OpenSSL (7 MiB), which plain HTTP does without: scripts/play's bridge
# loads this module too, to start its seats.
try:
    from _operator import _compare_digest as compare_digest
except ImportError:
    from hmac import compare_digest

# Lifetimes, in seconds (the tests shorten some through hidden options).
LOST_SECONDS = 4            # a page that answers no ping for this long is gone
COME_SECONDS = 60           # for a page to open its seat's WebSocket after the click
TABLE_SECONDS = 10 * 60     # a duel table waits this long for its second player
IDLE_SECONDS = 5 * 60       # a game with no key from its pages for this long ends
STOP_SECONDS = 3            # for a process to end on SIGTERM before it is killed
X_START_SECONDS = 10        # for an X server to start
CLOSE_SECONDS = 1           # for pages' WebSockets to close once their seats have ended
TABLES_SECONDS = 5          # for the hiscore reader to answer
ENDED_KEPT_SECONDS = 10 * 60   # a page may ask why its seat ended for this long
MAX_ENDED_KEPT = 4096       # and of so many seats at most
REAP_EVERY = 0.5            # how often the lifetimes are looked at

# Limits.
SEAT_COST = 16 << 20        # bytes a seat may take: 8 MiB measured (PSS of Xvnc and game), twice
MAX_DEFAULT_SEATS = 64      # the default limit however much memory there is
MAX_SEATS_PER_ADDRESS = 4   # seats at once from one client address
MAX_CONNECTIONS_PER_ADDRESS = 32   # connections at once from one client address
MAX_BODY = 1024             # bytes of a request's body
MAX_NAME = 8                # bytes of a name, as the game takes it
LEVELS = range(1, 6)        # the computer's strengths

# A window and its border fill a seat's screen: one field, or the two of a duel.
SCREEN_WIDTH = 288
SINGLE_HEIGHT = 348
DUEL_HEIGHT = 678
COMPUTER_NAME = 'computer'
# What a seat's X server leaves out: the game draws with the core protocol alone and the
# page speaks only VNC. OpenGL (GLX) alone weighs 53 MiB of the server's 70 (RSS); the
# others, video and compositing, 0.2 MiB together.
XVNC_NO_EXTENSIONS = ('GLX', 'XVideo', 'XVideo-MotionCompensation', 'DOUBLE-BUFFER',
                      'COMPOSITE', 'RECORD', 'DPMS')
# Updates per second at most: TigerVNC holds a change back for half a frame before it
# sends it (8 ms at its default of 60); at 1000 it goes at once, and a page asks for
# the next update only once it has drawn the last.
XVNC_FRAME_RATE = 1000
FAMILY_WILD = 0xFFFF        # an X authority entry for any host

FILES = {'': 'front.html', 'hiscores': 'front.html', 'front.js': 'front.js',
         'front.css': 'front.css'}
TYPES = dict(bridge.TYPES, **{'.css': 'text/css; charset=utf-8'})
SECURITY = {'X-Content-Type-Options': 'nosniff', 'Referrer-Policy': 'no-referrer',
            'Content-Security-Policy': "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                                       "img-src 'self' data:; frame-ancestors 'none'"}


def name_refusal(name):
    """Why the game would not take NAME as a player's name, or None: 1 to 8 bytes, as its
    -p1 takes them; printable, and not an option of its command line."""
    if not isinstance(name, str) or not name:
        return 'Give a name: 1 to 8 letters.'
    if len(name.encode()) > MAX_NAME:
        return (f'A name has at most {MAX_NAME} bytes (an accented letter takes two): '
                f'"{name}" has {len(name.encode())}.')
    if not name.isprintable() or name != name.strip():
        return 'A name has no control characters and no space at either end.'
    if name.startswith('-'):
        return 'A name may not begin with "-".'
    return None


def duration(seconds):
    return f'{seconds // 60:g} minutes' if seconds >= 120 else f'{seconds:g} seconds'


def authority_entry(display, cookie):
    """An X authority file's entry for DISPLAY (a number) on any host."""
    def counted(data):
        return len(data).to_bytes(2, 'big') + data
    return (FAMILY_WILD.to_bytes(2, 'big') + counted(b'') + counted(str(display).encode()) +
            counted(b'MIT-MAGIC-COOKIE-1') + counted(cookie))


def write_private(path, data):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600)
    with os.fdopen(fd, 'wb') as file:
        file.write(data)


class KeyWatch:
    """Reads a page's side of an RFB conversation, as it goes to the VNC server, for the
    keys (and buttons) pressed in it. A message it does not know makes every later byte
    count as a key: the game is then ended by its page closing, never by mistake."""
    HANDSHAKE = 12 + 1 + 16 + 1   # version, security type, VNC password answer, shared flag

    def __init__(self, pressed):
        self.pressed, self.buffer, self.skip, self.lost = pressed, bytearray(), self.HANDSHAKE, False

    def __call__(self, data):
        if self.lost:
            return self.pressed()
        self.buffer += data
        while True:
            if self.skip:
                n = min(self.skip, len(self.buffer))
                del self.buffer[:n]
                self.skip -= n
                if self.skip:
                    return
            size = self.size(self.buffer)
            if size is None:
                return
            if size < 0:
                self.lost = True
                return self.pressed()
            if len(self.buffer) < size:
                return
            kind = self.buffer[0]
            if ((kind == 4 and self.buffer[1]) or (kind == 5 and self.buffer[1]) or
                    (kind == 255 and self.buffer[1] == 0 and self.buffer[3])):
                self.pressed()
            del self.buffer[:size]

    @staticmethod
    def size(b):
        """The length of the message at B's start, None while its length does not show
        yet, -1 for a message not known."""
        fixed = {0: 20, 3: 10, 4: 8, 5: 6, 150: 10, 250: 4}
        if not b:
            return None
        if b[0] in fixed:
            return fixed[b[0]]
        needs = {2: 4, 6: 8, 248: 9, 251: 8, 255: 2}.get(b[0])
        if needs is None:
            return -1
        if len(b) < needs:
            return None
        if b[0] == 2:
            return 4 + 4 * int.from_bytes(b[2:4], 'big')
        if b[0] == 6:
            return 8 + abs(int.from_bytes(b[4:8], 'big', signed=True))
        if b[0] == 248:
            return 9 + b[8]
        if b[0] == 251:
            return 8 + 16 * b[6]
        return 12 if b[1] == 0 else -1


class Seat:
    def __init__(self, number, game, name, peer):
        self.id, self.game, self.name, self.peer = str(number), game, name, peer
        self.token = os.urandom(16).hex()
        self.password = game.watch
        while self.password == game.watch:   # the onlookers' password opens no seat
            self.password = bridge.password()
        self.xvnc = self.display = None
        self.connected = False   # a player's WebSocket is open
        self.came = False        # one has been
        self.since = time.time()


class Game:
    def __init__(self, number, kind, level=None):
        self.id, self.kind, self.level = str(number), kind, level
        self.seats, self.helpers = [], []   # helpers: the computer's X server and itself
        self.process = None
        self.since = self.last_key = time.time()
        self.watch = bridge.password()
        self.ending = False
        self.cookie = os.urandom(16)
        self.pressed = False     # a key has been pressed in a page of the game
        self.computer = None     # the display of the computer's X server

    def names(self):
        return [s.name for s in self.seats] + ([COMPUTER_NAME] if self.kind == 'computer' else [])

    def units(self):
        """Seats of the limit it takes: the computer's X server counts as one."""
        return len(self.seats) + (self.kind == 'computer')


class Server:
    """The service, or with TARGETS scripts/play's private server: its seats started for
    it, each on a port of its own (a target of bridge.route) or under /N/, onlookers
    under /watch/, and nothing else served."""

    def __init__(self, args, log=sys.stderr, targets=()):
        self.args, self.log = args, log
        self.site = bridge.Site(args.pages, args.novnc, args.run, set(targets))
        self.private = bool(targets)
        # A private server's players and onlookers may all come from one address.
        self.per_address = bridge.MAX_CONNECTIONS if self.private else MAX_CONNECTIONS_PER_ADDRESS
        self.lock = threading.Lock()
        self.games, self.seats, self.ended = {}, {}, {}
        self.counter = 0
        self.connections = {}   # client address -> connections open
        self.room = threading.BoundedSemaphore(bridge.MAX_CONNECTIONS)
        self.stopping = False
        self.starting = 0       # seats whose servers are starting
        self.carrying = 0       # pages' WebSockets open to their seats

    def note(self, *parts):
        print(': '.join(parts), file=self.log, flush=True)

    # Seats and games.

    def seat_request(self, body, peer):
        """The answer to POST /api/seats: the seat made, or Refused saying why not."""
        kind, name = body.get('kind'), body.get('name')
        if kind not in ('single', 'computer', 'open', 'join'):
            raise Refused(400, 'Choose how to play: alone, against the computer, or a duel.')
        why = name_refusal(name)
        if why:
            raise Refused(400, why)
        level = body.get('level', 3)
        if kind == 'computer':
            if type(level) is not int or level not in LEVELS:
                raise Refused(400, f'The computer plays at a level from {LEVELS[0]} to {LEVELS[-1]}.')
            if name == COMPUTER_NAME:
                raise Refused(400, f'"{COMPUTER_NAME}" is your opponent\'s name: choose another.')
            if not self.args.bot:
                raise Refused(404, 'The computer opponent is not installed here.')
        with self.lock:
            if self.stopping:
                raise Refused(503, 'The server is stopping: try again later.')
            if kind == 'join':
                game = self.games.get(str(body.get('table', '')))
                if game is None or game.kind != 'duel':
                    raise Refused(404, 'There is no such table: its player may have left.')
                if len(game.seats) > 1:
                    raise Refused(409, 'Someone else has taken that table: open one of your own.')
                if game.seats[0].name == name:
                    raise Refused(400, f'{name} is at that table already: choose another name.')
            units = 2 if kind == 'computer' else 1
            if sum(g.units() for g in self.games.values()) + units > self.args.seats:
                raise Refused(503, 'The server is full: try again later.')
            if sum(s.peer == peer for s in self.seats.values()) + 1 > MAX_SEATS_PER_ADDRESS:
                raise Refused(429, f'You have {MAX_SEATS_PER_ADDRESS} seats already: end one first.')
            if kind != 'join':
                self.counter += 1
                game = Game(self.counter, 'duel' if kind == 'open' else kind, level)
                self.games[game.id] = game
            self.counter += 1
            seat = Seat(self.counter, game, name, peer)
            game.seats.append(seat)
            self.seats[seat.id] = seat
            self.starting += 1
        try:
            return self.start_seat(seat, game, kind)
        finally:
            with self.lock:
                self.starting -= 1

    def start_seat(self, seat, game, kind):
        try:
            self.start_xvnc(seat, SINGLE_HEIGHT if kind == 'single' else DUEL_HEIGHT)
            if kind == 'computer':
                self.start_computer(game)
        except (OSError, subprocess.SubprocessError) as error:
            self.note(f'seat {seat.id} could not start: {error}')
            self.end(game, 'its X server did not start')
            self.discard(seat, game)
            raise Refused(503, 'The server could not make your seat: try again later.') from None
        if game.ending:   # ended while its server started: the table's player left, say
            self.discard(seat, game)
            raise Refused(404 if kind == 'join' else 503, 'That game has ended meanwhile.')
        if kind == 'join':
            game.last_key = time.time()   # the idle time counts from the second player on
        self.note(f'seat {seat.id} started: {game.kind} {seat.name} from {seat.peer}')
        answer = {'seat': seat.id, 'token': seat.token, 'password': seat.password, 'game': game.id}
        if kind == 'join':
            answer['with'] = game.seats[0].name
        if kind == 'computer':
            answer['start'] = 'key'
        if kind == 'open':
            answer['table'] = game.id
        return answer

    def spawn(self, argv, log, **more):
        return subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=log, start_new_session=True, **more)

    def start_x(self, argv, log_path, auth_path, cookie, pass_fds=()):
        """Starts an X server (ARGV, without -displayfd) and waits for its display number;
        files the cookie for it in AUTH_PATH. (process, number); OSError if it fails."""
        write_private(auth_path, authority_entry(0, cookie))
        read, write = os.pipe()
        with open(os.open(log_path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600),
                  'wb') as log:
            try:
                process = self.spawn(argv + ['-displayfd', str(write), '-auth', auth_path], log,
                                     pass_fds=(write, *pass_fds))
            finally:
                os.close(write)
        try:
            answer, deadline = b'', time.monotonic() + X_START_SECONDS
            while not answer.endswith(b'\n'):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read], [], [], left)[0]:
                    break
                piece = os.read(read, 16)
                if not piece:
                    break
                answer += piece
        finally:
            os.close(read)
        if not answer.strip().isdigit():
            stop(process)
            with open(log_path, errors='replace') as log:
                raise OSError(f'{argv[0]} did not start: {log.read()[-300:].strip()}')
        number = int(answer)
        with open(auth_path, 'ab') as file:
            file.write(authority_entry(number, cookie))
        return process, number

    def path(self, name):
        return os.path.join(self.args.run, name)

    def start_xvnc(self, seat, height, width=SCREEN_WIDTH, desktop=None, watchers=True):
        """Starts SEAT's X server, WIDTH x HEIGHT, its page titled DESKTOP ("dravik: NAME" by
        default); with WATCHERS, its game's view-only password is taken from the start."""
        lines = [seat.password] + [seat.game.watch] * watchers
        secret = subprocess.run(['vncpasswd', '-f'], input=''.join(f'{p}\n' for p in lines).encode(),
                                stdout=subprocess.PIPE, check=True).stdout
        memory = os.memfd_create('secret', 0)
        try:
            os.write(memory, secret)
            leave = [a for e in XVNC_NO_EXTENSIONS for a in ('-extension', e)]
            seat.xvnc, seat.display = self.start_x([
                'Xvnc', '-geometry', f'{width}x{height}', '-depth', '24', '-nolisten', 'tcp',
                '-rfbport', '-1', '-rfbunixpath', self.path(f'seat.{seat.id}.sock'),
                '-rfbunixmode', '0600', '-SecurityTypes', 'VncAuth',
                '-PasswordFile', f'/proc/self/fd/{memory}',
                '-desktop', desktop or f'dravik: {seat.name}',
                '-AcceptSetDesktopSize=0', '-AcceptCutText=0', '-SendCutText=0',
                '-SendPrimary=0', '-SetPrimary=0', '-UseBlacklist=0',
                f'-FrameRate={XVNC_FRAME_RATE}'] + leave,
                self.path(f'seat.{seat.id}.log'), self.path(f'seat.{seat.id}.auth'),
                seat.game.cookie, pass_fds=(memory,))
        finally:
            os.close(memory)

    def start_private(self, game, specs):
        """Starts a private server's GAME: a seat for each (width, height, name) of SPECS,
        its page titled NAME, and the computer opponent if GAME has a level; each part is
        GAME's before its process starts, so that discarding GAME's seats ends them all."""
        for number, (width, height, name) in enumerate(specs, 1):
            seat = Seat(number, game, name, '')
            game.seats.append(seat)
            self.start_xvnc(seat, height, width=width, desktop=name, watchers=False)
        if game.level:
            self.start_computer(game)

    def start_computer(self, game):
        process, number = self.start_x(
            ['Xvfb', '-screen', '0', f'{SCREEN_WIDTH}x{DUEL_HEIGHT}x24', '-nolisten', 'tcp'],
            self.path(f'computer.{game.id}.log'), self.path(f'computer.{game.id}.auth'), game.cookie)
        game.helpers.append(process)
        game.computer = number
        env = dict(os.environ, XAUTHORITY=self.path(f'computer.{game.id}.auth'))
        env.pop('DISPLAY', None)
        game.helpers.append(self.spawn([self.args.bot, '-d', f':{number}', '-l', str(game.level)],
                                       None, env=env))

    def start_game(self, game):
        """Starts GAME's process, once, when its players are there."""
        with self.lock:
            if game.process or game.ending:
                return
            seats = game.seats
            argv = [self.args.game, '-m1', f':{seats[0].display}', '-p1', seats[0].name]
            if game.kind == 'duel':
                argv += ['-m2', f':{seats[1].display}', '-p2', seats[1].name]
            elif game.kind == 'computer':
                argv += ['-m2', f':{game.computer}', '-p2', COMPUTER_NAME]
            entries = b''.join(authority_entry(s.display, game.cookie) for s in seats)
            if game.kind == 'computer':
                entries += authority_entry(game.computer, game.cookie)
            auth = self.path(f'game.{game.id}.auth')
            write_private(auth, entries)
            env = dict(os.environ, XAUTHORITY=auth)
            env.pop('DISPLAY', None)
            game.process = self.spawn(argv, None, env=env)
            game.last_key = time.time()

    def ready(self, game):
        """Whether GAME starts now: every player is in (and has pressed a key, against the
        computer)."""
        return ((game.kind != 'duel' or len(game.seats) == 2) and
                all(s.connected for s in game.seats) and
                (game.kind != 'computer' or game.pressed))

    def end(self, game, reason):
        """Ends GAME and every seat of it: the game first, then its servers; then their files.
        Once only, whoever asks."""
        with self.lock:
            if game.ending:
                return
            game.ending = True
            self.games.pop(game.id, None)
            now = time.time()
            for seat in game.seats:
                self.seats.pop(seat.id, None)
                self.ended[seat.id] = (seat.token, reason, now)
            while len(self.ended) > MAX_ENDED_KEPT:
                del self.ended[next(iter(self.ended))]
        stop(game.process)
        for seat in game.seats:
            self.discard(seat, game)
        for seat in game.seats:
            self.note(f'seat {seat.id} ended: {reason}')

    def discard(self, seat, game):
        """Ends SEAT's X server (and the computer's, with GAME's files) and removes their
        files; again and again if need be, as a seat may come up while its game ends."""
        stop(seat.xvnc)
        for process in game.helpers[::-1]:
            stop(process)
        names = [f'seat.{seat.id}.{end}' for end in ('sock', 'auth', 'log')]
        names += [f'game.{game.id}.auth', f'computer.{game.id}.auth', f'computer.{game.id}.log']
        for name in names:
            try:
                os.unlink(self.path(name))
            except FileNotFoundError:
                pass

    def reap(self):
        """Ends the games whose time has come, for ever."""
        while True:
            time.sleep(REAP_EVERY)
            now = time.time()
            with self.lock:
                games = list(self.games.values())
                for seat_id, (_, _, when) in list(self.ended.items()):
                    if now - when > ENDED_KEPT_SECONDS:
                        del self.ended[seat_id]
            for game in games:
                reason = None
                if game.process and game.process.poll() is not None:
                    status = game.process.returncode
                    reason = 'game over' if status == 0 else f'the game failed (status {status})'
                elif any(s.xvnc and s.xvnc.poll() is not None for s in game.seats) or \
                        any(p.poll() is not None for p in game.helpers):
                    reason = 'a server of the game ended'
                elif game.kind == 'duel' and len(game.seats) == 1:
                    if now - game.since > self.args.table_seconds:
                        reason = f'table not joined in {duration(self.args.table_seconds)}'
                elif now - game.last_key > self.args.idle_seconds:
                    reason = f'no key for {duration(self.args.idle_seconds)}'
                if reason is None and any(not s.came and now - s.since > COME_SECONDS
                                          for s in game.seats if s.xvnc):
                    reason = 'page never came'
                if reason:   # its processes may take seconds to end: the others go on
                    threading.Thread(target=self.end, args=(game, reason), daemon=True).start()

    def stop_all(self):
        with self.lock:
            self.stopping = True
            games = list(self.games.values())
        threads = [threading.Thread(target=self.end, args=(g, 'server stopping')) for g in games]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        deadline = time.monotonic() + X_START_SECONDS
        while self.starting and time.monotonic() < deadline:   # they end themselves
            time.sleep(0.05)
        self.wait_carried()

    # HTTP.

    def accept(self, server, default=None):
        """Takes connections on SERVER for ever, each in a thread of its own; DEFAULT is
        the target of a private server's port."""
        while True:
            try:
                sock, address = server.accept()
            except OSError:
                time.sleep(0.1)
                continue
            peer = address[0]
            with self.lock:
                crowded = self.connections.get(peer, 0) >= self.per_address
                if not crowded:
                    self.connections[peer] = self.connections.get(peer, 0) + 1
            if crowded or not self.room.acquire(blocking=False):
                if not crowded:
                    self.left(peer)
                self.note(peer, 'too many connections: closed')
                sock.close()
                continue
            try:
                threading.Thread(target=self.serve, args=(sock, peer, default), daemon=True).start()
            except RuntimeError:
                sock.close()
                self.room.release()
                self.left(peer)

    def left(self, peer):
        with self.lock:
            self.connections[peer] -= 1
            if not self.connections[peer]:
                del self.connections[peer]

    def serve(self, sock, peer, default):
        try:
            sock.settimeout(bridge.HEAD_TIMEOUT)
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            if self.args.context:
                sock = self.args.context.wrap_socket(sock, server_side=True)
            stream = bridge.Stream(sock)
            while self.request(stream, peer, default):
                pass
        except (OSError, EOFError):
            pass
        finally:
            sock.close()
            self.room.release()
            self.left(peer)

    def request(self, stream, peer, default):
        """Answers one request; whether the connection stays open for another."""
        api = False
        try:
            head = stream.head()
            if head is None:
                return False
            method, path, query, version, headers = bridge.parse_head(head)
            if self.private:
                return self.private_request(stream, method, path, query, version, headers,
                                            peer, default)
            if self.args.trust_proxy and peer in ('127.0.0.1', '::1'):
                peer = headers.get('x-forwarded-for', peer).split(',')[-1].strip() or peer
            parts = bridge.unquote(path).split('/')[1:]
            api = parts[0] == 'api'
            if parts[0] == 'ws':
                self.websocket(stream, parts[1:], headers, peer)
                return False
            if api:
                answer = self.api(method, parts[1:], headers, stream, peer)
                return self.send(stream, method, version, headers, 200, json.dumps(answer).encode(),
                                 'application/json', {'Cache-Control': 'no-store'})
            if method not in ('GET', 'HEAD'):
                raise Refused(405, f'method {method}')
            if parts[0] in ('play', 'watch'):
                if len(parts) == 1:
                    raise Refused(301, f'/{parts[0]}/')
                file = self.site.file('watch' if parts[0] == 'watch' else 'seat', parts[1:])
            elif len(parts) == 1 and parts[0] in FILES:
                file = os.path.join(self.args.pages, FILES[parts[0]])
            else:
                raise Refused(404, 'no such page')
            return self.send_file(stream, method, version, headers, file)
        except Refused as refusal:
            if api and refusal.status != 301:
                body = json.dumps({'error': str(refusal)}).encode()
                stream.sock.sendall(bridge.response_head(refusal.status, dict(
                    SECURITY, **{'Content-Type': 'application/json', 'Content-Length': len(body),
                                 'Cache-Control': 'no-store', 'Connection': 'close'})) + body)
                return False
            return self.refuse(stream.sock, peer, refusal)

    def private_request(self, stream, method, path, query, version, headers, peer, default):
        """A request to a private server: a seat's page and WebSocket, or the onlookers'."""
        if method not in ('GET', 'HEAD'):
            raise Refused(405, f'method {method}')
        target, parts = bridge.route(path, default, self.site.targets)
        if parts != ['websockify']:
            return self.send_file(stream, method, version, headers, self.site.file(target, parts))
        fields = bridge.upgrade_fields(headers)
        vnc = self.connect(self.site.socket(target, query), target)
        with vnc:
            self.upgrade(stream, fields)
            self.carry(stream, vnc, peer)
        return False

    def send_file(self, stream, method, version, headers, file):
        with open(file, 'rb') as f:
            body = f.read()
        kind = TYPES.get(os.path.splitext(file)[1], 'application/octet-stream')
        return self.send(stream, method, version, headers, 200, body, kind,
                         {'Cache-Control': 'no-cache'})

    def send(self, stream, method, version, headers, status, body, kind, more):
        connection = headers.get('connection', '').lower()
        keep = connection != 'close' if version == 'HTTP/1.1' else connection == 'keep-alive'
        fields = dict(SECURITY, **more, **{'Content-Type': kind, 'Content-Length': len(body),
                                           'Connection': 'keep-alive' if keep else 'close'})
        stream.sock.sendall(bridge.response_head(status, fields) + (body if method != 'HEAD' else b''))
        return keep

    def refuse(self, sock, peer, refusal):
        """Answers with the refusal's status and a line saying why; the connection ends."""
        fields = dict(SECURITY, Connection='close')
        if refusal.status == 301:
            fields['Location'] = str(refusal)
            text = ''
        else:
            text = f'{refusal.status} {bridge.REASONS[refusal.status]}: {refusal}\n'
            self.note(peer, text.strip())
        body = text.encode()
        fields.update({'Content-Type': 'text/plain; charset=utf-8', 'Content-Length': len(body)})
        sock.sendall(bridge.response_head(refusal.status, fields) + body)
        return False

    def api(self, method, parts, headers, stream, peer):
        if parts == ['state'] and method == 'GET':
            return self.state()
        if parts == ['hiscores'] and method == 'GET':
            return hiscores(self.args.tables)
        if parts == ['seats'] and method == 'POST':
            return self.seat_request(self.body(stream, headers), peer)
        if len(parts) == 2 and parts[0] == 'seats' and method == 'GET':
            return self.seat_state(parts[1], headers.get('authorization', ''))
        raise Refused(404 if method in ('GET', 'POST') else 405, 'No such request.')

    def body(self, stream, headers):
        """A request's JSON object; only application/json, so that no other site's page
        makes seats in its visitors' names without asking the browser first."""
        if headers.get('content-type', '').split(';')[0].strip().lower() != 'application/json':
            raise Refused(415, 'Send JSON.')
        length = headers.get('content-length', '')
        if not length.isdigit():
            raise Refused(411, 'Say the length of what you send.')
        if int(length) > MAX_BODY:
            raise Refused(413, 'Too long.')
        deadline = time.monotonic() + bridge.HEAD_TIMEOUT
        while len(stream.buffer) < int(length):
            stream.sock.settimeout(max(0.01, deadline - time.monotonic()))
            stream.fill()
        data = bytes(stream.buffer[:int(length)])
        del stream.buffer[:int(length)]
        try:
            body = json.loads(data)
        except (UnicodeDecodeError, ValueError):
            raise Refused(400, 'Not JSON.') from None
        if not isinstance(body, dict):
            raise Refused(400, 'Send a JSON object.')
        return body

    def state(self):
        with self.lock:
            games = list(self.games.values())
            tables = [{'id': g.id, 'name': g.seats[0].name, 'since': int(g.since)}
                      for g in games if g.kind == 'duel' and len(g.seats) == 1]
            under_way = [{'id': g.id, 'kind': g.kind, 'names': g.names(), 'watch': g.watch,
                          'seats': [s.id for s in g.seats]} for g in games if g.process]
            return {'tables': tables, 'games': under_way,
                    'seats': sum(g.units() for g in games), 'limit': self.args.seats}

    def seat_state(self, seat_id, authorization):
        """What a seat's page may know of it: that it plays, or why it ended."""
        token = authorization.partition('Bearer ')[2]
        with self.lock:
            seat = self.seats.get(seat_id)
            if seat and compare_digest(seat.token, token):
                return {'state': 'waiting' if not seat.game.process else 'playing'}
            ended = self.ended.get(seat_id)
            if ended and compare_digest(ended[0], token):
                return {'state': 'ended', 'reason': ended[1]}
        raise Refused(403, 'This seat is not yours.')

    def websocket(self, stream, parts, headers, peer):
        fields = bridge.upgrade_fields(headers)
        watching = len(parts) == 2 and parts[0] == 'watch'
        seat_id = parts[-1] if len(parts) in (1, 2) else ''
        with self.lock:
            seat = self.seats.get(seat_id)
            if watching:
                if seat is None or not seat.game.process:
                    raise Refused(404, 'No such game under way.')
            else:
                tokens = [p[6:] for p in bridge.offered_protocols(headers) if p.startswith('token.')]
                if seat is None or len(tokens) != 1 or not compare_digest(
                        seat.token.encode(), tokens[0].encode()):
                    raise Refused(403, 'not this seat\'s token')
                if seat.connected:
                    raise Refused(409, 'the seat is open in another page')
                seat.connected = seat.came = True
        game = seat.game
        try:
            vnc = self.connect(self.path(f'seat.{seat.id}.sock'), seat.id)
        except Refused:
            if not watching:
                self.end(game, 'its X server did not answer')
            raise
        reason = 'page closed'
        with vnc:
            self.upgrade(stream, fields)
            heard = None
            if not watching:
                def pressed():
                    game.last_key = time.time()
                    if game.kind == 'computer' and not game.pressed:
                        game.pressed = True
                        self.start_game(game)
                heard = KeyWatch(pressed)
                if self.ready(game):
                    self.start_game(game)
            try:
                reason = self.carry(stream, vnc, peer, heard, self.args.lost_seconds)
            finally:
                if not watching:
                    seat.connected = False
                    self.end(game, reason)

    @staticmethod
    def connect(path, seat):
        """A connection to SEAT's VNC server at PATH, or Refused(502)."""
        vnc = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            vnc.connect(path)
        except OSError as error:
            vnc.close()
            raise Refused(502, f'seat {seat} does not answer ({error.strerror})') from None
        return vnc

    @staticmethod
    def upgrade(stream, fields):
        stream.sock.sendall(bridge.response_head(101, fields))
        stream.sock.settimeout(None)   # a page may well be quiet for minutes

    def carry(self, stream, vnc, peer, heard=None, lost_after=None):
        """Carries the page's WebSocket to its seat's VNC until either ends; why it ended."""
        with self.lock:
            self.carrying += 1
        try:
            bridge.carry(stream, vnc, heard, lost_after)
        except bridge.Closing as closing:
            self.note(peer, f'WebSocket closed: {closing}')
            stream.sock.sendall(bridge.close_frame(closing.code, str(closing)))
        except (bridge.Lost, OSError, EOFError):
            return 'page lost'
        finally:
            with self.lock:
                self.carrying -= 1
        return 'page closed'

    def wait_carried(self):
        """Waits a moment for the WebSockets of ended seats to close, so that their pages
        hear that the game ended, not that the connection was lost."""
        deadline = time.monotonic() + CLOSE_SECONDS
        while self.carrying and time.monotonic() < deadline:
            time.sleep(0.02)


def stop(process):
    """Ends PROCESS, and what it started in its session, politely first."""
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    try:
        process.wait(STOP_SECONDS)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()


def hiscores(tables):
    """The three tables as the hiscore reader prints them (JSON: each table either
    {"entries": [[name, score], ...]} or {"error": why it cannot be read}); a table that
    the reader leaves out or gives in another shape cannot be read either."""
    names = ('single', 'winners', 'losers')
    unreadable = {'error': 'The hiscore tables cannot be read here.'}
    if not tables:
        return {t: unreadable for t in names}
    try:
        out = subprocess.run([tables], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, timeout=TABLES_SECONDS).stdout
        given = json.loads(out.decode('utf-8', 'replace'))
    except (OSError, subprocess.TimeoutExpired, ValueError) as error:
        print(f'hiscores: {tables}: {error}', file=sys.stderr, flush=True)
        return {t: unreadable for t in names}
    return {t: table(given.get(t) if isinstance(given, dict) else None) for t in names}


def table(given):
    """A table of the reader's output as the page takes it, or why it cannot be read."""
    if isinstance(given, dict) and isinstance(given.get('error'), str):
        return {'error': given['error']}
    entries = given.get('entries') if isinstance(given, dict) else None
    if isinstance(entries, list) and all(
            isinstance(e, list) and len(e) == 2 and isinstance(e[0], str) and
            isinstance(e[1], int) for e in entries):
        return {'entries': entries}
    return {'error': 'The hiscore table cannot be read here.'}


def default_seats():
    try:
        with open('/proc/meminfo') as meminfo:
            for line in meminfo:
                if line.startswith('MemAvailable:'):
                    return max(1, min(MAX_DEFAULT_SEATS, int(line.split()[1]) * 1024 // SEAT_COST))
    except OSError:
        pass
    return 8


USAGE = ('usage: dravik_serve.py --game PATH --pages DIR --novnc DIR [--bot PATH] [--tables PATH] '
         '[--listen ADDR] [--port P] [--host NAME] [--cert FILE [--key FILE]] [--seats N] '
         '[--run DIR] [--trust-proxy]')
VALUED = ('--game', '--bot', '--tables', '--pages', '--novnc', '--run', '--listen', '--port',
          '--host', '--cert', '--key', '--seats', '--ciphers',
          '--idle-seconds', '--table-seconds', '--lost-seconds')


def arguments(argv):
    args = {'bot': None, 'tables': None, 'run': None, 'listen': '127.0.0.1', 'port': '8080',
            'host': None, 'cert': None, 'key': None, 'seats': None, 'trust_proxy': False,
            'ciphers': bridge.TLS_CIPHERS,
            'idle_seconds': IDLE_SECONDS, 'table_seconds': TABLE_SECONDS,
            'lost_seconds': LOST_SECONDS}
    try:
        while argv:
            if argv[0] == '--trust-proxy':
                args['trust_proxy'], argv = True, argv[1:]
            elif argv[0] in VALUED and len(argv) > 1:
                args[argv[0][2:].replace('-', '_')], argv = argv[1], argv[2:]
            else:
                raise ValueError(f'unknown option {argv[0]}')
        if not all(args.get(k) for k in ('game', 'pages', 'novnc')):
            raise ValueError('missing --game, --pages or --novnc')
        args['port'] = int(args['port'])
        args['seats'] = int(args['seats']) if args['seats'] else default_seats()
        for name in ('idle_seconds', 'table_seconds', 'lost_seconds'):
            args[name] = float(args[name])
        if not 0 <= args['port'] < 65536 or args['seats'] < 1:
            raise ValueError('bad port or seats')
        if args['key'] and not args['cert']:
            raise ValueError('--key goes with --cert')
    except ValueError as error:
        sys.exit(f'dravik_serve.py: {error}\n{USAGE}')
    return type('Arguments', (), args)


def private_run(path):
    """The run directory: PATH if it is a directory of ours that no one else may enter,
    else a new one; whether it is new."""
    if path is None:
        import tempfile
        return tempfile.mkdtemp(prefix='dravik-serve-', dir=os.environ.get('XDG_RUNTIME_DIR')), True
    info = os.lstat(path)
    import stat
    if not stat.S_ISDIR(info.st_mode) or info.st_uid != os.getuid() or info.st_mode & 0o077:
        sys.exit(f'dravik_serve.py: {path} is not a private directory of ours (mode 700)')
    return path, False


def main(args):
    context = args.cert and bridge.tls_context(args.cert, args.key, args.ciphers)
    args.context = context
    host = args.listen
    try:
        listening = socket.create_server((host.strip('[]'), args.port),
                                         family=socket.AF_INET6 if ':' in host else socket.AF_INET,
                                         dualstack_ipv6=host == '::')
    except OSError as error:
        sys.exit(f'dravik_serve.py: port {args.port} on {host}: {error.strerror}')
    args.run, made = private_run(args.run)
    server = Server(args)
    threading.stack_size(bridge.STACK)
    stopped = threading.Event()
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda *_: stopped.set())
    threading.Thread(target=server.accept, args=(listening,), daemon=True).start()
    threading.Thread(target=server.reap, daemon=True).start()
    name = args.host or (host if host not in ('0.0.0.0', '::') else socket.gethostname())
    if ':' in name:
        name = f'[{name}]'
    port = listening.getsockname()[1]
    print(f'dravik-serve: {"https" if context else "http"}://{name}:{port}/', flush=True)
    while not stopped.wait(1):
        pass
    listening.close()
    server.stop_all()
    if made:
        import shutil
        shutil.rmtree(args.run, ignore_errors=True)
    sys.exit(0)


if __name__ == '__main__':
    try:
        main(arguments(sys.argv[1:]))
    except OSError as error:
        sys.exit(f'dravik_serve.py: {error}')
