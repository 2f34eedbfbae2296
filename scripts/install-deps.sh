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
# Packages are installed as root, or through sudo by another user; a user without sudo is told
# the command to run as root, and nothing is installed. Safe to run again: packages already
# present are skipped quickly.
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

variant="${1:-test}"
case "$variant" in
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
# pdf.js (npm's pdfjs-dist), the second PDF reader of the prepared-report PDF tests, is put in a
# folder of the work tree that git ignores; npm comes from the distribution. Installed once; the
# tests skip their pdf.js checks without it.
pdfjs_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/support/pdfjs"
pdfjs_wanted=false
if [ "$variant" = test ] && [ ! -f "$pdfjs_dir/node_modules/pdfjs-dist/legacy/build/pdf.mjs" ]; then
    pdfjs_wanted=true
    if ! command -v npm >/dev/null 2>&1; then
        missing+=(npm)
    fi
fi

# Installing needs root: through sudo when it is there. Without it (a minimal system has none)
# nothing is started; the user is told what to run as root.
SUDO=""
if [ ${#missing[@]} -ne 0 ] && [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        {
            echo "install-deps: ${#missing[@]} packages are missing, and installing them needs root;"
            echo "install-deps: this user is not root and sudo is not installed. Run as root:"
            echo "  su -c 'apt-get update && apt-get install -y --no-install-recommends ${missing[*]}'"
            echo "install-deps: then run this command again."
        } >&2
        exit 1
    fi
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

if [ "$pdfjs_wanted" = true ]; then
    mkdir -p "$pdfjs_dir"
    echo "install-deps: installing pdfjs-dist into $pdfjs_dir"
    npm install --prefix "$pdfjs_dir" --no-audit --no-fund --silent --omit=optional \
        pdfjs-dist@5.6.205 >/dev/null ||
        echo "install-deps: WARNING: pdfjs-dist could not be installed; pdf.js checks will be skipped"
fi
