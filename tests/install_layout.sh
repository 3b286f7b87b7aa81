#!/bin/sh
# The install rules of a build, run as `cmake --install` runs them, into DESTDIRs of the
# test's own: where each file goes, the games directory with its files made only when
# missing, and, as root, the set-group-ID install with its group-writable directory.
#   install_layout.sh <build directory> <source directory> <games directory> <version>
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
games=${3%/}
version=$4
failed=0
checks=0

tmp=$(mktemp -d /tmp/dravik-layout-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

. "$(dirname "$0")/install_checks.sh"
lines_are() {
	lines=$(wc -l <"$1" 2>&1) && [ "$lines" -eq "$2" ] ||
		{ echo "  $1: $lines, not $2 lines"; return 1; }
}
# install_into DESTDIR PREFIX SETGID: the build's install rules, their messages in
# DESTDIR.log; the test ends here if they fail.
install_into() {
	mkdir -p "$1.run"
	if ! (cd "$1.run" && DESTDIR=$1 cmake -DCMAKE_INSTALL_PREFIX="$2" \
		-DDRAVIK_SETGID_GAMES="$3" -P "$build/cmake_install.cmake") >"$1.log" 2>&1; then
		echo "FAIL install into $1 with prefix $2, set-group-ID $3:"
		cat "$1.log"
		exit 1
	fi
}
# Nothing is installed beside DESTDIR: the real paths stay as they were.
system_before=$(ls -ld /usr/games/dravik "$games" 2>&1)

# Writable by all, the program an ordinary one.
d=$tmp/plain
install_into "$d" /usr OFF
check "program in the games binary directory" test -x "$d/usr/games/dravik"
check "program not set-group-ID" mode_is "$d/usr/games/dravik" 755
check "manual page compressed in section 6" sh -c "gzip -dc '$d/usr/share/man/man6/dravik.6.gz' | cmp -s - '$src/docs/dravik.6'"
check "desktop entry" cmp -s "$d/usr/share/applications/dravik.desktop" "$src/data/dravik.desktop"
if [ -x "$build/dravik-bot" ]; then
	check "computer opponent beside the program" test -x "$d/usr/games/dravik-bot"
	check "its manual page in section 6" sh -c "gzip -dc '$d/usr/share/man/man6/dravik-bot.6.gz' | cmp -s - '$src/docs/dravik-bot.6'"
fi
check "icon in the icon theme" cmp -s "$d/usr/share/icons/hicolor/scalable/apps/dravik.svg" "$src/data/dravik.svg"
metainfo=$d/usr/share/metainfo/org.example.dravik.metainfo.xml
check "AppStream metadata of this version" grep -q "<release version=\"$version\"" "$metainfo"
if command -v appstreamcli >/dev/null && command -v desktop-file-validate >/dev/null; then
	check "AppStream metadata valid" appstreamcli validate --no-net "$metainfo"
	check "installed desktop entry valid" desktop-file-validate "$d/usr/share/applications/dravik.desktop"
fi
check "games directory writable by all, not sticky" mode_is "$d$games" 777
for f in .dravik.hiscore.single .dravik.hiscore .dravik.log .dravik.unlock; do
	check "$f writable by all" mode_is "$d$games/$f" 666
done
check "single-play table of 15 entries" lines_are "$d$games/.dravik.hiscore.single" 15
check "duel tables of 30 entries" lines_are "$d$games/.dravik.hiscore" 30
check "match log empty" test ! -s "$d$games/.dravik.log"
# Every path that the install names, as it installs, keeps or creates it.
check "every installed path below DESTDIR" sh -c "! sed -n 's|^-- [^/]*\(/.*\)|\1|p' '$d.log' | grep -v '^$d/'"
check "the package's own files left out" test ! -e "$d/usr/share/doc/dravik/copyright"

# Another prefix moves all but the games directory, which the program has compiled in.
d=$tmp/prefix
install_into "$d" /opt/dravik OFF
check "program below that prefix" test -x "$d/opt/dravik/games/dravik"
check "web server's launcher naming the reader there" grep -q -- "--tables /opt/dravik/games/dravik-tables" \
	"$d/opt/dravik/games/dravik-serve"
check "manual page below that prefix" test -f "$d/opt/dravik/share/man/man6/dravik.6.gz"
check "games directory where the program looks" test -f "$d$games/.dravik.hiscore"

if [ "$(id -u)" -eq 0 ] && getent group games >/dev/null; then
	d=$tmp/setgid
	install_into "$d" /usr ON
	check "program set-group-ID games" mode_is "$d/usr/games/dravik" 2755 games
	check "games directory of group games, set-group-ID" mode_is "$d$games" 2775 games
	for f in .dravik.hiscore.single .dravik.hiscore .dravik.log; do
		check "$f writable by group games" mode_is "$d$games/$f" 664 games
	done
	check "marker closed to others" mode_is "$d$games/.dravik.unlock" 660 games

	# A second install keeps what the games have written and a lock a game holds.
	echo "zoe 9999" >"$d$games/.dravik.hiscore.single"
	chmod 660 "$d$games/.dravik.hiscore.single"
	mv "$d$games/.dravik.unlock" "$d$games/.dravik.lock"
	chmod 664 "$d$games/.dravik.lock"   # as an older install left it
	rm "$d$games/.dravik.hiscore"
	install_into "$d" /usr ON
	check "held marker closed to others" mode_is "$d$games/.dravik.lock" 660 games
	check "hiscores kept" test "$(cat "$d$games/.dravik.hiscore.single")" = "zoe 9999"
	check "their mode kept" mode_is "$d$games/.dravik.hiscore.single" 660 games
	check "missing duel tables made again" lines_are "$d$games/.dravik.hiscore" 30
	check "held lock kept" test -e "$d$games/.dravik.lock"
	check "no second marker while the lock is held" test ! -e "$d$games/.dravik.unlock"
	rm "$d$games/.dravik.lock" && install_into "$d" /usr ON
	check "a missing marker reported, not made" sh -c "grep -q 'No lock marker' '$d.log' &&
		test ! -e '$d$games/.dravik.unlock' -a ! -e '$d$games/.dravik.lock'"

	# AUTO, the default, is on for root.
	d=$tmp/auto
	install_into "$d" /usr AUTO
	check "root's install set-group-ID" mode_is "$d/usr/games/dravik" 2755 games

	# Installed again without the option, the program loses the bit.
	d=$tmp/setgid
	install_into "$d" /usr OFF
	check "program no longer set-group-ID" mode_is "$d/usr/games/dravik" 755
else
	echo "SKIP the set-group-ID install: it needs root and a group games"
fi

check "nothing installed outside DESTDIR" test "$(ls -ld /usr/games/dravik "$games" 2>&1)" = "$system_before"

[ "$failed" -eq 0 ] && echo "the install layout: $checks checks passed"
exit "$failed"
