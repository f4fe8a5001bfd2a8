"""A tiny X client that the harness checks itself against.

It maps one window at a requested place, paints its left half and its right
half in two colours, writes every button and key event it gets as a JSON line
to --events, and ends with status 3 when the window manager asks it to close.
"""

import argparse
import json
import os
import sys

from Xlib import X, XK, Xatom, Xutil, display as xdisplay
from Xlib.error import DisplayError

CLOSED_BY_WINDOW_MANAGER = 3


def colour(text):
    value = int(text.lstrip("#"), 16)
    return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF


def key_symbol(connection, keycode, state):
    """The key symbol of a key event, with Num Lock and Shift as X clients read them."""
    plain, shifted = (connection.keycode_to_keysym(keycode, index) for index in (0, 1))
    if state & X.Mod2Mask and XK.XK_KP_Space <= shifted <= XK.XK_KP_Equal:
        return shifted
    if state & X.ShiftMask and shifted:
        return shifted
    return plain


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--name", required=True)
    parser.add_argument("--x", type=int, default=0)
    parser.add_argument("--y", type=int, default=0)
    parser.add_argument("--width", type=int, default=200)
    parser.add_argument("--height", type=int, default=100)
    parser.add_argument("--left-colour", type=colour, default=colour("ff0000"))
    parser.add_argument("--right-colour", type=colour, default=colour("0000ff"))
    parser.add_argument("--undecorated", action="store_true")
    parser.add_argument("--skip-taskbar", action="store_true")
    parser.add_argument("--events", required=True)
    return parser.parse_args()


def main():
    options = parse_arguments()
    try:
        connection = xdisplay.Display()
    except DisplayError as error:
        print(f"probe: cannot open the display: {error}", file=sys.stderr)
        return 255
    screen = connection.screen()
    atom = connection.intern_atom

    window = screen.root.create_window(
        options.x, options.y, options.width, options.height, 0, screen.root_depth,
        background_pixel=screen.white_pixel,
        event_mask=X.ExposureMask | X.ButtonPressMask | X.ButtonReleaseMask | X.KeyPressMask
        | X.StructureNotifyMask)
    window.set_wm_name(options.name)
    window.change_property(atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                           options.name.encode())
    window.change_property(atom("_NET_WM_PID"), Xatom.CARDINAL, 32, [os.getpid()])
    window.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.USSize, x=options.x, y=options.y,
                               width=options.width, height=options.height)
    window.set_wm_protocols([atom("WM_DELETE_WINDOW")])
    if options.undecorated:
        # Motif hints: flags = decorations given, decorations = none.
        window.change_property(atom("_MOTIF_WM_HINTS"), atom("_MOTIF_WM_HINTS"), 32,
                               [2, 0, 0, 0, 0])
    if options.skip_taskbar:
        window.change_property(atom("_NET_WM_STATE"), Xatom.ATOM, 32,
                               [atom("_NET_WM_STATE_SKIP_TASKBAR")])
    window.map()

    colormap = screen.default_colormap
    brushes = []
    for red, green, blue in (options.left_colour, options.right_colour):
        pixel = colormap.alloc_color(red * 257, green * 257, blue * 257).pixel
        brushes.append(window.create_gc(foreground=pixel))

    with open(options.events, "a", buffering=1) as events:
        while True:
            event = connection.next_event()
            if event.type == X.Expose and event.count == 0:
                half = options.width // 2
                window.fill_rectangle(brushes[0], 0, 0, half, options.height)
                window.fill_rectangle(brushes[1], half, 0, options.width - half, options.height)
                connection.flush()
            elif event.type in (X.ButtonPress, X.ButtonRelease):
                kind = "press" if event.type == X.ButtonPress else "release"
                events.write(json.dumps({"event": kind, "button": event.detail,
                                         "x": event.event_x, "y": event.event_y}) + "\n")
            elif event.type == X.KeyPress:
                keysym = key_symbol(connection, event.detail, event.state)
                events.write(json.dumps({"event": "key", "key": XK.keysym_to_string(keysym),
                                         "keysym": keysym, "state": event.state}) + "\n")
            elif (event.type == X.ClientMessage
                  and event.client_type == atom("WM_PROTOCOLS")
                  and event.data[1][0] == atom("WM_DELETE_WINDOW")):
                return CLOSED_BY_WINDOW_MANAGER


if __name__ == "__main__":
    sys.exit(main())
