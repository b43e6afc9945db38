#!/bin/bash
# Installs the build into a temporary prefix, starts the launcher with a
# temporary XDG_DATA_HOME and checks the game directory it prepared, and
# validates the desktop entry and the AppStream metadata.
# usage: install_test.sh BUILD_DIR
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/check_support.sh"

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAILED: install"; exit 1; }
shipped="$prefix/share/quintara"
game="$work/xdg/quintara"

# The process has become the game, runs in the game directory and sleeps:
# the game waits for its player in the set-up window.
game_waits() { # pid
    [ "$(readlink "/proc/$1/exe")" = "$(readlink -f "$prefix/lib/quintara/quintara")" ] &&
        [ "$(readlink "/proc/$1/cwd")" = "$(readlink -f "$game")" ] &&
        [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -d' ' -f1)" = S ]
}

# Starts the launcher and ends the game once it waits for its player; a game
# that ended by itself before did not start.
launch() {
    local pid
    XDG_DATA_HOME="$work/xdg" QT_QPA_PLATFORM=offscreen "$prefix/bin/quintara" \
        >"$work/out.txt" 2>&1 &
    pid=$!
    until game_waits "$pid" 2>/dev/null; do
        kill -0 "$pid" 2>/dev/null || { wait "$pid"; return 1; }
        sleep 0.05
    done
    kill "$pid"
    wait "$pid"
    # The game ends in order on TERM (0); TERM that came before the game
    # took its signals still ends it (143).
    local status=$?
    [ $status -eq 0 ] || [ $status -eq 143 ]
}

check "every installed file is in place" test -x "$prefix/bin/quintara" \
    -a -x "$prefix/lib/quintara/quintara" -a -f "$prefix/share/applications/quintara.desktop" \
    -a -f "$prefix/share/metainfo/org.quintara.Quintara.metainfo.xml" \
    -a -f "$prefix/share/icons/hicolor/scalable/apps/quintara.svg" \
    -a -f "$prefix/share/icons/hicolor/48x48/apps/quintara.png" \
    -a -f "$prefix/share/quintara/help/index.html" -a -f "$prefix/share/doc/quintara/copyright"
check "desktop entry is valid" desktop-file-validate "$prefix/share/applications/quintara.desktop"
check "AppStream metadata is valid" \
    appstreamcli validate --no-net "$prefix/share/metainfo/org.quintara.Quintara.metainfo.xml"

check "the launcher starts the game" launch
for name in $(cd "$shipped" && find . -type f | sed 's|^\./||'); do
    check "$name copied into the game directory" cmp -s "$shipped/$name" "$game/$name"
done
check "the game ran in its own directory" test -d "$game"

# The player's files survive, a player's edit of a shipped file survives, and
# a shipped file changed by a newer version is refreshed.
printf 'delay = 1000\r\n' >"$game/settings.ini"
printf 'x\r\n' >"$game/highscores.dat"
printf 'mine\r\n' >"$game/de.lang"
rm "$game/bg.lang"
echo "; newer" >>"$shipped/en.lang"
launch
check "settings.ini kept" grep -q 'delay = 1000' "$game/settings.ini"
check "highscores.dat kept" grep -qx $'x\r' "$game/highscores.dat"
check "a player's edit of a shipped file kept" grep -qx $'mine\r' "$game/de.lang"
check "a missing shipped file copied again" cmp -s "$shipped/bg.lang" "$game/bg.lang"
check "a changed shipped file refreshed" cmp -s "$shipped/en.lang" "$game/en.lang"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; cat "$work/out.txt"; exit 1; }
