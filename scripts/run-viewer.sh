#!/usr/bin/env bash
# Installs what building and running need (no test tools), builds the two programs alone
# (build/viewer, an optimised build without tests) and opens the viewer on a report: the
# bundled sample, or the file named as the first argument. The report is opened by its content
# (--open), so any saved report opens whatever the case of its extension, and a file that is
# no report gets a message instead of an empty main window.
#
# The viewer needs a display. Without one (no DISPLAY, no WAYLAND_DISPLAY, and no Qt platform
# chosen by QT_QPA_PLATFORM) the script stops at once, before installing or building anything,
# and says how to build alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'MESSAGE'
run-viewer: no display: DISPLAY and WAYLAND_DISPLAY are both unset, so the viewer cannot
open a window. Run this script in a terminal of a desktop session, or log in from one with
`ssh -X` (which needs the xauth package on this machine). To install and build the two
programs without opening the viewer (the converter needs no display; both end up in
build/viewer/bin):
  bash scripts/install-deps.sh build && bash scripts/build.sh viewer
MESSAGE
    exit 1
fi
bash "$root/scripts/install-deps.sh" build
bash "$root/scripts/build.sh" viewer
echo "run-viewer: the viewer and the converter are in $root/build/viewer/bin"
report="${1:-$root/examples/exemplo.GVP}"
exec "$root/build/viewer/bin/zeralvisualizador" --open "$report"
