#!/usr/bin/env bash
# Start-up time, memory, threads and idle CPU of the game's first window,
# measured against a bare Qt window on the same Xvfb in one run.
#
#   bench/startup_memory.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR holds game/quintara and bench/bare_window (default: the first
# build*/ directory that has both). RUNS (default 10) start each program that
# many times, in turns, after one unmeasured warm-up start of each. The game
# runs from a temporary copy of its directory, so it finds its data files and
# leaves no settings behind. IDLE_SECONDS (default 10) is the idle period over
# which CPU time is counted.
#
# Per start: the time from starting the process to the X server's MapNotify
# of its first top-level window, and the CPU time used until then (scheduler
# counters of /proc/PID/task/*/schedstat); 1 s later VmRSS, RssAnon and
# Threads from /proc/PID/status; then utime+stime ticks from /proc/PID/stat,
# and the same scheduler counters, over the idle period.
# Prints medians, the ratios and whether they meet the targets (start-up within
# 1.3x and VmRSS within 1.2x of the bare window, no CPU ticks while idle).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
runs=${2:-10}
idle_seconds=${IDLE_SECONDS:-10}

find_build_dir() {
    local dir
    for dir in "$source_dir"/build*; do
        if [[ -x $dir/game/quintara && -x $dir/bench/bare_window ]]; then
            echo "$dir"
            return
        fi
    done
}

build_dir=${1:-$(find_build_dir)}
if [[ -z $build_dir || ! -x $build_dir/game/quintara || ! -x $build_dir/bench/bare_window ]]; then
    echo "no build with game/quintara and bench/bare_window; build them first:" >&2
    echo "  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release" >&2
    echo "  cmake --build build-bench --target quintara bare_window" >&2
    exit 1
fi
build_dir=$(cd "$build_dir" && pwd)
for tool in Xvfb xdpyinfo xdotool python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

cp -r "$build_dir/game" "$work/game"
rm -f "$work/game/settings.ini" "$work/game/highscores.dat"

# A display number nobody holds.
display=
for number in $(seq 90 160); do
    if [[ ! -e /tmp/.X$number-lock && ! -e /tmp/.X11-unix/X$number ]]; then
        display=:$number
        break
    fi
done
[[ -n $display ]] || { echo "no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.05
done
xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }

echo "build: $build_dir   display: $display   runs: $runs   idle: ${idle_seconds}s"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

DISPLAY=$display QT_QPA_PLATFORM=xcb python3 - "$runs" "$idle_seconds" \
    "$work/game" "$work/game/quintara" "$build_dir/bench/bare_window" <<'PYTHON'
import ctypes
import os
import select
import statistics
import subprocess
import sys
import time

runs, idle_seconds = int(sys.argv[1]), float(sys.argv[2])
game_dir, game_program, bare_program = sys.argv[3:6]

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
x11.XPending.argtypes = [ctypes.c_void_p]
x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", MapEvent), ("pad", ctypes.c_long * 24)]


display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the X display")
x11.XSelectInput(display, x11.XDefaultRootWindow(display), SUBSTRUCTURE_NOTIFY_MASK)
x11.XSync(display, 0)
connection = x11.XConnectionNumber(display)


def window_pid(window):
    result = subprocess.run(["xdotool", "getwindowpid", str(window)],
                            capture_output=True, text=True)
    return int(result.stdout) if result.returncode == 0 and result.stdout.strip() else None


def window_size(window):
    result = subprocess.run(["xdotool", "getwindowgeometry", str(window)],
                            capture_output=True, text=True)
    for line in result.stdout.splitlines():
        if "Geometry:" in line:
            return line.split()[-1]
    return "?"


def wait_for_first_window(process, timeout=30.0):
    """The first top-level window of the process mapped on screen, and when."""
    deadline = time.monotonic() + timeout
    event = XEvent()
    while time.monotonic() < deadline:
        if not x11.XPending(display):
            select.select([connection], [], [], 0.05)
            if process.poll() is not None:
                sys.exit(f"{process.args[0]} ended before showing a window")
            continue
        x11.XNextEvent(display, ctypes.byref(event))
        if event.type != MAP_NOTIFY or event.xmap.override_redirect:
            continue
        mapped_at = time.monotonic_ns()
        if window_pid(event.xmap.window) == process.pid:
            return event.xmap.window, mapped_at
    sys.exit(f"{process.args[0]} showed no window within {timeout} s")


def status_fields(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            key, _, value = line.partition(":")
            fields[key] = value.split()[0] if value.split() else ""
    return fields


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as stat:
        after_name = stat.read().rsplit(")", 1)[1].split()
    return int(after_name[11]) + int(after_name[12])  # utime, stime


def cpu_nanoseconds(pid):
    """CPU time of the live threads, from the scheduler's nanosecond counters."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as schedstat:
                total += int(schedstat.read().split()[0])
        except FileNotFoundError:
            pass  # the thread ended meanwhile
    return total


def start_once(program, cwd):
    # Forget events of earlier runs before the clock starts.
    x11.XSync(display, 1)
    started = time.monotonic_ns()
    process = subprocess.Popen([program], cwd=cwd, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window, mapped = wait_for_first_window(process)
        cpu_at_window = cpu_nanoseconds(process.pid)
        size = window_size(window)
        time.sleep(1.0)
        status = status_fields(process.pid)
        ticks_before, cpu_before = cpu_ticks(process.pid), cpu_nanoseconds(process.pid)
        time.sleep(idle_seconds)
        idle_ticks = cpu_ticks(process.pid) - ticks_before
        idle_us = (cpu_nanoseconds(process.pid) - cpu_before) / 1000
        return {
            "start_ms": (mapped - started) / 1e6,
            "cpu_to_window_ms": cpu_at_window / 1e6,
            "idle_us": idle_us,
            "rss_kib": int(status["VmRSS"]),
            "anon_kib": int(status["RssAnon"]),
            "threads": int(status["Threads"]),
            "idle_ticks": idle_ticks,
            "size": size,
        }
    finally:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


programs = {"bare window": (bare_program, os.path.dirname(bare_program)),
            "game": (game_program, game_dir)}
results = {name: [] for name in programs}
for name, (program, cwd) in programs.items():
    start_once(program, cwd)  # warm-up: caches of the disk and of fontconfig
for run in range(runs):
    for name, (program, cwd) in programs.items():
        results[name].append(start_once(program, cwd))
    print(f"  run {run + 1}/{runs}: " + ", ".join(
        f"{name} {results[name][-1]['start_ms']:.0f} ms" for name in programs), flush=True)


def summary(name, key, aggregate):
    return aggregate(result[key] for result in results[name])


# label, key, how the runs are summed up, scale, format, target ratio
median, fastest = statistics.median, min
rows = [
    ("start-up to first window (ms)", "start_ms", median, 1.0, "{:.0f}", 1.3),
    ("  fastest run (ms)", "start_ms", fastest, 1.0, "{:.0f}", None),
    ("CPU time to first window (ms)", "cpu_to_window_ms", median, 1.0, "{:.0f}", None),
    ("VmRSS after 1 s (MiB)", "rss_kib", median, 1 / 1024, "{:.1f}", 1.2),
    ("  of it RssAnon (MiB)", "anon_kib", median, 1 / 1024, "{:.1f}", None),
    ("threads", "threads", median, 1.0, "{:.0f}", None),
    (f"CPU ticks in {idle_seconds:g} s idle", "idle_ticks", max, 1.0, "{:.0f}", None),
    ("  CPU time in it (us)", "idle_us", max, 1.0, "{:.0f}", None),
]
print()
print(f"medians of {runs} runs (idle CPU: the most of any run); first window: "
      f"bare {results['bare window'][0]['size']}, game {results['game'][0]['size']}")
print(f"| {'measure':<30} | {'bare window':>11} | {'game':>8} | {'ratio':>6} | target |")
print(f"|{'-' * 32}|{'-' * 13}|{'-' * 10}|{'-' * 8}|--------|")
verdicts = []
for label, key, aggregate, scale, form, limit in rows:
    bare = summary("bare window", key, aggregate) * scale
    game = summary("game", key, aggregate) * scale
    ratio = f"{game / bare:.2f}" if bare else "-"
    target = f"<={limit}x" if limit else ""
    if limit:
        verdicts.append((label.split(" (")[0], bare and game / bare <= limit))
    if key == "idle_ticks":
        target = "0"
        verdicts.append(("no CPU while idle", game == 0))
    print(f"| {label:<30} | {form.format(bare):>11} | {form.format(game):>8} | "
          f"{ratio:>6} | {target:>6} |")
print()
for what, met in verdicts:
    print(f"{what}: {'met' if met else 'MISSED'}")
PYTHON
