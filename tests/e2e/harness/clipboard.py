"""The X clipboard of a virtual display, as a person's other programs use it:
offering a text to paste, and reading what a program copied."""

import select
import threading

from Xlib import X, Xatom, display as xdisplay
from Xlib.protocol import event

from .waiting import DEFAULT_TIMEOUT, wait_for


class ClipboardOffer:
    """Owns the CLIPBOARD selection with `text` (UTF-8) until closed, answering
    the TARGETS and UTF8_STRING requests that a pasting program makes."""

    def __init__(self, display, text):
        self._data = text.encode("utf-8")
        self._x = xdisplay.Display(display.name)
        self._clipboard = self._x.intern_atom("CLIPBOARD")
        self._targets = self._x.intern_atom("TARGETS")
        self._utf8 = self._x.intern_atom("UTF8_STRING")
        self._window = self._x.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        self._window.set_selection_owner(self._clipboard, X.CurrentTime)
        self._x.sync()
        if self._x.get_selection_owner(self._clipboard) != self._window:
            self._x.close()
            raise RuntimeError("could not take the clipboard")
        self._stop = threading.Event()
        self._handed_over = threading.Event()
        self._thread = threading.Thread(target=self._serve, name="clipboard offer", daemon=True)
        self._thread.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def wait_handed_over(self, timeout=DEFAULT_TIMEOUT):
        """Waits until a program has fetched the text. Its SelectionNotify went
        out before anything the test does next, so the paste comes first."""
        if not self._handed_over.wait(timeout):
            raise TimeoutError(f"waited {timeout:g} s for a program to fetch the clipboard")

    def close(self):
        self._stop.set()
        self._thread.join(timeout=10)
        self._x.close()

    def _serve(self):
        while not self._stop.is_set():
            if not self._x.pending_events():
                select.select([self._x.fileno()], [], [], 0.05)
                continue
            request = self._x.next_event()
            if request.type == X.SelectionRequest:
                self._answer(request)

    def _answer(self, request):
        # Old clients leave the property None and mean the target's name.
        target_property = request.property or request.target
        if request.target == self._targets:
            request.requestor.change_property(target_property, Xatom.ATOM, 32,
                                              [self._targets, self._utf8])
        elif request.target == self._utf8:
            request.requestor.change_property(target_property, self._utf8, 8, self._data)
        else:
            target_property = X.NONE
        notify = event.SelectionNotify(time=request.time, requestor=request.requestor,
                                       selection=request.selection, target=request.target,
                                       property=target_property)
        request.requestor.send_event(notify)
        self._x.flush()
        if target_property != X.NONE and request.target == self._utf8:
            self._handed_over.set()


def read_clipboard(display, timeout=10.0):
    """The CLIPBOARD's text as UTF-8, or None when nobody offers one."""
    x = xdisplay.Display(display.name)
    try:
        clipboard = x.intern_atom("CLIPBOARD")
        if x.get_selection_owner(clipboard) == X.NONE:
            return None
        utf8 = x.intern_atom("UTF8_STRING")
        landing = x.intern_atom("QINVARA_TEST_PASTE")
        window = x.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        window.convert_selection(clipboard, utf8, landing, X.CurrentTime)
        x.flush()

        def notified():
            while x.pending_events():
                answer = x.next_event()
                if answer.type == X.SelectionNotify:
                    return answer
            select.select([x.fileno()], [], [], 0.05)
            return None

        answer = wait_for(notified, timeout, "the clipboard owner to answer", interval=0)
        if answer.property == X.NONE:
            return None
        value = window.get_full_property(landing, X.AnyPropertyType)
        return None if value is None else bytes(value.value).decode("utf-8")
    finally:
        x.close()


def wait_for_clipboard(display, differing_from, timeout=DEFAULT_TIMEOUT):
    """Waits until the clipboard holds a text other than `differing_from` and returns it."""
    return wait_for(lambda: (text := read_clipboard(display)) != differing_from and text,
                    timeout, f"the clipboard to change from {differing_from!r}")
