"""Every place a top-level window stood at while it was on the screen, however
briefly: a window that is mapped at one place and then moved shows both."""

from Xlib import X
from Xlib import display as xdisplay


class PlacementLog:
    """Listens, from its own X connection, to the structure events of the root
    window; started before the program, it misses nothing the program does.

    Top-level windows are the window manager's frames; for an undecorated
    window the frame and the window stand at the same place.
    """

    def __init__(self, display):
        self._x = xdisplay.Display(display.name)
        self._root = self._x.screen().root
        self._root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self._x.sync()
        self._events = []

    def _drain(self):
        while self._x.pending_events():
            self._events.append(self._x.next_event())

    def _frame_of(self, window_id):
        """The child of the root that holds the window."""
        window = self._x.create_resource_object("window", window_id)
        while True:
            parent = window.query_tree().parent
            if parent.id == self._root.id:
                return window.id
            window = parent

    def places_while_mapped(self, window_id):
        """The (x, y) places of the window's frame while it was mapped, in
        order and without repeats; the window must be mapped now."""
        self._x.sync()
        self._drain()
        frame = self._frame_of(window_id)
        place, mapped, places = None, False, []
        for event in self._events:
            if getattr(event, "window", None) is None or event.window.id != frame:
                continue
            if event.type in (X.CreateNotify, X.ConfigureNotify):
                place = (event.x, event.y)
            elif event.type == X.MapNotify:
                mapped = True
            elif event.type == X.UnmapNotify:
                mapped = False
            if mapped and place is not None and (not places or places[-1] != place):
                places.append(place)
        return places

    def close(self):
        self._x.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
