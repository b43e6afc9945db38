"""A small X client for the benchmark: sees top-level windows map, sees their
contents drawn (the DAMAGE extension reports every drawing the X server does
into a window), reads pixels and sends input through XTest, as a person's
mouse and keyboard would. Everything through ctypes and the system's libX11,
libXdamage and libXtst; nothing runs inside the measured programs."""

import ctypes
import select
import time

_x11 = ctypes.CDLL("libX11.so.6")
_damage = ctypes.CDLL("libXdamage.so.1")
_xtest = ctypes.CDLL("libXtst.so.6")

_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XKeysymToKeycode.restype = ctypes.c_ubyte
_x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_x11.XStringToKeysym.restype = ctypes.c_ulong
_x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
_x11.XGetImage.restype = ctypes.c_void_p
_x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                           ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
_x11.XGetPixel.restype = ctypes.c_ulong
_x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
_x11.XDestroyImage.argtypes = [ctypes.c_void_p]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                            ctypes.c_void_p]
_x11.XGetInputFocus.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ulong),
                                ctypes.POINTER(ctypes.c_int)]
_x11.XSetErrorHandler.restype = ctypes.c_void_p
_x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]
_x11.XTranslateCoordinates.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
    ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong)]
_x11.XGetGeometry.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_uint),
    ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint)]
_damage.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int)]
_damage.XDamageCreate.restype = ctypes.c_ulong
_damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
_xtest.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                        ctypes.c_ulong]
_xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                     ctypes.c_ulong]
_xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_int, ctypes.c_ulong]

POINTER_ROOT = 1
CLIENT_MESSAGE = 33
MAP_NOTIFY = 19
UNMAP_NOTIFY = 18
DESTROY_NOTIFY = 17
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
REPORT_RAW_RECTANGLES = 0
Z_PIXMAP = 2
ALL_PLANES = 0xFFFFFFFF


class _MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class _Rectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]


class _DamageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("drawable", ctypes.c_ulong), ("damage", ctypes.c_ulong),
                ("level", ctypes.c_int), ("more", ctypes.c_int), ("timestamp", ctypes.c_ulong),
                ("area", _Rectangle), ("geometry", _Rectangle)]


class _Image(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", _MapEvent), ("xdamage", _DamageEvent),
                ("xclient", _ClientMessage),
                ("pad", ctypes.c_long * 24)]


# A window can vanish between its MapNotify and our request about it; such
# errors must not end the benchmark.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
    lambda display, error: 0)


def now_ms():
    return time.monotonic_ns() / 1e6


class Window:
    """A top-level window that was mapped: when, and every drawing into it."""

    def __init__(self, xid, mapped_ms):
        self.xid = xid
        self.mapped_ms = mapped_ms
        self.unmapped = False
        self.draws = []  # (time in ms, x, y, width, height)
        self.painted = None  # when its contents were first seen drawn, in ms

    def painted_ms(self):
        return self.painted

    def first_draw_after(self, since_ms, area=None):
        for when, x, y, width, height in self.draws:
            if when >= since_ms and (area is None or _overlaps((x, y, width, height), area)):
                return when
        return None


def _overlaps(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    return ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah


class Display:
    """One connection to the X server that the measured program uses."""

    def __init__(self, name):
        _x11.XSetErrorHandler(ctypes.cast(_ERROR_HANDLER, ctypes.c_void_p))
        self.handle = _x11.XOpenDisplay(name.encode())
        if not self.handle:
            raise RuntimeError(f"cannot open X display {name}")
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        if not _damage.XDamageQueryExtension(self.handle, ctypes.byref(event_base),
                                             ctypes.byref(error_base)):
            raise RuntimeError("the X server has no DAMAGE extension")
        self.damage_notify = event_base.value  # XDamageNotify is event 0 of the extension
        self.root = _x11.XDefaultRootWindow(self.handle)
        _x11.XSelectInput(self.handle, self.root, SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XSync(self.handle, 0)
        self.connection = _x11.XConnectionNumber(self.handle)
        self._drawn = set()  # windows drawn into since the last look
        self.popups = []  # (X id, time) of menus and other override-redirect windows
        self._by_id = {}

    def close(self):
        _x11.XCloseDisplay(self.handle)

    # ---- events ----------------------------------------------------------------

    def _handle(self, event, when):
        if event.type == MAP_NOTIFY and event.xmap.override_redirect:
            self.popups.append((event.xmap.window, when))
        elif event.type == MAP_NOTIFY:
            window = self._by_id.get(event.xmap.window)
            if window is None:
                window = Window(event.xmap.window, when)
                self._by_id[window.xid] = window
                _damage.XDamageCreate(self.handle, window.xid, REPORT_RAW_RECTANGLES)
                _x11.XFlush(self.handle)
            else:
                window.mapped_ms, window.unmapped = when, False
        elif event.type in (UNMAP_NOTIFY, DESTROY_NOTIFY):
            window = self._by_id.get(event.xmap.window)
            if window is not None:
                window.unmapped = True
                if event.type == DESTROY_NOTIFY:
                    del self._by_id[window.xid]
        elif event.type == self.damage_notify:
            window = self._by_id.get(event.xdamage.drawable)
            if window is not None:
                area = event.xdamage.area
                window.draws.append((when, area.x, area.y, area.width, area.height))
                self._drawn.add(window)

    def pump(self, seconds=0.0):
        """Reads every event that arrives within the given time (at least
        those already there), stamping each with the time it was read."""
        deadline = time.monotonic() + seconds
        event = _Event()
        while True:
            while _x11.XPending(self.handle):
                _x11.XNextEvent(self.handle, ctypes.byref(event))
                self._handle(event, now_ms())
            self._see_paintings()
            left = deadline - time.monotonic()
            if left <= 0:
                return
            select.select([self.connection], [], [], left)

    def _see_paintings(self):
        """Marks windows whose contents appeared with the drawings just read.
        Mapping or resizing a window makes the X server report it as drawn
        while it still shows only black (the program's windows have no
        background of their own), so a report alone does not say the program
        painted: the window's corners must show the program's colours. The
        time is that of reading the report, which follows the drawing."""
        for window in self._drawn:
            if window.painted is None and not window.unmapped and self._shows_contents(window):
                window.painted = window.draws[-1][0]
        self._drawn.clear()

    def _shows_contents(self, window):
        _, _, width, height = self.geometry(window)
        corners = ((1, 1), (width - 2, 1), (1, height - 2), (width - 2, height - 2))
        return all(sum(self.pixel(window, x, y)) > 60 for x, y in corners)

    def wait_for(self, condition, timeout, alive=lambda: True):
        """Pumps events until condition() gives a true value, and returns it."""
        deadline = time.monotonic() + timeout
        while True:
            self.pump()
            result = condition()
            if result:
                return result
            if time.monotonic() > deadline:
                raise TimeoutError
            if not alive():
                raise ChildProcessError
            select.select([self.connection], [], [], 0.002)

    def shown_windows(self):
        return [window for window in self._by_id.values() if not window.unmapped]

    # ---- geometry and pixels -----------------------------------------------------

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        root, x, y = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = (ctypes.c_uint() for _ in range(4))
        _x11.XGetGeometry(self.handle, window.xid, ctypes.byref(root), ctypes.byref(x),
                          ctypes.byref(y), ctypes.byref(width), ctypes.byref(height),
                          ctypes.byref(border), ctypes.byref(depth))
        screen_x, screen_y, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        _x11.XTranslateCoordinates(self.handle, window.xid, self.root, 0, 0,
                                   ctypes.byref(screen_x), ctypes.byref(screen_y),
                                   ctypes.byref(child))
        return screen_x.value, screen_y.value, width.value, height.value

    def _rows(self, window, x, y, width, height):
        """The pixels of a rectangle as rows of (red, green, blue); empty when
        the window cannot be read."""
        handle = _x11.XGetImage(self.handle, window.xid, x, y, width, height, ALL_PLANES,
                                Z_PIXMAP)
        if not handle:
            return []
        try:
            image = _Image.from_address(handle)
            if image.bits_per_pixel != 32:
                raise RuntimeError("the benchmark reads 24-bit screens only")
            data = ctypes.string_at(image.data, image.bytes_per_line * height)
            rows = []
            for row in range(height):
                line = data[row * image.bytes_per_line:row * image.bytes_per_line + 4 * width]
                rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, len(line), 4)])
            return rows
        finally:
            _x11.XDestroyImage(handle)

    def darkest(self, window, x, y, width, height):
        """The darkest grey level (0-255) within a rectangle of a window."""
        return min((min((r * 30 + g * 59 + b * 11) // 100 for r, g, b in row)
                    for row in self._rows(window, x, y, width, height)), default=255)

    def pixel(self, window, x, y):
        """(red, green, blue) of one pixel of a window."""
        rows = self._rows(window, x, y, 1, 1)
        return rows[0][0] if rows else (0, 0, 0)

    def focus(self):
        """The X id of the window that has the keyboard focus."""
        window, revert = ctypes.c_ulong(), ctypes.c_int()
        _x11.XGetInputFocus(self.handle, ctypes.byref(window), ctypes.byref(revert))
        return window.value

    # ---- input -------------------------------------------------------------------

    def move(self, x, y):
        _xtest.XTestFakeMotionEvent(self.handle, -1, x, y, 0)
        _x11.XSync(self.handle, 0)

    def press(self, down):
        """Presses (True) or releases (False) the left button; returns when
        the X server has taken it."""
        _xtest.XTestFakeButtonEvent(self.handle, 1, 1 if down else 0, 0)
        _x11.XSync(self.handle, 0)

    def click(self, x, y, settle=0.01):
        """A left click at screen position x, y; the time of the release."""
        self.move(x, y)
        self.press(True)
        self.pump(settle)
        released = now_ms()
        self.press(False)
        return released

    def press_at(self, x, y):
        """Moves to x, y, lets what the pointer's arrival redraws (a hover
        highlight) pass, and presses the left button; the time of the press."""
        self.move(x, y)
        self.pump(0.1)
        pressed = now_ms()
        self.press(True)
        return pressed

    def close_box(self, window):
        """Asks the window to close, as a window manager does when its close
        box is pressed (there is none here to draw one)."""
        message = _Event()
        message.xclient.type = CLIENT_MESSAGE
        message.xclient.window = window.xid
        message.xclient.message_type = _x11.XInternAtom(self.handle, b"WM_PROTOCOLS", 0)
        message.xclient.format = 32
        message.xclient.data[0] = _x11.XInternAtom(self.handle, b"WM_DELETE_WINDOW", 0)
        message.xclient.data[1] = 0  # CurrentTime
        _x11.XSendEvent(self.handle, window.xid, 0, 0, ctypes.byref(message))
        _x11.XSync(self.handle, 0)

    def key(self, name, modifier=None):
        """Presses and releases one key (an X keysym name such as "Return"),
        with a modifier held if one is named; the time of the press."""
        code = _x11.XKeysymToKeycode(self.handle, _x11.XStringToKeysym(name.encode()))
        held = (_x11.XKeysymToKeycode(self.handle, _x11.XStringToKeysym(modifier.encode()))
                if modifier else None)
        if held:
            _xtest.XTestFakeKeyEvent(self.handle, held, 1, 0)
        pressed = now_ms()
        _xtest.XTestFakeKeyEvent(self.handle, code, 1, 0)
        _xtest.XTestFakeKeyEvent(self.handle, code, 0, 0)
        if held:
            _xtest.XTestFakeKeyEvent(self.handle, held, 0, 0)
        _x11.XSync(self.handle, 0)
        return pressed

    def type_text(self, text):
        for character in text:
            if character == " ":
                self.key("space")
            elif character.isupper():
                self.key(character, "Shift_L")
            else:
                self.key(character)
            self.pump(0.005)
