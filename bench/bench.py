#!/usr/bin/env python3
"""What a player's evening costs, measured on the real program against plain
Qt programs in the same run.

    bench/bench.py [--build DIR] [--rounds N] [--idle SECONDS] [--games N]
                   [--big-games N] [--only PART,...]

DIR holds game/quintara, bench/bare_window and bench/reference_window (build
them as Release: cmake --build DIR --target quintara bare_window
reference_window). Every program start has an X server (Xvfb), a session bus
and, for the game with sound, a sound server of its own, all ended afterwards;
nothing is inherited from the caller's desktop. Input reaches the programs
only as X mouse clicks and key presses; "painted" is the moment the X server
has the window's contents (seen through the DAMAGE extension), so nothing in
the measured programs helps the measurement.

Parts (all by default):
  timing  N shuffled rounds after one unmeasured warm-up round, each starting
          every program once: the bare window, the reference program, the
          game with sound and without, and the game with a 10 MB
          settings.ini, language file or highscores.dat; start-up to the
          first window mapped and painted, answer to the main window painted,
          roll click to the dice repainted, settled memory
  idle    wakeups and CPU in every state in which the game waits for the
          player, and in the bare window and the reference program
  games   memory over many games against the computer, with the shipped
          files and with each 10 MB file
  ulimit  one whole game with the address space limited to 300000 KiB
  instr   instructions from the start to the main window painted
          (callgrind), the game against the reference program
"""

import argparse
import datetime
import glob
import os
import platform
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # leaves no __pycache__ in bench/
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import players  # noqa: E402
from players import Driver, Game, StepFailed, idle_cost, status  # noqa: E402
from stage import Stage  # noqa: E402

DATA_FILES = ("en.lang", "de.lang", "bg.lang", "pvp_0.jpg", "pvc_0.jpg", "dice.wav",
              "quintara.chm")
BIG = 10 * 1024 * 1024
SETTLE = 1.0  # seconds a window is left alone before its memory is read
# Seconds a waiting state is left alone before its wakeups are counted: the
# roll sound and the server's buffer behind it have ended by then.
IDLE_SETTLE = 3.0
CARET_REST = 10.0  # seconds a caret blinks after the last key in the game
WARM_TURNS = 3  # turns played in each timed start of the game: 6 rolls


def load():
    return " ".join(open("/proc/loadavg").read().split()[:3])


def machine():
    model = "?"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    memory = int(open("/proc/meminfo").readline().split()[1]) // 1024 // 1024
    return f"{os.cpu_count()} cores ({model}), {memory} GiB, Linux {platform.release()}"


# ---- the files the game finds -------------------------------------------------------


def big_settings(path):
    """settings.ini: the real keys, then 10 MB of lines of keys the game never asks for."""
    with open(path, "w", newline="") as out:
        out.write("\ufeff\r\ndelay = 0\r\nstrongerCPU = 0\r\nlang = en\r\nsound = 1\r\n")
        n = 0
        while out.tell() < BIG:
            out.write(f"unusedKey{n:07d} = some value that nothing reads {n}\r\n")
            n += 1


def big_language(path, shipped):
    """en.lang: 10 MB of comment and key lines nobody asks for, then the shipped texts."""
    with open(path, "wb") as out:
        out.write(b"\xef\xbb\xbf")
        n = 0
        while out.tell() < BIG:
            out.write(b"; a comment line of the kind a translator leaves %07d\r\n" % n)
            out.write(b"unusedText%07d = a text that no window shows\r\n" % n)
            n += 1
        with open(shipped, "rb") as texts:
            out.write(texts.read().removeprefix(b"\xef\xbb\xbf"))


def big_scores(path):
    """highscores.dat: one name of 10 MB (a damaged file), then nine ordinary lines."""
    with open(path, "wb") as out:
        out.write(b"A" * BIG + b"#'&\r\n")
        for _ in range(9):
            out.write(b"#&\r\n")


VARIANTS = {
    # name: (sound, what to put into the game's directory)
    "game, sound": (True, None),
    "game, no sound": (False, None),
    "game, 10 MB settings.ini": (False, "settings"),
    "game, 10 MB en.lang": (False, "language"),
    "game, 10 MB highscores.dat": (False, "scores"),
}


def game_directory(build, variant):
    sound, big = VARIANTS[variant]
    directory = tempfile.mkdtemp(prefix="quintara-bench-game-")
    for name in DATA_FILES + ("quintara",):
        shutil.copy(os.path.join(build, "game", name), directory)
    if big == "settings":
        big_settings(os.path.join(directory, "settings.ini"))
    elif big == "language":
        big_language(os.path.join(directory, "en.lang"), os.path.join(build, "game", "en.lang"))
    else:
        if big == "scores":
            big_scores(os.path.join(directory, "highscores.dat"))
        if not sound:
            with open(os.path.join(directory, "settings.ini"), "w") as settings:
                settings.write("sound = 1\n")
    return directory


# ---- one start of each program -------------------------------------------------------


def memory(pid):
    fields = status(pid)
    return {"rss": fields["VmRSS"], "size": fields["VmSize"], "peak": fields["VmPeak"],
            "hwm": fields["VmHWM"]}


def time_bare(build):
    with Stage() as stage:
        started = stage.start([os.path.join(build, "bench", "bare_window")], "/")
        driver = Driver(stage)
        window = driver.new_window([], "the bare window is painted")
        time.sleep(SETTLE)
        result = {"map": window.mapped_ms - started, "paint": window.painted_ms() - started}
        result.update(memory(driver.pid()))
        return result


def time_reference(build):
    with Stage() as stage:
        started = stage.start([os.path.join(build, "bench", "reference_window")], "/")
        driver = Driver(stage)
        box = driver.new_window([], "the question is painted")
        driver.focused(box, "the question")
        result = {"map": box.mapped_ms - started, "paint": box.painted_ms() - started}
        driver.x.type_text("Ann")
        pressed = driver.x.key("Return")
        window = driver.new_window([box], "the main window is painted")
        result["answer"] = window.painted_ms() - pressed
        time.sleep(SETTLE)
        result.update(memory(driver.pid()))
        # A click on a cell selects its row: Qt's own time from input to repaint.
        left, top, width, height = driver.x.geometry(window)
        pressed = driver.x.press_at(left + 150, top + height - 200)
        result["click"] = driver.repainted(window, pressed, (0, 30, width, height - 30),
                                           "the selection is repainted")
        driver.x.press(False)
        return result


def sound_reached_server(stage):
    """True when a program is connected to the private sound server."""
    clients = subprocess.run(["pactl", "list", "short", "clients"], env=stage.pulse_env,
                             capture_output=True, text=True).stdout
    return "quintara" in clients


def time_game(build, variant):
    directory = game_directory(build, variant)
    try:
        with Stage(sound=VARIANTS[variant][0]) as stage:
            started = stage.start([os.path.join(directory, "quintara")], directory)
            game = Game(stage)
            setup = game.setup_window()
            result = {"map": setup.mapped_ms - started, "paint": setup.painted_ms() - started}
            time.sleep(SETTLE)
            result["setup_rss"] = status(game.pid())["VmRSS"]
            box = game.choose_computer(setup)
            result["answer"] = game.answer(box)
            time.sleep(SETTLE)
            result.update(memory(game.pid()))
            rolls = []
            for _ in range(WARM_TURNS):
                rolls.extend(game.play_turn())
            result["first_roll"] = rolls[0]
            result["warm_rolls"] = rolls[1:]
            result["slowest_roll"] = max(rolls)
            time.sleep(SETTLE)
            after = memory(game.pid())
            result["after_hwm"], result["after_peak"] = after["hwm"], after["peak"]
            result["after_size"] = after["size"]
            if stage.sound:
                result["sound_heard"] = sound_reached_server(stage)
            return result
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def timing(build, rounds):
    starts = [("bare window", lambda: time_bare(build)),
              ("reference", lambda: time_reference(build))]
    starts += [(variant, lambda v=variant: time_game(build, v)) for variant in VARIANTS]
    results = {name: [] for name, _ in starts}
    for number in range(rounds + 1):
        order = starts[:]
        random.shuffle(order)
        label = "warm-up round" if number == 0 else f"round {number}/{rounds}"
        print(f"  {label}, load {load()}: " + ", ".join(name for name, _ in order), flush=True)
        for name, run in order:
            result = run()
            if number > 0:
                results[name].append(result)
    return results


# ---- idle ----------------------------------------------------------------------------


def idle(build, seconds):
    rows = []

    def measure(program, state, pid):
        rows.append((program, state) + idle_cost(pid, seconds))

    with Stage() as stage:
        stage.start([os.path.join(build, "bench", "bare_window")], "/")
        driver = Driver(stage)
        driver.new_window([], "the bare window is painted")
        time.sleep(IDLE_SETTLE)
        measure("bare window", "shown", driver.pid())

    with Stage() as stage:
        stage.start([os.path.join(build, "bench", "reference_window")], "/")
        driver = Driver(stage)
        box = driver.new_window([], "the question is painted")
        driver.focused(box, "the question")
        time.sleep(IDLE_SETTLE)
        measure("reference", "question (caret blinks)", driver.pid())
        driver.x.type_text("Ann")
        driver.x.key("Return")
        driver.new_window([box], "the main window is painted")
        time.sleep(IDLE_SETTLE)
        measure("reference", "window with menu bar and table", driver.pid())

    directory = game_directory(build, "game, sound")
    try:
        with Stage(sound=True) as stage:
            stage.start([os.path.join(directory, "quintara")], directory)
            game = Game(stage)
            pid = game.pid()
            setup = game.setup_window()
            time.sleep(IDLE_SETTLE)
            measure("game", "set-up window", pid)
            box = game.choose_computer(setup)
            shown = time.monotonic()
            time.sleep(IDLE_SETTLE)
            measure("game", "name question (caret blinks)", pid)
            # The caret rests 10 s after the last key or change of focus.
            time.sleep(max(0.0, shown + CARET_REST + 1 - time.monotonic()))
            measure("game", f"name question, {CARET_REST + 1:g} s without a key", pid)
            game.answer(box)
            time.sleep(IDLE_SETTLE)
            measure("game", "main window, before the first roll", pid)
            game.wait(game.ready_to_roll, "the person may roll")
            game.roll()
            time.sleep(IDLE_SETTLE)
            measure("game", "between the two rolls", pid)
            game.roll()
            time.sleep(IDLE_SETTLE)
            measure("game", "choosing a row", pid)
            game.choose()
            game.wait(game.ready_to_roll, "the person may roll")
            # Tools > Options, then its Cancel button.
            known = game.x.shown_windows()
            game.open_menu(["Right", "o"])
            options = game.new_window(known, "the options dialog is painted")
            time.sleep(IDLE_SETTLE)
            measure("game", "options dialog", pid)
            game.click(options, 232, 115)
            game.gone(options, "the options dialog closes")
            # Game > Highscores, closed by its close box.
            known = game.x.shown_windows()
            game.open_menu(["Down", "Down", "Return"])
            scores = game.new_window(known, "the high-score window is painted")
            time.sleep(IDLE_SETTLE)
            measure("game", "high-score window", pid)
            game.x.close_box(scores)
            game.gone(scores, "the high-score window closes")
            # Game > New Game, answered No.
            known = game.x.shown_windows()
            game.open_menu(["n"])
            question = game.new_window(known, "the New Game question is painted")
            time.sleep(IDLE_SETTLE)
            measure("game", "New Game question", pid)
            game.focused(question, "the New Game question")
            game.x.key("Escape")
            game.gone(question, "the New Game question closes")
            game.wait(game.ready_to_roll, "the person may roll")
            time.sleep(IDLE_SETTLE)
            measure("game", "main window, after the boxes", pid)
    finally:
        shutil.rmtree(directory, ignore_errors=True)
    return rows


# ---- many games ----------------------------------------------------------------------


def games(build, variant, count):
    """RSS after one warm-up game, then every 10 games; peak sizes at the end."""
    directory = game_directory(build, variant)
    try:
        with Stage(sound=VARIANTS[variant][0]) as stage:
            stage.start([os.path.join(directory, "quintara")], directory)
            game = Game(stage)
            game.answer(game.choose_computer(game.setup_window()))
            game.finish_game()
            time.sleep(SETTLE)
            before = memory(game.pid())
            trail = [before["rss"]]
            started = time.monotonic()
            for number in range(1, count + 1):
                game.finish_game()
                if number % 10 == 0 or number == count:
                    time.sleep(SETTLE)
                    trail.append(status(game.pid())["VmRSS"])
            after = memory(game.pid())
            return {"before": before, "after": after, "trail": trail,
                    "seconds": time.monotonic() - started}
    finally:
        shutil.rmtree(directory, ignore_errors=True)


# ---- under a memory limit --------------------------------------------------------------


def limited(build, limit_kib=300000):
    directory = game_directory(build, "game, no sound")
    log = os.path.join(directory, "output.log")
    try:
        with Stage() as stage, open(log, "wb") as output:
            stage.start([os.path.join(directory, "quintara")], directory,
                        memory_limit_kib=limit_kib, output=output)
            game = Game(stage)
            try:
                game.answer(game.choose_computer(game.setup_window()))
                game.finish_game()
                return "played a whole game", status(game.pid())["VmPeak"]
            except StepFailed as failure:
                code = stage.process.poll()
                said = open(log, errors="replace").read().strip().splitlines()
                return (f"FAILED ({failure}; exit status {code}; "
                        f"said: {said[-1] if said else 'nothing'})", None)
    finally:
        shutil.rmtree(directory, ignore_errors=True)


# ---- instructions ----------------------------------------------------------------------


def instructions(build, program):
    """Instructions from exec to the main window painted, counted by callgrind."""
    out = tempfile.mkdtemp(prefix="quintara-bench-callgrind-")
    directory = game_directory(build, "game, no sound") if program == "game" else out
    executable = {"game": os.path.join(directory, "quintara"),
                  "reference": os.path.join(build, "bench", "reference_window"),
                  "bare window": os.path.join(build, "bench", "bare_window")}[program]
    try:
        with Stage() as stage:
            stage.start(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}/out.%p",
                         executable], directory)
            driver = Game(stage) if program == "game" else Driver(stage)
            slow = 300.0
            if program == "game":
                setup = driver.new_window([], "the set-up window is painted", timeout=slow)
                driver.click(setup, *players.SETUP_COMPUTER_BUTTON)
                box = driver.new_window([setup], "the name question is painted", timeout=slow)
                window = answer_slowly(driver, box, slow)
            elif program == "reference":
                box = driver.new_window([], "the question is painted", timeout=slow)
                window = answer_slowly(driver, box, slow)
            else:
                window = driver.new_window([], "the window is painted", timeout=slow)
            assert window.painted_ms()
            subprocess.run(["callgrind_control", "--dump=painted", str(stage.process.pid)],
                           check=True, capture_output=True)
            dumps = glob.glob(os.path.join(out, "out.*.1"))
            deadline = time.monotonic() + 60
            while not dumps and time.monotonic() < deadline:
                time.sleep(0.2)
                dumps = glob.glob(os.path.join(out, "out.*.1"))
            time.sleep(0.5)
            with open(dumps[0]) as dump:
                for line in dump:
                    if line.startswith("summary:"):
                        return int(line.split()[1])
            raise StepFailed("callgrind wrote no summary")
    finally:
        shutil.rmtree(out, ignore_errors=True)
        if program == "game":
            shutil.rmtree(directory, ignore_errors=True)


def answer_slowly(driver, box, timeout):
    driver.wait(lambda: driver.x.focus() in (box.xid, players.xprobe.POINTER_ROOT),
                "the question has the focus", timeout)
    for letter in "Ann":
        driver.x.type_text(letter)
        time.sleep(0.3)
    known = driver.x.shown_windows()
    driver.x.key("Return")
    return driver.new_window(known, "the main window is painted", timeout=timeout,
                             test=lambda w: driver.x.geometry(w)[2] == 600)


# ---- the report -------------------------------------------------------------------------


def spread(values, scale=1.0, digits=1):
    values = [v * scale for v in values]
    form = f"{{:.{digits}f}}"
    return (form.format(min(values)), form.format(statistics.median(values)),
            form.format(max(values)))


def paired_ratio(values, yardstick):
    """The median of the ratios of the two programs' starts in the same
    round: the load drifts between rounds, hardly within one."""
    return statistics.median(value / other for value, other in zip(values, yardstick))


def row(label, values, yardstick=None, target="", scale=1.0, digits=1, paired=False):
    low, middle, high = spread(values, scale, digits)
    ratio = ""
    if yardstick:
        value = (paired_ratio(values, yardstick) if paired
                 else statistics.median(values) / statistics.median(yardstick))
        ratio = f"{value:.2f}"
    print(f"| {label:<46} | {low:>7} | {middle:>7} | {high:>7} | {ratio:>5} | {target:<18} |")


def report_timing(results, verdicts):
    bare, reference = results["bare window"], results["reference"]
    print()
    print("| measure (ms, or MiB)                           |     min |  median |     max | ratio"
          " | target             |")
    print("|" + "-" * 48 + "|---------:|---------:|---------:|------:|" + "-" * 20 + "|")

    def col(runs, key):
        return [run[key] for run in runs]

    row("bare window: start to mapped", col(bare, "map"))
    row("bare window: start to painted", col(bare, "paint"))
    row("bare window: settled RSS (MiB)", col(bare, "rss"), scale=1 / 1024)
    row("bare window: settled VmSize (MiB)", col(bare, "size"), scale=1 / 1024)
    row("bare window: VmPeak (MiB)", col(bare, "peak"), col(bare, "size"), scale=1 / 1024)
    row("reference: start to question painted", col(reference, "paint"))
    row("reference: answer to main window painted", col(reference, "answer"))
    row("reference: click to selection repainted", col(reference, "click"))
    row("reference: main window settled RSS (MiB)", col(reference, "rss"), scale=1 / 1024)
    for variant in VARIANTS:
        runs = results[variant]
        print(f"| **{variant}** | | | | | |")
        row("  start to set-up window mapped", col(runs, "map"), col(bare, "map"), "<=1.1x bare",
            paired=True)
        row("  start to set-up window painted", col(runs, "paint"), col(bare, "paint"),
            "<=1.1x bare", paired=True)
        row("  answer to main window painted", col(runs, "answer"), col(reference, "answer"),
            "<=40 ms")
        row("  first roll to dice repainted", col(runs, "first_roll"), target="<=16 ms")
        row("  later rolls to dice repainted",
            [roll for run in runs for roll in run["warm_rolls"]], target="<=16 ms")
        row("  set-up window settled RSS (MiB)", col(runs, "setup_rss"), col(bare, "rss"),
            scale=1 / 1024)
        row("  main window settled RSS (MiB)", col(runs, "rss"), col(reference, "rss"),
            scale=1 / 1024)
        row("  VmSize settled, main window (MiB)", col(runs, "size"), col(bare, "size"),
            scale=1 / 1024)
        row("  VmSize settled after 3 turns (MiB)", col(runs, "after_size"), col(bare, "size"),
            scale=1 / 1024)
        row("  VmPeak after 3 turns (MiB)", col(runs, "after_peak"), col(runs, "after_size"),
            "<=1.2x VmSize", scale=1 / 1024)
        row("  VmHWM, peak RSS (MiB)", col(runs, "after_hwm"), scale=1 / 1024)
        if "sound_heard" in runs[0]:
            heard = sum(run["sound_heard"] for run in runs)
            print(f"|   the game reached the sound server in {heard} of {len(runs)} starts | | | |"
                  " | |")
    med = statistics.median
    quiet = results["game, no sound"]
    for variant in VARIANTS:
        runs = results[variant]
        slowest = max(col(runs, "slowest_roll"))
        if "10 MB" in variant:
            verdicts.append((f"{variant}: slowest roll (median start) <= 20 ms above no big file",
                             med(col(runs, "slowest_roll")) <=
                             med(col(quiet, "slowest_roll")) + 20))
            verdicts.append((f"{variant}: peak RSS <= 2x the file above no big file",
                             med(col(runs, "after_hwm")) <= med(col(quiet, "after_hwm")) +
                             2 * BIG / 1024))
            continue
        verdicts.append((f"{variant}: set-up window mapped <= 1.1x bare (median of rounds)",
                         paired_ratio(col(runs, "map"), col(bare, "map")) <= 1.1))
        verdicts.append((f"{variant}: set-up window painted <= 1.1x bare (median of rounds)",
                         paired_ratio(col(runs, "paint"), col(bare, "paint")) <= 1.1))
        verdicts.append((f"{variant}: main window painted <= 40 ms after the answer (median)",
                         med(col(runs, "answer")) <= 40))
        verdicts.append((f"{variant}: every roll of every start repainted within 16 ms "
                         f"(slowest {slowest:.1f} ms)", slowest <= 16))
        verdicts.append((f"{variant}: VmPeak <= 1.2x settled VmSize (medians)",
                         med(col(runs, "after_peak")) <= 1.2 * med(col(runs, "after_size"))))


def report_idle(rows, seconds, verdicts):
    print()
    print(f"Idle, {seconds:g} s in each state after {IDLE_SETTLE:g} s to settle:")
    print()
    print("| program | waiting state | wakeups/s, all threads | of the main thread | CPU us/s |"
          " threads ended |")
    print("|---|---|---:|---:|---:|---:|")
    for program, state, wakeups, main, cpu, ended in rows:
        print(f"| {program} | {state} | {wakeups:.1f} | {main:.1f} | {cpu:.0f} | {ended} |")
    for program, state, wakeups, _, _, _ in rows:
        if program == "game" and "caret" not in state:
            verdicts.append((f"game idle, {state}: no wakeups", wakeups == 0))


def report_games(runs, verdicts):
    print()
    print("Memory over many games against the computer (RSS after one game, then every 10):")
    print()
    print("| files | games | RSS before (MiB) | RSS after (MiB) | growth (MiB) | VmSize | VmPeak"
          " | VmHWM | seconds | RSS every 10 games (MiB) |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for variant, count, result in runs:
        before, after = result["before"], result["after"]
        growth = (after["rss"] - before["rss"]) / 1024
        trail = " ".join(f"{rss / 1024:.1f}" for rss in result["trail"])
        print(f"| {variant} | {count} | {before['rss'] / 1024:.1f} | {after['rss'] / 1024:.1f} |"
              f" {growth:+.2f} | {after['size'] / 1024:.1f} | {after['peak'] / 1024:.1f} |"
              f" {after['hwm'] / 1024:.1f} | {result['seconds']:.0f} | {trail} |")
        if count >= 50:
            verdicts.append((f"{variant}: RSS growth over {count} games <= 0.5 MiB",
                             growth <= 0.5))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(os.path.dirname(here), "build-bench"))
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--idle", type=float, default=5.0)
    parser.add_argument("--games", type=int, default=50)
    parser.add_argument("--big-games", type=int, default=10)
    parser.add_argument("--only", default="timing,idle,games,ulimit,instr")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    needed = [os.path.join(build, "game", "quintara"),
              os.path.join(build, "bench", "bare_window"),
              os.path.join(build, "bench", "reference_window")]
    missing = [path for path in needed if not os.access(path, os.X_OK)]
    if missing:
        sys.exit(f"missing {', '.join(missing)}; build them first:\n"
                 f"  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release\n"
                 f"  cmake --build build-bench --target quintara bare_window reference_window")
    tools = ["Xvfb", "dbus-daemon", "pulseaudio", "pactl", "valgrind", "callgrind_control"]
    absent = [tool for tool in tools if not shutil.which(tool)]
    if absent:
        sys.exit(f"missing tools: {' '.join(absent)} (apt-get install xvfb dbus pulseaudio "
                 "pulseaudio-utils valgrind libxdamage1 libxtst6)")
    parts = args.only.split(",")
    print(f"date: {datetime.datetime.now().astimezone():%Y-%m-%d %H:%M %Z}")
    print(f"machine: {machine()}")
    print(f"build: {build}")
    print(f"load average at the start: {load()}")
    started = time.monotonic()
    verdicts = []
    if "timing" in parts:
        print(f"timing: {args.rounds} rounds", flush=True)
        report_timing(timing(build, args.rounds), verdicts)
    if "idle" in parts:
        print(f"\nidle: load {load()}", flush=True)
        report_idle(idle(build, args.idle), args.idle, verdicts)
    if "games" in parts:
        print(f"\ngames: load {load()}", flush=True)
        runs = [("game, sound", args.games, games(build, "game, sound", args.games))]
        for variant in VARIANTS:
            if "10 MB" in variant:
                runs.append((variant, args.big_games, games(build, variant, args.big_games)))
        report_games(runs, verdicts)
    if "ulimit" in parts:
        print(f"\nulimit: load {load()}", flush=True)
        outcome, peak = limited(build)
        print(f"\nunder ulimit -v 300000: {outcome}" +
              (f", VmPeak {peak / 1024:.1f} MiB" if peak else ""))
        verdicts.append(("runs under ulimit -v 300000", peak is not None))
    if "instr" in parts:
        print(f"\ninstructions: load {load()}", flush=True)
        counts = {program: instructions(build, program)
                  for program in ("bare window", "reference", "game")}
        print()
        print("| program, start to (main) window painted | instructions (M) | ratio to reference |")
        print("|---|---:|---:|")
        for program, count in counts.items():
            print(f"| {program} | {count / 1e6:.1f} | {count / counts['reference']:.2f} |")
        verdicts.append(("instructions to the main window <= 1.3x reference",
                         counts["game"] <= 1.3 * counts["reference"]))
    print()
    print(f"load average at the end: {load()}; {time.monotonic() - started:.0f} s; "
          f"processes that outlived their start: {Stage.leftovers}")
    for what, met in verdicts:
        print(f"{'met   ' if met else 'MISSED'} {what}")


if __name__ == "__main__":
    main()
