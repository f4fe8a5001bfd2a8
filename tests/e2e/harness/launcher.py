"""Starts programs under test in a clean environment of their own."""

import os
from pathlib import Path

from .browser_stand_in import BrowserStandIn
from .program import RunningProgram
from .waiting import DEFAULT_TIMEOUT

# The test machine's own desktop session must not leak into the program.
SESSION_VARIABLES = (
    "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
    "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "XDG_RUNTIME_DIR", "BROWSER", "GDK_BACKEND",
    "LANGUAGE", "LC_ALL",
)


class ProgramLauncher:
    """Starts `argv` on a virtual display and keeps track of what it started.

    Every start gets a home, cache and runtime folder under `work_dir`, the
    default-browser stand-in, GDK_BACKEND=x11 and no accessibility bus.
    """

    def __init__(self, argv, window_name, work_dir, make_display):
        self.argv = [str(arg) for arg in argv]
        self.window_name = window_name
        self.work_dir = Path(work_dir)
        self.browser = BrowserStandIn(self.work_dir / "browser")
        self._make_display = make_display
        self._default_display = None
        self.started = []

    def environment(self, display):
        home = self.work_dir / "home"
        runtime = self.work_dir / "runtime"
        for folder in (home, home / ".cache", runtime):
            folder.mkdir(parents=True, exist_ok=True)
        runtime.chmod(0o700)
        env = {name: value for name, value in os.environ.items() if name not in SESSION_VARIABLES}
        env.update(
            HOME=str(home),
            XDG_CACHE_HOME=str(home / ".cache"),
            XDG_RUNTIME_DIR=str(runtime),
            LC_ALL="C.UTF-8",
            GDK_BACKEND="x11",
            NO_AT_BRIDGE="1",
            **self.browser.environment(),
        )
        if display is not None:
            env.update(display.environment())
        return env

    def default_display(self):
        """A 1280 x 800 screen, made on first use and shared by this test's starts."""
        if self._default_display is None:
            self._default_display = self._make_display(1280, 800)
        return self._default_display

    def __call__(self, display=None, *, wait=True, timeout=DEFAULT_TIMEOUT, extra_env=None,
                 args=()):
        """Starts the program; with `wait`, returns once its window is mapped."""
        display = display or self.default_display()
        program = self._start(display, extra_env, args)
        if wait:
            program.wait_for_window(timeout)
        return program

    def without_display(self, extra_env=None, args=()):
        """Starts the program with no display at all."""
        return self._start(None, extra_env, args)

    def _start(self, display, extra_env, args):
        env = self.environment(display)
        env.update(extra_env or {})
        log_dir = self.work_dir / f"run-{len(self.started) + 1}"
        program = RunningProgram([*self.argv, *args], env, display, log_dir, self.window_name)
        self.started.append(program)
        return program

    def logs(self):
        """The standard error of every start, for a failure report."""
        return "\n".join(f"--- {program.describe()}, exit status {program.exit_code}:\n"
                         f"{program.stderr_text()}" for program in self.started)

    def close(self):
        for program in reversed(self.started):
            program.stop()
