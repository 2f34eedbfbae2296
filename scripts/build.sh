#!/usr/bin/env bash
# Configures and builds one configuration of CMakePresets.json: build.sh [release|sanitize|debug]
# (default release), into build/<configuration>; ccache is used when present.
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
