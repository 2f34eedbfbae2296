#!/usr/bin/env bash
# Installs everything the project needs to build and test on Debian.
# Safe to run again: packages already present are skipped quickly.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libcups2-dev cups cups-bsd cups-client cups-filters
    libfreetype-dev libharfbuzz-dev libfontconfig-dev fontconfig fonts-liberation2
    zlib1g-dev libjpeg-dev libpng-dev libpugixml-dev
    googletest libgtest-dev
    clang libclang-rt-14-dev
    qpdf poppler-utils xvfb xauth chromium
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
