#!/usr/bin/env bash
# run.sh BUILD_DIR PROGRAM [BOT]: the browser tests of scripts/play's web seats, playing
# PROGRAM, and against BOT, the computer opponent, when it is given. Installs the
# tests' node packages from the lock file into the build (tests/web-node/), and leaves
# the README's picture in BUILD_DIR/tests/web-pictures/.
# Skipped (77) when what the seats or the browser need is missing, unless
# DRAVIK_WEB_REQUIRED is set, as scripts/test sets it after installing them all.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
program=$2
bot=${3:-}

missing() {
	echo "$1 is missing"
	[ -z "${DRAVIK_WEB_REQUIRED:-}" ] || exit 1
	exit 77
}
for tool in node npm /usr/bin/chromium Xvnc vncpasswd websockify xauth python3 pgrep; do
	command -v "$tool" >/dev/null || missing "$tool"
done
[ -f /usr/share/novnc/core/rfb.js ] || missing noVNC

modules=$build/tests/web-node
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" ||
	[ ! -d "$modules/node_modules/playwright-core" ]; then
	rm -rf "$modules"
	mkdir -p "$modules"
	cp "$here/package.json" "$here/package-lock.json" "$modules/"
	(cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi

export NODE_PATH=$modules/node_modules DRAVIK_PROGRAM=$program DRAVIK_BOT=$bot
export DRAVIK_WEB_PICTURES=$build/tests/web-pictures
exec node --test "$here/seats.test.js"
