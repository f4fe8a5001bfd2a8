"""A virtual screen (Xvfb) with a window manager (openbox), and a watcher
that notes the moment a program's top-level window becomes visible."""

import os
import select
import subprocess
import time

from Xlib import X, display as xdisplay
from Xlib.ext import xtest
from Xlib.protocol import event as xevent


class VirtualScreen:
    def __init__(self, width, height, log_dir):
        self._processes = []
        self.name = self._start_server(width, height, os.path.join(log_dir, "xvfb.log"))
        self._start_window_manager(os.path.join(log_dir, "openbox.log"))

    def _start_server(self, width, height, log_path):
        # -displayfd: the server picks a free number and writes it to us.
        read_end, write_end = os.pipe()
        with open(log_path, "wb") as log:
            server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self._processes.append(server)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], 30)
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                raise RuntimeError(f"Xvfb did not start; see {log_path}")
            number += chunk
        os.close(read_end)
        return f":{int(number)}"

    def _start_window_manager(self, log_path):
        with open(log_path, "wb") as log:
            manager = subprocess.Popen(["openbox", "--sm-disable"], env={**os.environ, "DISPLAY": self.name},
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self._processes.append(manager)
        x = xdisplay.Display(self.name)
        try:
            check = x.intern_atom("_NET_SUPPORTING_WM_CHECK")
            deadline = time.monotonic() + 30
            while x.screen().root.get_full_property(check, X.AnyPropertyType) is None:
                if manager.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError(f"openbox did not start; see {log_path}")
                time.sleep(0.05)
        finally:
            x.close()

    def close(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


class MapWatcher:
    """Follows the top-level windows of every client on the screen.

    A client's window is created on the root, then the window manager
    reparents it into a frame and maps both under one server grab; the frame
    appearing on the root is the moment the window becomes visible. The
    watcher only reads events the server sends anyway, so it costs every
    program under test the same.
    """

    def __init__(self, display_name):
        self.x = xdisplay.Display(display_name)
        self.root = self.x.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.x.sync()
        self._clients = set()
        self._client_of_frame = {}
        self._delete = self.x.intern_atom("WM_DELETE_WINDOW")
        self._protocols = self.x.intern_atom("WM_PROTOCOLS")

    def _events(self, deadline):
        """The events that arrive until `deadline`, each with its arrival time."""
        while True:
            while self.x.pending_events():
                yield self.x.next_event(), time.monotonic()
            left = deadline - time.monotonic()
            if left <= 0:
                return
            ready, _, _ = select.select([self.x.fileno()], [], [], left)
            arrived = time.monotonic()
            if ready:
                # Reading is what moves the events into the queue.
                while self.x.pending_events():
                    yield self.x.next_event(), arrived

    def _note(self, event):
        """The client window that became visible with `event`, or None."""
        if event.type == X.CreateNotify and not event.override:
            self._clients.add(event.window.id)
        elif event.type == X.ReparentNotify and event.window.id in self._clients:
            self._client_of_frame[event.parent.id] = event.window.id
        elif event.type == X.DestroyNotify:
            self._clients.discard(event.window.id)
        elif event.type == X.MapNotify:
            window = event.window.id
            if window in self._client_of_frame:
                return self._client_of_frame[window]
            if window in self._clients:  # no window manager
                return window
        return None

    def forget_pending(self):
        """Take note of everything so far without reporting it."""
        for event, _ in self._events(time.monotonic()):
            self._note(event)

    def wait_for_map(self, deadline, wanted=lambda client: True):
        """(client window id, arrival time) of the next visible window that
        `wanted` accepts, or (None, None) at the deadline."""
        for event, arrived in self._events(deadline):
            client = self._note(event)
            if client is not None and wanted(client):
                return client, arrived
        return None, None

    def window_origin(self, client):
        """Screen position of the client area of window `client`."""
        window = self.x.create_resource_object("window", client)
        where = window.translate_coords(self.root, 0, 0)
        return -where.x, -where.y

    def move_pointer(self, x, y):
        xtest.fake_input(self.x, X.MotionNotify, x=x, y=y)
        self.x.sync()

    def press(self, button=1):
        xtest.fake_input(self.x, X.ButtonPress, button)
        self.x.flush()

    def release(self, button=1):
        xtest.fake_input(self.x, X.ButtonRelease, button)
        self.x.sync()

    def ask_to_close(self, client):
        """What the close box does: WM_DELETE_WINDOW to the window."""
        window = self.x.create_resource_object("window", client)
        message = xevent.ClientMessage(window=window, client_type=self._protocols,
                                       data=(32, [self._delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(message)
        self.x.sync()

    def close(self):
        self.x.close()
