#!/usr/bin/env bash
# The built viewer started with a file named as a report (".GVP", ".QP3") that holds none: a
# message, answered by Enter as the user does, then the program ends with status 1 and shows no
# preview (a preview would keep the program running until the test's time limit).
# Runs on a private X server. Usage: start_refusal_test.sh VIEWER
set -euo pipefail
viewer=$1
if ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
    echo "start_refusal_test: xdotool or xvfb missing" >&2
    exit 1
fi
work=$(mktemp -d)
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
# The server writes its display number once it accepts connections.
read -r number <"$work/display"
export DISPLAY=":$number" HOME="$work" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

: >"$work/vazio.GVP"
printf 'apenas texto\r\n' >"$work/notas.GVP"
: >"$work/vazio.QP3"
printf '<?xml version="1.0"?><relatorio/>' >"$work/outro.qp3"
printf '<< Gravana 5.0 - Morvane Sistemas >>\r\n' >"$work/fechado.GVP"
chmod 000 "$work/fechado.GVP"
files=("$work/vazio.GVP" "$work/notas.GVP" "$work/vazio.QP3" "$work/outro.qp3")
# Unreadable only where permissions bind (not for root).
if [ ! -r "$work/fechado.GVP" ]; then
    files+=("$work/fechado.GVP")
fi

failures=0
for file in "${files[@]}"; do
    "$viewer" "$file" &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
    title=$(xdotool getwindowname "$window")
    # No window manager runs here: the X focus is set directly.
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers Return
    status=0
    wait "$pid" || status=$?
    if [ "$title" = "ZeralVisualizador" ] && [ "$status" -eq 1 ]; then
        echo "ok   $(basename "$file"): message \"$title\", exit status $status"
    else
        echo "FAIL $(basename "$file"): first window \"$title\", exit status $status"
        failures=$((failures + 1))
    fi
done
exit "$failures"
