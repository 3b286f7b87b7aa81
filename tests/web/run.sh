#!/usr/bin/env bash
# run.sh BUILD_DIR PROGRAM [BOT]: the browser tests of scripts/play's web seats, playing
# PROGRAM, and against BOT, the computer opponent, when it is given. Installs the
# tests' node packages from the lock file into the build (tests/web-node/), and leaves
# the README's pictures in BUILD_DIR/tests/web-pictures/.
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
. "$here/../../scripts/lib/web_browser.sh"
tool=$(web_browser_missing)
[ -z "$tool" ] || missing "$tool"
web_browser_modules "$build"
command -v openssl >/dev/null || missing openssl   # the HTTPS seat's certificate

export DRAVIK_PROGRAM=$program DRAVIK_BOT=$bot
export DRAVIK_WEB_PICTURES=$build/tests/web-pictures
# One file at a time: every file plays games on free ports of this machine.
# A dot a test, then every failure whole, where a long log is still read; the whole
# account goes to BUILD_DIR/tests/web.tap.
exec node --test --test-concurrency=1 --test-reporter=dot --test-reporter-destination=stdout \
	--test-reporter=tap --test-reporter-destination="$build/tests/web.tap" "$here"/*.test.js
