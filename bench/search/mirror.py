"""A small mirror for the search benchmarks: its home pages and a results page
that reads the query from the fragment, as the real mirror's page does, and
tells the server when it has loaded."""

import os

from harness.servers import Response

MIRROR_HOST = os.environ.get("QINVARA_MIRROR_HOST", "mirror.test")
UPDATE_HOST = os.environ.get("QINVARA_UPDATE_HOST", "update.test")

SEARCH_TARGET = "/webhp?hl=zh-CN"
LOADED_PREFIX = "/report/loaded?"

_HTML = {"Content-Type": "text/html; charset=utf-8", "Cache-Control": "no-store"}

_RESULTS_PAGE = b"""<!doctype html>
<html><head><meta charset="utf-8"><title>mirror</title></head>
<body style="margin:0;font:16px sans-serif;background:#eef">
<h1 id="query"></h1>
<ol><li>first result</li><li>second result</li><li>third result</li></ol>
<script>
const match = /[#&]q=([^#]*)/.exec(location.hash);
document.getElementById("query").textContent = match ? match[1] : "";
addEventListener("load", () =>
  fetch("/report/loaded?" + encodeURIComponent(location.hash), { cache: "no-store" }));
</script>
</body></html>
"""

_HOME_PAGE = b"""<!doctype html>
<html><head><meta charset="utf-8"><title>home</title></head>
<body style="margin:0;background:#fff">home</body></html>
"""


def routes():
    """The routes of the mirror and of the update server's start-up requests."""
    return {
        (MIRROR_HOST, SEARCH_TARGET): Response(body=_RESULTS_PAGE, headers=_HTML),
        (MIRROR_HOST, "/webhp?hl=en"): Response(body=_HOME_PAGE, headers=_HTML),
        (MIRROR_HOST, "/"): Response(body=_HOME_PAGE, headers=_HTML),
        (UPDATE_HOST, "/cp/qvnr/gx/1.0/gxkg.txt"): Response(
            body=b"0", headers={"Content-Type": "text/plain"}),
        (UPDATE_HOST, "/id/qvnr.html?1.0bata1"): Response(body=_HOME_PAGE, headers=_HTML),
    }
