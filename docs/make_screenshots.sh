#!/bin/sh
# Takes these pictures for English, German and Bulgarian (LANG en, de, bg),
# each from the built game on a virtual X display in a scratch copy of its
# directory with that language:
#   main-window-LANG.png  two people: after two turns, Ann has rolled twice
#                         holding dice 2 and 3; every free row of her column
#                         shows greyed what it would score
#   preview-LANG.png      the same, with the pointer on her Pair row and its tooltip
#   options-LANG.png      Tools > Options
#   new-game-LANG.png     Game > New Game, its question with Qt's own buttons
#   computer-move-LANG.png  against the computer, after the first turn: the
#                         computer's entry framed, with its tooltip
# and the set-up window at desktop scale 1 and 2 (QT_SCALE_FACTOR):
# setup-scale1.png and setup-scale2.png. Prints the contrast between a held and
# a free die's face, measured on main-window-en.png (at least 3:1 is required).
# Usage: docs/make_screenshots.sh [path/to/quintara]   (default build/game/quintara)
# Needs Xvfb, xdotool, ImageMagick (import, convert) and python3. Builds nothing.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$root/build/game/quintara}")
[ -x "$exe" ] || { echo "no executable at $exe (build it first)" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
game_pid=
cleanup() {
    for pid in $game_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# A fresh copy: the game reads and writes only in its working directory.
cp -R "$(dirname "$exe")/." "$work/"
rm -f "$work/settings.ini" "$work/highscores.dat"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=":$(cat "$work/display")"
export DISPLAY


# The id of the game's visible window titled $1, waiting up to ten seconds.
# (A box without a title of its own shows the program's name.)
window_named() {
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --classname quintara 2>/dev/null); do
            if [ "$(xdotool getwindowname "$id")" = "$1" ]; then
                echo "$id"
                return
            fi
        done
        sleep 0.1
    done
    echo "no window titled \"$1\" appeared" >&2
    exit 1
}

# Types the answer into the box titled $1 and waits until the box has gone.
answer() {
    box=$(window_named "$1")
    xdotool windowfocus "$box"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 20 "$2"
    xdotool key Return
    while xdotool search --onlyvisible --classname quintara | grep -qx "$box"; do sleep 0.1; done
}

# Clicks at x, y of the main window's client area (below its menu bar).
click() {
    xdotool mousemove --window "$main" "$1" $(($2 + menu_height)) click 1
    sleep 0.3
}

# Rests the pointer at x, y of the client area until the tooltip shows.
hover() {
    xdotool mousemove --window "$main" "$1" $(($2 + menu_height))
    sleep 0.2
    xdotool mousemove_relative 1 0
    sleep 1.5
}

# Photographs the screen where the main window is, tooltips included, into $1.
shoot_screen_at_main() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$1"
}

# Starts the game in language $1 and waits for its set-up window.
start_game() {
    rm -f "$work/settings.ini" "$work/highscores.dat"
    printf '\357\273\277\r\nlang = %s\r\n' "$1" >"$work/settings.ini"
    (cd "$work" && exec env -u QT_QPA_PLATFORM ./quintara >/dev/null 2>&1) &
    game_pid=$!
    setup=$(xdotool search --sync --onlyvisible --pid "$game_pid" | head -n 1)
    sleep 0.3
}

# Finds the main window and the height of its menu bar.
find_main() {
    main=$(window_named "Quintara")
    sleep 0.5
    height=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
    menu_height=$((height - 295))
}

stop_game() {
    kill "$game_pid"
    wait "$game_pid" 2>/dev/null || true
    game_pid=
}

# Plays the start of a game of two people in language $1 and photographs
# the main window and the options dialog.
shoot() {
    start_game "$1"
    xdotool mousemove --window "$setup" 100 30 click 1 # people against each other
    answer "PvP mode" 2
    answer Quintara Ann
    answer Quintara Bea
    find_main

    roll; click 355 65; roll; choose_row 5  # Ann: holds die 1, takes Aces
    roll; roll; choose_row 4                # Bea: takes Kings
    roll; click 405 65; click 455 65; roll  # Ann: holds dice 2 and 3, rolls again
    xdotool mousemove --window "$main" 590 $((290 + menu_height)) # off every control
    sleep 0.5
    import -window "$main" "$root/docs/main-window-$1.png"
    hover 150 "$(row_y 7)"
    shoot_screen_at_main "$root/docs/preview-$1.png"

    # The first menu, then one to the right, whose first item (Options) is then
    # the active one.
    xdotool mousemove --window "$main" 15 $((menu_height / 2)) click 1
    sleep 0.3
    xdotool key Right
    sleep 0.2
    xdotool key Return
    options=$(window_named "Options")
    sleep 0.5
    import -window "$options" "$root/docs/options-$1.png"
    xdotool mousemove --window "$options" 232 115 click 1 # Cancel
    sleep 0.3

    # The first menu's first item, New Game: its question with Qt's buttons.
    xdotool mousemove --window "$main" 15 $((menu_height / 2)) click 1
    sleep 0.3
    xdotool key Down Return
    question=$(window_named "$(sed -n 's/^NewGame = //p' "$work/$1.lang" | tr -d '\r')")
    sleep 0.5
    import -window "$question" "$root/docs/new-game-$1.png"
    stop_game
    echo "wrote docs/main-window-$1.png, docs/preview-$1.png, docs/options-$1.png and docs/new-game-$1.png"
}

# The row (0-14) of the one entered cell of the computer's column in $1, a
# picture of the main window's client area: the only one in the filled colour.
computer_entry_row() {
    for row in $(seq 0 13); do
        if [ "$(pixel "$1" 290 "$(row_y "$row")")" = "255 102 51" ]; then
            echo "$row"
            return
        fi
    done
    echo "no entry in the computer's column" >&2
    exit 1
}

# Plays the person's first turn against the computer in language $1 and
# photographs the computer's entry with its tooltip.
shoot_computer() {
    start_game "$1"
    xdotool mousemove --window "$setup" 300 30 click 1 # against the computer
    answer Quintara Ann
    find_main

    roll; roll; choose_row 7 # Ann takes Pair; the computer plays at once
    xdotool mousemove --window "$main" 590 $((290 + menu_height))
    sleep 0.5
    import -window "$main" -crop "600x295+0+$menu_height" +repage "$work/client.png"
    hover 290 "$(row_y "$(computer_entry_row "$work/client.png")")"
    shoot_screen_at_main "$root/docs/computer-move-$1.png"
    stop_game
    echo "wrote docs/computer-move-$1.png"
}

# "r g b" of the pixel at x, y of the picture $1 (whether ImageMagick names
# the colour or not).
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- |
        sed -n 's/^0,0: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# Contrast of the faces of die 1 (free) and die 2 (held) in the window picture
# $1, between each die's frame and its face text.
held_contrast() {
    local top
    top=$(($(identify -format %h "$1") - 295)) # the menu bar's height
    python3 - "$(pixel "$1" 338 $((65 + top)))" "$(pixel "$1" 388 $((65 + top)))" <<'PY'
import sys

def luminance(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(int(v)) for v in rgb.split())
    return 0.2126 * r + 0.7152 * g + 0.0722 * b

free, held = sys.argv[1], sys.argv[2]
dark, light = sorted((luminance(free), luminance(held)))
ratio = (light + 0.05) / (dark + 0.05)
print(f"held/free die faces: rgb({held}) against rgb({free}), contrast {ratio:.1f}:1")
sys.exit(0 if ratio >= 3 else 1)
PY
}

# Photographs the set-up window with the desktop scaled by $1.
shoot_setup() {
    rm -f "$work/settings.ini"
    (cd "$work" && exec env -u QT_QPA_PLATFORM QT_SCALE_FACTOR="$1" ./quintara >/dev/null 2>&1) &
    game_pid=$!
    setup=$(xdotool search --sync --onlyvisible --pid "$game_pid" | head -n 1)
    sleep 0.5
    import -window "$setup" "$root/docs/setup-scale$1.png"
    kill "$game_pid"
    wait "$game_pid" 2>/dev/null || true
    game_pid=
    echo "wrote docs/setup-scale$1.png"
}

roll() { click 390 220; }
# Sheet rows are 15 pixels under a 16-pixel header, inside a 1-pixel frame.
row_y() { echo $((5 + 1 + 16 + 15 * $1 + 7)); }
choose_row() { click 150 "$(row_y "$1")"; }

for language in en de bg; do
    shoot "$language"
    shoot_computer "$language"
done
held_contrast "$root/docs/main-window-en.png"
for scale in 1 2; do
    shoot_setup "$scale"
done
