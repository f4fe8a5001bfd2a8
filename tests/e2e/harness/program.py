"""A program under test on a virtual display, driven with xdotool like a person
would drive it, and looked at through screenshots and the window manager."""

import os
import signal
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from PIL import Image

from .waiting import DEFAULT_TIMEOUT, wait_for
from .x_window import ICONIC_STATE, Geometry, TopLevelWindows


class ProgramEnded(AssertionError):
    """The program ended while a test still expected it to run."""


@dataclass(frozen=True)
class WindowShot:
    """A screenshot of the whole screen, read in one window's coordinates."""

    image: Image.Image
    window: Geometry
    path: Path

    def pixel(self, x, y):
        """The (r, g, b) colour at client point x, y of the window."""
        screen_x, screen_y = self.window.x + x, self.window.y + y
        if not (0 <= screen_x < self.image.width and 0 <= screen_y < self.image.height):
            raise ValueError(f"window point {x}, {y} is off the screen ({screen_x}, {screen_y})")
        return self.image.getpixel((screen_x, screen_y))[:3]


class RunningProgram:
    """One started process and, once it is mapped, its window named `window_name`."""

    def __init__(self, argv, env, display, log_dir, window_name):
        self.display = display
        self.windows = TopLevelWindows(display) if display is not None else None
        self.window_name = window_name
        self.window_id = None
        self._log_dir = Path(log_dir)
        self._log_dir.mkdir(parents=True, exist_ok=True)
        self.stdout_path = self._log_dir / "stdout.txt"
        self.stderr_path = self._log_dir / "stderr.txt"
        self._shots = 0
        with open(self.stdout_path, "wb") as stdout, open(self.stderr_path, "wb") as stderr:
            self.process = subprocess.Popen(
                [str(arg) for arg in argv], env=env, cwd=self._log_dir,
                stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr, start_new_session=True)
        self.pid = self.process.pid
        self.started_at = time.monotonic()
        self.mapped_at = None

    # The process.

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the process to end and returns its exit status."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError(f"{self.describe()} still runs after {timeout:g} s") from None

    @property
    def exit_code(self):
        return self.process.poll()

    def stderr_text(self):
        return self.stderr_path.read_text(errors="replace")

    def stdout_text(self):
        return self.stdout_path.read_text(errors="replace")

    def describe(self):
        return f"pid {self.pid} ({self.process.args[0]})"

    def stop(self):
        """Ends the process and whatever is left of its process group (the
        browser engine's helpers)."""
        self._signal_group(signal.SIGTERM)
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self._signal_group(signal.SIGKILL)
            self.process.wait()

    def _signal_group(self, number):
        # The process leads a session of its own, so its group id is its pid.
        try:
            os.killpg(self.pid, number)
        except ProcessLookupError:
            pass

    def wait_for(self, predicate, timeout=DEFAULT_TIMEOUT, what="a condition"):
        return wait_for(predicate, timeout, what)

    # Its windows.

    def wait_for_window(self, timeout=DEFAULT_TIMEOUT):
        """Waits until the window named `window_name` is mapped and returns its id."""

        def mapped_window():
            if self.process.poll() is not None:
                raise ProgramEnded(
                    f"{self.describe()} ended with status {self.process.returncode} before "
                    f'its window "{self.window_name}" appeared; stderr:\n{self.stderr_text()}')
            for info in self.windows.windows_of(self.pid):
                if info.name == self.window_name and info.viewable:
                    return info.id
            return None

        self.window_id = wait_for(mapped_window, timeout,
                                  f'the window "{self.window_name}" of {self.describe()}')
        self.mapped_at = time.monotonic()
        return self.window_id

    def top_level_windows(self):
        """Every managed top-level window of this process (WindowInfo records)."""
        return self.windows.windows_of(self.pid)

    def geometry(self):
        return self.windows.geometry(self.window_id)

    def frame_extents(self):
        return self.windows.frame_extents(self.window_id)

    def net_wm_state(self):
        return self.windows.net_wm_state(self.window_id)

    def has_taskbar_entry(self):
        return "_NET_WM_STATE_SKIP_TASKBAR" not in self.net_wm_state()

    def is_iconified(self):
        return (self.windows.wm_state(self.window_id) == ICONIC_STATE
                or "_NET_WM_STATE_HIDDEN" in self.net_wm_state())

    def is_viewable(self):
        return self.windows.viewable(self.window_id)

    def is_active(self):
        return self.windows.active_id() == self.window_id

    def close_by_window_manager(self):
        """The window manager's close command, as from a title bar or a taskbar."""
        self.windows.request_close(self.window_id)

    # Looking.

    def screenshot(self):
        """The whole screen now, saved beside the program's logs, read in window coordinates."""
        self._shots += 1
        path = self._log_dir / f"screen-{self._shots:03d}.png"
        self._run("import", "-window", "root", f"png:{path}")
        with Image.open(path) as image:
            return WindowShot(image.convert("RGB"), self.geometry(), path)

    def pixel(self, x, y):
        return self.screenshot().pixel(x, y)

    # Mouse and keyboard, through the X server's input like a person's.

    def screen_point(self, x, y):
        window = self.geometry()
        return window.x + x, window.y + y

    def move(self, x, y):
        """Moves the pointer to client point x, y of the window."""
        screen_x, screen_y = self.screen_point(x, y)
        width, height = self.display.screen_size()
        if not (0 <= screen_x < width and 0 <= screen_y < height):
            raise ValueError(f"window point {x}, {y} is off the screen ({screen_x}, {screen_y})")
        self._xdotool("mousemove", "--sync", str(screen_x), str(screen_y))

    def press(self, button=1):
        self._xdotool("mousedown", str(button))

    def release(self, button=1):
        self._xdotool("mouseup", str(button))

    def click(self, x, y, button=1):
        self.move(x, y)
        self.press(button)
        self.release(button)

    def double_click(self, x, y, button=1):
        self.move(x, y)
        self._xdotool("click", "--repeat", "2", "--delay", "80", str(button))

    def drag(self, start, end, steps=8):
        """Presses the left button at client point `start`, moves to `end` and releases.

        `end` is in the window's coordinates as they were before the drag.
        """
        origin = self.geometry()
        self.move(*start)
        self.press()
        for step in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * step // steps
            y = start[1] + (end[1] - start[1]) * step // steps
            self._xdotool("mousemove", "--sync", str(origin.x + x), str(origin.y + y))
        self.release()

    def key(self, *keys):
        """Presses and releases each key (xdotool names: "Escape", "shift+Escape", "KP_1")."""
        self._xdotool("key", "--delay", "30", *keys)

    def type(self, text):
        self._xdotool("type", "--delay", "30", "--", text)

    def _xdotool(self, *args):
        self._run("xdotool", *args)

    def _run(self, *argv):
        # A UTF-8 locale lets xdotool type characters beyond ASCII.
        env = {"PATH": "/usr/bin:/bin", "LC_ALL": "C.UTF-8", **self.display.environment()}
        result = subprocess.run(argv, env=env, capture_output=True, timeout=60)
        if result.returncode != 0:
            raise RuntimeError(f"{' '.join(argv)} failed: {result.stderr.decode(errors='replace')}")
