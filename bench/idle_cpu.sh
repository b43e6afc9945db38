#!/bin/bash
# Measures the CPU time an idle window of the game uses: starts idle_window
# under Xvfb (or Qt's offscreen platform when Xvfb is missing), lets it settle,
# then counts the clock ticks it spends over ten seconds of doing nothing.
# Usage: bench/idle_cpu.sh [path/to/idle_window]   (default: build/bench/idle_window)
# IDLE_PLATFORM=offscreen skips Xvfb.
set -euo pipefail

program=${1:-build/bench/idle_window}
settle=2
measure=10
[ -x "$program" ] || { echo "no program at $program (build the idle_window target)" >&2; exit 1; }

xvfb_pid=
app_pid=
cleanup() {
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# utime + stime of a process, in clock ticks; the fields after the
# parenthesised command name, which itself may hold blanks.
cpu_ticks() {
    local stat
    stat=$(cat "/proc/$1/stat")
    stat=${stat##*) }
    read -r -a fields <<<"$stat"
    echo $((fields[11] + fields[12]))
}

if [ "${IDLE_PLATFORM:-}" != offscreen ] && command -v Xvfb >/dev/null; then
    n=90
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    display=:$n
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    platform="xcb on Xvfb $display"
    DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" >/dev/null 2>&1 &
else
    platform=offscreen
    QT_QPA_PLATFORM=offscreen "$program" >/dev/null 2>&1 &
fi
app_pid=$!

sleep "$settle"
kill -0 "$app_pid" 2>/dev/null || { echo "idle_window ended early" >&2; exit 1; }
before=$(cpu_ticks "$app_pid")
sleep "$measure"
after=$(cpu_ticks "$app_pid")
threads=$(awk '/^Threads:/ { print $2 }' "/proc/$app_pid/status")

echo "platform: $platform"
echo "idle CPU ticks over ${measure} s: $((after - before)) (tick = 1/$(getconf CLK_TCK) s)"
echo "threads: $threads"
