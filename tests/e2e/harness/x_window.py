"""What the X server and the window manager say about top-level windows."""

from dataclasses import dataclass
from typing import NamedTuple

from Xlib import X, Xatom
from Xlib.error import BadWindow
from Xlib.protocol import event

# ICCCM WM_STATE values.
WITHDRAWN_STATE = 0
NORMAL_STATE = 1
ICONIC_STATE = 3


class Geometry(NamedTuple):
    """A window's client area in screen coordinates."""

    x: int
    y: int
    width: int
    height: int


@dataclass(frozen=True)
class WindowInfo:
    """One top-level window that the window manager manages."""

    id: int
    name: str
    pid: int | None
    viewable: bool
    states: frozenset  # _NET_WM_STATE atom names


class TopLevelWindows:
    """Queries on the windows of one display, through python-xlib."""

    def __init__(self, display):
        self.display = display  # a VirtualDisplay
        self.x = display.x

    def window(self, window_id):
        return self.x.create_resource_object("window", window_id)

    def _property(self, window_id, name, kind=X.AnyPropertyType):
        reply = self.window(window_id).get_full_property(self.display.atom(name), kind)
        return None if reply is None else reply.value

    def managed_ids(self):
        """The windows in the window manager's client list, oldest first."""
        value = self._property(self.display.root.id, "_NET_CLIENT_LIST")
        return list(value) if value is not None else []

    def name(self, window_id):
        value = self._property(window_id, "_NET_WM_NAME")
        if value is None:
            value = self._property(window_id, "WM_NAME")
        if value is None:
            return ""
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)

    def pid(self, window_id):
        value = self._property(window_id, "_NET_WM_PID", Xatom.CARDINAL)
        return int(value[0]) if value is not None and len(value) else None

    def viewable(self, window_id):
        return self.window(window_id).get_attributes().map_state == X.IsViewable

    def net_wm_state(self, window_id):
        """The names of the window's _NET_WM_STATE atoms."""
        value = self._property(window_id, "_NET_WM_STATE", Xatom.ATOM)
        if value is None:
            return frozenset()
        return frozenset(self.x.get_atom_name(atom) for atom in value)

    def wm_state(self, window_id):
        """The ICCCM WM_STATE (NORMAL_STATE, ICONIC_STATE, ...), or None."""
        value = self._property(window_id, "WM_STATE")
        return int(value[0]) if value is not None and len(value) else None

    def info(self, window_id):
        return WindowInfo(window_id, self.name(window_id), self.pid(window_id),
                          self.viewable(window_id), self.net_wm_state(window_id))

    def windows_of(self, pid):
        """The managed windows whose _NET_WM_PID is `pid`."""
        found = []
        for window_id in self.managed_ids():
            try:  # a window may go away while we look at it
                if self.pid(window_id) == pid:
                    found.append(self.info(window_id))
            except BadWindow:
                continue
        return found

    def geometry(self, window_id):
        window = self.window(window_id)
        size = window.get_geometry()
        origin = window.translate_coords(self.display.root, 0, 0)
        # translate_coords gives root's origin in the window: negate it.
        return Geometry(-origin.x, -origin.y, size.width, size.height)

    def frame_extents(self, window_id):
        """The window manager's decoration (left, right, top, bottom), in pixels."""
        value = self._property(window_id, "_NET_FRAME_EXTENTS", Xatom.CARDINAL)
        return tuple(int(v) for v in value) if value is not None else (0, 0, 0, 0)

    def active_id(self):
        value = self._property(self.display.root.id, "_NET_ACTIVE_WINDOW", Xatom.WINDOW)
        return int(value[0]) if value is not None and len(value) and value[0] else None

    def request_close(self, window_id):
        """Asks the window manager to close the window, as its close command does."""
        self._send_to_root(window_id, "_NET_CLOSE_WINDOW", [X.CurrentTime, 2, 0, 0, 0])

    def _send_to_root(self, window_id, message, data):
        message_event = event.ClientMessage(
            window=self.window(window_id), client_type=self.display.atom(message),
            data=(32, data))
        self.display.root.send_event(
            message_event, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.x.flush()
