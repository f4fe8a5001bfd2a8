"""The About window, as a person meets it: opened by a press on "关于" in the
main window's title strip, looked at, read, copied from, and closed in each
of the ways a window closes, after which the main window is back as it was."""

from pathlib import Path

import pytest
from PIL import Image

from conftest import MAIN_WINDOW_NAME, MIRROR_HOST, SITE_HOST
from harness.search_report import SearchReport
from harness.waiting import wait_for
from harness.window_frames import centre, outer_frame, shown_names
from harness.window_watch import place_window, window_named
from harness.xclip import offer_clipboard, wait_for_clipboard_change

ABOUT_TITLE = "关于我们"
STATEMENT_TITLE = "软件声明"
ABOUT_PAGE = f"http://{SITE_HOST}/cn/cp/qvnr.html?gywm"
OUTER_SIZE = (359, 230)

# In MainWindow's client area: the "关于" label.
ABOUT_LABEL = (884, 16)

# The About window's controls: left, top, width, height in its client area.
SITE_LINK = (88, 171, 56, 16)
STATEMENT = (16, 168, 64, 24)
INTRO_BOX = (16, 88, 328, 72)
VERSION = (89, 56, 63, 16)
PRODUCT_NAME = (56, 24, 160, 24)
ICON_BOX = (288, 24, 32, 32)

INTRO_TEXT = ("    随着谷歌搜索遭受中国大陆封锁，大量网民无法直接访问谷歌，为解决这一问题，"
              "Venmoor研发此工具：Qinvara，它可以让你无缝、轻松使用谷歌搜索引擎。\r\n"
              + " " * 38 + "2014年11月10日")

BLUE_G_32 = Path(__file__).resolve().parents[2] / "assets" / "blue_g_32.png"

WHITE = (255, 255, 255)
BLUE = (0, 0, 255)
DARK_RED = (128, 0, 0)
BLACK = (0, 0, 0)


@pytest.fixture
def browser(app):
    """The stand-in default browser: what the program asked it to open."""
    return app.browser


@pytest.fixture
def main_window(app):
    """The program with its main window mapped and active."""
    program = app()
    wait_for(program.is_active, 30, "the main window to be active")
    return program


def open_about(program):
    """Presses on "关于" and returns the About window once it is active."""
    program.click(*ABOUT_LABEL)
    about = window_named(program, ABOUT_TITLE)
    wait_for(about.is_active, 30, "the About window to be active")
    return about


def select_first_line(about):
    """Drags over the first line of IntroBox, as a person selects text."""
    left, top, width, _ = INTRO_BOX
    about.drag((left + 24, top + 8), (left + width - 60, top + 8))


def copied_text(window):
    """What Ctrl+C in the window puts on the clipboard (over a marker put there first)."""
    marker = "clipboard before the copy"
    offer_clipboard(window.display, marker)
    window.key("ctrl+c")
    return wait_for_clipboard_change(window.display, marker)


def all_text(window):
    """Ctrl+A, then Ctrl+C: the whole text of the focused box."""
    window.key("ctrl+a")
    return copied_text(window)


def painted_screenshot(about):
    """A screenshot once the window's white background is on the screen."""
    return wait_for(lambda: (shot := about.screenshot()).pixel(250, 180) == WHITE and shot, 30,
                    "the About window to be painted")


def crop(shot, box):
    left, top, width, height = box
    return [shot.pixel(x, y) for y in range(top, top + height) for x in range(left, left + width)]


def differing_pixels(first, second, box):
    return sum(a != b for a, b in zip(crop(first, box), crop(second, box)))


# Opening: where it appears, and what becomes of the main window.

@pytest.mark.parametrize("screen_size", [(1280, 800), (1024, 768)])
def test_a_press_on_about_hides_the_main_window_and_shows_about_centred(app, display,
                                                                         screen_size):
    program = app(display(*screen_size))
    wait_for(program.is_active, 30, "the main window to be active")
    about = open_about(program)
    wait_for(lambda: not program.is_viewable(), 10, "the main window to be hidden")
    # Neither window has a taskbar entry: the main window is unmapped, About skips it.
    assert shown_names(program) == [ABOUT_TITLE]
    assert not about.has_taskbar_entry()
    width, height = screen_size
    left, top, _, _ = outer_frame(about)
    assert (left, top) == ((width - OUTER_SIZE[0]) // 2, (height - OUTER_SIZE[1]) // 2)


def test_the_about_window_measures_359_by_230_with_its_frame(main_window):
    about = open_about(main_window)
    # The client area is fitted once the window manager has framed the window.
    wait_for(lambda: outer_frame(about)[2:] == OUTER_SIZE, 10,
             f"the About window to measure {OUTER_SIZE}; it is {outer_frame(about)}")


# Closing, in each way, brings the main window back as it was.

def close_by_window_manager(about):
    about.close_by_window_manager()


def press_escape(about):
    about.key("Escape")


def press_escape_with_text_selected(about):
    select_first_line(about)
    about.key("Escape")


def press_alt_f4(about):
    about.key("alt+F4")


@pytest.mark.parametrize("close", [
    close_by_window_manager,
    press_escape,
    press_escape_with_text_selected,
    press_alt_f4,
])
def test_closing_brings_the_main_window_back_with_its_place_text_and_focus(
        main_window, servers, close):
    program = main_window
    mirror = SearchReport(servers, MIRROR_HOST)
    # Somewhere else than where it started, so that "where it was" means something.
    moved = place_window(program, 70, 45)
    program.type("abc")

    about = open_about(program)
    close(about)

    wait_for(program.is_viewable, 30, "the main window to come back")
    wait_for(program.is_active, 30, "the main window to be active again")
    assert shown_names(program) == [MAIN_WINDOW_NAME]
    assert program.geometry() == moved
    # The query typed before is still there, and the keys go on into it.
    program.type("def")
    program.key("Return")
    mirror.wait_for_query("abcdef", timeout=60)
    assert program.running()


# IntroBox: the description, selectable and copyable, never editable.

def test_a_selection_is_gone_and_the_text_is_the_design_one_when_about_opens_again(
        main_window):
    about = open_about(main_window)
    untouched = painted_screenshot(about)
    select_first_line(about)
    # The selection shows, and what it covers is copied.
    wait_for(lambda: differing_pixels(untouched, about.screenshot(), INTRO_BOX) > 200, 30,
             "the selection to show")
    part = copied_text(about)
    assert part and part in INTRO_TEXT
    about.key("Escape")
    wait_for(main_window.is_viewable, 30, "the main window to come back")

    again = open_about(main_window)
    reopened = painted_screenshot(again)
    # As at the first opening: only the blinking caret may differ.
    assert differing_pixels(untouched, reopened, INTRO_BOX) <= 20
    assert all_text(again) == INTRO_TEXT


@pytest.mark.parametrize("keys", [
    ["x", "y", "z"],
    ["ctrl+v"],
    ["BackSpace", "Delete", "ctrl+BackSpace"],
    ["Return", "KP_Enter"],
    ["ctrl+x"],
])
def test_intro_box_keeps_its_text_whatever_is_typed_pasted_or_deleted(main_window, keys):
    about = open_about(main_window)
    offer_clipboard(about.display, "pasted text")
    left, top, width, height = INTRO_BOX
    about.click(left + width // 2, top + 12)
    about.key("ctrl+a")
    about.key(*keys)
    assert all_text(about) == INTRO_TEXT
    # Enter presses nothing and closes nothing.
    assert about.is_viewable() and shown_names(main_window) == [ABOUT_TITLE]


# The two links.

def dismiss_by_ok_button(box):
    _, _, width, height = box.geometry()
    box.click(width // 2, height - 14)


def dismiss_by_enter(box):
    box.key("Return")


def dismiss_by_escape(box):
    box.key("Escape")


def dismiss_by_window_manager(box):
    box.close_by_window_manager()


@pytest.mark.parametrize("dismiss", [dismiss_by_ok_button, dismiss_by_enter, dismiss_by_escape,
                                     dismiss_by_window_manager])
def test_the_statement_box_blocks_about_until_it_is_dismissed(main_window, browser, dismiss):
    program = main_window
    about = open_about(program)
    about.click(*centre(STATEMENT))
    box = window_named(program, STATEMENT_TITLE)
    wait_for(box.is_active, 30, "the statement box to be active")
    assert shown_names(program) == sorted([ABOUT_TITLE, STATEMENT_TITLE])

    # About does not react: the site link opens nothing, a second statement does not come.
    about.click(*centre(SITE_LINK))
    about.click(*centre(STATEMENT))
    dismiss(box)
    wait_for(lambda: shown_names(program) == [ABOUT_TITLE], 30, "the statement box to go")
    assert browser.opened_urls() == []

    # And afterwards it does again.
    about.click(*centre(SITE_LINK))
    assert browser.wait_for_urls(1) == [ABOUT_PAGE]
    assert shown_names(program) == [ABOUT_TITLE]


def press_at(window, point):
    window.move(*point)
    window.press()


def test_each_press_on_the_site_link_opens_the_page_once_and_about_stays(main_window, browser):
    about = open_about(main_window)
    left, top, _, height = SITE_LINK
    # Presses far enough apart that none completes a double-click.
    for count, x in enumerate([left + 8, left + 26, left + 44], start=1):
        press_at(about, (x, top + height // 2))
        # The page opens at the press, before the button comes up.
        assert browser.wait_for_urls(count) == [ABOUT_PAGE] * count
        about.release()
    assert about.is_active() and shown_names(main_window) == [ABOUT_TITLE]


def test_the_second_press_of_a_double_click_on_the_site_link_opens_nothing(main_window,
                                                                           browser):
    about = open_about(main_window)
    left, top, _, height = SITE_LINK
    about.double_click(left + 8, top + height // 2)
    about.click(left + 40, top + height // 2)
    assert browser.wait_for_urls(2) == [ABOUT_PAGE] * 2
    # A round trip through the statement box: every press before it has been handled.
    about.click(*centre(STATEMENT))
    window_named(main_window, STATEMENT_TITLE).key("Return")
    wait_for(lambda: shown_names(main_window) == [ABOUT_TITLE], 30, "the statement box to go")
    assert browser.opened_urls() == [ABOUT_PAGE] * 2


# What the window looks like.

def share_of(colour, pixel, tolerance=0.03):
    """How far `pixel` lies from white towards `colour` (0 to 1), or None when it
    is no such blend, as antialiased text in that colour over white always is."""
    shares = []
    for seen, full in zip(pixel, colour):
        if full == 255:
            if seen < 252:
                return None
        else:
            shares.append((255 - seen) / (255 - full))
    return shares[0] if max(shares) - min(shares) <= tolerance else None


@pytest.mark.parametrize("box, colour", [
    (SITE_LINK, BLUE),
    (STATEMENT, DARK_RED),
    (VERSION, BLACK),
    (PRODUCT_NAME, BLACK),
], ids=["SiteLinkLabel", "StatementLabel", "VersionLabel", "ProductNameLabel"])
def test_each_label_draws_its_text_in_its_colour_straight_on_white(main_window, box, colour):
    about = open_about(main_window)
    pixels = crop(painted_screenshot(about), box)
    shares = [share_of(colour, pixel) for pixel in pixels]
    # Only glyphs, in the label's own colour: no box behind them, no other colour.
    assert None not in shares
    assert colour in pixels and sum(share > 0.5 for share in shares) >= 30


def test_the_background_is_white_and_the_icon_is_drawn_at_its_place(main_window):
    about = open_about(main_window)
    shot = painted_screenshot(about)
    width, height = about.geometry()[2:]
    for point in [(2, 2), (width - 3, 2), (200, 72), (250, 180), (2, height - 3),
                  (width - 3, height - 3)]:
        assert shot.pixel(*point) == WHITE, point

    left, top, _, _ = ICON_BOX
    with Image.open(BLUE_G_32) as picture:
        icon = picture.convert("RGBA")
    clear = set()
    for y in range(icon.height):
        for x in range(icon.width):
            r, g, b, alpha = icon.getpixel((x, y))
            seen = shot.pixel(left + x, top + y)
            if alpha == 255:
                assert seen == (r, g, b), (x, y)
            elif alpha == 0:
                clear.add(seen)
    # Where the icon is clear, the face colour shows, not the white window.
    assert len(clear) == 1 and clear != {WHITE}
