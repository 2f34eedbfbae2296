#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test: the normal build, then the
# programs as they are packaged (checking their installation, desktop files and Debian package
# with the real validators), then a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer, which also fuzzes the report readers for a short while.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
jobs="${ZR_JOBS:-$(nproc)}"

echo "== release build"
bash scripts/build.sh release
ctest --test-dir build/release -j "$jobs" --timeout 600

echo "== install: desktop files, validators and the Debian package (the hardened viewer build)"
bash scripts/build.sh viewer
bash scripts/check-install.sh build/viewer

echo "== sanitizer build"
bash scripts/build.sh sanitize
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize -j "$jobs" --timeout 900

echo "== short fuzzing"
fuzz_seconds="${ZR_FUZZ_SECONDS:-30}"
for target in build/sanitize/fuzzers/*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=$(mktemp -d)
    cp -r "fuzz/seeds/$name/." "$corpus/"
    rm -f "$corpus/README.md"
    "$target" -max_total_time="$fuzz_seconds" -max_len=65536 -timeout=10 \
        -artifact_prefix="build/sanitize/fuzz-$name-" "$corpus" 2>&1 | tail -n 3
    rm -rf "$corpus"
done
echo "== all tests passed"
