"""A search page on the mirror that reports the address it was opened at, so
that a test sees what the result view was sent to, fragment included."""

from urllib.parse import unquote

from .servers import Response
from .waiting import DEFAULT_TIMEOUT, wait_for

SEARCH_PATH = "/webhp?hl=zh-CN"
REPORT_PATH = "/qinvara-test-seen"

PAGE = ("<!doctype html><html><head><meta charset=\"utf-8\"><title>mirror</title></head>"
        "<body><script>fetch(\"" + REPORT_PATH + "?\" + encodeURIComponent(location.href),"
        " {cache: \"no-store\"});</script></body></html>").encode()


class SearchReport:
    """Serves the page on `host` and reads the addresses it reported."""

    def __init__(self, servers, host):
        self.servers = servers
        self.host = host
        servers.route(SEARCH_PATH, Response(body=PAGE, headers={
            "Content-Type": "text/html; charset=utf-8", "Cache-Control": "no-store"}), host=host)

    def addresses(self):
        return [unquote(request.query) for request in self.servers.requests
                if request.host == self.host and request.path == REPORT_PATH]

    def wait_for_query(self, query, timeout=DEFAULT_TIMEOUT):
        """Waits until a results page for `query` was shown, and returns its address."""
        wanted = f"&q={query}=?"
        return wait_for(lambda: next((a for a in self.addresses() if wanted in a), None),
                        timeout, f"a results page for {query!r}; seen {self.addresses()}")
