"""Where a program's windows stand and which of them show, as the screen has them."""


def centre(box):
    left, top, width, height = box
    return left + width // 2, top + height // 2


def outer_frame(window):
    """(left, top, width, height) of the window with its frame, on the screen."""
    x, y, width, height = window.geometry()
    left, right, top, bottom = window.frame_extents()
    return x - left, y - top, width + left + right, height + top + bottom


def shown_names(program):
    return sorted(info.name for info in program.top_level_windows() if info.viewable)
