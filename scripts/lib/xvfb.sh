# X servers of the scripts' own, each on a free display number that it reports itself
# (-displayfd). The callers stop them: each start gives the server's process id.

X_START_TENTHS=100   # tenths of a second that a server may take to start
# What the servers are started through: scripts/play sets it to scripts/lib/shielded.py,
# so that Ctrl-C reaches the script alone, which then ends the game before the servers.
X_SERVER_WRAPPER=()

# new_server_auth FILE: a private authority file holding a new random cookie (in
# $cookie), filed under any display: a server given -auth FILE takes only that cookie.
new_server_auth() {
	: >"$1"
	chmod 600 "$1"
	cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
	file_cookie :0 "$cookie" "$1"
}

# file_cookie DISPLAY COOKIE FILE: files the cookie for the display in authority FILE,
# for the clients that read it.
file_cookie() {
	printf 'add %s . %s\n' "$1" "$2" | xauth -q -f "$3" source -
}

# wait_for_display PID NUMBER_FILE LOG WHAT: waits until the X server PID has written its
# display number into NUMBER_FILE; the display (":N") in $display. If it does not start,
# shows its LOG and fails.
wait_for_display() {
	local pid=$1 number=$2 log=$3 what=$4 i
	for ((i = 0; i < X_START_TENTHS; i++)); do
		if [ -s "$number" ]; then
			display=:$(head -n1 "$number")
			return 0
		fi
		kill -0 "$pid" 2>/dev/null || break
		sleep 0.1
	done
	echo "$what did not start:" >&2
	cat "$log" >&2
	return 1
}

# start_xvfb DIR WIDTH HEIGHT [OPTION...]: a private Xvfb with a 24-bit screen of that
# size and those options, its files in DIR; its process id in $xvfb_pid, its display in
# $display. A server too slow to start is ended before it fails.
start_xvfb() {
	local number
	number=$(mktemp "$1/display.XXXXXX")
	"${X_SERVER_WRAPPER[@]}" Xvfb -displayfd 3 -screen 0 "${2}x${3}x24" -nolisten tcp "${@:4}" 3>"$number" \
		>/dev/null 2>"$number.log" &
	xvfb_pid=$!
	wait_for_display "$xvfb_pid" "$number" "$number.log" Xvfb && return 0
	kill "$xvfb_pid" 2>/dev/null || true
	wait "$xvfb_pid" 2>/dev/null || true
	return 1
}
