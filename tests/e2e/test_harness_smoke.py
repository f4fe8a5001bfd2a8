"""Checks of the harness itself, so that a failing program test means the
program and not the test bench: names and certificates inside the private
network, the local servers and their routes, the virtual displays, the window
driver against a small probe window, and the stand-in default browser."""

import http.client
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import urllib.error
import urllib.request
from pathlib import Path

import pytest
from Xlib import XK

from conftest import (COUNTER_PAGE, COUNTER_PAGE_HTML, MIRROR_HOST, SITE_HOST, UPDATE_HOST,
                      UPDATE_SWITCH, launcher_fixture)
from harness.program import ProgramEnded
from harness.servers import Response, close_mid_body, hang
from harness.waiting import wait_for

HOSTS = [MIRROR_HOST, UPDATE_HOST, SITE_HOST]
PROBE = Path(__file__).parent / "harness" / "probe_window.py"
PROBE_NAME = "Harness probe"
LEFT = (255, 0, 0)
RIGHT = (0, 0, 255)


def fetch(url, timeout=10):
    """(status, headers, body) of a GET through the system's own trust store."""
    try:
        with urllib.request.urlopen(url, timeout=timeout,
                                    context=ssl.create_default_context()) as response:
            return response.status, response.headers, response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read()


# Names and certificates.

@pytest.mark.parametrize("host", HOSTS)
def test_host_names_lead_to_loopback_only(host):
    # AI_ADDRCONFIG is what hides 127.0.0.1 in a loopback-only namespace.
    addresses = {info[4][0] for info in socket.getaddrinfo(
        host, 443, socket.AF_UNSPEC, socket.SOCK_STREAM, 0, socket.AI_ADDRCONFIG)}
    assert addresses == {"127.0.0.1"}


@pytest.mark.parametrize("host, curl_status, http_status", [
    (MIRROR_HOST, 0, "404"),
    (UPDATE_HOST, 0, "200"),
    (SITE_HOST, 0, "404"),
    ("localhost", 60, "000"),  # on 127.0.0.1 too, but not a name of the certificate
])
def test_curl_checks_the_test_certificate_with_the_system_store(servers, host, curl_status,
                                                                http_status):
    result = subprocess.run(
        ["curl", "--silent", "--show-error", "--max-time", "10", "--output", "/dev/null",
         "--write-out", "%{http_code}", f"https://{host}{UPDATE_SWITCH}"],
        capture_output=True, text=True)
    assert (result.returncode, result.stdout) == (curl_status, http_status), result.stderr


# Local servers.

def echo_query(request):
    return Response(body=f"{request.method} {request.query}".encode())


@pytest.mark.parametrize("scheme", ["http", "https"])
@pytest.mark.parametrize("route, host, target, status, body, header", [
    (None, UPDATE_HOST, UPDATE_SWITCH, 200, b"0", ("Content-Type", "text/plain")),
    (None, UPDATE_HOST, COUNTER_PAGE, 200, COUNTER_PAGE_HTML,
     ("Content-Type", "text/html; charset=utf-8")),
    (None, SITE_HOST, UPDATE_SWITCH, 404, b"not found\n", None),
    (None, UPDATE_HOST, "/cp/qvnr/gx/zxbb.txt", 404, b"not found\n", None),
    ((UPDATE_SWITCH, Response(status=500, body=b"\xb8\xfc\xd0\xc2", headers={"X-Test": "yes"}),
      None), UPDATE_HOST, UPDATE_SWITCH, 500, b"\xb8\xfc\xd0\xc2", ("X-Test", "yes")),
    (("/x?a=1", echo_query, None), MIRROR_HOST, "/x?a=1", 200, b"GET a=1", None),
    (("/only-site", Response(body=b"site"), SITE_HOST), SITE_HOST, "/only-site", 200, b"site",
     None),
    (("/only-site", Response(body=b"site"), SITE_HOST), MIRROR_HOST, "/only-site", 404,
     b"not found\n", None),
    (("/late", Response(body=b"late", delay=0.2), None), SITE_HOST, "/late", 200, b"late", None),
    (("/by-type.txt", Response(body=b"t"), None), SITE_HOST, "/by-type.txt", 200, b"t",
     ("Content-Type", "text/plain")),
])
def test_routes_answer_and_every_request_is_recorded(servers, scheme, route, host, target,
                                                     status, body, header):
    if route is not None:
        servers.route(route[0], route[1], host=route[2])
    got_status, got_headers, got_body = fetch(f"{scheme}://{host}{target}")
    assert (got_status, got_body) == (status, body)
    if header is not None:
        assert got_headers[header[0]] == header[1]
    [request] = servers.requests
    assert (request.scheme, request.host, request.method, request.target) == (
        scheme, host, "GET", target)
    assert request.headers["user-agent"].startswith("Python-urllib")


def test_reset_restores_the_default_routes_and_empties_the_log(servers):
    servers.route(UPDATE_SWITCH, Response(body=b"1"), host=UPDATE_HOST)
    assert fetch(f"http://{UPDATE_HOST}{UPDATE_SWITCH}")[2] == b"1"
    servers.reset()
    assert servers.requests == []
    assert fetch(f"http://{UPDATE_HOST}{UPDATE_SWITCH}")[2] == b"0"


@pytest.mark.parametrize("scheme", ["http", "https"])
def test_a_hanging_route_never_answers_until_reset(servers, scheme):
    servers.route("/hang", hang())
    result = {}

    def ask():
        try:
            fetch(f"{scheme}://{SITE_HOST}/hang", timeout=60)
            result["outcome"] = "answered"
        except (http.client.RemoteDisconnected, ConnectionError, urllib.error.URLError) as error:
            result["outcome"] = f"dropped: {error!r}"

    client = threading.Thread(target=ask)
    client.start()
    servers.wait_for_request("/hang", host=SITE_HOST)
    assert client.is_alive() and not result  # the request arrived and still has no answer
    servers.reset()
    client.join(timeout=30)
    assert result["outcome"].startswith("dropped")


@pytest.mark.parametrize("scheme", ["http", "https"])
def test_a_body_cut_in_the_middle_is_reported_incomplete(servers, scheme):
    body = b"0123456789" * 10
    servers.route("/cut", close_mid_body(body))
    connection_type = (http.client.HTTPSConnection if scheme == "https"
                       else http.client.HTTPConnection)
    kwargs = {"context": ssl.create_default_context()} if scheme == "https" else {}
    connection = connection_type(SITE_HOST, timeout=10, **kwargs)
    connection.request("GET", "/cut")
    response = connection.getresponse()
    assert response.status == 200
    with pytest.raises(http.client.IncompleteRead) as cut:
        response.read()
    assert cut.value.partial == body[:50]
    connection.close()


def test_waiting_for_a_request_returns_it_once_it_arrives(servers):
    client = threading.Timer(0.3, fetch, [f"http://{UPDATE_HOST}{COUNTER_PAGE}"])
    client.start()
    request = servers.wait_for_request(COUNTER_PAGE, host=UPDATE_HOST, timeout=10)
    client.join()
    assert (request.host, request.target, request.path, request.query) == (
        UPDATE_HOST, COUNTER_PAGE, "/id/qvnr.html", "1.0bata1")
    with pytest.raises(TimeoutError):
        servers.wait_for_request("/never", timeout=0.2)


# Displays.

@pytest.mark.parametrize("width, height", [(800, 600), (1366, 768)])
def test_a_display_has_the_chosen_size_and_a_window_manager(display, width, height):
    screen = display(width, height)
    assert screen.screen_size() == (width, height)
    assert screen.window_manager_name() == "Openbox"


def test_two_displays_run_side_by_side(display):
    first, second = display(640, 480), display(800, 600)
    assert first.name != second.name
    assert (first.screen_size(), second.screen_size()) == ((640, 480), (800, 600))


# The window driver, against the probe window.

@pytest.fixture
def probe_events(tmp_path):
    """The probe's events so far: a callable returning a list of dicts."""
    path = tmp_path / "probe-events.jsonl"
    path.touch()
    return lambda: [json.loads(line) for line in path.read_text().splitlines()]


@pytest.fixture
def probe_launcher(display, tmp_path, probe_events):
    argv = [sys.executable, PROBE, "--name", PROBE_NAME,
            "--events", tmp_path / "probe-events.jsonl",
            "--left-colour", "%02x%02x%02x" % LEFT, "--right-colour", "%02x%02x%02x" % RIGHT]
    yield from launcher_fixture(argv, PROBE_NAME, tmp_path, display)


@pytest.fixture
def probe(probe_launcher):
    """probe(*options, screen=None): the probe window, once it is mapped."""
    return lambda *options, screen=None: probe_launcher(screen, args=options)


def wait_for_events(probe_events, count):
    return wait_for(lambda: len(probe_events()) >= count and probe_events(), 10,
                    f"{count} probe events")


@pytest.mark.parametrize("size", [(800, 600), (1280, 800)])
def test_geometry_and_pixels_are_read_in_window_coordinates(display, probe, size):
    window = probe("--undecorated", "--x", "130", "--y", "70", "--width", "300", "--height",
                   "100", screen=display(*size))
    assert window.geometry() == (130, 70, 300, 100)
    assert window.frame_extents() == (0, 0, 0, 0)
    shot = wait_for(lambda: (s := window.screenshot()).pixel(0, 0) == LEFT and s, 10,
                    "the probe to paint")
    assert [shot.pixel(x, y) for x, y in [(0, 0), (149, 99), (150, 0), (299, 99)]] == [
        LEFT, LEFT, RIGHT, RIGHT]
    assert shot.image.getpixel((129, 70)) != LEFT  # just left of the window
    with pytest.raises(ValueError):
        shot.pixel(-131, 0)


def test_a_decorated_window_reports_its_frame(probe):
    window = probe("--x", "100", "--y", "100")
    left, right, top, bottom = window.frame_extents()
    assert top > 0 and min(left, right, bottom) >= 0


@pytest.mark.parametrize("point, button", [((10, 20), 1), ((250, 90), 1), ((150, 50), 3)])
def test_clicks_land_at_window_points(probe, probe_events, point, button):
    window = probe("--undecorated", "--x", "40", "--y", "60", "--width", "300", "--height",
                   "100")
    window.click(*point, button=button)
    assert wait_for_events(probe_events, 2) == [
        {"event": "press", "button": button, "x": point[0], "y": point[1]},
        {"event": "release", "button": button, "x": point[0], "y": point[1]},
    ]


def test_a_drag_presses_moves_and_releases(probe, probe_events):
    window = probe("--undecorated", "--x", "40", "--y", "60", "--width", "300", "--height",
                   "100")
    window.drag((20, 20), (120, 70))
    events = wait_for_events(probe_events, 2)
    assert [(e["event"], e["x"], e["y"]) for e in events] == [
        ("press", 20, 20), ("release", 120, 70)]


def test_a_point_off_the_screen_is_refused(display, probe):
    window = probe("--undecorated", "--x", "700", "--y", "0", "--width", "200", "--height",
                   "100", screen=display(800, 600))
    with pytest.raises(ValueError):
        window.move(150, 10)


@pytest.mark.parametrize("keys, expected", [
    (["Escape"], [("Escape", 0)]),
    (["shift+Escape"], [("Shift_L", 0), ("Escape", 1)]),  # the X state bit of Shift is 1
    (["ctrl+Escape"], [("Control_L", 0), ("Escape", 4)]),
    (["alt+Escape"], [("Alt_L", 0), ("Escape", 8)]),
    # xdotool switches Num Lock on to reach a keypad digit, and leaves it on.
    (["KP_1", "Return", "shift+a"], [("Num_Lock", 0), ("KP_1", 0), ("Return", 0),
                                     ("Shift_L", 0), ("A", 1)]),
])
def test_keys_reach_the_focused_window_with_their_modifiers(probe, probe_events, keys,
                                                            expected):
    window = probe("--undecorated", "--x", "10", "--y", "10")
    wait_for(window.is_active, 10, "the probe to get the focus")
    window.key(*keys)
    events = wait_for_events(probe_events, len(expected))
    assert [(e["keysym"], e["state"] & 0x0D) for e in events] == [
        (XK.string_to_keysym(name), state) for name, state in expected]


def test_typed_text_arrives_as_keys(probe, probe_events):
    window = probe("--undecorated", "--x", "10", "--y", "10")
    wait_for(window.is_active, 10, "the probe to get the focus")
    window.type("ab1")
    assert [e["key"] for e in wait_for_events(probe_events, 3)] == ["a", "b", "1"]


def test_a_close_by_the_window_manager_reaches_the_program(probe):
    window = probe("--x", "10", "--y", "10")
    window.close_by_window_manager()
    assert window.wait_exit(10) == 3


@pytest.mark.parametrize("options, taskbar_entry", [((), True), (("--skip-taskbar",), False)])
def test_the_taskbar_hint_is_read(probe, options, taskbar_entry):
    window = probe("--x", "10", "--y", "10", *options)
    assert window.has_taskbar_entry() is taskbar_entry


def test_an_iconified_window_is_seen_as_such(probe):
    window = probe("--x", "10", "--y", "10")
    assert not window.is_iconified() and window.is_viewable()
    subprocess.run(["xdotool", "windowminimize", str(window.window_id)], check=True,
                   env={**os.environ, **window.display.environment()})
    wait_for(window.is_iconified, 10, "the probe to be iconified")
    assert not window.is_viewable()


def test_top_level_windows_are_listed_per_process(display, probe):
    screen = display(800, 600)
    first = probe("--x", "10", "--y", "10", screen=screen)
    second = probe("--x", "300", "--y", "10", screen=screen)
    for window in (first, second):
        [info] = window.top_level_windows()
        assert (info.id, info.name, info.pid, info.viewable) == (
            window.window_id, PROBE_NAME, window.pid, True)


def test_a_start_without_display_ends_with_its_message(probe_launcher):
    headless = probe_launcher.without_display()
    assert headless.wait_exit(10) == 255
    assert "cannot open the display" in headless.stderr_text()


def test_a_program_that_ends_early_is_reported_with_its_stderr(probe_launcher):
    with pytest.raises(ProgramEnded, match="unrecognized arguments"):
        probe_launcher(args=["--no-such-option"])


# The stand-in default browser.

@pytest.mark.parametrize("urls", [
    [f"http://{UPDATE_HOST}/cp/qvnr/gx.html?1.0"],
    [f"https://{SITE_HOST}/cn/cp/qvnr.html?gywm", f"http://{SITE_HOST}/a?b=c&d=e"],
])
def test_the_default_browser_records_what_it_was_asked_to_open(probe_launcher, display, urls):
    env = probe_launcher.environment(display(640, 480))
    for url in urls:
        subprocess.run(["gio", "open", url], env=env, check=True, timeout=30)
    assert probe_launcher.browser.wait_for_urls(len(urls), timeout=10) == urls
