#!/bin/sh
# Renders the application icon from quintara.svg into the PNG sizes that
# desktops look for. Needs rsvg-convert (Debian package librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert -w "$size" -h "$size" quintara.svg -o "${size}x${size}/quintara.png"
    [ -s "${size}x${size}/quintara.png" ] || { echo "icon $size not made" >&2; exit 1; }
done
