"""A small stand-in for the search mirror, served by the local servers.

Its pages (tests/e2e/mirror/) are one results page for every address of the
mirror: a page whose fragment carries "q=" is a results page in RESULTS_COLOUR,
any other in OTHER_COLOUR. Each shows a list of link rows at fixed places and
two text fields, and reports back to the servers what happened in it:

    /report/href?<address>        the page's address whenever it is shown
    /report/field-<id>?<value>    a field's value after each change
    /report/escape-<id>?<value>   Esc pressed in a field
    /report/dialogs-done?<json>   the alert page got past its dialogs

(each value through encodeURIComponent). These requests go unanswered (404)
but are in the servers' log like every other. A results page for the query
"hold" polls /hold and goes to /webhp?hl=en once the test calls release_hold().
"""

import json
import threading
from dataclasses import dataclass
from pathlib import Path
from urllib.parse import unquote, urlsplit

from .servers import Response
from .waiting import DEFAULT_TIMEOUT, wait_for

PAGES = Path(__file__).resolve().parent.parent / "mirror"

RESULTS_COLOUR = (30, 100, 200)
OTHER_COLOUR = (120, 40, 140)
ROW_COLOUR = (250, 220, 60)

HTML = {"Content-Type": "text/html; charset=utf-8", "Cache-Control": "no-store"}


@dataclass(frozen=True)
class Row:
    """One link of the results list, in page pixels."""

    href: str
    left: int
    top: int
    width: int = 480
    height: int = 34
    target: str = ""

    @property
    def centre(self):
        return self.left + self.width // 2, self.top + self.height // 2


@dataclass(frozen=True)
class Field:
    id: str
    left: int
    top: int
    width: int = 380
    height: int = 32

    @property
    def centre(self):
        return self.left + self.width // 2, self.top + self.height // 2


def _rows(mirror_host):
    links = [
        ("/webhp?hl=en", ""),
        ("/webhp?hl=zh-CN", ""),
        ("/", ""),
        (f"http://{mirror_host}/", ""),
        ("/redirect?to=en", ""),
        ("/webhp?hl=zh-CN&start=10", ""),
        ("/webhp?hl=zh-CN#more", ""),
        ("/webhp?hl=EN", ""),
        ("/redirect?to=start", ""),
        ("/popup", "_blank"),
        ("/alert", ""),
    ]
    return [Row(href, 20, 10 + 40 * index, target=target)
            for index, (href, target) in enumerate(links)]


FIELDS = [Field("keeps-esc", 560, 10), Field("leaves-esc", 560, 60)]


class FakeMirror:
    """Routes the mirror's pages on `host` and reads their reports from the log."""

    def __init__(self, servers, host):
        self.servers = servers
        self.host = host
        self.rows = {row.href: row for row in _rows(host)}
        self.fields = {field.id: field for field in FIELDS}
        self._released = threading.Event()

        self._page = self._fill((PAGES / "page.html").read_text(encoding="utf-8"))
        alert = self._fill((PAGES / "alert.html").read_text(encoding="utf-8"))
        for target in ["/webhp?hl=zh-CN", "/webhp?hl=en", "/", "/webhp?hl=zh-CN&start=10",
                       "/webhp?hl=EN", "/popup"]:
            servers.route(target, self.page_response(), host=host)
        servers.route("/alert", Response(body=alert, headers=HTML), host=host)
        servers.route("/redirect?to=en", _redirect("/webhp?hl=en"), host=host)
        servers.route("/redirect?to=start", _redirect("/webhp?hl=zh-CN&start=10"), host=host)
        servers.route("/hold", lambda request: Response(
            body=b"go" if self._released.is_set() else b"wait",
            headers={"Content-Type": "text/plain", "Cache-Control": "no-store"}), host=host)

    def _fill(self, template):
        rows = [{"href": r.href, "left": r.left, "top": r.top, "width": r.width,
                 "height": r.height, "target": r.target, "colour": ROW_COLOUR}
                for r in self.rows.values()]
        fields = [{"id": f.id, "left": f.left, "top": f.top, "width": f.width,
                   "height": f.height} for f in self.fields.values()]
        return (template.replace("/*ROWS*/", json.dumps(rows))
                .replace("/*FIELDS*/", json.dumps(fields))
                .replace("/*RESULTS_COLOUR*/", ",".join(map(str, RESULTS_COLOUR)))
                .replace("/*OTHER_COLOUR*/", ",".join(map(str, OTHER_COLOUR)))
                .encode("utf-8"))

    def page_response(self, delay=0.0):
        """The mirror's page as a route's answer, held back `delay` seconds."""
        return Response(body=self._page, headers=HTML, delay=delay)

    def release_hold(self):
        """Lets a results page for the query "hold" go to the English home page."""
        self._released.set()

    # What reached the mirror.

    def requests(self):
        return [r for r in self.servers.requests if r.host == self.host]

    def page_requests(self):
        """The targets (path and query) of every request for a page, in order:
        everything but the reports and the polls of a held page."""
        return [r.target for r in self.requests()
                if not r.path.startswith("/report/") and r.path != "/hold"]

    def reports(self, kind):
        """The values reported under `kind` so far, oldest first."""
        prefix = f"/report/{kind}"
        return [unquote(urlsplit(r.target).query) for r in self.requests()
                if r.path == prefix]

    def wait_for_report(self, kind, value=None, after=0, timeout=DEFAULT_TIMEOUT):
        """Waits for a report of `kind` beyond the first `after` ones (with
        `value`, one that equals it) and returns its value."""

        def arrived():
            for reported in self.reports(kind)[after:]:
                if value is None or reported == value:
                    return (reported,)
            return None

        what = f"a report {kind!r}" + (f" of {value!r}" if value is not None else "")
        return wait_for(arrived, timeout, f"{what}; got {self.reports(kind)[after:]}")[0]


def _redirect(location):
    return Response(status=302, headers={"Location": location, "Cache-Control": "no-store"})
