#!/usr/bin/env bash
# Draws the icons' PNG sizes. The PNGs are kept in the tree, so this runs only after a drawing
# changes: 32 pixels and up from each SVG (needs rsvg-convert, Debian's librsvg2-bin); 16, 22
# and 24 pixels, drawn by hand on the pixel grid, and the contact sheet docs/icons-16px.png from
# draw_small_icons.py (needs python3).
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
    name=${svg%.svg}
    for size in 32 48 64 128 256; do
        rsvg-convert -w "$size" -h "$size" "$svg" -o "$name-$size.png"
    done
done
python3 draw_small_icons.py
