#!/usr/bin/env bash
# Installs what building and running need (no test tools), builds the two programs alone
# (build/viewer, an optimised build without tests) and opens the viewer on a report: the
# bundled sample, or the file named as the first argument. The report is opened by its content
# (--open), so any saved report opens whatever the case of its extension, and a file that is
# no report gets a message instead of an empty main window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" build
bash "$root/scripts/build.sh" viewer
report="${1:-$root/examples/exemplo.GVP}"
exec "$root/build/viewer/bin/zeralvisualizador" --open "$report"
