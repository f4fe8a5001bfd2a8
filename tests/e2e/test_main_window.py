"""The main window as a person meets it: where it appears and what it looks
like, how its title-strip buttons answer the pointer, how it is moved, and the
ways it ends. What was typed is read back from the request that reached the
mirror, and the address the result view shows from what its page reports."""

import subprocess
from dataclasses import dataclass
from urllib.parse import unquote

import pytest

from conftest import (COUNTER_PAGE, MAIN_WINDOW_NAME, MIRROR_HOST, SITE_HOST, UPDATE_HOST,
                      UPDATE_SWITCH)
from harness.placements import PlacementLog
from harness.servers import Response
from harness.waiting import wait_for

WIDTH, HEIGHT = 1000, 600
SCREEN = (1280, 800)  # the launcher's default screen: the window stands at 140, 100
ABOUT_WINDOW_NAME = "关于我们"

STRIP_BLUE = (0, 68, 131)
STRIP_BOTTOM = (32, 91, 147)
SHADE_OUTER = (98, 140, 179)
SHADE_INNER = (246, 248, 251)
WHITE = (255, 255, 255)

# The control rectangles of the title strip (left, top, width, height).
ABOUT_LABEL = (872, 8, 24, 16)
PRODUCT_NAME = (11, 5, 153, 16)

# A point of the white page that no control covers, where the pointer rests.
RESTING_POINT = (300, 450)

SEARCH_PATH = "/webhp?hl=zh-CN"
REPORT_PATH = "/seen"

# The mirror's page reports its own address when it is shown and whenever its
# fragment changes, so the tests see the address the result view shows.
MIRROR_PAGE = f"""<!doctype html>
<html><head><meta charset="utf-8"><title>mirror</title></head>
<body style="background: rgb(200, 230, 200)">
<script>
let reports = 0;
function report() {{
  reports += 1;
  fetch("{REPORT_PATH}?" + Date.now() + "-" + reports + "&" + encodeURIComponent(location.href),
        {{ cache: "no-store" }});
}}
window.addEventListener("pageshow", report);
window.addEventListener("hashchange", report);
</script>
</body></html>
""".encode()


@dataclass(frozen=True)
class ImageButton:
    name: str
    box: tuple  # left, top, width, height
    motif: tuple  # a point of the picture, in the button, that carries the state's colour
    normal: tuple
    hover: tuple
    pressed: tuple

    def point(self, dx, dy):
        return self.box[0] + dx, self.box[1] + dy

    @property
    def probe(self):
        return self.point(*self.motif)

    @property
    def grip(self):
        """Where the pointer goes on the button: inside it, clear of the probe."""
        return self.point(2, 2)


BUTTONS = [
    ImageButton("BackButton", (757, 2, 29, 26), (14, 13),
                (163, 190, 232), (116, 136, 166), (186, 216, 220)),
    ImageButton("ForwardButton", (796, 2, 29, 26), (14, 13),
                (163, 190, 232), (116, 136, 166), (186, 216, 220)),
    ImageButton("HomeButton", (714, 2, 29, 26), (14, 8),
                (217, 217, 218), (246, 248, 250), (122, 189, 251)),
    ImageButton("MinimizeButton", (951, 2, 20, 20), (10, 14),
                WHITE, (255, 144, 0), (194, 0, 0)),
    ImageButton("CloseButton", (975, 5, 20, 20), (10, 10),
                WHITE, (255, 96, 0), (167, 0, 0)),
    # The field around the text "搜索".
    ImageButton("SearchButton", (670, 259, 70, 30), (35, 2),
                (0, 160, 242), (0, 69, 225), (0, 68, 131)),
]
BUTTON = {button.name: button for button in BUTTONS}


# Helpers.

def settle(program, problems_of, what, timeout=30):
    """Takes screenshots until problems_of(shot) is empty; fails with the last
    problems when the time is up. Returns the settled screenshot."""
    last = {}

    def clean_shot():
        shot = program.screenshot()
        last["shot"], last["problems"] = shot, problems_of(shot)
        return shot if not last["problems"] else None

    try:
        return wait_for(clean_shot, timeout, what)
    except TimeoutError:
        pytest.fail(f"{what}: still wrong after {timeout} s in {last['shot'].path}:\n"
                    + "\n".join(map(str, last["problems"][:20])), pytrace=False)


def wrong_pixels(shot, points, colour):
    return [(xy, shot.pixel(*xy), colour) for xy in points if shot.pixel(*xy) != colour]


def show_picture(program, button, state):
    colour = getattr(button, state)
    return settle(program, lambda shot: wrong_pixels(shot, [button.probe], colour),
                  f"{button.name} to show its {state} picture {colour}")


def region(shot, left, top, right, bottom):
    """The colours of the window's inclusive rectangle, as {colour: count}."""
    x, y = shot.window.x, shot.window.y
    area = shot.image.crop((x + left, y + top, x + right + 1, y + bottom + 1))
    return {colour: count for count, colour in area.getcolors(area.width * area.height)}


def xdotool(program, *args):
    """Several xdotool commands chained in one run, so they follow each other
    closely (a double-click must fit in the double-click time)."""
    environment = {"PATH": "/usr/bin:/bin", **program.display.environment()}
    subprocess.run(["xdotool", *args], env=environment, check=True, capture_output=True, timeout=60)


def pointer_to(program, screen_x, screen_y):
    """Moves the pointer to a point of the screen, which may be outside the window."""
    xdotool(program, "mousemove", "--sync", str(screen_x), str(screen_y))


def is_shown(program):
    return program.running() and program.is_viewable() and not program.is_iconified()


def top_level_names(program):
    return sorted(info.name for info in program.top_level_windows() if info.viewable)


@pytest.fixture
def mirror(servers):
    """The mirror's search page, and the addresses it reported, oldest first."""
    servers.route(SEARCH_PATH, Response(body=MIRROR_PAGE,
                                        headers={"Content-Type": "text/html; charset=utf-8",
                                                 "Cache-Control": "no-store"}),
                  host=MIRROR_HOST)

    def reported_addresses():
        return [unquote(request.query.split("&", 1)[1]) for request in servers.requests
                if request.host == MIRROR_HOST and request.path == REPORT_PATH]

    return reported_addresses


def search_address(query):
    return f"https://{MIRROR_HOST}{SEARCH_PATH}#hl=zh-CN&q={query}=?{SITE_HOST}"


def search(program, mirror, query):
    """Replaces the text of the focused field with `query`, presses Enter and
    waits until the result view reports the search address."""
    program.key("ctrl+a")
    program.type(query)
    program.key("Return")
    wanted = search_address(query)
    wait_for(lambda: wanted in mirror(), 60, f"the result view to show {wanted}; "
             f"it reported {mirror()}")


# Where the window appears and how it is set up.

@pytest.mark.parametrize("screen, place", [
    # The window is wider than the screen: it starts off its left edge.
    ((800, 600), (-100, 0)),
    ((1366, 768), (183, 84)),
    # Halves are cut off toward zero, on both sides of it.
    ((1003, 603), (1, 1)),
    ((799, 599), (-100, 0)),
])
def test_the_window_appears_centred_borderless_with_a_taskbar_entry(app, display, servers, mirror,
                                                                    screen, place):
    shown_on = display(*screen)
    with PlacementLog(shown_on) as placements:
        program = app(shown_on)
        # Where it stood from the moment it was mapped, not only where it ends up.
        assert placements.places_while_mapped(program.window_id) == [place]
    assert program.geometry() == (*place, WIDTH, HEIGHT)
    assert program.frame_extents() == (0, 0, 0, 0)
    assert program.has_taskbar_entry()
    assert program.windows.window(program.window_id).get_wm_transient_for() is None
    assert top_level_names(program) == [MAIN_WINDOW_NAME]
    # The keyboard focus is in SearchBox: what is typed there is searched for.
    wait_for(program.is_active, 10, "the main window to be active")
    program.type("focus")
    program.key("Return")
    request = servers.wait_for_request(SEARCH_PATH, host=MIRROR_HOST, timeout=60)
    assert request.scheme == "https"
    wait_for(lambda: search_address("focus") in mirror(), 60,
             f"the result view to report the search; it reported {mirror()}")


def test_the_counter_page_and_the_update_switch_are_asked_for_at_start(app, servers):
    app()
    for target in (COUNTER_PAGE, UPDATE_SWITCH):
        request = servers.wait_for_request(target, host=UPDATE_HOST)
        assert (request.scheme, request.method) == ("http", "GET")


def test_two_copies_started_one_after_the_other_both_show_a_window(app, display):
    screen = display(*SCREEN)
    first = app(screen)
    second = app(screen)
    assert first.window_id != second.window_id
    for program in (first, second):
        assert is_shown(program)
        assert top_level_names(program) == [MAIN_WINDOW_NAME]


@pytest.mark.parametrize("display_name", [None, ":917"], ids=["unset", "no-server"])
def test_without_a_display_the_program_ends_with_255_and_says_why(app, display_name):
    program = app.without_display(extra_env={"DISPLAY": display_name} if display_name else {})
    assert program.wait_exit(30) == 255
    message = program.stderr_text()
    assert "display" in message.lower()
    if display_name:
        assert display_name in message  # which display it could not open


# What the window looks like.

def is_white_ink(colour):
    """White, or white smoothed into the strip's blue by at least four fifths."""
    return colour[0] >= 204 and colour[1] >= 204 and colour[2] >= 230


def background_problems(shot):
    """Every place of the artwork that differs from what the window must show."""
    expected = [
        ("title strip", (0, 0, WIDTH - 1, 1), {STRIP_BLUE}),
        ("title strip below the buttons", (0, 26, WIDTH - 1, 27), {STRIP_BLUE}),
        ("title strip between the name and the buttons", (170, 0, 700, 27), {STRIP_BLUE}),
        ("lighter bottom row of the title strip", (0, 28, WIDTH - 1, 28), {STRIP_BOTTOM}),
        ("left border", (0, 29, 0, HEIGHT - 1), {STRIP_BLUE}),
        ("right border", (WIDTH - 1, 29, WIDTH - 1, HEIGHT - 1), {STRIP_BLUE}),
        ("bottom border", (0, HEIGHT - 1, WIDTH - 1, HEIGHT - 1), {STRIP_BLUE}),
        ("outer shading column", (998, 29, 998, HEIGHT - 2), {SHADE_OUTER}),
        ("inner shading column", (997, 29, 997, HEIGHT - 2), {SHADE_INNER}),
        ("page above the logo", (1, 29, 996, 120), {WHITE}),
        ("page left of the logo", (1, 29, 386, 258), {WHITE}),
        ("page right of the logo", (674, 29, 996, 258), {WHITE}),
        ("page below the search controls", (1, 290, 996, HEIGHT - 2), {WHITE}),
    ]
    problems = []
    for what, box, colours in expected:
        found = region(shot, *box)
        if set(found) != colours:
            problems.append((what, box, sorted(found.items(), key=lambda item: -item[1])[:4]))
    # The product name and "关于" in white: their boxes hold white ink (text is
    # smoothed, so nearly white counts), the strip around "关于" none.
    for what, (left, top, width, height) in [("product name", PRODUCT_NAME),
                                              ("关于", ABOUT_LABEL)]:
        found = region(shot, left, top, left + width - 1, top + height - 1)
        ink = sum(count for colour, count in found.items() if is_white_ink(colour))
        if ink < 10:
            problems.append((f"{what}: {ink} white pixels", (left, top, width, height)))
    around_label = region(shot, 826, 0, 950, 27)
    inside_label = region(shot, ABOUT_LABEL[0], ABOUT_LABEL[1], ABOUT_LABEL[0] + ABOUT_LABEL[2] - 1,
                          ABOUT_LABEL[1] + ABOUT_LABEL[3] - 1)
    stray = {colour: count - inside_label.get(colour, 0) for colour, count in around_label.items()
             if colour != STRIP_BLUE and count != inside_label.get(colour, 0)}
    if stray:
        problems.append(("ink around 关于 outside its box", stray))
    return problems


def test_the_artwork_shows_the_strip_borders_shading_and_white_page(app):
    program = app()
    settle(program, background_problems, "the main window's artwork")


@pytest.mark.parametrize("button", BUTTONS, ids=lambda button: button.name)
def test_a_button_shows_normal_hover_and_pressed_and_a_release_outside_does_nothing(app, button):
    program = app()
    program.move(*RESTING_POINT)
    show_picture(program, button, "normal")
    program.move(*button.grip)
    show_picture(program, button, "hover")
    program.press()
    show_picture(program, button, "pressed")
    program.move(*RESTING_POINT)  # the left button still held
    show_picture(program, button, "normal")
    program.release()
    show_picture(program, button, "normal")
    # Back over the button: it answers the pointer again, and the release
    # outside raised nothing that a person would see.
    program.move(*button.grip)
    show_picture(program, button, "hover")
    assert is_shown(program)
    assert top_level_names(program) == [MAIN_WINDOW_NAME]


# The ways the window ends, and the keys that do not end it.

@pytest.mark.parametrize("close", [
    pytest.param(lambda program: program.click(*BUTTON["CloseButton"].grip), id="CloseButton"),
    pytest.param(lambda program: program.key("Escape"), id="Esc"),
    pytest.param(lambda program: program.close_by_window_manager(), id="window-manager"),
])
def test_the_program_ends_with_status_0(app, close):
    program = app()
    wait_for(program.is_active, 10, "the main window to be active")
    close(program)
    assert program.wait_exit(30) == 0


@pytest.mark.parametrize("keys", ["shift+Escape", "ctrl+Escape", "alt+Escape"])
def test_esc_with_a_modifier_leaves_the_window_open(app, mirror, keys):
    program = app()
    wait_for(program.is_active, 10, "the main window to be active")
    program.key(keys)
    # Keys after it still reach SearchBox, so the Esc was taken and did nothing.
    search(program, mirror, "after")
    assert is_shown(program)


def test_minimize_button_iconifies_the_window(app):
    program = app()
    program.click(*BUTTON["MinimizeButton"].grip)
    wait_for(program.is_iconified, 30, "the main window to be iconified")
    assert program.running() and not program.is_viewable()


def picture_of(shot, button):
    """Which of its pictures the button shows in the screenshot, or None."""
    colour = shot.pixel(*button.probe)
    return next((state for state in ("normal", "hover", "pressed")
                 if getattr(button, state) == colour), None)


def test_a_double_click_on_back_goes_back_twice_without_a_pressed_picture(app, mirror):
    program = app()
    wait_for(program.is_active, 10, "the main window to be active")
    for query in ("first", "second", "third"):
        search(program, mirror, query)
    back = BUTTON["BackButton"]
    program.move(*back.grip)
    show_picture(program, back, "hover")
    seen = len(mirror())
    # The second press follows well inside the double-click time, and is held.
    xdotool(program, "mousedown", "1", "sleep", "0.05", "mouseup", "1", "sleep", "0.05",
            "mousedown", "1")
    # Out and back in with the button held: once the pointer's leaving shows,
    # the press before it was taken too, and coming back shows what it made.
    program.move(*RESTING_POINT)
    show_picture(program, back, "normal")
    program.move(*back.grip)
    shot = settle(program, lambda shot: [] if picture_of(shot, back) in ("hover", "pressed")
                  else [picture_of(shot, back)], "BackButton to answer the pointer's return")
    assert picture_of(shot, back) == "hover"
    program.release()
    wait_for(lambda: mirror()[seen:] == [search_address("second"), search_address("first")], 60,
             f"the result view to go back twice; it reported {mirror()[seen:]}")


# Moving the window.

def drag_by_body(program, start, delta, timeout=30):
    """Presses at client point `start`, nudges the pointer until the window
    follows it, drags on by `delta` in all and releases there. A loaded
    machine may take the press late; a person would wait for the window to
    follow too."""
    origin = program.geometry()
    program.move(*start)
    program.press()
    screen_start = (origin.x + start[0], origin.y + start[1])
    nudges = iter(range(10**6))

    def follows():
        offset = 1 + next(nudges) % 2
        pointer_to(program, screen_start[0] + offset, screen_start[1] + offset)
        return program.geometry()[:2] == (origin.x + offset, origin.y + offset)

    try:
        wait_for(follows, timeout, f"the window to follow a drag from {start}")
    finally:
        pointer_to(program, screen_start[0] + delta[0], screen_start[1] + delta[1])
        program.release()
    moved = (origin.x + delta[0], origin.y + delta[1], WIDTH, HEIGHT)
    wait_for(lambda: program.geometry() == moved, timeout,
             f"the window to move from {origin} to {moved}; it is at {program.geometry()}")


@pytest.mark.parametrize("start", [
    pytest.param((300, 14), id="title-strip"),
    pytest.param((ABOUT_LABEL[0] - 1, 14), id="strip-left-of-AboutLabel"),
    pytest.param((500, 450), id="white-page"),
    pytest.param((0, 300), id="left-border"),
    pytest.param((500, HEIGHT - 1), id="bottom-border"),
])
def test_dragging_the_body_moves_the_window_by_the_drag(app, start):
    program = app()
    wait_for(program.is_active, 10, "the main window to be active")
    drag_by_body(program, start, (120, 70))
    assert is_shown(program)


def test_a_drag_from_about_label_opens_the_about_window_and_moves_nothing(app):
    program = app()
    wait_for(program.is_active, 10, "the main window to be active")
    before = program.geometry()
    start = (ABOUT_LABEL[0] + 8, ABOUT_LABEL[1] + 8)
    program.move(*start)
    program.press()
    about = wait_for(lambda: next((info for info in program.top_level_windows()
                                   if info.name == ABOUT_WINDOW_NAME and info.viewable), None),
                     30, "the About window to open")
    for step in range(1, 9):  # on with the drag, the button still held
        pointer_to(program, before.x + start[0] - 25 * step, before.y + start[1] + 20 * step)
    program.release()
    assert not program.is_viewable()  # hidden while the About window is up
    wait_for(lambda: program.windows.active_id() == about.id, 30, "the About window to be active")
    program.key("Escape")
    wait_for(program.is_viewable, 30, "the main window to come back")
    assert program.geometry() == before
    assert top_level_names(program) == [MAIN_WINDOW_NAME]
