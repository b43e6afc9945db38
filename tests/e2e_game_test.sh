#!/bin/bash
# Plays a whole game of two people as a person would: the game runs on a
# virtual X display without a window manager and gets nothing but mouse clicks
# and key presses. Checks what the players see along the way (phases of each
# turn, held dice, entered cells), the finished sheet and the winner read off
# the screen, the high-score file the game leaves behind, and that Game > Exit
# ends the program with exit code 0.
# usage: e2e_game_test.sh GAME_EXECUTABLE
# The screenshots stay in the work directory that the test prints.
set -u

program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/quintara-e2e.XXXXXX")
xvfb_pid=""
game_pid=""
# The digits in the names are what the sheet's numbers are read by: the
# column titles show every digit once, in the sheet's own font.
readonly names=("Zoe 01234" "Bob 56789")
readonly data_files=(en.lang de.lang bg.lang pvp_0.jpg pvc_0.jpg dice.wav quintara.chm)
readonly category_rows=(0 1 2 3 4 5 7 8 9 10 11 12 13)
readonly bonus_row=6
readonly wait_seconds=30

cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -f "$work/quintara"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*"
    if [ -n "$xvfb_pid" ] && import -window root "$work/failure.png" 2>/dev/null; then
        echo "screen at the failure: $work/failure.png"
    fi
    echo "game output:"
    cat "$work/game.log" 2>/dev/null
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

in_list() { # value, list...
    local value=$1 item
    shift
    for item in "$@"; do [ "$item" = "$value" ] && return 0; done
    return 1
}

# ---- the display -------------------------------------------------------------

start_display() {
    local number_file="$work/display" deadline=$((SECONDS + wait_seconds))
    # Xvfb picks a free display number itself and writes it to fd 3.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    until [ -s "$number_file" ] &&
        DISPLAY=":$(head -n1 "$number_file")" xdotool getdisplaygeometry >/dev/null 2>&1; do
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
        ((SECONDS < deadline)) || fail "Xvfb did not answer"
        sleep 0.1
    done
    DISPLAY=":$(head -n1 "$number_file")"
    export DISPLAY
}

# Text drawn without anti-aliasing and with full hinting: every character
# then looks the same wherever it stands, so the sheet's numbers can be read
# by comparing them with the digits of the column titles. Qt's default sans
# serif font is Liberation Sans (fonts-liberation2, which the game installs),
# not whichever this machine prefers, so the end-of-game message always reads
# in one font.
write_font_settings() {
    cat >"$work/fonts.conf" <<'EOF'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="pattern">
    <test name="family" qual="any"><string>Sans Serif</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Liberation Sans</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>sans-serif</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Liberation Sans</string></edit>
  </match>
  <match target="font">
    <edit name="antialias" mode="assign"><bool>false</bool></edit>
    <edit name="hinting" mode="assign"><bool>true</bool></edit>
    <edit name="hintstyle" mode="assign"><const>hintfull</const></edit>
  </match>
</fontconfig>
EOF
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

# ---- the main window's controls, in client-area pixels -------------------------

readonly roll_x=390 roll_y=220 die_y=65
die_x() { echo $((330 + 50 * ($1 - 1) + 20)); }        # centre of die 1-5
sheet_row_y() { echo $((28 + 15 * $1)); }              # centre of row 0-14
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

# The program's windows that are shown now, other than the given ids.
new_windows() { # ids to skip...
    local id
    for id in $(xdotool search --onlyvisible --class '^quintara$' 2>/dev/null); do
        in_list "$id" "$@" || echo "$id"
    done
}

# Sets box_id to a shown window of the program other than the given ones,
# for a box only once it has the keyboard focus.
box_id=""
box_shown() { # focus|any, ids to skip...
    local need=$1 id
    shift
    for id in $(new_windows "$@"); do
        [ "$need" = any ] || [ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ] || continue
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

# ---- playing -------------------------------------------------------------------

start_game() {
    local file
    for file in "${data_files[@]}"; do
        cp "$(dirname "$program")/$file" "$work/" || fail "data file $file missing"
    done
    cp "$program" "$work/quintara" || fail "no game at $program"
    mkdir -m 700 "$work/runtime"
    write_font_settings
    # No sound server here: the rolls are silent, and none is started for us.
    # Qt's own style and no desktop's theme, whatever desktop runs the test:
    # the pixels read below are where that style puts them.
    (cd "$work" && exec env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION \
        -u QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE=Fusion QT_QPA_PLATFORM=xcb \
        XDG_RUNTIME_DIR="$work/runtime" FONTCONFIG_FILE="$work/fonts.conf" \
        PULSE_SERVER="unix:$work/no-sound-server" ./quintara >"$work/game.log" 2>&1) &
    game_pid=$!
}

set_up_two_people() {
    local setup previous name
    wait_until "the set-up window is shown" visible_window '^Choose the game mode$'
    setup=$(visible_window '^Choose the game mode$')
    window_geometry "$setup"
    if [ "$WIDTH" != 405 ] || [ "$HEIGHT" != 75 ]; then
        fail "set-up window is ${WIDTH}x$HEIGHT, not 405x75"
    fi
    xdotool mousemove $((X + 10 + 92)) $((Y + 10 + 20)) click 1
    wait_for_box "the question for the number of players" "$setup"
    [ "$(xdotool getwindowname "$box_id")" = "PvP mode" ] ||
        fail "the number question is titled '$(xdotool getwindowname "$box_id")'"
    xdotool key Return # accepts the offered 2
    previous=$box_id
    for name in "${names[@]}"; do
        wait_for_box "the name question for $name" "$setup" "$previous"
        # Without a title of its own, the box shows the program's name.
        [ "$(xdotool getwindowname "$box_id")" = "Quintara" ] ||
            fail "the name question is titled '$(xdotool getwindowname "$box_id")'"
        xdotool type --delay 40 "$name"
        xdotool key Return
        previous=$box_id
    done
    # The main window bears the same name: it is found once the box has gone.
    wait_until "the last name question has gone" window_gone "$previous"
}

main_window=""
menu_bar_y=0
find_main_window() {
    local menu_height
    wait_until "the main window is shown" visible_window '^Quintara$'
    main_window=$(visible_window '^Quintara$')
    window_geometry "$main_window"
    # Without a window manager the window has no frame: its top-left corner is
    # the menu bar's, and the client area lies below the menu bar.
    [ "$WIDTH" = 600 ] || fail "main window is $WIDTH pixels wide, not 600"
    menu_height=$((HEIGHT - 295))
    ((menu_height > 10 && menu_height < 60)) ||
        fail "main window ${WIDTH}x$HEIGHT: no room for a menu bar above 600x295"
    ((X >= 0 && Y >= 0 && X + WIDTH <= 1024 && Y + HEIGHT <= 768)) ||
        fail "main window at $X,$Y ${WIDTH}x$HEIGHT is not wholly on the screen"
    cx=$X
    cy=$((Y + menu_height))
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
    crop_die "$held_die" "$work/die-after.png"
    same_image "$work/die-held.png" "$work/die-after.png" ||
        fail "turn $1: the held die $held_die changed at the second roll"
}

play_turn() { # turn 0-25
    local turn=$1 player=$(($1 % 2 + 1)) row=${category_rows[$(($1 / 2))]}
    wait_until "turn $turn starts with an enabled roll button and blank dice" waiting_for_first_roll
    ! cell_filled "$row" "$player" || fail "turn $turn: row $row of player $player is entered already"
    click $roll_x $roll_y
    wait_until "the first roll of turn $turn shows five faces" between_rolls
    # The sheet takes no entry after one roll.
    ((turn == 0)) && click_cell "$row" "$player"
    held_die=0
    ((turn % 3 == 0)) && hold_die $((turn / 3 % 5 + 1))
    click $roll_x $roll_y
    wait_until "the second roll of turn $turn disables rolling" choosing_category
    if ((turn == 0)) && cell_filled "$row" "$player"; then
        fail "the sheet took an entry after one roll"
    fi
    check_held_die_kept "$turn"
    # Clicks on the bonus row and on an entered row are ignored; were either
    # taken, the turn would pass and the real choice below would be lost.
    ((turn == 1)) && click_cell $bonus_row "$player"
    ((turn == 2)) && click_cell "${category_rows[0]}" "$player"
    ((turn == 25)) && import -window root "$work/before-end.png"
    # Player 1's title is plain (not the current player's bold) only now.
    ((turn == 25)) && snap && cp "$snapshot" "$work/sheet-before-end.png"
    click_cell "$row" "$player"
    wait_until "turn $turn enters row $row for player $player" entered "$row" "$player"
}

exit_through_menu() {
    local deadline=$((SECONDS + wait_seconds)) status
    xdotool mousemove $((cx + 20)) "$menu_bar_y" click 1
    wait_until "the Game menu is shown" box_shown any "$main_window"
    window_geometry "$box_id"
    # Exit is the menu's last item.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 12)) click 1
    while game_running; do
        ((SECONDS < deadline)) || fail "the game still runs after Game > Exit"
        sleep 0.1
    done
    wait "$game_pid"
    status=$?
    game_pid=""
    [ "$status" = 0 ] || fail "the game ended with exit code $status"
}

# ---- the finished game -----------------------------------------------------------

# Reads the finished sheet, the end-of-game message and highscores.dat, and
# checks them against each other: every row holds a value it can hold, the
# bonus follows the face rows, the totals are the sums, the message names the
# winner, and the file holds the two totals (scrambled) and eight empty entries.
check_finished_game() { # sheet picture, sheet picture of the last turn, message picture
    python3 - "$1" "$2" "$3" "$work/highscores.dat" "${names[@]}" <<'EOF'
import subprocess
import sys

sheet_file, last_turn_file, message_file, scores_file, *names = sys.argv[1:]
FACE_ROWS = range(0, 6)
HAND_POINTS = {7: 1, 8: 2, 9: 3, 10: 4, 11: 4, 12: 4, 13: 5}
BONUS_ROW, TOTAL_ROW = 6, 14


def fail(message):
    sys.exit("FAILED: " + message)


def grey_image(path):
    data = subprocess.run(["convert", path, "-colorspace", "gray", "-depth", "8", "pgm:-"],
                          capture_output=True, check=True).stdout
    _, width, height, _, pixels = data.split(maxsplit=4)
    width, height = int(width), int(height)
    return [pixels[y * width:(y + 1) * width] for y in range(height)]


def glyphs(image, x, y, width, height):
    """The ink of each character in a rectangle, left to right (ink is darker
    than half the background, whatever the background's colour)."""
    area = [row[x:x + width] for row in image[y:y + height]]
    background = max(max(row) for row in area)
    ink = [[value < background / 2 for value in row] for row in area]
    columns = [any(row[i] for row in ink) for i in range(width)]
    found, i = [], 0
    while i < width:
        if not columns[i]:
            i += 1
            continue
        start = i
        while i < width and columns[i]:
            i += 1
        rows = [tuple(row[start:i]) for row in ink]
        inked = [n for n, row in enumerate(rows) if any(row)]
        found.append(tuple(rows[inked[0]:inked[-1] + 1]))
    return found


def column_left(player):
    return 96 + 105 * (player - 1)


sheet = grey_image(sheet_file)
# The current player's title is bold: player 1's digits are learnt during
# player 2's last turn, player 2's at the end, when player 1 is current.
plain_titles = {1: grey_image(last_turn_file), 2: sheet}
digits = {}
for player, name in enumerate(names, 1):
    number = name.split()[-1]
    title = glyphs(plain_titles[player], column_left(player) + 1, 6, 103, 15)
    for digit, glyph in zip(number, title[-len(number):]):
        digits[glyph] = digit
if sorted(digits.values()) != list("0123456789"):
    fail(f"the column titles do not show ten distinct digits: {sorted(digits.values())}")


def cell(row, player):
    text = ""
    for glyph in glyphs(sheet, column_left(player) + 1, 22 + 15 * row, 100, 13):
        if glyph not in digits:
            fail(f"row {row} of player {player} shows something that is no digit")
        text += digits[glyph]
    return text


totals = []
for player in (1, 2):
    values = {row: cell(row, player) for row in range(15)}
    faces = 0
    for row in FACE_ROWS:
        if values[row] not in tuple("012345"):
            fail(f"player {player}, face row {row} reads '{values[row]}'")
        faces += int(values[row])
    hands = 0
    for row, points in HAND_POINTS.items():
        if values[row] not in ("0", str(points)):
            fail(f"player {player}, hand row {row} reads '{values[row]}'")
        hands += int(values[row])
    bonus = 3 if faces >= 15 else 0
    if values[BONUS_ROW] != ("3" if bonus else ""):
        fail(f"player {player}: face rows add up to {faces}, bonus reads '{values[BONUS_ROW]}'")
    total = faces + bonus + hands
    if values[TOTAL_ROW] != str(total):
        fail(f"player {player}: rows add up to {total}, total reads '{values[TOTAL_ROW]}'")
    totals.append(total)
    print(f"{names[player - 1]}: face rows {faces}, bonus {bonus}, hands {hands}, total {total}")

message = subprocess.run(["tesseract", message_file, "-"], capture_output=True,
                         text=True).stdout.split()
# The verdict, and the winner by the number in the name (read more surely
# than its letters), must be read right; the space between two words may be
# missed ("a tie!" read as "atie!").
if totals[0] == totals[1]:
    expected = "tie!"
    read_right = "".join(message).endswith("tie!")
else:
    winner = names[0] if totals[0] > totals[1] else names[1]
    expected = winner + " wins!"
    read_right = winner.split()[-1] in message and "".join(message).endswith("wins!")
if not read_right:
    fail(f"the end-of-game message reads {' '.join(message)!r}, expected {expected!r}")
print("end-of-game message:", " ".join(message))


def decode(line):
    separator = line.find("#")
    if separator < 0:
        return "#" + "".join(chr(ord(c) + 10) for c in line)
    return ("".join(chr(ord(c) + 30) for c in line[:separator]) + "#" +
            "".join(chr(ord(c) + 10) for c in line[separator + 1:]))


try:
    data = open(scores_file, "rb").read()
except OSError as error:
    fail(f"highscores.dat cannot be read: {error}")
lines = data.split(b"\r\n")
if lines[-1] != b"" or len(lines) != 11 or any(b"\r" in l or b"\n" in l for l in lines):
    fail(f"highscores.dat is not ten lines ending CR LF: {data!r}")
decoded = [decode(line.decode("utf-8")) for line in lines[:10]]
# A fresh table: the first player takes entry 0, the second entry 1.
expected = [f"{name}#{total}" for name, total in zip(names, totals) if total > 0]
expected += ["#0"] * (10 - len(expected))
if decoded != expected:
    fail(f"highscores.dat decodes to {decoded}, expected {expected}")
print("highscores.dat:", decoded[:2], "and", decoded.count("#0"), "empty entries")
EOF
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

colours=$(identify -format %k "$work/before-end.png")
((colours > 20)) || fail "the screenshot before the end shows only $colours colours"
echo "screenshot before the end of the game ($colours colours): $work/before-end.png"

wait_for_box "the end-of-game message" "$main_window"
import -window "$box_id" "$work/end-message.png"
xdotool key Return
wait_until "the end-of-game message is closed" window_gone "$box_id"
snap && cp "$snapshot" "$work/sheet-at-end.png"
check_finished_game "$work/sheet-at-end.png" "$work/sheet-before-end.png" "$work/end-message.png" ||
    fail "the finished game"

exit_through_menu
echo "Game > Exit ended the game with exit code 0"
echo "ok: a whole game of two people played with real input"
