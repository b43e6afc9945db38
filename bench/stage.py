"""One measured start of a program, alone on a desktop of its own: a private
X server (Xvfb), a private session bus and, when asked, a private sound
server with a null sink. The program starts in a clean environment that
names only these. Afterwards everything that was started is ended, and
anything still running is reported."""

import os
import resource
import select
import shutil
import signal
import subprocess
import tempfile
import time

import xprobe

SCREEN = "1280x1024x24"


def _read_line(stream, timeout):
    """One line from a pipe, or an empty text after the timeout."""
    deadline = time.monotonic() + timeout
    data = b""
    while not data.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([stream], [], [], 0.05)
        if ready:
            chunk = os.read(stream.fileno(), 256)
            if not chunk:
                break
            data += chunk
    return data.decode().strip()


def _wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError(f"{what} did not start within {timeout} s")
        time.sleep(0.02)


def _processes_naming(text):
    """Processes whose environment contains the text."""
    found = []
    needle = text.encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as environ:
                if needle in environ.read():
                    found.append(int(entry))
        except OSError:
            pass
    return found


def _group_alive(pgid):
    try:
        os.killpg(pgid, 0)
        return True
    except ProcessLookupError:
        return False


def _end_group(pgid):
    """Ends a process group: TERM, then KILL after a second."""
    for sig, pause in ((signal.SIGTERM, 1.0), (signal.SIGKILL, 0.5)):
        if not _group_alive(pgid):
            return
        try:
            os.killpg(pgid, sig)
        except ProcessLookupError:
            return
        deadline = time.monotonic() + pause
        while _group_alive(pgid) and time.monotonic() < deadline:
            time.sleep(0.02)


class Stage:
    """with Stage(sound=...) as stage: stage.start(argv, cwd) ..."""

    leftovers = 0  # processes that outlived their stage, over all stages

    def __init__(self, sound=False):
        self.sound = sound
        self.groups = []  # process groups started here
        self.process = None

    def __enter__(self):
        self.work = tempfile.mkdtemp(prefix="quintara-bench-")
        self.runtime = os.path.join(self.work, "runtime")
        os.mkdir(self.runtime, 0o700)
        try:
            self._start_x()
            self._start_bus()
            if self.sound:
                self._start_sound()
            self.display = xprobe.Display(self.display_name)
            self._settle()
        except BaseException:
            self._stop_all()
            raise
        return self

    def __exit__(self, *error):
        self._stop_all()
        return False

    # ---- the private desktop -----------------------------------------------

    def _spawn(self, argv, **options):
        process = subprocess.Popen(argv, start_new_session=True, stdin=subprocess.DEVNULL,
                                   **options)
        self.groups.append(process.pid)
        return process

    def _start_x(self):
        read_end, write_end = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN,
                     "-nolisten", "tcp"], pass_fds=[write_end], stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as numbers:
            number = _read_line(numbers, 10)
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display_name = ":" + number

    def _start_bus(self):
        # The standard session configuration, on an address of our own.
        address = f"unix:path={self.work}/bus"
        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--address", address,
                           "--print-address=1"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL)
        printed = _read_line(bus.stdout, 10)
        if not printed:
            raise RuntimeError("the session bus did not start")
        self.bus_address = printed

    def _start_sound(self):
        socket = os.path.join(self.work, "pulse.socket")
        home = os.path.join(self.work, "home")
        os.mkdir(home)
        self.pulse_env = {"HOME": home, "XDG_RUNTIME_DIR": self.runtime,
                          "PULSE_SERVER": f"unix:{socket}", "PATH": os.environ["PATH"]}
        self._spawn(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                     "--disable-shm=yes", "--load=module-null-sink sink_name=bench",
                     f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1"],
                    env=self.pulse_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def answers():
            return subprocess.run(["pactl", "info"], env=self.pulse_env,
                                  stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0

        _wait_until(answers, 20, "the sound server")

    def _cpu_ticks(self):
        """CPU time used so far by the servers started here, in clock ticks."""
        ticks = 0
        for pid in self.groups:
            try:
                with open(f"/proc/{pid}/stat") as stat:
                    fields = stat.read().rpartition(")")[2].split()
                ticks += int(fields[11]) + int(fields[12])  # utime, stime
            except (FileNotFoundError, ProcessLookupError):
                pass
        return ticks

    def _settle(self):
        """Waits until the servers have finished starting: a server that
        answers may still be busy (loading modules, reading fonts), and that
        work would be charged to the program started next."""
        deadline = time.monotonic() + 5
        ticks = self._cpu_ticks()
        while time.monotonic() < deadline:
            time.sleep(0.15)
            now = self._cpu_ticks()
            if now == ticks:
                return
            ticks = now

    def environment(self):
        """Only what the private desktop gives, and the caller's PATH and HOME."""
        env = {"PATH": os.environ["PATH"], "HOME": os.environ.get("HOME", self.work),
               "LANG": "C.UTF-8", "DISPLAY": self.display_name, "QT_QPA_PLATFORM": "xcb",
               "XDG_RUNTIME_DIR": self.runtime, "DBUS_SESSION_BUS_ADDRESS": self.bus_address,
               # Without a sound server of its own a program finds none.
               "PULSE_SERVER": (self.pulse_env["PULSE_SERVER"] if self.sound
                                else f"unix:{self.work}/no-sound-server")}
        return env

    # ---- the measured program ----------------------------------------------------

    def start(self, argv, cwd, memory_limit_kib=None, output=None):
        """Starts the program; returns the time of the start in ms."""
        limit = None
        if memory_limit_kib:
            def limit():
                size = memory_limit_kib * 1024
                resource.setrlimit(resource.RLIMIT_AS, (size, size))
        started = xprobe.now_ms()
        self.process = self._spawn(argv, cwd=cwd, env=self.environment(),
                                   stdout=output or subprocess.DEVNULL,
                                   stderr=output or subprocess.DEVNULL, preexec_fn=limit)
        return started

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def _stop_all(self):
        if getattr(self, "display", None):
            self.display.close()
            self.display = None
        # The program first, the servers after it, each with what it started.
        for pgid in reversed(self.groups):
            _end_group(pgid)
        if self.process is not None:
            self.process.wait()
        # Whatever still names this stage's desktop in its environment was
        # started from here (a service the bus activated, say) and outlived it.
        stray = _processes_naming(self.work)
        Stage.leftovers += len(stray)
        for pid in stray:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.work, ignore_errors=True)
