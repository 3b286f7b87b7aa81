# Shared by the installation tests (sourced): counted checks and file modes.
# The sourcing script sets failed=0 and checks=0 first.

# check NAME COMMAND...: runs the command, counts a failure under that name.
check() {
	name=$1
	shift
	checks=$((checks + 1))
	if ! "$@"; then
		echo "FAIL $name"
		failed=1
	fi
}

# mode_is PATH MODE [GROUP]: the octal mode, and the group when given.
mode_is() {
	mode=$(stat -c %a "$1" 2>&1) && [ "$mode" = "$2" ] ||
		{ echo "  $1: $mode, not mode $2"; return 1; }
	[ $# -lt 3 ] || [ "$(stat -c %G "$1")" = "$3" ] ||
		{ echo "  $1: group $(stat -c %G "$1"), not $3"; return 1; }
}
