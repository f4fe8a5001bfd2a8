#!/usr/bin/python3
"""Draws every picture of the program and writes the PNGs into assets/.

Run with Debian's Python (it has python3-pil):  /usr/bin/python3 tools/draw_artwork.py

Shapes are drawn at SUPERSAMPLE times the size and reduced with a box filter,
so their edges are smooth while every pixel that a shape covers completely
keeps the exact colour it was drawn in. Before writing, each picture is checked
against the colours and places the windows rely on; a failed check stops the
script and writes nothing.
"""

import pathlib
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ASSETS = pathlib.Path(__file__).resolve().parent.parent / "assets"
SUPERSAMPLE = 8

LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
LATIN = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
CJK_BOLD = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
CJK_SIMPLIFIED_INDEX = 2  # "Noto Sans CJK SC" inside the collection

WHITE = (255, 255, 255)
STRIP_BLUE = (0, 68, 131)
STRIP_BOTTOM = (32, 91, 147)
SHADE_OUTER = (98, 140, 179)
SHADE_INNER = (246, 248, 251)

GOOGLE_BLUE = (66, 133, 244)
GOOGLE_RED = (234, 67, 53)
GOOGLE_YELLOW = (251, 188, 5)
GOOGLE_GREEN = (52, 168, 83)
MAKER_BLUE = (38, 96, 170)

# Boxes are (left, top, right, bottom), every edge inclusive.
PRODUCT_NAME_BOX = (11, 5, 163, 20)
LOGO_BOX = (387, 121, 673, 217)
MAKER_NAME_BOX = (600, 190, 656, 212)

# Where the main window puts its title-strip controls (left, top, width,
# height): the artwork must leave those places plain strip blue.
TITLE_STRIP_CONTROLS = {
    "HomeButton": (714, 2, 29, 26),
    "BackButton": (757, 2, 29, 26),
    "ForwardButton": (796, 2, 29, 26),
    "AboutLabel": (872, 8, 24, 16),
    "MinimizeButton": (951, 2, 20, 20),
    "CloseButton": (975, 5, 20, 20),
}

# (button, size, motif, colours of the normal, hover and pressed pictures)
TITLE_BUTTONS = [
    ("back", (29, 26), "arrow_left", [(163, 190, 232), (116, 136, 166), (186, 216, 220)]),
    ("forward", (29, 26), "arrow_right", [(163, 190, 232), (116, 136, 166), (186, 216, 220)]),
    ("home", (29, 26), "house", [(217, 217, 218), (246, 248, 250), (122, 189, 251)]),
    ("minimize", (20, 20), "bar", [WHITE, (255, 144, 0), (194, 0, 0)]),
    ("close", (20, 20), "cross", [WHITE, (255, 96, 0), (167, 0, 0)]),
]
SEARCH_FIELDS = [(0, 160, 242), (0, 69, 225), (0, 68, 131)]
SEARCH_SIZE = (70, 30)
STATES = ["normal", "hover", "pressed"]

# Pixels that each motif covers completely, so they carry the state's colour.
MOTIF_PROBES = {
    "arrow_left": [(14, 13), (9, 13), (20, 13)],
    "arrow_right": [(14, 13), (19, 13), (8, 13)],
    "house": [(14, 8), (14, 13), (9, 20), (19, 20)],
    "bar": [(10, 14), (6, 14), (13, 15)],
    "cross": [(9, 9), (10, 10), (6, 6), (13, 6)],
}


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def check_pixel(image, xy, expected, picture):
    actual = image.getpixel(xy)
    check(actual[: len(expected)] == tuple(expected), f"{picture} at {xy}: {actual} != {expected}")


def check_uniform(image, box, colour, picture):
    """Every pixel of the inclusive box has the colour."""
    left, top, right, bottom = box
    region = image.crop((left, top, right + 1, bottom + 1))
    colours = region.getcolors(maxcolors=region.width * region.height)
    check(
        colours is not None and len(colours) == 1 and colours[0][1][:3] == colour,
        f"{picture}: {box} is not all {colour}: {sorted(colours or [], reverse=True)[:4]}",
    )


def check_inside(bbox, box, what):
    """bbox is PIL's (left, top, right + 1, bottom + 1) of the ink."""
    check(bbox is not None, f"{what}: nothing drawn")
    left, top, right, bottom = bbox[0], bbox[1], bbox[2] - 1, bbox[3] - 1
    check(
        left >= box[0] and top >= box[1] and right <= box[2] and bottom <= box[3],
        f"{what}: ink {left, top, right, bottom} leaves {box}",
    )


def supersampled_mask(size, draw):
    """A coverage mask of the given size; draw(ImageDraw, scale) paints 255 on it."""
    big = Image.new("L", (size[0] * SUPERSAMPLE, size[1] * SUPERSAMPLE), 0)
    draw(ImageDraw.Draw(big), SUPERSAMPLE)
    return big.resize(size, Image.Resampling.BOX)


def scaled(points, scale):
    return [(x * scale, y * scale) for x, y in points]


def text_mask(size, text, font, origin):
    """A coverage mask with the text drawn at origin (the left end of its baseline)."""
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).text(origin, text, font=font, fill=255, anchor="ls")
    return mask


# --- Main window background ------------------------------------------------


def draw_product_name(page):
    font = ImageFont.truetype(LATIN_BOLD, 14)
    mask = text_mask(page.size, "Qinvara", font, (14, 16))
    check_inside(mask.getbbox(), PRODUCT_NAME_BOX, "product name")
    page.paste(WHITE, mask=mask)


def logo_letter_masks(size):
    """The Google logo as one mask per coloured letter, centred in LOGO_BOX."""
    letters = [("G", GOOGLE_BLUE), ("o", GOOGLE_RED), ("o", GOOGLE_YELLOW),
               ("g", GOOGLE_BLUE), ("l", GOOGLE_GREEN), ("e", GOOGLE_RED)]
    font = ImageFont.truetype(LATIN, 76)
    word = "".join(letter for letter, _ in letters)
    ink_left, _, ink_right, _ = font.getbbox(word, anchor="ls")
    centre_x = (LOGO_BOX[0] + LOGO_BOX[2] + 1) // 2
    pen_x = centre_x - (ink_left + ink_right) // 2
    baseline = 184
    masks = []
    for index, (letter, colour) in enumerate(letters):
        # Advance by the width of the word so far, so kerning stays as the font has it.
        x = pen_x + font.getlength(word[:index])
        masks.append((text_mask(size, letter, font, (x, baseline)), colour))
    return masks


def draw_logo(page):
    masks = logo_letter_masks(page.size)
    whole = Image.new("L", page.size, 0)
    for mask, colour in masks:
        page.paste(colour, mask=mask)
        whole.paste(255, mask=mask)
    bbox = whole.getbbox()
    check_inside(bbox, LOGO_BOX, "logo")
    middle = (bbox[0] + bbox[2] - 1) / 2
    check(abs(middle - (LOGO_BOX[0] + LOGO_BOX[2]) / 2) <= 1, f"logo not centred: {bbox}")
    return whole


def draw_maker_name(page, logo_ink):
    font = ImageFont.truetype(LATIN_BOLD, 11)
    right_end = MAKER_NAME_BOX[2]
    width = font.getlength("Venmoor")
    mask = text_mask(page.size, "Venmoor", font, (right_end - width, 205))
    check_inside(mask.getbbox(), MAKER_NAME_BOX, "maker's name")
    # At least a pixel of air between the name and the logo.
    grown = mask.filter(ImageFilter.MaxFilter(3))
    check(ImageChops.multiply(grown, logo_ink).getbbox() is None, "maker's name touches the logo")
    page.paste(MAKER_BLUE, mask=mask)


def draw_main_background():
    width, height = 1000, 600
    page = Image.new("RGB", (width, height), WHITE)
    paint = ImageDraw.Draw(page)
    paint.rectangle((0, 0, width - 1, 27), fill=STRIP_BLUE)
    paint.rectangle((0, 28, width - 1, 28), fill=STRIP_BOTTOM)
    paint.rectangle((0, 29, 0, height - 1), fill=STRIP_BLUE)
    paint.rectangle((width - 1, 29, width - 1, height - 1), fill=STRIP_BLUE)
    paint.rectangle((0, height - 1, width - 1, height - 1), fill=STRIP_BLUE)
    paint.rectangle((998, 29, 998, height - 2), fill=SHADE_OUTER)
    paint.rectangle((997, 29, 997, height - 2), fill=SHADE_INNER)
    draw_product_name(page)
    logo_ink = draw_logo(page)
    draw_maker_name(page, logo_ink)
    check_main_background(page)
    return page


def check_main_background(page):
    name = "main_background"
    # The strip right of the product name holds nothing but its own blue.
    check_uniform(page, (PRODUCT_NAME_BOX[2] + 1, 0, 999, 27), STRIP_BLUE, name)
    check_uniform(page, (0, 0, 999, 4), STRIP_BLUE, name)
    check_uniform(page, (0, 21, 999, 27), STRIP_BLUE, name)
    for control, (left, top, w, h) in TITLE_STRIP_CONTROLS.items():
        bottom = min(top + h - 1, 27)
        check_uniform(page, (left, top, left + w - 1, bottom), STRIP_BLUE, f"{name} {control}")
    check_uniform(page, (0, 28, 999, 28), STRIP_BOTTOM, name)
    check_uniform(page, (0, 29, 0, 599), STRIP_BLUE, name)
    check_uniform(page, (999, 29, 999, 599), STRIP_BLUE, name)
    check_uniform(page, (0, 599, 999, 599), STRIP_BLUE, name)
    check_uniform(page, (998, 29, 998, 598), SHADE_OUTER, name)
    check_uniform(page, (997, 29, 997, 598), SHADE_INNER, name)
    # The white page around the logo and the name, and under the search controls.
    check_uniform(page, (1, 29, 996, LOGO_BOX[1] - 1), WHITE, name)
    check_uniform(page, (1, LOGO_BOX[3] + 1, 996, 598), WHITE, name)
    check_uniform(page, (1, 29, LOGO_BOX[0] - 1, 598), WHITE, name)
    check_uniform(page, (LOGO_BOX[2] + 1, 29, 996, 598), WHITE, name)
    for colour in [GOOGLE_BLUE, GOOGLE_RED, GOOGLE_YELLOW, GOOGLE_GREEN, MAKER_BLUE]:
        found = page.crop((LOGO_BOX[0], LOGO_BOX[1], LOGO_BOX[2] + 1, LOGO_BOX[3] + 1))
        check(colour in {c for _, c in found.getcolors(maxcolors=1 << 16)},
              f"{name}: {colour} missing from the logo")


# --- Image buttons ---------------------------------------------------------


def motif_mask(size, motif):
    def draw(paint, s):
        if motif in ("arrow_left", "arrow_right"):
            # Head from x 5 to 15, shaft on to x 24, around the middle row 13.5.
            head = [(5, 13.5), (15, 5.5), (15, 21.5)]
            shaft = [(14, 11), (24, 11), (24, 16), (14, 16)]
            if motif == "arrow_right":
                head = [(size[0] - x, y) for x, y in head]
                shaft = [(size[0] - x, y) for x, y in shaft]
            paint.polygon(scaled(head, s), fill=255)
            paint.polygon(scaled(shaft, s), fill=255)
        elif motif == "house":
            roof = [(14.5, 3), (25, 13), (4, 13)]
            walls = [(7, 12), (22, 12), (22, 23), (7, 23)]
            door = [(12.5, 17), (16.5, 17), (16.5, 23), (12.5, 23)]
            paint.polygon(scaled(roof, s), fill=255)
            paint.polygon(scaled(walls, s), fill=255)
            paint.polygon(scaled(door, s), fill=0)
        elif motif == "bar":
            paint.rectangle(scaled([(5, 13), (15, 16)], s), fill=255)
        elif motif == "cross":
            width = round(3 * s)
            paint.line(scaled([(5, 5), (15, 15)], s), fill=255, width=width)
            paint.line(scaled([(15, 5), (5, 15)], s), fill=255, width=width)
        else:
            raise ValueError(motif)

    return supersampled_mask(size, draw)


def draw_title_button(size, motif, colour):
    picture = Image.new("RGB", size, STRIP_BLUE)
    picture.paste(colour, mask=motif_mask(size, motif))
    return picture


def draw_search_button(field):
    picture = Image.new("RGB", SEARCH_SIZE, field)
    font = ImageFont.truetype(CJK_BOLD, 15, index=CJK_SIMPLIFIED_INDEX)
    mask = Image.new("L", SEARCH_SIZE, 0)
    centre = (SEARCH_SIZE[0] / 2, SEARCH_SIZE[1] / 2)
    ImageDraw.Draw(mask).text(centre, "搜索", font=font, fill=255, anchor="mm")
    check_inside(mask.getbbox(), (4, 4, SEARCH_SIZE[0] - 5, SEARCH_SIZE[1] - 5), "search text")
    picture.paste(WHITE, mask=mask)
    return picture


def draw_buttons():
    pictures = {}
    for button, size, motif, colours in TITLE_BUTTONS:
        for state, colour in zip(STATES, colours):
            name = f"{button}_{state}"
            picture = draw_title_button(size, motif, colour)
            for xy in MOTIF_PROBES[motif]:
                check_pixel(picture, xy, colour, name)
            for corner in [(0, 0), (size[0] - 1, 0), (0, size[1] - 1), (size[0] - 1, size[1] - 1)]:
                check_pixel(picture, corner, STRIP_BLUE, name)
            pictures[name] = picture
    for state, field in zip(STATES, SEARCH_FIELDS):
        name = f"search_{state}"
        picture = draw_search_button(field)
        w, h = SEARCH_SIZE
        check_uniform(picture, (0, 0, w - 1, 3), field, name)
        check_uniform(picture, (0, h - 4, w - 1, h - 1), field, name)
        middle = picture.crop((20, 8, 50, 22))
        check(WHITE in {c for _, c in middle.getcolors(maxcolors=1 << 12)},
              f"{name}: no white text in the middle")
        pictures[name] = picture
    return pictures


# --- Icons -----------------------------------------------------------------


def rounded_square_alpha(size, radius):
    """Opaque square with quarter-circle corners, edges partly transparent."""
    def draw(paint, s):
        paint.rounded_rectangle((0, 0, size * s - 1, size * s - 1), radius=radius * s, fill=255)

    return supersampled_mask((size, size), draw)


def check_soft_corners(icon, name):
    """Transparent corners, an opaque middle and partly transparent pixels between."""
    w, h = icon.size
    for corner in [(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)]:
        check(icon.getpixel(corner)[3] == 0, f"{name}: corner {corner} not transparent")
    check(icon.getpixel((w // 2, h // 2))[3] == 255, f"{name}: middle not opaque")
    top_row = {icon.getpixel((x, 0))[3] for x in range(w)}
    check(any(0 < alpha < 255 for alpha in top_row), f"{name}: corners not soft")


def letter_g_mask(size):
    """A capital G: an open ring with a bar into its middle, centred."""
    centre, outer, stroke = size / 2, size * 0.33, size * 0.13

    def draw(paint, s):
        box = [(centre - outer) * s, (centre - outer) * s, (centre + outer) * s, (centre + outer) * s]
        # Angles run clockwise from three o'clock; the ring is open at the upper right.
        paint.arc(box, start=0, end=318, fill=255, width=round(stroke * s))
        bar = [(centre - 1) * s, (centre - stroke / 2) * s, (centre + outer) * s, (centre + stroke / 2) * s]
        paint.rectangle(bar, fill=255)
        # Cut the ring's end off square where it meets the bar.
        paint.rectangle([(centre + outer - stroke) * s, (centre - outer) * s,
                         (centre + outer) * s, (centre - stroke / 2) * s], fill=0)

    return supersampled_mask((size, size), draw)


def draw_program_icon():
    size = 128
    icon = Image.new("RGBA", (size, size))
    # A white face that falls off to a cool grey, with a brighter gloss band on top.
    face = Image.new("RGB", (size, size))
    paint = ImageDraw.Draw(face)
    for y in range(size):
        t = y / (size - 1)
        paint.line([(0, y), (size - 1, y)], fill=tuple(round(255 - t * d) for d in (30, 25, 17)))
    gloss = supersampled_mask((size, size), lambda p, s: p.ellipse(
        (-0.3 * size * s, -0.55 * size * s, 1.3 * size * s, 0.5 * size * s), fill=255))
    face.paste(WHITE, mask=gloss)
    rim = supersampled_mask((size, size), lambda p, s: p.rounded_rectangle(
        (0, 0, size * s - 1, size * s - 1), radius=24 * s, outline=255, width=2 * s))
    face.paste((196, 204, 216), mask=rim)
    face.paste(GOOGLE_BLUE, mask=letter_g_mask(size))
    icon.paste(face)
    icon.putalpha(rounded_square_alpha(size, 24))
    name = "program_icon"
    check_soft_corners(icon, name)
    check_pixel(icon, (85, 64), GOOGLE_BLUE + (255,), name)  # the G's bar
    check_pixel(icon, (30, 64), GOOGLE_BLUE + (255,), name)  # the G's left side
    check_pixel(icon, (64, 98), GOOGLE_BLUE + (255,), name)  # the G's bottom
    check_pixel(icon, (64, 8), WHITE + (255,), name)  # glossy top
    return icon


def draw_blue_g(size):
    radius = size // 4
    face = Image.new("RGB", (size, size), GOOGLE_BLUE)

    def draw(paint, s):
        # Size the letter by its ink, so the bowl and the tail fill three quarters
        # of the square's height and sit in its middle.
        probe = ImageFont.truetype(LATIN_BOLD, 100)
        left, top, right, bottom = probe.getbbox("g", anchor="ls")
        font = ImageFont.truetype(LATIN_BOLD, round(100 * 0.78 * size * s / (bottom - top)))
        left, top, right, bottom = font.getbbox("g", anchor="ls")
        origin = (size * s / 2 - (left + right) / 2, size * s / 2 - (top + bottom) / 2)
        paint.text(origin, "g", font=font, fill=255, anchor="ls")

    face.paste(WHITE, mask=supersampled_mask((size, size), draw))
    icon = face.convert("RGBA")
    icon.putalpha(rounded_square_alpha(size, radius))
    name = f"blue_g_{size}"
    check_soft_corners(icon, name)
    check_pixel(icon, (size // 2, 0), GOOGLE_BLUE + (255,), name)
    check_pixel(icon, (size // 2, size - 1), GOOGLE_BLUE + (255,), name)
    middle = icon.crop((size // 4, size // 4, size - size // 4, size - size // 4))
    check(WHITE + (255,) in {c for _, c in middle.getcolors(maxcolors=1 << 12)},
          f"{name}: no white letter in the middle")
    return icon


def main():
    pictures = {"main_background": draw_main_background()}
    pictures.update(draw_buttons())
    pictures["program_icon"] = draw_program_icon()
    pictures["blue_g_16"] = draw_blue_g(16)
    pictures["blue_g_32"] = draw_blue_g(32)
    for name, picture in pictures.items():
        picture.save(ASSETS / f"{name}.png", optimize=True)
    print(f"wrote {len(pictures)} pictures to {ASSETS}")


if __name__ == "__main__":
    try:
        main()
    except CheckFailed as failure:
        sys.exit(f"draw_artwork: {failure}")
