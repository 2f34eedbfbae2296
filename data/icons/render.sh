#!/usr/bin/env bash
# Draws the PNG sizes of every icon from its SVG. The PNGs are kept in the tree, so this runs
# only after an SVG changes (needs rsvg-convert, Debian's librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
    name=${svg%.svg}
    for size in 16 22 24 32 48 64 128 256; do
        rsvg-convert -w "$size" -h "$size" "$svg" -o "$name-$size.png"
    done
done
