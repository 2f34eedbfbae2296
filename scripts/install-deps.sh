#!/usr/bin/env bash
# Installs the Debian packages the project needs:
#
#   install-deps.sh build   what building and running the two programs need: compiler, CMake,
#                           Ninja, Qt and the libraries, fonts (run-viewer.sh, install-package.sh)
#   install-deps.sh         that, and what the tests, benchmarks and install checks add: the test
#                           framework, clang with its sanitizers and fuzzer, a private CUPS
#                           scheduler, PDF readers, Xvfb with xdotool and the accessibility
#                           bus, the desktop validators, lintian and pdf.js from npm (test.sh)
#
# Safe to run again: packages already present are skipped quickly.
set -euo pipefail

build_packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev
    libcups2-dev
    libfreetype-dev libharfbuzz-dev libfontconfig-dev libfribidi-dev fontconfig fonts-liberation2
    fonts-crosextra-carlito fonts-crosextra-caladea fonts-wine fonts-dejavu-core fonts-open-sans
    nettle-dev libidn-dev
    zlib1g-dev libdeflate-dev libjpeg-dev libpng-dev
)
test_packages=(
    googletest libgtest-dev
    clang libclang-rt-14-dev
    cups cups-bsd cups-client cups-filters
    qpdf poppler-utils ghostscript fonts-urw-base35 fonts-wqy-microhei nodejs xvfb xauth chromium
    desktop-file-utils appstream libxml2-utils shared-mime-info xdg-utils libfile-mimeinfo-perl
    man-db file lintian librsvg2-bin libpugixml-dev
    at-spi2-core dbus-daemon python3-pyatspi xdotool
)

case "${1:-test}" in
build) packages=("${build_packages[@]}") ;;
test) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: install-deps.sh [build|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
else
    echo "install-deps: installing ${missing[*]}"
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-test}" = build ]; then
    exit 0
fi

# pdf.js (npm's pdfjs-dist), the second PDF reader of the prepared-report PDF tests, in a folder
# of the work tree that git ignores. Installed once; the tests skip their pdf.js checks without it.
pdfjs_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/support/pdfjs"
if [ ! -f "$pdfjs_dir/node_modules/pdfjs-dist/legacy/build/pdf.mjs" ]; then
    if ! command -v npm >/dev/null 2>&1; then
        $SUDO apt-get update -qq
        $SUDO apt-get install -y -qq --no-install-recommends npm
    fi
    mkdir -p "$pdfjs_dir"
    echo "install-deps: installing pdfjs-dist into $pdfjs_dir"
    npm install --prefix "$pdfjs_dir" --no-audit --no-fund --silent --omit=optional \
        pdfjs-dist@5.6.205 >/dev/null ||
        echo "install-deps: WARNING: pdfjs-dist could not be installed; pdf.js checks will be skipped"
fi
