#!/usr/bin/env bash
# Renders the menu icon's PNG sizes from icons/trivorn.svg into the hicolor
# layout beside it. The PNGs are committed, so that building and packaging
# need no SVG renderer: run this (needs rsvg-convert, Debian's librsvg2-bin)
# only after changing the SVG, and commit the result.
set -euo pipefail
DIST_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The sizes desktops look up in the hicolor theme before scaling anything.
for size in 16 24 32 48 64 128 256; do
    out=$DIST_DIR/icons/hicolor/${size}x${size}/apps
    mkdir -p "$out"
    rsvg-convert -w "$size" -h "$size" "$DIST_DIR/icons/trivorn.svg" -o "$out/trivorn.png"
done
