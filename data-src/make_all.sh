#!/bin/bash
# Rebuilds every generated file of data/ from data-src/: the two mode
# pictures, the roll sound and the compiled help. The language files in data/
# are written by hand and are their own source.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "${1:-$here/../data}" && pwd)

"$here/make_pictures.sh" "$out"
python3 "$here/make_dice_sound.py" "$out/dice.wav"
"$here/make_help.sh" "$out"
