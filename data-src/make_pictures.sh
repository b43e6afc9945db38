#!/bin/bash
# Renders the two mode-button pictures (185 x 40 JPEG) of the set-up dialog
# from their SVG sources: data-src/pictures/NAME.svg -> data/NAME.jpg, and
# the same at twice the size (370 x 80) for screens scaled by two or more:
# data/NAME@2x.jpg.
# Needs rsvg-convert (Debian librsvg2-bin) and ImageMagick (Debian imagemagick).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../data}
width=185
height=40

for tool in rsvg-convert convert identify; do
  command -v "$tool" >/dev/null || { echo "make_pictures: $tool not found" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# make NAME SCALE OUTPUT: the picture at SCALE times 185 x 40.
make() {
  local w=$((width * $2)) h=$((height * $2)) size
  rsvg-convert -w "$w" -h "$h" "$here/pictures/$1.svg" -o "$work/$1.png"
  # 4:4:4 sampling keeps the thin red and white edges free of colour bleeding;
  # -strip drops time stamps so a rebuild gives the same bytes.
  convert "$work/$1.png" -background white -flatten -strip \
    -sampling-factor 4:4:4 -quality 92 "$3"
  size=$(identify -format '%m %wx%h' "$3")
  [[ $size == "JPEG ${w}x${h}" ]] || { echo "make_pictures: $3 is $size" >&2; exit 1; }
  echo "made $3"
}

for name in pvp_0 pvc_0; do
  make "$name" 1 "$out/$name.jpg"
  make "$name" 2 "$out/$name@2x.jpg"
done
