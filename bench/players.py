"""Drivers that use the measured programs as a person would, through X input
only, and read what the process costs from /proc."""

import os
import time

import xprobe

WAIT = 20.0  # seconds before a step counts as failed


class StepFailed(Exception):
    pass


# ---- the process, from /proc ----------------------------------------------------


def status(pid):
    """Fields of /proc/PID/status in kB or counts (VmRSS, VmPeak, Threads...)."""
    fields = {}
    with open(f"/proc/{pid}/status") as lines:
        for line in lines:
            key, _, value = line.partition(":")
            parts = value.split()
            if parts and parts[0].isdigit():
                fields[key] = int(parts[0])
    return fields


def threads(pid):
    """{thread id: (context switches, CPU ns)} of every thread: a switch is
    each time the thread went to sleep and was woken, or was preempted; the
    CPU time is the scheduler's count."""
    found = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            switches = 0
            with open(f"/proc/{pid}/task/{task}/status") as lines:
                for line in lines:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        switches += int(line.split()[1])
            with open(f"/proc/{pid}/task/{task}/schedstat") as schedstat:
                found[int(task)] = (switches, int(schedstat.read().split()[0]))
        except (FileNotFoundError, ProcessLookupError):
            pass  # the thread ended meanwhile
    return found


def idle_cost(pid, seconds):
    """Over a quiet spell: wakeups per second of all threads and of the main
    thread, CPU microseconds per second, and how many threads ended (a pool
    thread of Qt's ends after 30 s without work; what it did before it ended
    is not counted)."""
    before = threads(pid)
    time.sleep(seconds)
    after = threads(pid)
    wakeups = cpu = 0
    for task, (switches, ns) in after.items():
        old_switches, old_ns = before.get(task, (0, 0))
        wakeups += switches - old_switches
        cpu += ns - old_ns
    main = after.get(pid, (0, 0))[0] - before.get(pid, (0, 0))[0]
    ended = len(set(before) - set(after))
    return wakeups / seconds, main / seconds, cpu / 1000 / seconds, ended


# ---- windows --------------------------------------------------------------------


class Driver:
    def __init__(self, stage):
        self.stage = stage
        self.x = stage.display

    def pid(self):
        return self.stage.process.pid

    def wait(self, condition, what, timeout=WAIT):
        try:
            return self.x.wait_for(condition, timeout, self.stage.alive)
        except TimeoutError:
            raise StepFailed(f"waited {timeout} s until {what}") from None
        except ChildProcessError:
            raise StepFailed(f"the program ended while waiting until {what}") from None

    def new_window(self, known, what, test=lambda window: True, timeout=WAIT):
        """The first shown top-level window not in `known` that passes the
        test, once the program has painted it."""
        def found():
            for window in self.x.shown_windows():
                if window not in known and window.painted_ms() and test(window):
                    return window
            return None
        return self.wait(found, what, timeout)

    def gone(self, window, what):
        self.wait(lambda: window.unmapped, what)

    def click(self, window, x, y):
        left, top, _, _ = self.x.geometry(window)
        return self.x.click(left + x, top + y)

    def focused(self, window, what):
        """Waits until keys reach the window: it has the focus, or the focus
        follows the pointer (as after a box closes, with no window manager)
        and the pointer is on the window."""
        self.wait(lambda: self.x.focus() in (window.xid, xprobe.POINTER_ROOT),
                  f"{what} has the keyboard focus")

    def repainted(self, window, since, area, what):
        """ms from `since` to the first drawing that touches area."""
        when = self.wait(lambda: window.first_draw_after(since, area), what)
        return when - since


# ---- the game ---------------------------------------------------------------------

SETUP_COMPUTER_BUTTON = (302, 30)
ROLL_BUTTON = (390, 220)
DICE = (330, 45, 240, 40)
CATEGORY_ROWS = (0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13)
CLIENT_HEIGHT = 295


class Game(Driver):
    """The game against the computer (whose delay is 0 unless settings.ini
    says otherwise), played by one person."""

    def __init__(self, stage):
        super().__init__(stage)
        self.main = None
        self.menu_height = 0
        self.turn = 0  # the person's turns in this game, 0-13

    # -- start-up --

    def setup_window(self):
        return self.new_window([], "the set-up window is painted")

    def choose_computer(self, setup):
        self.click(setup, *SETUP_COMPUTER_BUTTON)
        box = self.new_window([setup], "the name question is painted")
        self.focused(box, "the name question")
        return box

    def answer(self, box, name="Ann"):
        """Types the name and Enter; ms from Enter to the main window painted."""
        self.x.type_text(name)
        known = self.x.shown_windows()
        pressed = self.x.key("Return")
        self._main_window(known)
        return self.main.painted_ms() - pressed

    def _main_window(self, known):
        def is_main(window):
            _, _, width, height = self.x.geometry(window)
            return width == 600 and height > CLIENT_HEIGHT
        self.main = self.new_window(known, "the main window is painted", is_main)
        self.menu_height = self.x.geometry(self.main)[3] - CLIENT_HEIGHT
        self.turn = 0

    # -- what the main window shows --

    def _client(self, x, y):
        return x, y + self.menu_height

    def _darkest(self, x, y, width, height):
        return self.x.darkest(self.main, *self._client(x, y), width, height)

    def roll_enabled(self):
        return self._darkest(360, 210, 60, 20) < 100

    def dice_blank(self):
        return all(self._darkest(332 + 50 * die, 53, 36, 24) >= 100 for die in range(5))

    def ready_to_roll(self):
        return self.roll_enabled() and self.dice_blank()

    def dice_area(self):
        x, y, width, height = DICE
        return (x, y + self.menu_height, width, height)

    # -- playing --

    def roll(self):
        """Clicks the roll button; ms from the click to the dice repainted."""
        since = self.click(self.main, *self._client(*ROLL_BUTTON))
        return self.repainted(self.main, since, self.dice_area(), "the dice are repainted")

    def choose(self):
        """After the second roll: enters the next free row; returns once the
        computer has played and the person may roll again, or the game is over."""
        self.wait(lambda: not self.roll_enabled(), "the roll button is disabled")
        row = CATEGORY_ROWS[self.turn]
        self.turn += 1
        self.click(self.main, *self._client(96 + 52, 28 + 15 * row))
        if self.turn < len(CATEGORY_ROWS):
            self.wait(self.ready_to_roll, "the person may roll again")

    def play_turn(self):
        """Two rolls and a choice; the two roll times."""
        self.wait(self.ready_to_roll, "the person may roll")
        first = self.roll()
        second = self.roll()
        self.choose()
        return first, second

    def finish_game(self):
        """Plays the turns left, closes the end-of-game message and starts a
        new game through the menu; returns the rolls' times."""
        times = []
        while self.turn < len(CATEGORY_ROWS):
            times.extend(self.play_turn())
        message = self.new_window([self.main], "the end-of-game message is painted")
        self.focused(message, "the end-of-game message")
        self.x.key("Return")
        self.gone(message, "the end-of-game message closes")
        self.new_game()
        return times

    def open_menu(self, keys):
        """Clicks the Game menu's title, then presses the keys (Right goes on
        to the next menu); the open menu takes the keyboard."""
        popups = len(self.x.popups)
        self.click(self.main, 20, self.menu_height // 2)
        self.wait(lambda: len(self.x.popups) > popups, "the Game menu opens")
        for key in keys:
            time.sleep(0.03)
            self.x.key(key)

    def new_game(self):
        known = self.x.shown_windows()
        self.open_menu(["n"])
        question = self.new_window(known, "the New Game question is painted")
        self.focused(question, "the New Game question")
        known = self.x.shown_windows()
        self.x.key("Return")
        self._main_window(known)
