#!/bin/sh
# Renders the committed PNG icons from the SVG (needs rsvg-convert, Debian's
# librsvg2-bin). Run it after changing resources/desktop/org.tarnwick.tarnwick.svg.
set -eu
cd "$(dirname "$0")/../resources/desktop"
command -v rsvg-convert >/dev/null || { echo "render-icons: needs rsvg-convert (apt-get install librsvg2-bin)" >&2; exit 1; }
for size in 16 24 32 48 64 128 256; do
    mkdir -p "icons/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" org.tarnwick.tarnwick.svg -o "icons/${size}x${size}/org.tarnwick.tarnwick.png"
done
