# Shared by the scripts: the project's root, and installing Debian packages that are missing.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# need_packages PKG...: installs those of the packages that are not installed yet,
# through sudo when not root.
need_packages() {
	local missing=() pkg
	for pkg in "$@"; do
		dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
			missing+=("$pkg")
	done
	[ ${#missing[@]} -eq 0 ] && return 0
	local sudo=()
	[ "$(id -u)" -eq 0 ] || sudo=(sudo)
	echo "Installing: ${missing[*]}"
	"${sudo[@]}" apt-get update -qq
	DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
		"${missing[@]}" >/dev/null
}

# What building and running the game needs.
BUILD_PACKAGES=(g++ make cmake libx11-dev)
FONT_PACKAGES=(xfonts-base xfonts-75dpi xfonts-100dpi)
