#!/bin/bash
# Renders the two mode-button pictures (185 x 40 JPEG) of the set-up dialog
# from their SVG sources: data-src/pictures/NAME.svg -> data/NAME.jpg.
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

for name in pvp_0 pvc_0; do
  rsvg-convert -w "$width" -h "$height" "$here/pictures/$name.svg" -o "$work/$name.png"
  # 4:4:4 sampling keeps the thin red and white edges free of colour bleeding;
  # -strip drops time stamps so a rebuild gives the same bytes.
  convert "$work/$name.png" -background white -flatten -strip \
    -sampling-factor 4:4:4 -quality 92 "$out/$name.jpg"
  size=$(identify -format '%m %wx%h' "$out/$name.jpg")
  [[ $size == "JPEG ${width}x${height}" ]] || { echo "make_pictures: $name.jpg is $size" >&2; exit 1; }
  echo "made $out/$name.jpg"
done
