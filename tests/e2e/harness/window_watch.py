"""Every top-level window a program maps, however briefly; the windows of a
program other than the one it was started for; a window put elsewhere."""

import subprocess
import threading
from pathlib import Path

from Xlib import display as xdisplay
from Xlib.error import XError

from .program import RunningProgram
from .waiting import DEFAULT_TIMEOUT, wait_for
from .x_window import TopLevelWindows


class WindowWatch:
    """Records, from its own X connection, the name of every window of `pid`
    that the window manager managed while mapped, until stopped."""

    def __init__(self, display, pid, interval=0.02):
        self._x = xdisplay.Display(display.name)
        self._windows = TopLevelWindows(_Connection(display, self._x))
        self._pid = pid
        self._interval = interval
        self._seen = set()
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="window watch", daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.is_set():
            try:
                names = {info.name for info in self._windows.windows_of(self._pid)
                         if info.viewable}
            except XError:
                names = set()  # a window went away while it was read
            with self._lock:
                self._seen |= names
            self._stop.wait(self._interval)

    def seen(self):
        """The names of the windows seen mapped so far."""
        with self._lock:
            return set(self._seen)

    def seen_once(self, name, timeout=DEFAULT_TIMEOUT):
        """Waits until the window `name` was seen, and returns every name seen so far."""
        return wait_for(lambda: name in self.seen() and self.seen(), timeout,
                        f'the watch to see the window "{name}"')

    def stop(self):
        self._stop.set()
        self._thread.join(timeout=10)
        self._x.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class _Connection:
    """The parts of a VirtualDisplay that TopLevelWindows uses, on another connection."""

    def __init__(self, display, x):
        self.x = x
        self.name = display.name

    @property
    def root(self):
        return self.x.screen().root

    def atom(self, name):
        return self.x.intern_atom(name)


def window_named(program, name, timeout=DEFAULT_TIMEOUT):
    """Another mapped window of `program`, found by its title, driven and looked
    at like the program's own window; its screenshots go to a folder of its own."""

    def mapped():
        if not program.running():
            raise AssertionError(f'{program.describe()} ended with status {program.exit_code} '
                                 f'before a window "{name}" appeared')
        return next((info.id for info in program.top_level_windows()
                     if info.name == name and info.viewable), None)

    window_id = wait_for(mapped, timeout, f'the window "{name}" of {program.describe()}')
    view = object.__new__(RunningProgram)
    view.__dict__.update(program.__dict__)
    view.window_id = window_id
    view.window_name = name
    view._log_dir = Path(program._log_dir) / f"window-{window_id:x}"
    view._log_dir.mkdir(parents=True, exist_ok=True)
    view._shots = 0
    return view


def place_window(window, x, y, timeout=DEFAULT_TIMEOUT):
    """Has the window manager put the window's client area at screen point x, y,
    as a person dragging it there would, and returns its new geometry."""
    subprocess.run(["xdotool", "windowmove", str(window.window_id), str(x), str(y)],
                   env={"PATH": "/usr/bin:/bin", **window.display.environment()},
                   check=True, capture_output=True, timeout=60)
    return wait_for(lambda: (g := window.geometry())[:2] == (x, y) and g, timeout,
                    f"the window to stand at {x}, {y}")
