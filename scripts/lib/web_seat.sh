# Seats served to web browsers, for scripts/play. A seat is a private X server with a
# VNC face (Xvnc), listening only on a Unix socket of mode 600 in the run's private
# directory, and websockify serving the seat's page and carrying its VNC connection.
# Each seat has a random password, handed to Xvnc through an in-memory file and printed
# only in the seat's address, after '#', where the page reads it: it never reaches a disk
# or a server's log. Without it the VNC server shows nothing and takes no key. The address
# is printed only once the seat's own websockify holds its port.
# Onlookers have a websockify of their own, which reaches every seat's socket, and a
# password of their own, which Xvnc takes as view-only: it drops their keys and pointer.
# Both come alive only once the players are in, so that no onlooker starts the game.
#
# The caller sources common.sh and xvfb.sh, and before web_seat_start sets:
#   work     a private directory (mode 700), removed when the run ends
#   started  an array that gets the process ids to stop when the run ends
#   tls      websockify's options for HTTPS (--cert ... --ssl-only), or an empty array
# Every seat's X server accepts only clients that present the cookie in $work/xauth:
# run the game with XAUTHORITY=$work/xauth.

WEB_PACKAGES=(tigervnc-standalone-server tigervnc-tools websockify novnc xauth python3)
NOVNC_DIR=/usr/share/novnc
SEAT_STARTUP_TENTHS=100   # tenths of a second that a seat's websockify may take to start
# HTTPS takes TLS 1.2 and 1.3 only, and in 1.2 only suites with forward secrecy (ECDHE),
# the AEAD ones first: a recorded session stays sealed even if the key is stolen later.
# TLS 1.3's suites all have forward secrecy.
TLS_CIPHERS='ECDHE+AESGCM:ECDHE+CHACHA20:ECDHE+AES:!aNULL'

# port_open HOST PORT: whether something takes TCP connections there.
port_open() {
	# Bounded: a connection to an address that drops packets would wait for minutes.
	timeout 2 bash -c ': <>"/dev/tcp/$1/$2"' _ "$1" "$2" 2>/dev/null
}

# owns_port PID PORT: whether process PID holds every socket listening on TCP port PORT,
# on any address, and there is one: then what connects to the port reaches PID alone.
owns_port() {
	local inode found=
	for inode in $(cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
		awk -v port="$(printf ':%04X' "$2")" '$4 == "0A" && $2 ~ port "$" { print $10 }'); do
		[ -n "$(find "/proc/$1/fd" -lname "socket:\\[$inode\\]" -print -quit 2>/dev/null)" ] ||
			return 1
		found=1
	done
	[ -n "$found" ]
}

# loopback ADDR: whether ADDR reaches only this machine.
loopback() {
	case $1 in
	127.*|::1|localhost|0:0:0:0:0:0:0:1) return 0 ;;
	*) return 1 ;;
	esac
}

# The address to connect to a service listening on ADDR, from this machine.
local_host() {
	case $1 in
	0.0.0.0) echo 127.0.0.1 ;;
	::) echo ::1 ;;
	*) echo "$1" ;;
	esac
}

# The host part of a seat's address for the browsers: the listening address, or this
# machine's first address when the service listens on all of them.
public_host() {
	local host=$1
	case $host in
	0.0.0.0|::)
		host=$(hostname -I 2>/dev/null | awk '{ print $1 }')
		[ -n "$host" ] || host=$(hostname)
		;;
	esac
	case $host in
	*:*) echo "[$host]" ;;
	*) echo "$host" ;;
	esac
}

# A random password: 48 bits in 8 characters, all that VNC's password check reads: too
# many to guess through the network, so no blacklist, which would shut the player out
# too (every browser reaches Xvnc through the one websockify).
new_password() {
	head -c 6 /dev/urandom | base64 | tr '+/' 'xy'
}

# check_certificate CERT [KEY]: fails, saying why, unless websockify can serve HTTPS with
# them (it reads them only when a browser connects). An encrypted key is refused: nobody
# would be there to type its passphrase.
check_certificate() {
	python3 -c 'import ssl, sys
try:
    ssl.create_default_context(ssl.Purpose.CLIENT_AUTH).load_cert_chain(
        sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None, password=lambda: b"")
except (OSError, ssl.SSLError) as error:
    files = " with ".join(sys.argv[1:])
    sys.exit(f"scripts/play: {files}: no certificate with its unencrypted key ({error})")
' "$@"
}

# web_seats_prepare: the pages' directories and the X servers' cookie, in $work.
web_seats_prepare() {
	mkdir -p "$work/www" "$work/watch-www" "$work/watch-seats"
	ln -s "$ROOT/data/web/index.html" "$ROOT/data/web/seat.js" "$ROOT/data/web/page.js" \
		"$NOVNC_DIR/core" "$NOVNC_DIR/vendor" "$work/www/"
	ln -s "$ROOT/data/web/watch.html" "$work/watch-www/index.html"
	ln -s "$ROOT/data/web/watch.js" "$ROOT/data/web/page.js" "$NOVNC_DIR/core" \
		"$NOVNC_DIR/vendor" "$work/watch-www/"
	new_server_auth "$work/xauth"
	web_cookie=$cookie
	watch_password=$(new_password)
	seat_servers=() seat_passwords=()
}

# serve ADDR PORT LOG OPTION...: websockify on ADDR:PORT with those options (and
# $tls), once it holds the port; fails saying so if it does not, or if another program
# holds the port too.
serve() {
	local addr=$1 port=$2 log=$3 probe listen i
	shift 3
	probe=$(local_host "$addr")
	if port_open "$probe" "$port"; then
		echo "Port $port on $addr is taken: choose another with --port." >&2
		exit 1
	fi
	listen=$addr
	case $listen in *:*) listen="[$listen]" ;; esac
	websockify "${tls[@]}" "$@" "$listen:$port" >"$log" 2>&1 &
	started+=($!)
	for ((i = 0; i < SEAT_STARTUP_TENTHS; i++)); do
		port_open "$probe" "$port" && break
		if ! kill -0 "${started[-1]}" 2>/dev/null; then
			i=$SEAT_STARTUP_TENTHS
			break
		fi
		sleep 0.1
	done
	if [ "$i" -ge "$SEAT_STARTUP_TENTHS" ]; then
		echo "websockify did not start on $addr:$port:" >&2
		cat "$log" >&2
		exit 1
	fi
	# Another program may have bound the port since it was found free: the address, and
	# with it the password, goes to none but this websockify.
	if ! owns_port "${started[-1]}" "$port"; then
		echo "Another program took port $port on $addr: choose another with --port." >&2
		exit 1
	fi
	served_at="http$([ ${#tls[@]} -eq 0 ] || echo s)://$(public_host "$addr"):$port/"
}

# web_seat_start INDEX NAME WIDTH HEIGHT ADDR PORT: a seat whose screen is WIDTH x HEIGHT,
# named NAME in its page, served on ADDR:PORT. Sets $display and $seat_address.
web_seat_start() {
	local index=$1 name=$2 width=$3 height=$4 addr=$5 port=$6
	local number=$work/display.$index log=$work/xvnc.$index.log password
	password=$(new_password)
	# The onlookers' password must open no seat.
	while [ "$password" = "$watch_password" ]; do password=$(new_password); done
	printf '%s\n' "$password" | vncpasswd -f |
		python3 "$ROOT/scripts/lib/with_secret.py" Xvnc -displayfd 3 \
			-geometry "${width}x${height}" -depth 24 -nolisten tcp -auth "$work/xauth" \
			-rfbport -1 -rfbunixpath "$work/seat.$index.sock" -rfbunixmode 0600 \
			-SecurityTypes VncAuth -PasswordFile @SECRET@ -desktop "$name" \
			-AcceptSetDesktopSize=0 -AcceptCutText=0 -SendCutText=0 -SendPrimary=0 \
			-SetPrimary=0 -UseBlacklist=0 3>"$number" >/dev/null 2>"$log" &
	started+=($!)
	seat_servers+=($!)
	seat_passwords+=("$password")
	wait_for_display "${started[-1]}" "$number" "$log" "The X server of $name" || exit 1
	file_cookie "$display" "$web_cookie" "$work/xauth"

	serve "$addr" "$port" "$work/websockify.$index.log" --web "$work/www" \
		--unix-target "$work/seat.$index.sock"
	seat_address="${served_at}#password=$password"
}

# web_watch_start ADDR PORT: the onlookers' websockify on ADDR:PORT, for the seats started
# so far; sets $watch_address. It reaches no seat before web_watch_open.
web_watch_start() {
	serve "$1" "$2" "$work/websockify.watch.log" --web "$work/watch-www" \
		--token-plugin UnixDomainSocketDirectory --token-source "$work/watch-seats"
	watch_address="${served_at}#password=$watch_password&seats=${#seat_servers[@]}"
}

# web_watch_open: lets the onlookers in. Each seat's Xvnc reads its password file anew at
# every login: the file, in memory, gets the onlookers' password as its view-only second
# line; the seat's socket then shows in the onlookers' websockify's directory. Fails if
# a seat's server is gone.
web_watch_open() {
	local i pid file
	for i in "${!seat_servers[@]}"; do
		pid=${seat_servers[i]}
		file=$(tr '\0' '\n' <"/proc/$pid/cmdline" | grep -A1 -x -- -PasswordFile | tail -n 1)
		# Written over, not truncated: the players' line stays readable throughout.
		printf '%s\n%s\n' "${seat_passwords[i]}" "$watch_password" | vncpasswd -f \
			1<>"/proc/$pid/fd/${file##*/}" || return 1
		ln -s "$work/seat.$((i + 1)).sock" "$work/watch-seats/$((i + 1))" || return 1
	done
}

# web_seats_wait_for_players: returns once a player has logged in at every seat started
# (Xvnc notes the pixel format it serves as soon as a password is taken), so that no
# game runs before its players can see it. Fails when a process of the run has ended.
web_seats_wait_for_players() {
	local log pid
	for log in "$work"/xvnc.*.log; do
		until grep -q 'Server default pixel format' "$log"; do
			for pid in "${started[@]}"; do
				kill -0 "$pid" 2>/dev/null || {
					echo "A server of the run ended before the players came." >&2
					return 1
				}
			done
			sleep 0.2
		done
	done
}
