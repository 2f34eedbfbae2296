#!/usr/bin/env bash
# Builds the Debian package (from the optimised build of the two programs, build/viewer, with
# the distribution's hardening flags) and installs it on this machine, so that the desktop
# opens reports in the viewer, file managers show their first pages and `man zeralconv` works.
# Remove it again with `apt-get remove zeralvisualizador`. Installing needs root or sudo; without
# either, the package is built and the command to install it as root is printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh build
bash scripts/build.sh viewer
rm -f build/package/zeralvisualizador_*.deb
cpack --config build/viewer/CPackConfig.cmake -B build/package
deb=$(ls "$root"/build/package/zeralvisualizador_*.deb)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "install-package: built $deb; this user is not root and sudo is not installed." \
            "Install it as root:" >&2
        echo "  su -c 'apt-get install -y $deb'" >&2
        exit 1
    fi
    SUDO="sudo"
fi
$SUDO apt-get install -y "$deb"
