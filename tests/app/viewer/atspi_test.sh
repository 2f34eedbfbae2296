#!/usr/bin/env bash
# Runs atspi_check.py on a private X server (Xvfb) with its own session bus and accessibility
# bus, as a desktop with a screen reader has them. Usage: atspi_test.sh VIEWER QP3 GVP
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && launcher=$candidate && break
done
if [ -z "$launcher" ] || ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
    echo "atspi_test: at-spi2-core, python3-pyatspi, xdotool or xvfb missing" >&2
    exit 1
fi
# The server picks a free display and writes its number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "atspi_test: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
export HOME="$work" XDG_RUNTIME_DIR="$work/run" NO_AT_BRIDGE=0
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- bash -c '
    "$0" --launch-immediately &
    sleep 1
    /usr/bin/python3 "$1/atspi_check.py" "$2" "$3" "$4" "$5"' \
    "$launcher" "$here" "$1" "$2" "$3" "$work"
