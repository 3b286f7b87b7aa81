# What driving the web seats from headless Chromium needs, shared by the browser tests
# (tests/web/run.sh) and the benchmark (scripts/bench): the tools, and the node packages
# of tests/web/ installed from its lock file into a build.

WEB_BROWSER_NODE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tests/web" && pwd)

# web_browser_missing: prints the first tool that is missing, nothing when all are there.
web_browser_missing() {
	local tool
	for tool in node npm /usr/bin/chromium Xvnc vncpasswd /usr/bin/python3 xauth pgrep; do
		command -v "$tool" >/dev/null || { echo "$tool"; return 0; }
	done
	[ -f /usr/share/novnc/core/rfb.js ] || echo noVNC
}

# web_browser_modules BUILD_DIR: the node packages in BUILD_DIR/tests/web-node, installed
# again only when the lock file has changed; exports NODE_PATH to them.
web_browser_modules() {
	local modules
	modules=$(cd "$1" && pwd)/tests/web-node
	if ! cmp -s "$WEB_BROWSER_NODE_DIR/package-lock.json" "$modules/package-lock.json" ||
		[ ! -d "$modules/node_modules/playwright-core" ]; then
		rm -rf "$modules"
		mkdir -p "$modules"
		cp "$WEB_BROWSER_NODE_DIR/package.json" "$WEB_BROWSER_NODE_DIR/package-lock.json" \
			"$modules/"
		(cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
	fi
	export NODE_PATH=$modules/node_modules
}
