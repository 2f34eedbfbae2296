#!/usr/bin/env bash
# Configures and builds one configuration: build.sh [release|sanitize] (default release).
# The build folder is build/<configuration>; ccache is used when present.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
config="${1:-release}"
jobs="${ZR_JOBS:-$(nproc)}"
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"

case "$config" in
release)
    cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZR_CI="${CI:+ON}" -DZR_WERROR=ON >/dev/null
    ;;
sanitize)
    CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/sanitize" -G Ninja \
        -DCMAKE_BUILD_TYPE=Debug -DZR_WERROR=ON -DZR_SANITIZE=ON -DZR_FUZZ=ON >/dev/null
    ;;
*)
    echo "usage: build.sh [release|sanitize]" >&2
    exit 2
    ;;
esac
cmake --build "$root/build/$config" -j "$jobs"
