"""A virtual screen (Xvfb) of a chosen size with a window manager (openbox)."""

import os
import select
import subprocess
from pathlib import Path

import Xlib.error
from Xlib import X, display as xdisplay

from .waiting import wait_for

OPENBOX_CONFIG = Path(__file__).with_name("openbox-rc.xml")


class VirtualDisplay:
    """Xvfb on a free display number, with openbox managing its windows."""

    def __init__(self, width, height, log_dir):
        self.width = width
        self.height = height
        self._processes = []
        log_dir = Path(log_dir)
        log_dir.mkdir(parents=True, exist_ok=True)
        try:
            self.name = self._start_server(log_dir / "xvfb.log")
            self.x = xdisplay.Display(self.name)
            self._start_window_manager(log_dir / "openbox.log")
        except BaseException:
            self.close()
            raise

    def _start_server(self, log_path):
        # -displayfd lets the server pick a free number and tell us which.
        read_end, write_end = os.pipe()
        try:
            with open(log_path, "wb") as log:
                server = subprocess.Popen(
                    ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                     f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
                    pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
            self._processes.append(server)
            os.close(write_end)
            write_end = None
            number = b""
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], 30)
                chunk = os.read(read_end, 16) if ready else b""
                if not chunk:
                    raise RuntimeError(f"Xvfb did not start; see {log_path}")
                number += chunk
            return f":{int(number)}"
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)

    def _start_window_manager(self, log_path):
        with open(log_path, "wb") as log:
            manager = subprocess.Popen(
                ["openbox", "--sm-disable", "--config-file", str(OPENBOX_CONFIG)],
                env={**os.environ, "DISPLAY": self.name}, stdin=subprocess.DEVNULL,
                stdout=log, stderr=log)
        self._processes.append(manager)

        def running():
            if manager.poll() is not None:
                raise RuntimeError(f"openbox ended with {manager.returncode}; see {log_path}")
            return self.window_manager_name() is not None

        wait_for(running, what="openbox to manage the screen")

    @property
    def root(self):
        return self.x.screen().root

    def atom(self, name):
        return self.x.intern_atom(name)

    def window_manager_name(self):
        """The name the running window manager announces, or None."""
        check = self.root.get_full_property(self.atom("_NET_SUPPORTING_WM_CHECK"),
                                            X.AnyPropertyType)
        if check is None:
            return None
        window = self.x.create_resource_object("window", check.value[0])
        name = window.get_full_property(self.atom("_NET_WM_NAME"), X.AnyPropertyType)
        return name.value.decode() if name is not None else None

    def screen_size(self):
        geometry = self.root.get_geometry()
        return geometry.width, geometry.height

    def environment(self):
        """What a client of this display needs in its environment."""
        return {"DISPLAY": self.name}

    def describe(self):
        """Which display this is and whether its server and window manager still run."""
        states = []
        for process in self._processes:
            code = process.poll()
            states.append(f"{process.args[0]} {'runs' if code is None else f'ended with {code}'}")
        return f"display {self.name} ({self.width}x{self.height}): {', '.join(states)}"

    def close(self):
        if getattr(self, "x", None) is not None:
            try:
                self.x.close()
            except Xlib.error.ConnectionClosedError:
                pass  # the server went first; its state is in describe()
            self.x = None
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self._processes = []
