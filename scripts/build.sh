#!/usr/bin/env bash
# Configures and builds one configuration of CMakePresets.json, into build/<configuration>:
#   build.sh [release|viewer|sanitize|debug]   (default release)
# release, sanitize and debug build everything, tests included; viewer builds the two programs
# and their manual pages alone, without tests. ccache is used when present.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
config="${1:-release}"
jobs="${ZR_JOBS:-$(nproc)}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
# Paths inside the work tree are hashed relative to it, so that another clone (CI's) finds the
# objects this one compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
cd "$root"
cmake --preset "$config" >/dev/null
cmake --build --preset "$config" -j "$jobs"
