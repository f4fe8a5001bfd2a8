"""Fixtures of the end-to-end tests: local servers under the program's host
names, virtual displays with a window manager, and the program itself.

The tests run inside tests/e2e/run_in_namespace.sh, which gives them the host
names and the test CA; CTest starts them that way.
"""

import os

import pytest

from harness.display import VirtualDisplay
from harness.launcher import ProgramLauncher
from harness.servers import LocalServers, Response

MIRROR_HOST = os.environ.get("QINVARA_MIRROR_HOST", "mirror.test")
UPDATE_HOST = os.environ.get("QINVARA_UPDATE_HOST", "update.test")
SITE_HOST = os.environ.get("QINVARA_SITE_HOST", "site.test")

UPDATE_SWITCH = "/cp/qvnr/gx/1.0/gxkg.txt"
COUNTER_PAGE = "/id/qvnr.html?1.0bata1"
COUNTER_PAGE_HTML = b"<!doctype html><html><head><title>counter</title></head><body>1</body></html>"

MAIN_WINDOW_NAME = "Sendrow"

DEFAULT_ROUTES = {
    (UPDATE_HOST, UPDATE_SWITCH): Response(body=b"0", headers={"Content-Type": "text/plain"}),
    (UPDATE_HOST, COUNTER_PAGE): Response(
        body=COUNTER_PAGE_HTML, headers={"Content-Type": "text/html; charset=utf-8"}),
}


@pytest.fixture(scope="session")
def _running_servers():
    if os.environ.get("QINVARA_E2E_NAMESPACE") != "inside":
        pytest.fail("the end-to-end tests run inside tests/e2e/run_in_namespace.sh "
                    "(ctest -L e2e starts them that way)", pytrace=False)
    servers = LocalServers(os.environ["QINVARA_E2E_CERT"], os.environ["QINVARA_E2E_KEY"],
                           DEFAULT_ROUTES)
    yield servers
    servers.close()


@pytest.fixture
def servers(_running_servers):
    """HTTP on 127.0.0.1:80 and HTTPS on 127.0.0.1:443, default routes, empty log."""
    _running_servers.reset()
    yield _running_servers
    _running_servers.reset()


@pytest.fixture
def display(tmp_path):
    """display(width, height): a new Xvfb screen of that size with openbox."""
    made = []

    def make(width=1280, height=800):
        screen = VirtualDisplay(width, height, tmp_path / f"display-{len(made) + 1}")
        made.append(screen)
        return screen

    make.made = made
    yield make
    for screen in reversed(made):
        screen.close()


def launcher_fixture(argv, window_name, tmp_path, display):
    launcher = ProgramLauncher(argv, window_name, tmp_path / "programs", display)
    try:
        yield launcher
    finally:
        launcher.close()


@pytest.fixture
def app(servers, display, tmp_path):
    """app(display=None, wait=True): starts the built program, by default on a
    1280 x 800 screen, and returns it once its main window is mapped."""
    binary = os.environ.get("QINVARA_BIN", "")
    if not binary or not os.access(binary, os.X_OK):
        pytest.fail(f"QINVARA_BIN must name the built qinvara program (it is {binary!r})",
                    pytrace=False)
    yield from launcher_fixture([binary], MAIN_WINDOW_NAME, tmp_path, display)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when != "call" or not report.failed:
        return
    for value in {id(value): value for value in getattr(item, "funcargs", {}).values()}.values():
        if isinstance(value, ProgramLauncher) and value.started:
            report.sections.append(("standard error of the programs", value.logs()))
        if getattr(value, "made", None):
            report.sections.append(("displays", "\n".join(d.describe() for d in value.made)))
        if isinstance(value, LocalServers):
            requests = "\n".join(f"{r.scheme} {r.host} {r.method} {r.target}"
                                 for r in value.requests)
            report.sections.append(("requests the servers received", requests or "(none)"))
