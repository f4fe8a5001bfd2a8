"""The CLIPBOARD of a virtual display, through xclip: what a program copied
there, and a text offered to it for pasting."""

import subprocess

from .waiting import DEFAULT_TIMEOUT, wait_for


def _environment(display):
    return {"PATH": "/usr/bin:/bin", "LC_ALL": "C.UTF-8", **display.environment()}


def read_clipboard(display):
    """The clipboard's text (UTF-8 decoded), or None when nobody offers one."""
    result = subprocess.run(["xclip", "-selection", "clipboard", "-out", "-target", "UTF8_STRING"],
                            env=_environment(display), capture_output=True, timeout=30)
    return result.stdout.decode("utf-8") if result.returncode == 0 else None


def offer_clipboard(display, text):
    """Puts `text` on the clipboard, as another program's copy would.

    xclip stays in the background to serve it until a program copies something
    else or the display ends; the clipboard holds the text when this returns.
    """
    subprocess.run(["xclip", "-selection", "clipboard", "-in"], input=text.encode("utf-8"),
                   env=_environment(display), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=30, check=True)
    wait_for(lambda: read_clipboard(display) == text, 10, f"the clipboard to hold {text!r}")


def wait_for_clipboard_change(display, differing_from, timeout=DEFAULT_TIMEOUT):
    """Waits until the clipboard holds a text other than `differing_from`, and returns it."""
    return wait_for(lambda: (text := read_clipboard(display)) is not None
                    and text != differing_from and (text,), timeout,
                    f"the clipboard to change from {differing_from!r}")[0]
