#!/usr/bin/env bash
# Builds the Debian package (from the optimised build of the two programs, build/viewer, with
# the distribution's hardening flags) and installs it on this machine, so that the desktop
# opens reports in the viewer, file managers show their first pages and `man zeralconv` works.
# Remove it again with `apt-get remove zeralvisualizador`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh build
bash scripts/build.sh viewer
rm -f build/package/zeralvisualizador_*.deb
cpack --config build/viewer/CPackConfig.cmake -B build/package
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
$SUDO apt-get install -y "$(ls "$root"/build/package/zeralvisualizador_*.deb)"
