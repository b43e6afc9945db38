#!/bin/bash
# Plays a whole game of two people as a person would: the game runs on a
# virtual X display without a window manager and gets nothing but mouse clicks
# and key presses. Checks what the players see along the way (dice, held dice,
# entered cells, the sheet's totals and the winner read off the screen) and the
# high-score file the game leaves behind, and that Game > Exit ends it with 0.
# usage: e2e_game_test.sh GAME_EXECUTABLE
# The screenshots stay in the printed work directory.
set -u

program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/quintara-e2e.XXXXXX")
xvfb_pid=""
game_pid=""
game_exit=""
readonly names=("Zoe Day" "Bob")
readonly data_files=(en.lang de.lang bg.lang pvp_0.jpg pvc_0.jpg dice.wav quintara.chm)
readonly category_rows=(0 1 2 3 4 5 7 8 9 10 11 12 13)
# Points of the hand rows 7 to 13; a hand row holds these or 0.
readonly hand_points=(1 2 3 4 4 4 5)
readonly bonus_row=6 total_row=14
readonly wait_seconds=30

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -f "$work/quintara"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    [ -n "$xvfb_pid" ] && import -window root "$work/failure.png" 2>/dev/null &&
        echo "screen at the failure: $work/failure.png"
    echo "game output:" && cat "$work/game.log" 2>/dev/null
    exit 1
}

game_running() { [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; }

# Polls the command every 0.1 s until it succeeds; fails the test after
# $wait_seconds or when the game has ended meanwhile.
wait_until() { # description, command...
    local what=$1 deadline=$((SECONDS + wait_seconds))
    shift
    until "$@" >/dev/null; do
        game_running || fail "the game ended while waiting until $what"
        ((SECONDS < deadline)) || fail "waited ${wait_seconds} s until $what"
        sleep 0.1
    done
}

# ---- the display -------------------------------------------------------------

start_display() {
    local number_file="$work/display"
    # Xvfb picks a free display number itself and writes it to fd 3.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local deadline=$((SECONDS + wait_seconds))
    until [ -s "$number_file" ] && DISPLAY=":$(head -n1 "$number_file")" \
        xdotool getdisplaygeometry >/dev/null 2>&1; do
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
        ((SECONDS < deadline)) || fail "Xvfb did not answer"
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$number_file")"
}

# ---- reading the screen --------------------------------------------------------

# Client-area origin of the main window on the screen.
cx=0
cy=0
snapshot="$work/now.png"

# Takes one picture of the main window's client area; the queries below read
# the latest picture.
snap() { import -window root -crop "600x295+$cx+$cy" +repage "$snapshot"; }

crop() { # x y w h file: a rectangle of the latest picture
    convert "$snapshot" -crop "${3}x${4}+$1+$2" +repage "$5"
}

darkest() { # x y w h: darkest grey level (0-255) of a rectangle of the latest picture
    convert "$snapshot" -crop "${3}x${4}+$1+$2" +repage -colorspace gray \
        -format '%[fx:int(255*minima)]' info:
}

rgb() { # x y: "r g b" of one pixel of the latest picture
    convert "$snapshot" -crop "1x1+$1+$2" -depth 8 txt:- |
        sed -n 's/.*srgb(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1 \2 \3/p'
}

same_image() { # file file
    [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]
}

# Text in an image, read by OCR; digits only when the second argument is set.
# Black text stays black, every background of the game (grey, cyan, orange)
# turns white.
read_text() { # file [digits]
    local options=()
    [ -n "${2:-}" ] && options=(-c tessedit_char_whitelist=0123456789)
    convert "$1" -colorspace gray -resize 400% -threshold 35% -bordercolor white -border 20 \
        "$1.ocr.png" &&
        tesseract "$1.ocr.png" - --psm 7 "${options[@]}" 2>/dev/null | tr -d '\f' | sed '/^$/d'
}

# ---- the main window's controls, in client-area pixels -------------------------

roll_x=390
roll_y=220
die_x() { echo $((330 + 50 * ($1 - 1) + 20)); } # centre of die 1-5
die_y=65
sheet_row_y() { echo $((28 + 15 * $1)); }             # centre of row 0-14
sheet_column_left() { echo $((96 + 105 * ($1 - 1))); } # player 1-2

# Dark text on the roll button means it is enabled.
roll_text_darkness() { darkest 360 210 60 20; }
# The darkest grey of each die's face, die 1 first: dark where a face shows.
dice_darkness() {
    convert "$snapshot" -crop 240x24+330+53 +repage -crop 50x24 +repage -colorspace gray \
        -format '%[fx:int(255*minima)] ' info:
}
dice_all() { # blank|faces
    local level
    for level in $(dice_darkness); do
        if [ "$1" = blank ]; then ((level >= 100)) || return 1; else ((level < 100)) || return 1; fi
    done
}

# An entered cell has the filled colour, plain or under the selection's tint.
cell_filled() { # row player
    local r g b
    read -r r g b < <(rgb $(($(sheet_column_left "$2") + 90)) "$(sheet_row_y "$1")")
    [ "${r:-0}" -gt 150 ] && [ "${g:-255}" -lt 150 ] && [ "${b:-255}" -lt 130 ]
}

# The phases of a turn as they look.
waiting_for_first_roll() { snap && (($(roll_text_darkness) < 100)) && dice_all blank; }
between_rolls() { snap && dice_all faces; }
choosing_category() { snap && (($(roll_text_darkness) >= 100)) && dice_all faces; }
entered() { snap && cell_filled "$@"; }

click() { # x y in the client area
    xdotool mousemove $((cx + $1)) $((cy + $2)) click 1
}
click_cell() { # row player
    click $(($(sheet_column_left "$2") + 52)) "$(sheet_row_y "$1")"
}

# ---- windows and boxes ---------------------------------------------------------

visible_window() { # name regex: the first visible window of that name, if any
    local ids
    ids=$(xdotool search --onlyvisible --name "$1" 2>/dev/null) && [ -n "$ids" ] &&
        echo "${ids%%$'\n'*}"
}

focused_window() { xdotool getwindowfocus 2>/dev/null; }

# The program's windows that are shown now, other than the given ids.
new_windows() { # ids to skip...
    local id
    for id in $(xdotool search --onlyvisible --class '^quintara$' 2>/dev/null); do
        in_list "$id" "$@" || echo "$id"
    done
}

# Waits until a window of the program other than the given ones is shown
# (with the keyboard focus, for a box) and sets box_id to it.
box_id=""
box_shown() { # focus|any, ids to skip...
    local need=$1 id
    shift
    for id in $(new_windows "$@"); do
        [ "$need" = any ] || [ "$(focused_window)" = "$id" ] || continue
        box_id=$id
        return 0
    done
    return 1
}
wait_for_box() { # description, ids to skip...
    local what=$1
    shift
    wait_until "$what is shown with the focus" box_shown focus "$@"
}
window_gone() { ! new_windows | grep -qx "$1"; }

window_geometry() { # id: sets X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1")"
}

# ---- the game ----------------------------------------------------------------

start_game() {
    for file in "${data_files[@]}"; do
        cp "$(dirname "$program")/$file" "$work/" || fail "data file $file missing"
    done
    cp "$program" "$work/quintara"
    mkdir -m 700 "$work/runtime"
    (cd "$work" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" \
        PULSE_SERVER="unix:$work/no-sound-server" exec ./quintara >"$work/game.log" 2>&1) &
    game_pid=$!
}

set_up_two_people() {
    local setup
    wait_until "the set-up window is shown" visible_window '^Choose the game mode$'
    setup=$(visible_window '^Choose the game mode$')
    window_geometry "$setup"
    [ "$WIDTH" = 405 ] && [ "$HEIGHT" = 75 ] || fail "set-up window is ${WIDTH}x$HEIGHT, not 405x75"
    xdotool mousemove $((X + 10 + 92)) $((Y + 10 + 20)) click 1
    wait_for_box "the question for the number of players" "$setup"
    [ "$(xdotool getwindowname "$box_id")" = "PvP mode" ] || fail "the number question is not titled PvP mode"
    xdotool key Return # accepts the offered 2
    local previous=$box_id
    for name in "${names[@]}"; do
        wait_for_box "the name question for $name" "$setup" "$previous"
        xdotool type --delay 40 "$name"
        xdotool key Return
        previous=$box_id
    done
}

find_main_window() {
    local main
    wait_until "the main window is shown" visible_window '^Quintara$'
    main=$(visible_window '^Quintara$')
    window_geometry "$main"
    # Without a window manager the window has no frame: its top-left corner is
    # the menu bar's, and the client area lies below the menu bar.
    [ "$WIDTH" = 600 ] || fail "main window is $WIDTH pixels wide, not 600"
    local menu_height=$((HEIGHT - 295))
    ((menu_height > 10 && menu_height < 60)) || fail "main window ${WIDTH}x$HEIGHT: no room for the menu bar"
    cx=$X
    cy=$((Y + menu_height))
    main_window=$main
    menu_bar_y=$((Y + menu_height / 2))
    echo "main window at $X,$Y, ${WIDTH}x$HEIGHT, menu bar $menu_height px"
}

crop_die() { # die file
    crop $(($(die_x "$1") - 20)) $((die_y - 20)) 40 40 "$2"
}

# Holds one die between the two rolls; the second roll must keep its face.
held_die=0
hold_die() { # die
    held_die=$1
    snap && crop_die "$1" "$work/die-before.png"
    click "$(die_x "$1")" $die_y
    xdotool mousemove $((cx + roll_x)) $((cy + roll_y)) # nothing hovers over the die
    wait_until "die $1 looks held" die_looks_held "$1"
}
die_looks_held() { # die: changed since before the click, and settled
    snap && crop_die "$1" "$work/die-a.png" && sleep 0.2 &&
        snap && crop_die "$1" "$work/die-held.png" &&
        same_image "$work/die-a.png" "$work/die-held.png" &&
        ! same_image "$work/die-before.png" "$work/die-held.png"
}
check_held_die_kept() { # turn
    ((held_die > 0)) || return 0
    crop_die $held_die "$work/die-after.png"
    same_image "$work/die-held.png" "$work/die-after.png" ||
        fail "turn $1: the held die $held_die changed at the second roll"
}

play_turn() { # turn 0-25
    local turn=$1 player=$(($1 % 2 + 1)) row=${category_rows[$(($1 / 2))]}
    wait_until "turn $turn starts with an enabled roll button and blank dice" waiting_for_first_roll
    cell_filled "$row" "$player" && fail "turn $turn: row $row of player $player is entered already"
    click $roll_x $roll_y
    wait_until "the first roll of turn $turn shows five faces" between_rolls
    # The sheet takes no entry after one roll.
    ((turn == 0)) && click_cell "$row" "$player"
    held_die=0
    ((turn % 3 == 0)) && hold_die $((turn / 3 % 5 + 1))
    click $roll_x $roll_y
    wait_until "the second roll of turn $turn disables rolling" choosing_category
    ((turn == 0)) && cell_filled "$row" "$player" && fail "the sheet took an entry after one roll"
    check_held_die_kept "$turn"
    # Clicks on the bonus row and on an entered row are ignored; were either
    # taken, the turn would pass and the real choice below would be lost.
    ((turn == 1)) && click_cell $bonus_row "$player"
    ((turn == 2)) && click_cell "${category_rows[0]}" "$player"
    ((turn == 25)) && import -window root "$work/before-end.png"
    click_cell "$row" "$player"
    wait_until "turn $turn enters row $row for player $player" entered "$row" "$player"
}

# ---- checks at the end ---------------------------------------------------------

declare -A sheet # "row,player" -> text read off the screen
read_sheet() {
    local player row left
    for player in 1 2; do
        left=$(sheet_column_left $player)
        for row in $(seq 0 14); do
            crop $((left + 1)) $(($(sheet_row_y $row) - 6)) 100 13 "$work/cell.png"
            sheet["$row,$player"]=$(read_text "$work/cell.png" digits)
        done
    done
}

in_list() { # value, list...
    local value=$1
    shift
    for item in "$@"; do [ "$item" = "$value" ] && return 0; done
    return 1
}

# Every row holds a value it can hold, the bonus follows the face rows, and
# the total is their sum.
check_sheet_column() { # player
    local player=$1 faces=0 sum=0 value row
    for row in 0 1 2 3 4 5; do
        value=${sheet["$row,$player"]}
        in_list "$value" 0 1 2 3 4 5 || fail "player $player row $row reads '$value'"
        faces=$((faces + value))
    done
    for row in 7 8 9 10 11 12 13; do
        value=${sheet["$row,$player"]}
        in_list "$value" 0 "${hand_points[$((row - 7))]}" || fail "player $player row $row reads '$value'"
        sum=$((sum + value))
    done
    value=${sheet["$bonus_row,$player"]}
    if ((faces >= 15)); then
        [ "$value" = 3 ] || fail "player $player has $faces in the face rows but bonus '$value'"
        sum=$((sum + 3))
    else
        [ -z "$value" ] || fail "player $player has $faces in the face rows but bonus '$value'"
    fi
    sum=$((sum + faces))
    [ "${sheet["$total_row,$player"]}" = "$sum" ] ||
        fail "player $player: total reads '${sheet["$total_row,$player"]}', rows add up to $sum"
    echo "player $player (${names[$((player - 1))]}): total $sum"
}

expected_winner_text() {
    local first=${sheet["$total_row,1"]} second=${sheet["$total_row,2"]}
    if ((first == second)); then
        echo "It's a tie!"
    elif ((first > second)); then
        echo "${names[0]} wins!"
    else
        echo "${names[1]} wins!"
    fi
}

# Ten lines ending CR LF: the two players' results (scrambled) and empty
# entries. A fresh table gives the first player entry 0 and the second entry 1.
check_high_scores() {
    python3 - "$work/highscores.dat" "${names[0]}" "${sheet["$total_row,1"]}" \
        "${names[1]}" "${sheet["$total_row,2"]}" <<'EOF'
import sys

path, name1, total1, name2, total2 = sys.argv[1:]

def decode(line):
    separator = line.find("#")
    if separator < 0:
        return "#" + "".join(chr(ord(c) + 10) for c in line)
    return ("".join(chr(ord(c) + 30) for c in line[:separator]) + "#" +
            "".join(chr(ord(c) + 10) for c in line[separator + 1:]))

try:
    data = open(path, "rb").read()
except OSError as error:
    sys.exit(f"highscores.dat cannot be read: {error}")
if not data.endswith(b"\r\n"):
    sys.exit("highscores.dat does not end with CR LF")
lines = data[:-2].split(b"\r\n")
if len(lines) != 10 or any(b"\r" in l or b"\n" in l for l in lines):
    sys.exit(f"highscores.dat holds {len(lines)} CR LF lines, not 10: {data!r}")
decoded = [decode(l.decode("utf-8")) for l in lines]
expected = [f"{name}#{int(total)}" for name, total in ((name1, total1), (name2, total2))
            if int(total) > 0]
expected += ["#0"] * (10 - len(expected))
if decoded != expected:
    sys.exit(f"highscores.dat decodes to {decoded}, expected {expected}")
print("highscores.dat:", decoded[:2], "and", decoded.count("#0"), "empty entries")
EOF
}

exit_through_menu() {
    xdotool mousemove $((cx + 20)) "$menu_bar_y" click 1
    wait_until "the Game menu is shown" box_shown any "$main_window"
    window_geometry "$box_id"
    # Exit is the menu's last item.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 12)) click 1
    local deadline=$((SECONDS + wait_seconds))
    while game_running; do
        ((SECONDS < deadline)) || fail "the game still runs after Game > Exit"
        sleep 0.1
    done
    wait "$game_pid"
    game_exit=$?
    game_pid=""
}

# ---- the test ------------------------------------------------------------------

echo "work directory: $work"
start_display
echo "display $DISPLAY"
start_game
set_up_two_people
find_main_window
started=$SECONDS
for turn in $(seq 0 25); do
    play_turn "$turn"
done
echo "26 turns played in $((SECONDS - started)) s"

[ "$(identify -format %k "$work/before-end.png")" -gt 100 ] ||
    fail "the screenshot before the end is nearly blank"
echo "screenshot before the end of the game: $work/before-end.png"

wait_for_box "the end-of-game message" "$main_window"
import -window "$box_id" "$work/end-message.png"
end_message=$(read_text "$work/end-message.png")
xdotool key Return
wait_until "the end-of-game message is closed" window_gone "$box_id"

snap && cp "$snapshot" "$work/after-end.png"
echo "screenshot after the end of the game: $work/after-end.png"
read_sheet
check_sheet_column 1
check_sheet_column 2
crop 96 6 208 15 "$work/header.png"
header=$(read_text "$work/header.png")
[ "$header" = "${names[0]} ${names[1]}" ] || fail "the sheet's header reads '$header'"
expected_message=$(expected_winner_text)
[ "$end_message" = "$expected_message" ] ||
    fail "the end-of-game message reads '$end_message', expected '$expected_message'"
echo "end-of-game message: $end_message"

check_high_scores || fail "high-score file"

exit_through_menu
[ "$game_exit" = 0 ] || fail "the game ended with exit code $game_exit"
echo "Game > Exit ended the game with exit code 0"
echo "ok: whole game of two people played with real input"
