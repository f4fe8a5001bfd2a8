"""Key presses sent through the X server's XTEST extension: as a person's key
would arrive, and timed to the moment they are handed to the server."""

import time

from Xlib import X, XK
from Xlib import display as xdisplay
from Xlib.ext import xtest


class Keyboard:
    def __init__(self, display_name):
        self.x = xdisplay.Display(display_name)

    def press(self, key_name):
        """Presses and releases the key; returns time.monotonic() just before."""
        keycode = self.x.keysym_to_keycode(XK.string_to_keysym(key_name))
        if keycode == 0:
            raise ValueError(f"no key {key_name} on this keyboard")
        sent = time.monotonic()
        xtest.fake_input(self.x, X.KeyPress, keycode)
        xtest.fake_input(self.x, X.KeyRelease, keycode)
        self.x.sync()
        return sent

    def close(self):
        self.x.close()
