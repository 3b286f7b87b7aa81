# Seats served to web browsers, for scripts/play. A seat is a private X server with a
# VNC face (Xvnc), listening only on a Unix socket of mode 600 in the run's private
# directory. One bridge (web/dravik_bridge.py, a single process for every seat) starts
# the seats as dravik-serve starts its own, serves the pages and carries each page's
# connection to its seat's socket, on a port per seat and one for onlookers. Each seat
# has a random password, which the bridge hands to Xvnc through an in-memory file and
# to this script through a pipe; it is printed only in the seat's address, after '#',
# where the page reads it: it never reaches a disk or a server's log. Without it the VNC
# server shows nothing and takes no key. The bridge tells of the seats only once it holds
# every port. Onlookers have a password of their own, which Xvnc takes as view-only: it
# drops their keys and pointer. The bridge reaches a seat for them only once the players
# are in, so that no onlooker starts the game.
#
# The caller sources common.sh and xvfb.sh, and before web_serve sets:
#   work     a private directory (mode 700), removed when the run ends
#   started  an array that gets the process ids to stop when the run ends
#   tls      the bridge's options for HTTPS (--cert ... --key ...), or an empty array
# Every seat's X server accepts only clients that present the cookie in $work/xauth:
# run the game with XAUTHORITY=$work/xauth.

WEB_PACKAGES=(tigervnc-standalone-server tigervnc-tools novnc xauth python3 x11-utils)
NOVNC_DIR=/usr/share/novnc
BRIDGE_STARTUP_TENTHS=100   # tenths of a second that the bridge may take to start
SEATS_STARTUP_SECONDS=30    # and then its seats, each

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

# check_certificate CERT [KEY]: fails, saying why, unless the bridge can serve HTTPS with
# them, before anything starts; prints the certificate's first name that is no wildcard,
# if it has one. An encrypted key is refused: nobody would be there to type its passphrase.
check_certificate() {
	python3 -c 'import ssl, sys
try:
    ssl.create_default_context(ssl.Purpose.CLIENT_AUTH).load_cert_chain(
        sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None, password=lambda: b"")
    fields = ssl._ssl._test_decode_cert(sys.argv[1])
except (OSError, ssl.SSLError) as error:
    files = " with ".join(sys.argv[1:])
    sys.exit(f"scripts/play: {files}: no certificate with its unencrypted key ({error})")
names = [v for k, v in fields.get("subjectAltName", ()) if k == "DNS"]
names += [v for rdn in fields.get("subject", ()) for k, v in rdn if k == "commonName"]
print(next((n for n in names if "*" not in n and n.replace(".", "").replace("-", "").isalnum()), ""))
' "$@"
}

# web_seats_prepare: the onlookers' directory of seats, in $work; no seat yet.
web_seats_prepare() {
	mkdir -p "$work/watch-seats"
	seat_specs=()
}

# web_seat_computer LEVEL BOT: the computer opponent BOT, playing at LEVEL on an X server
# that the bridge starts with the seats.
web_seat_computer() {
	seat_specs+=(--computer "$1" --bot "$2")
}

# web_seat_add NAME WIDTH HEIGHT: a seat whose screen is WIDTH x HEIGHT, named NAME in its
# page, its VNC server on $work/seat.N.sock, N counting the seats from 1.
web_seat_add() {
	seat_specs+=(--seat "$2x$3:$1")
}

# web_serve ADDR PORT WATCH: the bridge on ADDR with the seats added, each on its own port
# from PORT on, and with WATCH 1 the onlookers on the next; once it holds them all and
# the seats have started, sets (naming the machine $host, when set) $seat_displays,
# $seat_servers (their X servers' processes), $seat_passwords, $seat_addresses (one per
# seat), $computer_display (with the computer), $watch_password and $watch_address, and
# files the cookie of the seats (and of the computer's server) in $work/xauth.
# Fails saying so if a port is taken or the bridge does not start.
web_serve() {
	local addr=$1 port=$2 probe listen i p bridge name ports=() listeners=() scheme=http
	local count=0 out kind number display pid password
	for p in "${seat_specs[@]}"; do
		[ "$p" != --seat ] || count=$((count + 1))
	done
	probe=$(local_host "$addr")
	listen=$addr
	case $listen in *:*) listen="[$listen]" ;; esac
	for ((i = 1; i <= count + $3; i++)); do
		p=$((port + i - 1))
		if port_open "$probe" "$p"; then
			echo "Port $p on $addr is taken: choose another with --port." >&2
			exit 1
		fi
		ports+=("$p")
		listeners+=("$([ "$i" -le "$count" ] && echo "$i" || echo watch)@$listen:$p")
	done
	bridge=$(PATH=$PATH:$ROOT/web command -v dravik_bridge.py)
	# The passwords come through a pipe, never a file.
	mkfifo -m 600 "$work/bridge.out"
	"$bridge" --pages "$ROOT/data/web" --novnc "$NOVNC_DIR" --run "$work" "${tls[@]}" \
		"${seat_specs[@]}" "${listeners[@]}" >"$work/bridge.out" 2>"$work/bridge.log" &
	started+=($!)
	exec {out}<"$work/bridge.out"
	for ((i = 0; i < BRIDGE_STARTUP_TENTHS; i++)); do
		port_open "$probe" "${ports[-1]}" && break
		kill -0 "${started[-1]}" 2>/dev/null || break
		sleep 0.1
	done
	# Another program may have bound a port since it was found free: the addresses, and
	# with them the passwords, go to none but the bridge.
	if port_open "$probe" "${ports[-1]}"; then
		for p in "${ports[@]}"; do
			if ! owns_port "${started[-1]}" "$p"; then
				echo "Another program took port $p on $addr: choose another with --port." >&2
				exit 1
			fi
		done
	fi
	# Then it starts the seats and tells of them.
	seat_displays=() seat_servers=() seat_passwords=() watch_password= computer_display=
	while [ -z "$watch_password" ] &&
		read -r -t "$SEATS_STARTUP_SECONDS" -u "$out" kind number display pid password; do
		case $kind in
		seat)
			seat_displays+=("$display")
			seat_servers+=("$pid")
			seat_passwords+=("$password")
			;;
		computer) computer_display=$number ;;
		watch) watch_password=$number ;;
		esac
	done
	exec {out}<&-
	if [ -z "$watch_password" ] || [ ${#seat_servers[@]} -ne "$count" ]; then
		echo "The web seats' server did not start on $addr:" >&2
		cat "$work/bridge.log" >&2
		exit 1
	fi
	cat "$work"/seat.*.auth >"$work/xauth"
	[ -z "$computer_display" ] || cat "$work"/computer.*.auth >>"$work/xauth"
	[ ${#tls[@]} -eq 0 ] || scheme=https
	name=$(public_host "${host:-$addr}")
	seat_addresses=()
	for ((i = 0; i < count; i++)); do
		seat_addresses+=("$scheme://$name:${ports[i]}/#password=${seat_passwords[i]}")
	done
	watch_address="$scheme://$name:${ports[-1]}/#password=$watch_password&seats=$count"
}

# web_watch_open: lets the onlookers in. Each seat's Xvnc reads its password file anew at
# every login: the file, in memory, gets the onlookers' password as its view-only second
# line; the seat's socket then shows in the onlookers' directory, where the bridge looks.
# Fails if a seat's server is gone.
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
	for log in "$work"/seat.*.log; do
		until grep -q 'Server default pixel format' "$log"; do
			for pid in "${started[@]}" "${seat_servers[@]}"; do
				kill -0 "$pid" 2>/dev/null || {
					echo "A server of the run ended before the players came." >&2
					return 1
				}
			done
			sleep 0.2
		done
	done
}

# fragment_value TEXT: TEXT as a value in an address's fragment (a player's name for his
# page), all but letters and digits escaped.
fragment_value() {
	python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$1"
}

# web_seat_listen_for_key DISPLAY: from now on notes in $work the first key pressed (or
# button) on the seat of DISPLAY, while no window is there to take it. Returns once the
# listener has the screen's keys, so that no key pressed as soon as the seat's address is
# out goes unheard; fails if the listener ends first.
web_seat_listen_for_key() {
	xev -display "$1" -root -event keyboard -event button >"$work/first-key" 2>&1 &
	started+=($!)
	key_listener=$!
	# The events that some client takes from the root window: none but the listener does.
	until xwininfo -display "$1" -root -events 2>/dev/null | grep -qx '[[:space:]]*KeyPress'; do
		kill -0 "$key_listener" 2>/dev/null || {
			echo "The first key's listener ended:" >&2
			cat "$work/first-key" >&2
			return 1
		}
		sleep 0.05
	done
}

# web_seat_wait_for_key: returns once that key has been pressed and nothing listens any
# more, so that the game, started then, gets every key that follows. Fails when a
# process of the run has ended.
web_seat_wait_for_key() {
	local pid
	until grep -q -E '^(KeyPress|ButtonPress) ' "$work/first-key"; do
		for pid in "${started[@]}"; do
			kill -0 "$pid" 2>/dev/null || {
				echo "A process of the run ended before the first key:" >&2
				cat "$work/first-key" >&2
				return 1
			}
		done
		sleep 0.1
	done
	kill "$key_listener"
	wait "$key_listener" 2>/dev/null || true
}
