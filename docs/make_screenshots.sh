#!/bin/sh
# Takes docs/main-window-LANG.png, docs/options-LANG.png and
# docs/new-game-LANG.png for English, German and Bulgarian: starts the built
# game on a virtual X display in a scratch copy of its directory with that
# language, sets up a game of two people by typing, plays two turns, rolls
# twice and photographs the main window, then opens Tools > Options and
# photographs the dialog, then Game > New Game and photographs the question.
# Also takes the set-up window at scale 1 and 2 (QT_SCALE_FACTOR):
# docs/setup-scale1.png and docs/setup-scale2.png.
# Usage: docs/make_screenshots.sh [path/to/quintara]   (default build/game/quintara)
# Needs Xvfb, xdotool and ImageMagick's import. Builds nothing.
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

# Plays the start of a game in language $1 and photographs both windows.
shoot() {
    rm -f "$work/settings.ini" "$work/highscores.dat"
    printf '\357\273\277\r\nlang = %s\r\n' "$1" >"$work/settings.ini"
    (cd "$work" && exec env -u QT_QPA_PLATFORM ./quintara >/dev/null 2>&1) &
    game_pid=$!

    setup=$(xdotool search --sync --onlyvisible --pid "$game_pid" | head -n 1)
    sleep 0.3
    xdotool mousemove --window "$setup" 100 30 click 1 # people against each other
    answer "PvP mode" 2
    answer Quintara Ann
    answer Quintara Bea

    main=$(window_named "Quintara")
    sleep 0.5
    height=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
    menu_height=$((height - 295))

    roll; click 355 65; roll; choose_row 5  # Ann: holds die 1, takes Aces
    roll; roll; choose_row 4                # Bea: takes Kings
    roll; click 405 65; click 455 65; roll  # Ann: holds dice 2 and 3, rolls again
    sleep 0.5
    import -window "$main" "$root/docs/main-window-$1.png"

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
    kill "$game_pid"
    wait "$game_pid" 2>/dev/null || true
    game_pid=
    echo "wrote docs/main-window-$1.png, docs/options-$1.png and docs/new-game-$1.png"
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
choose_row() { click 150 $((5 + 1 + 16 + 15 * $1 + 7)); }

for language in en de bg; do
    shoot "$language"
done
for scale in 1 2; do
    shoot_setup "$scale"
done
