#!/usr/bin/env bash
# Installs what the program needs, builds it and opens the viewer on a report:
# the bundled sample, or the file named as the first argument.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" release
report="${1:-$root/examples/exemplo.GVP}"
exec "$root/build/release/bin/zeralvisualizador" "$report"
