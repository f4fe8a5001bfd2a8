"""Keys for characters that the virtual keyboard lacks (Chinese characters,
the ideographic space), so that xdotool types them like any other key.

Left to itself, xdotool binds such a character to a scratch key just for the
moment of the key press and takes the binding back at once; a program that
reads the keyboard map a little later then sees a different key or none, and
characters go missing. Keys bound before the program starts have no such race.
"""

# Keysyms of the XF86 multimedia keys, which no test presses.
_VENDOR_KEYSYMS = range(0x1008FF00, 0x10090000)


def _keysym(character):
    code = ord(character)
    # Latin-1 characters have their own keysyms; the rest are Unicode keysyms.
    return code if 0x20 <= code <= 0xFF else 0x01000000 | code


def add_unicode_keys(display, characters):
    """Binds every character of `characters` beyond ASCII that has no key yet to
    a key of its own on `display`. Call it before starting the program."""
    x = display.x
    first = x.display.info.min_keycode
    mapping = x.get_keyboard_mapping(first, x.display.info.max_keycode - first + 1)
    present = {keysym for keysyms in mapping for keysym in keysyms}
    wanted = []
    for character in dict.fromkeys(characters):
        keysym = _keysym(character)
        if ord(character) >= 0x80 and keysym not in present:
            wanted.append(keysym)

    spare = [first + index for index, keysyms in enumerate(mapping)
             if not any(keysyms) or all(k == 0 or k in _VENDOR_KEYSYMS for k in keysyms)]
    # Keycode 8 cannot be pressed on the core keyboard's xkb map; skip it.
    spare = [keycode for keycode in spare if keycode > 8]
    if len(wanted) > len(spare):
        raise ValueError(f"{len(wanted)} characters need keys, only {len(spare)} are spare")
    width = len(mapping[0])
    for keycode, keysym in zip(spare, wanted):
        x.change_keyboard_mapping(keycode, [(keysym,) * width])
    x.sync()
