#!/usr/bin/env python3
"""Peak memory (VmHWM) that a 10 MB highscores.dat adds to the game.

    bench/high_score_memory.py [--build DIR] [--games N]

DIR holds a Release build's game/quintara (cmake --build DIR --target
quintara). Each case starts the game against the computer twice, once with
the shipped files alone and once with the damaged 10 MB highscores.dat of
bench.py: the first start reads VmHWM with the main window painted and again
with the high-score window (Game menu, Highscores) painted; the second plays N whole games,
each ending with the save of the table, and reads VmHWM after them. Input
reaches the game only as X key presses and clicks (see players.py).
"""

import argparse
import os
import shutil
import sys
import time

sys.dont_write_bytecode = True  # leaves no __pycache__ in bench/
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from bench import SETTLE, game_directory  # noqa: E402
from players import Game, status  # noqa: E402
from stage import Stage  # noqa: E402

VARIANTS = ("game, no sound", "game, 10 MB highscores.dat")


def hwm_kib(game):
    time.sleep(SETTLE)
    return status(game.pid())["VmHWM"]


def started_game(stage, directory):
    stage.start([os.path.join(directory, "quintara")], directory)
    game = Game(stage)
    game.answer(game.choose_computer(game.setup_window()))
    return game


def window_peaks(build, variant):
    """VmHWM with the main window, then with the high-score window open."""
    directory = game_directory(build, variant)
    try:
        with Stage() as stage:
            game = started_game(stage, directory)
            main = hwm_kib(game)
            known = stage.display.shown_windows()
            game.open_menu(["Down", "Down", "Return"])  # Game, past New Game: Highscores
            game.new_window(known, "the high-score window is painted")
            return main, hwm_kib(game)
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def save_peak(build, variant, games):
    """VmHWM after whole games, each ending with the table's save."""
    directory = game_directory(build, variant)
    try:
        with Stage() as stage:
            game = started_game(stage, directory)
            for _ in range(games):
                game.finish_game()
            return hwm_kib(game)
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--games", type=int, default=1)
    args = parser.parse_args()
    results = {}
    for variant in VARIANTS:
        main_window, high_scores = window_peaks(args.build, variant)
        results[variant] = (main_window, high_scores, save_peak(args.build, variant, args.games))
    print(f"{'VmHWM in MiB':34} {'main window':>12} {'high scores':>12} {'after save':>12}")
    for variant, peaks in results.items():
        print(f"{variant:34}" + "".join(f" {kib / 1024:12.1f}" for kib in peaks))
    base, big = (results[variant] for variant in VARIANTS)
    print(f"{'added by the 10 MB file':34}" +
          "".join(f" {(b - a) / 1024:12.1f}" for a, b in zip(base, big)))


if __name__ == "__main__":
    main()
