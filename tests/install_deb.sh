#!/bin/sh
# The Debian packages built with `cpack -G DEB` from a build: the game's files and control
# data, what its post-install script makes (run as dpkg runs it, into a root of the test's
# own through DPKG_ROOT), what purging removes; the web server's files, dependencies and
# systemd unit; and what lintian says of both.
#   install_deb.sh <build directory> <source directory> <games directory> <version>
set -u
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
games=${3%/}
version=$4
failed=0
checks=0

tmp=$(mktemp -d /tmp/dravik-deb-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

. "$(dirname "$0")/install_checks.sh"
same_text() {
	[ "$1" = "$2" ] || { printf '  got:\n%s\n  wanted:\n%s\n' "$1" "$2"; return 1; }
}

if ! (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out") \
	>"$tmp/cpack.log" 2>&1; then
	echo "FAIL cpack -G DEB:"
	cat "$tmp/cpack.log"
	exit 1
fi
deb=$tmp/out/dravik_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL no $deb:"; ls "$tmp/out"; exit 1; }

# The files, and nothing else: the games directory is the post-install script's.
contents=$(dpkg-deb -c "$deb")
files=$(printf '%s\n' "$contents" | awk '$1 !~ /^d/ { print $6 }' | sort)
check "the package's files" same_text "$files" "./usr/games/dravik
./usr/games/dravik-tables
./usr/share/applications/dravik.desktop
./usr/share/doc/dravik/changelog.gz
./usr/share/doc/dravik/copyright
./usr/share/icons/hicolor/scalable/apps/dravik.svg
./usr/share/man/man6/dravik-tables.6.gz
./usr/share/man/man6/dravik.6.gz
./usr/share/metainfo/org.example.dravik.metainfo.xml"
check "every file root's" sh -c "! printf '%s\n' '$contents' | awk '{ print \$2 }' | grep -v '^root/root$'"
check "program shipped plain, made set-group-ID on install" \
	sh -c "printf '%s\n' '$contents' | grep -q '^-rwxr-xr-x .* ./usr/games/dravik$'"

field() { dpkg-deb -f "$deb" "$1"; }
check "package name" same_text "$(field Package)" dravik
check "version" same_text "$(field Version)" "$version"
check "section" same_text "$(field Section)" games
check "depends on the X library" sh -c "dpkg-deb -f '$deb' Depends | grep -q libx11"
check "nothing of the web server's" sh -c "! dpkg-deb -f '$deb' Depends | grep -Eq 'python|vnc'"

dpkg-deb -x "$deb" "$tmp/root"
dpkg-deb -e "$deb" "$tmp/control"
check "desktop entry as in the sources" cmp -s "$tmp/root/usr/share/applications/dravik.desktop" "$src/data/dravik.desktop"
check "manual page as in the sources" sh -c "gzip -dc '$tmp/root/usr/share/man/man6/dravik.6.gz' | cmp -s - '$src/docs/dravik.6'"
check "program stripped" sh -c "! file -L '$tmp/root/usr/games/dravik' | grep -q 'not stripped'"
check "maintainer scripts executable" test -x "$tmp/control/postinst" -a -x "$tmp/control/postrm"
tail -n +5 "$src/LICENSE" >"$tmp/licence"
check "copyright carries the licence" sh -c "sed '1,/^License: Expat\$/d; s/^ //; s/^\.\$//' \
	'$tmp/root/usr/share/doc/dravik/copyright' | cmp -s - '$tmp/licence'"
if command -v desktop-file-validate >/dev/null; then
	check "desktop entry valid" desktop-file-validate "$tmp/root/usr/share/applications/dravik.desktop"
fi
if command -v appstreamcli >/dev/null; then
	check "AppStream metadata valid with its desktop entry" appstreamcli validate-tree --no-net "$tmp/root"
fi

if [ "$(id -u)" -eq 0 ] && getent group games >/dev/null; then
	g=$tmp/root$games
	check "post-install script" env DPKG_ROOT="$tmp/root" sh "$tmp/control/postinst" configure
	check "program set-group-ID games" mode_is "$tmp/root/usr/games/dravik" 2755 games
	check "games directory of group games" mode_is "$g" 2775 games
	for f in .dravik.hiscore.single .dravik.hiscore .dravik.log; do
		check "$f writable by group games" mode_is "$g/$f" 664 games
	done
	check "marker closed to others" mode_is "$g/.dravik.unlock" 660 games
	# The starting tables are the ones that an install from the sources makes.
	cmake -DGAMES_DIR="$tmp/from-sources" -P "$src/cmake/games_dir.cmake" >/dev/null
	for f in .dravik.hiscore.single .dravik.hiscore .dravik.log .dravik.unlock; do
		check "$f as an install makes it" cmp -s "$g/$f" "$tmp/from-sources/$f"
	done

	# An upgrade keeps the hiscores and a lock that a running game holds.
	echo "zoe 9999" >"$g/.dravik.hiscore.single"
	mv "$g/.dravik.unlock" "$g/.dravik.lock"
	rm "$g/.dravik.hiscore"
	check "post-install script again" env DPKG_ROOT="$tmp/root" sh "$tmp/control/postinst" configure 2.20
	check "hiscores kept" same_text "$(cat "$g/.dravik.hiscore.single")" "zoe 9999"
	check "missing duel tables made again" cmp -s "$g/.dravik.hiscore" "$tmp/from-sources/.dravik.hiscore"
	check "no second marker while the lock is held" test ! -e "$g/.dravik.unlock"

	check "removal keeps the games directory" env DPKG_ROOT="$tmp/root" sh "$tmp/control/postrm" remove
	check "hiscores kept on removal" test -f "$g/.dravik.hiscore.single"
	check "purge" env DPKG_ROOT="$tmp/root" sh "$tmp/control/postrm" purge
	check "games directory gone on purge" test ! -e "$g"
	# A directory of a games member's under any name that the purge removes: reported and
	# left with what it holds, the rest removed, and the purge does not fail.
	for f in .dravik.hiscore.single .dravik.hiscore .dravik.log .dravik.unlock .dravik.lock; do
		rm -rf "$g" && env DPKG_ROOT="$tmp/root" sh "$tmp/control/postinst" configure
		rm -f "$g/$f" && mkdir "$g/$f" && touch "$g/$f/kept"
		check "purge beside a directory $f" \
			env DPKG_ROOT="$tmp/root" sh "$tmp/control/postrm" purge 2>"$tmp/purge.err"
		check "$f reported" grep -q "$f" "$tmp/purge.err"
		check "all but $f removed, and not what it holds" \
			same_text "$(ls -A "$g") $(ls -A "$g/$f")" "$f kept"
	done
else
	echo "SKIP the post-install script: it needs root and a group games"
fi

# The web server's package: the server, the pages, the computer opponent and the unit.
web=$tmp/out/dravik-web_${version}_$(dpkg --print-architecture).deb
dpkg-deb -x "$web" "$tmp/root"
wanted=$(ls "$src/data/web" | sed 's|^|./usr/share/dravik/web/|'
	echo "./lib/systemd/system/dravik-serve.service ./usr/games/dravik-serve
./usr/share/doc/dravik-web/changelog.gz ./usr/share/doc/dravik-web/copyright
./usr/share/dravik/serve/dravik_bridge.py ./usr/share/man/man6/dravik-serve.6.gz" | tr ' ' '\n'
	[ ! -f "$src/web/dravik_serve.py" ] || echo ./usr/share/dravik/serve/dravik_serve.py
	[ ! -x "$build/dravik-bot" ] || printf './usr/games/dravik-bot\n./usr/share/man/man6/dravik-bot.6.gz\n')
check "the web package's files" same_text "$(dpkg-deb -c "$web" | awk '$1 !~ /^d/ { print $6 }' | sort)" \
	"$(printf '%s\n' "$wanted" | sort)"
check "dravik-web's dependencies" sh -c "dpkg-deb -f '$web' Depends | grep -q '^dravik (= $version), \
tigervnc-standalone-server, tigervnc-tools, novnc, xauth, python3, x11-utils, adduser, '"
touch "$tmp/root/usr/share/dravik/serve/dravik_serve.py"   # listed above once in the sources
for p in $(grep -o ' /usr/[^ ]*' "$tmp/root/usr/games/dravik-serve" | grep -v -e novnc -e /usr/bin/); do
	check "launcher's $p installed" test -e "$tmp/root$p"
done
unit=$tmp/root/lib/systemd/system/dravik-serve.service
check "unit: the games directory writable" grep -qx "ReadWritePaths=-$games" "$unit"
check "unit keeps the game's set-group-ID" sh -c "! grep -Eq '^(NoNewPrivileges|SystemCallFilter|RestrictSUIDSGID|PrivateDevices)=' '$unit'"
# Verified against the system's own units, the package's files in place.
cp -an /lib/systemd/system/. "$tmp/root/lib/systemd/system/"
check "unit verified by systemd" sh -c "systemd-analyze verify --man=no --root='$tmp/root' \
	/lib/systemd/system/dravik-serve.service >'$tmp/verify.log' 2>&1 && ! grep . '$tmp/verify.log'"

if command -v lintian >/dev/null; then
	# Errors and warnings fail the packages.
	if ! lintian --fail-on error,warning "$deb" "$web" >"$tmp/lintian.log" 2>&1; then
		echo "FAIL lintian:"
		failed=1
	fi
	grep -v 'running with root privileges' "$tmp/lintian.log"
	checks=$((checks + 1))
else
	echo "SKIP lintian: not installed"
fi

[ "$failed" -eq 0 ] && echo "the Debian packages: $checks checks passed"
exit "$failed"
