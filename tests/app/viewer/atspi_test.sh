#!/usr/bin/env bash
# Runs atspi_check.py on a private X server (Xvfb) with its own session bus and accessibility
# bus, as a desktop with a screen reader has them. Usage: atspi_test.sh VIEWER QP3 GVP
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && launcher=$candidate && break
done
if [ -z "$launcher" ] || ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    ! command -v xdotool >/dev/null || ! command -v xvfb-run >/dev/null; then
    echo "atspi_test: at-spi2-core, python3-pyatspi, xdotool or xvfb missing" >&2
    exit 1
fi
export HOME="$work" XDG_RUNTIME_DIR="$work/run" NO_AT_BRIDGE=0
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# A display number of its own, away from the ones other tests on this machine take.
exec xvfb-run -a -n $((200 + RANDOM % 500)) -s "-screen 0 1280x1024x24" \
    dbus-run-session -- bash -c '
        "$0" --launch-immediately &
        sleep 1
        /usr/bin/python3 "$1/atspi_check.py" "$2" "$3" "$4" "$5"' \
    "$launcher" "$here" "$1" "$2" "$3" "$work"
