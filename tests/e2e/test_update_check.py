"""The update check at every start, against the update server on its local
stand-in: the switch deciding whether the reminder comes, the reminder with
the server's texts, its two buttons that end the program, its close, and the
start going on silently when the server fails."""

import pytest

from conftest import MAIN_WINDOW_NAME, MIRROR_HOST, UPDATE_HOST, UPDATE_SWITCH
from harness.host_names import host_pointing_to
from harness.search_report import SearchReport
from harness.servers import Response, hang
from harness.waiting import wait_for
from harness.window_frames import centre, outer_frame, shown_names
from harness.window_watch import WindowWatch, window_named
from harness.xclip import offer_clipboard, wait_for_clipboard_change

REMINDER_TITLE = "Venmoor产品自动更新提醒！"
LATEST_VERSION = "/cp/qvnr/gx/zxbb.txt"
UPDATE_NOTES = "/cp/qvnr/gx/gxxx.txt"
DOWNLOAD_PAGE = f"http://{UPDATE_HOST}/cp/qvnr/gx.html?1.0"
OUTER_SIZE = (394, 328)

# The reminder's controls: left, top, width, height in its client area.
NOTES_BOX = (7, 97, 377, 127)
DECLINE_BUTTON = (48, 258, 88, 24)
DOWNLOAD_BUTTON = (233, 237, 144, 48)
LATEST_VERSION_LABEL = (273, 35, 56, 24)
CURRENT_VERSION_LABEL = (90, 36, 70, 24)  # "1.0", in the same bold font

NOTES = "本次更新：\r\n1. 修复了若干问题。\r\n2. 提高了稳定性。"
HTML_404 = (b"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\"><html><head>"
            b"<title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>")


def plain(body, status=200):
    return Response(status=status, body=body, headers={"Content-Type": "text/plain"})


def dropped(request):
    """A route that closes the connection without any answer."""
    raise ConnectionAbortedError(f"the test drops {request.target}")


def serve(servers, switch=None, latest=None, notes=None):
    """Routes the update server's three files; bytes are served as text/plain."""
    for target, answer in [(UPDATE_SWITCH, switch), (LATEST_VERSION, latest),
                           (UPDATE_NOTES, notes)]:
        if answer is not None:
            servers.route(target, plain(answer) if isinstance(answer, bytes) else answer,
                          host=UPDATE_HOST)


def update_requests(servers):
    """The targets of the requests for the update server's three files, in order."""
    return [request.target for request in servers.requests
            if request.host == UPDATE_HOST
            and request.target in (UPDATE_SWITCH, LATEST_VERSION, UPDATE_NOTES)]


@pytest.fixture
def start(app):
    """start(display=None, extra_env=None): the program started, with a watch on
    every window it maps from then on; returns (program, watch)."""
    watches = []

    def started(display=None, extra_env=None):
        program = app(display, wait=False, extra_env=extra_env)
        watch = WindowWatch(program.display, program.pid)
        watches.append(watch)
        return program, watch

    yield started
    for watch in watches:
        watch.stop()


def reminder_of(program):
    """The reminder window, once it is mapped and active."""
    reminder = window_named(program, REMINDER_TITLE, timeout=60)
    wait_for(reminder.is_active, 30, "the reminder to be active")
    return reminder


def painted_screenshot(reminder):
    """A screenshot once the reminder's texts are on the screen."""

    def painted():
        shot = reminder.screenshot()
        return len(set(crop(shot, CURRENT_VERSION_LABEL))) > 1 and shot

    return wait_for(painted, 30, "the reminder to be painted")


def crop(shot, box, width=None):
    left, top, box_width, height = box
    width = box_width if width is None else width
    return [shot.pixel(x, y) for y in range(top, top + height) for x in range(left, left + width)]


def notes_text(reminder):
    """The whole text of the notes box, selected and copied as a person would."""
    reminder.click(*centre(NOTES_BOX))
    marker = "clipboard before the copy"
    offer_clipboard(reminder.display, marker)
    reminder.key("ctrl+a", "ctrl+c")
    return wait_for_clipboard_change(reminder.display, marker)


def notes_are_empty(reminder):
    """Types one letter into the notes box: when the whole box then reads just
    that letter, it was empty."""
    reminder.click(*centre(NOTES_BOX))
    reminder.key("ctrl+End")
    reminder.type("q")
    return notes_text(reminder) == "q"


# The switch.

def redirect_to_one():
    return {UPDATE_SWITCH: Response(status=302, headers={
                "Location": f"http://{UPDATE_HOST}/elsewhere/switch.txt"}),
            "/elsewhere/switch.txt": plain(b"1")}


@pytest.mark.parametrize("routes, reminder_shows", [
    pytest.param({UPDATE_SWITCH: plain(b"1")}, True, id="1"),
    pytest.param({UPDATE_SWITCH: plain(b"1\x00junk")}, True, id="1-NUL-junk"),
    pytest.param(redirect_to_one(), True, id="redirect-to-1"),
    pytest.param({UPDATE_SWITCH: plain(b"1\r\n")}, False, id="1-CR-LF"),
    pytest.param({UPDATE_SWITCH: plain(b"1\n")}, False, id="1-LF"),
    pytest.param({UPDATE_SWITCH: plain(b" 1")}, False, id="blank-1"),
    pytest.param({UPDATE_SWITCH: plain(b"1 ")}, False, id="1-blank"),
    pytest.param({UPDATE_SWITCH: plain(b"01")}, False, id="01"),
    pytest.param({UPDATE_SWITCH: plain(b"true")}, False, id="true"),
    pytest.param({UPDATE_SWITCH: plain("１".encode("gbk"))}, False, id="full-width-1"),
    pytest.param({UPDATE_SWITCH: plain(b"\xef\xbb\xbf1")}, False, id="BOM-1"),
    pytest.param({UPDATE_SWITCH: plain(b"")}, False, id="empty"),
    pytest.param({UPDATE_SWITCH: Response(status=404, body=HTML_404,
                                          headers={"Content-Type": "text/html"})},
                 False, id="404-page"),
])
def test_only_a_switch_reading_1_brings_the_reminder_instead_of_the_main_window(
        servers, start, app, routes, reminder_shows):
    for target, answer in routes.items():
        servers.route(target, answer, host=UPDATE_HOST)
    serve(servers, latest=b"2.0", notes=NOTES.encode("gbk"))
    program, watch = start()
    if reminder_shows:
        reminder = reminder_of(program)
        assert shown_names(program) == [REMINDER_TITLE]
        assert update_requests(servers) == [UPDATE_SWITCH, LATEST_VERSION, UPDATE_NOTES]
        # Declining ends the program at once.
        reminder.click(*centre(DECLINE_BUTTON))
        assert program.wait_exit(30) == 0
        assert app.browser.opened_urls() == []
        assert watch.seen_once(REMINDER_TITLE) == {REMINDER_TITLE}
    else:
        program.wait_for_window(60)
        assert watch.seen_once(MAIN_WINDOW_NAME) == {MAIN_WINDOW_NAME}
        assert update_requests(servers) == [UPDATE_SWITCH]


# The reminder's texts from the server.

@pytest.mark.parametrize("notes, shown", [
    pytest.param(NOTES.encode("gbk"), NOTES, id="GBK-lines"),
    pytest.param(b"before the NUL\x00after it", "before the NUL", id="NUL"),
    pytest.param("更新说明界面".encode("utf-8"), "鏇存柊璇存槑鐣岄潰", id="UTF-8-unconverted"),
    pytest.param(Response(status=404, body=HTML_404, headers={"Content-Type": "text/html"}),
                 HTML_404.decode(), id="404-page-raw"),
])
def test_the_notes_box_shows_the_servers_notes_as_code_page_text(servers, start, notes, shown):
    serve(servers, switch=b"1", latest=b"2.0", notes=notes)
    program, _ = start()
    reminder = reminder_of(program)
    assert notes_text(reminder) == shown


def test_the_latest_version_label_shows_the_servers_text_in_the_bold_version_font(
        servers, start):
    serve(servers, switch=b"1", latest=b"1.0", notes=NOTES.encode("gbk"))
    program, _ = start()
    shot = painted_screenshot(reminder_of(program))
    # The same text in the same font as the current version beside it: the same pixels.
    latest = crop(shot, LATEST_VERSION_LABEL)
    assert latest == crop(shot, CURRENT_VERSION_LABEL, width=LATEST_VERSION_LABEL[2])
    assert len(set(latest)) > 2


def test_a_404_page_for_the_latest_version_shows_its_raw_start_clipped_to_the_label(
        servers, start):
    shots = []
    for latest in [Response(status=404, body=HTML_404, headers={"Content-Type": "text/html"}),
                   plain(HTML_404[:24])]:
        serve(servers, switch=b"1", latest=latest, notes=NOTES.encode("gbk"))
        program, _ = start()
        reminder = reminder_of(program)
        shots.append(crop(painted_screenshot(reminder), LATEST_VERSION_LABEL))
        # The notes are not affected by the other fetch.
        assert notes_text(reminder) == NOTES
        program.stop()
    page, start_of_page = shots
    assert page == start_of_page and len(set(page)) > 2


def test_a_latest_version_ending_in_a_line_break_stays_on_the_labels_line(servers, start):
    serve(servers, switch=b"1", latest=b"1.0\r\n", notes=NOTES.encode("gbk"))
    program, _ = start()
    shot = painted_screenshot(reminder_of(program))
    width = LATEST_VERSION_LABEL[2]
    current = crop(shot, CURRENT_VERSION_LABEL, width=width)
    background = current[0]
    # Where "1.0" is drawn beside "1.0\r\n" ends, whatever a line break may look like.
    inked = max(index % width for index, pixel in enumerate(current) if pixel != background)
    latest = crop(shot, LATEST_VERSION_LABEL)
    assert ([p for i, p in enumerate(latest) if i % width <= inked]
            == [p for i, p in enumerate(current) if i % width <= inked])


@pytest.mark.parametrize("failure, button, opened", [
    pytest.param(Response(body=b"0123456789", cut_after=0), DOWNLOAD_BUTTON, [DOWNLOAD_PAGE],
                 id="cut-before-the-body-then-download"),
    pytest.param(dropped, DECLINE_BUTTON, [], id="dropped-without-answer-then-decline"),
])
def test_when_both_text_fetches_fail_label_and_box_are_empty_and_the_buttons_work(
        servers, start, app, failure, button, opened):
    serve(servers, switch=b"1", latest=failure, notes=failure)
    program, _ = start()
    reminder = reminder_of(program)
    label = crop(painted_screenshot(reminder), LATEST_VERSION_LABEL)
    assert len(set(label)) == 1  # nothing drawn, not even the design text
    assert update_requests(servers) == [UPDATE_SWITCH, LATEST_VERSION, UPDATE_NOTES]
    assert notes_are_empty(reminder)
    reminder.click(*centre(button))
    assert program.wait_exit(30) == 0
    assert app.browser.opened_urls() == opened


# The two buttons end the program; the main window never shows.

def click_download(reminder):
    reminder.click(*centre(DOWNLOAD_BUTTON))


def press_space(reminder):
    reminder.key("space")


def press_enter(reminder):
    reminder.key("Return")


@pytest.mark.parametrize("activate", [click_download, press_space, press_enter])
def test_download_opens_the_download_page_and_ends_the_program(servers, start, app, activate):
    serve(servers, switch=b"1", latest=b"2.0", notes=NOTES.encode("gbk"))
    program, watch = start()
    reminder = reminder_of(program)
    # The focus is on DownloadButton, so space and Enter press it.
    activate(reminder)
    assert program.wait_exit(30) == 0
    assert app.browser.wait_for_urls(1) == [DOWNLOAD_PAGE]
    assert watch.seen_once(REMINDER_TITLE) == {REMINDER_TITLE}


def test_download_ends_the_program_also_when_no_browser_can_be_started(
        servers, start, app, tmp_path):
    serve(servers, switch=b"1", latest=b"2.0", notes=NOTES.encode("gbk"))
    nowhere = tmp_path / "no-browser"
    nowhere.mkdir()
    # No handler for http anywhere: the stand-in's folders are replaced by empty ones.
    program, watch = start(extra_env={"XDG_DATA_HOME": str(nowhere),
                                      "XDG_CONFIG_HOME": str(nowhere)})
    click_download(reminder_of(program))
    assert program.wait_exit(30) == 0
    assert app.browser.opened_urls() == []
    assert watch.seen_once(REMINDER_TITLE) == {REMINDER_TITLE}


def test_decline_ends_the_program_and_opens_nothing(servers, start, app):
    serve(servers, switch=b"1", latest=b"2.0", notes=NOTES.encode("gbk"))
    program, watch = start()
    reminder_of(program).click(*centre(DECLINE_BUTTON))
    assert program.wait_exit(30) == 0
    assert app.browser.opened_urls() == []
    assert watch.seen_once(REMINDER_TITLE) == {REMINDER_TITLE}


# Closing the reminder: the start goes on to a working main window.

def close_by_window_manager(reminder):
    reminder.close_by_window_manager()


def press_escape(reminder):
    reminder.key("Escape")


def press_escape_in_the_notes(reminder):
    reminder.click(*centre(NOTES_BOX))
    reminder.key("Escape")


def press_alt_f4(reminder):
    reminder.key("alt+F4")


@pytest.mark.parametrize("close", [
    close_by_window_manager,
    press_escape,
    press_escape_in_the_notes,
    press_alt_f4,
])
def test_closing_the_reminder_lets_the_main_window_come_and_work(servers, start, close):
    serve(servers, switch=b"1", latest=b"2.0", notes=NOTES.encode("gbk"))
    mirror = SearchReport(servers, MIRROR_HOST)
    program, watch = start()
    close(reminder_of(program))
    program.wait_for_window(60)
    wait_for(program.is_active, 30, "the main window to be active")
    assert shown_names(program) == [MAIN_WINDOW_NAME]
    program.type("abc")
    program.key("Return")
    mirror.wait_for_query("abc", timeout=60)
    # The switch was asked once, at the start, and never again.
    assert update_requests(servers) == [UPDATE_SWITCH, LATEST_VERSION, UPDATE_NOTES]
    assert watch.seen_once(MAIN_WINDOW_NAME) == {REMINDER_TITLE, MAIN_WINDOW_NAME}


def test_enter_in_the_notes_box_starts_a_new_line_and_presses_no_button(servers, start, app):
    serve(servers, switch=b"1", latest=b"2.0", notes=b"first")
    program, _ = start()
    reminder = reminder_of(program)
    reminder.click(*centre(NOTES_BOX))
    reminder.key("ctrl+End", "Return", "KP_Enter")
    reminder.type("second")
    assert notes_text(reminder) == "first\n\nsecond"
    assert program.running() and shown_names(program) == [REMINDER_TITLE]
    assert app.browser.opened_urls() == []


# Placement.

@pytest.mark.parametrize("screen_size", [
    (1280, 800),
    # A window too wide for its place would be pushed off it here.
    (1024, 768),
])
def test_the_reminder_is_centred_active_and_out_of_the_taskbar(servers, start, display,
                                                                screen_size):
    serve(servers, switch=b"1", latest=b"2.0", notes=NOTES.encode("gbk"))
    program, _ = start(display(*screen_size))
    reminder = reminder_of(program)
    assert not reminder.has_taskbar_entry()
    width, height = screen_size
    left, top, _, _ = outer_frame(reminder)
    assert (left, top) == ((width - OUTER_SIZE[0]) // 2, (height - OUTER_SIZE[1]) // 2)


def test_the_reminder_measures_394_by_328_with_its_frame(servers, start):
    serve(servers, switch=b"1", latest=b"2.0", notes=NOTES.encode("gbk"))
    program, _ = start()
    reminder = reminder_of(program)
    # The client area is fitted once the window manager has framed the window.
    wait_for(lambda: outer_frame(reminder)[2:] == OUTER_SIZE, 10,
             f"the reminder to measure {OUTER_SIZE}; it is {outer_frame(reminder)}")


# A failing update server: silence, and the main window.

def refuse_connections():
    return host_pointing_to(UPDATE_HOST, "127.0.0.2")


@pytest.mark.parametrize("failure, switch_requests", [
    pytest.param("refused", 0, id="connection-refused"),
    pytest.param(dropped, 1, id="dropped-without-answer"),
])
def test_a_failing_update_server_lets_the_main_window_come_without_a_message(
        servers, start, failure, switch_requests):
    serve(servers, latest=b"2.0", notes=NOTES.encode("gbk"))
    if failure == "refused":
        with refuse_connections():
            program, watch = start()
            program.wait_for_window(60)
    else:
        serve(servers, switch=failure)
        program, watch = start()
        program.wait_for_window(60)
    wait_for(program.is_active, 30, "the main window to be active")
    assert shown_names(program) == [MAIN_WINDOW_NAME]
    assert watch.seen_once(MAIN_WINDOW_NAME) == {MAIN_WINDOW_NAME}
    assert update_requests(servers) == [UPDATE_SWITCH] * switch_requests


def test_a_server_that_never_answers_holds_the_start_about_five_seconds(servers, start):
    serve(servers, switch=hang())
    program, watch = start()
    asked = servers.wait_for_request(UPDATE_SWITCH, host=UPDATE_HOST, timeout=60)
    program.wait_for_window(60)
    # The fetch gives up by itself, and the start goes on without a message.
    assert program.mapped_at - asked.time < 8
    assert shown_names(program) == [MAIN_WINDOW_NAME]
    assert watch.seen_once(MAIN_WINDOW_NAME) == {MAIN_WINDOW_NAME}
