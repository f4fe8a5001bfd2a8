"""Local HTTP (port 80) and HTTPS (port 443) servers answering under the
program's host names, with routes that each test sets and a record of every
request they received."""

import mimetypes
import socket
import ssl
import sys
import threading
import time
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

from .waiting import DEFAULT_TIMEOUT, wait_for


@dataclass(frozen=True)
class Response:
    """What a route answers.

    `delay` holds the answer back for that many seconds; `hang` never answers
    (the connection is dropped when the test ends); `cut_after` announces the
    whole body but sends only that many bytes of it, then closes the connection.
    """

    status: int = 200
    body: bytes = b""
    headers: dict = field(default_factory=dict)
    delay: float = 0.0
    hang: bool = False
    cut_after: int | None = None


def hang():
    """A route that reads the request and never answers."""
    return Response(hang=True)


def close_mid_body(body=b"0123456789abcdef"):
    """A route that promises `body` and closes the connection halfway."""
    return Response(body=body, cut_after=len(body) // 2)


@dataclass(frozen=True)
class Request:
    """One request as the servers received it."""

    scheme: str
    host: str
    method: str
    target: str  # path and query, as sent
    headers: dict  # lower-case name -> value
    body: bytes
    time: float  # time.monotonic() when it arrived

    @property
    def path(self):
        return urlsplit(self.target).path

    @property
    def query(self):
        return urlsplit(self.target).query


NOT_FOUND = Response(status=404, body=b"not found\n", headers={"Content-Type": "text/plain"})


class LocalServers:
    """Both servers, their routes and the request log.

    A route answers a request target (path and query) on one host, or on every
    host when host is None. The answer is a Response, or a callable taking the
    Request and returning a Response.
    """

    def __init__(self, cert_file, key_file, default_routes, address="127.0.0.1",
                 http_port=80, https_port=443):
        self._default_routes = dict(default_routes)
        self._lock = threading.Lock()
        self._routes = {}
        self._requests = []
        self._errors = []
        self._release = threading.Event()
        self.reset()

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert_file, key_file)
        context.set_alpn_protocols(["http/1.1"])

        self._servers = [
            _Server((address, http_port), self, "http", None),
            _Server((address, https_port), self, "https", context),
        ]
        self._threads = [
            threading.Thread(target=server.serve_forever, name=f"{server.scheme} server",
                             daemon=True)
            for server in self._servers
        ]
        for thread in self._threads:
            thread.start()

    def route(self, target, answer, host=None):
        """Makes `target` on `host` answer with `answer`; with host None, on
        every host, replacing the routes of `target` on single hosts."""
        with self._lock:
            if host is None:
                for key in [key for key in self._routes if key[1] == target]:
                    del self._routes[key]
            self._routes[(host, target)] = answer

    def reset(self):
        """Back to the default routes and an empty log; drops hung connections."""
        with self._lock:
            self._routes = dict(self._default_routes)
            self._requests = []
            self._errors = []
            self._release.set()
            self._release = threading.Event()

    @property
    def requests(self):
        with self._lock:
            return list(self._requests)

    @property
    def errors(self):
        """Connections that failed before a request was read (TLS errors and the like)."""
        with self._lock:
            return list(self._errors)

    def requests_for(self, target, host=None):
        return [r for r in self.requests
                if r.target == target and (host is None or r.host == host)]

    def wait_for_request(self, target, host=None, timeout=DEFAULT_TIMEOUT):
        """Returns the first request for `target` (on `host`), waiting for it."""
        where = f" on {host}" if host else ""
        return wait_for(lambda: next(iter(self.requests_for(target, host)), None), timeout,
                        f"a request for {target}{where}; got {self.requests}")

    def close(self):
        self._release.set()
        for server in self._servers:
            server.shutdown()
            server.server_close()
        for thread in self._threads:
            thread.join()

    # Called from the handler threads.

    def _record(self, request):
        with self._lock:
            self._requests.append(request)
            return self._release

    def _record_error(self, text):
        with self._lock:
            self._errors.append(text)

    def _answer_for(self, request):
        with self._lock:
            answer = self._routes.get((request.host, request.target))
            if answer is None:
                answer = self._routes.get((None, request.target), NOT_FOUND)
        return answer(request) if callable(answer) else answer


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, owner, scheme, tls_context):
        self.owner = owner
        self.scheme = scheme
        self.tls_context = tls_context
        super().__init__(address, _Handler)

    def handle_error(self, request, client_address):
        self.owner._record_error(f"{self.scheme} {client_address}: {sys.exc_info()[1]!r}")


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 30  # an idle keep-alive connection ends after this

    def setup(self):
        # The TLS handshake happens here, in the connection's own thread, so a
        # slow or failing client cannot hold up the accepting loop.
        if self.server.tls_context is not None:
            self.request = self.server.tls_context.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self._serve()

    do_HEAD = do_POST = do_PUT = do_DELETE = do_OPTIONS = do_GET

    def _serve(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        request = Request(
            scheme=self.server.scheme,
            host=_host_without_port(self.headers.get("Host") or ""),
            method=self.command,
            target=self.path,
            headers={name.lower(): value for name, value in self.headers.items()},
            body=body,
            time=time.monotonic(),
        )
        release = self.server.owner._record(request)
        answer = self.server.owner._answer_for(request)

        if answer.hang:
            release.wait()
            self.close_connection = True
            return
        if answer.delay and release.wait(answer.delay):
            self.close_connection = True
            return

        body = answer.body.encode() if isinstance(answer.body, str) else answer.body
        headers = {name.lower(): (name, value) for name, value in answer.headers.items()}
        self.send_response(answer.status)
        if "content-type" not in headers:
            guessed = mimetypes.guess_type(request.path)[0] or "application/octet-stream"
            self.send_header("Content-Type", guessed)
        for name, value in headers.values():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command == "HEAD":
            return
        if answer.cut_after is None:
            self.wfile.write(body)
            return
        self.wfile.write(body[: answer.cut_after])
        self.wfile.flush()
        self.connection.shutdown(socket.SHUT_RDWR)
        self.close_connection = True


def _host_without_port(host_header):
    if host_header.startswith("["):  # an IPv6 literal
        return host_header[: host_header.find("]") + 1]
    return host_header.rsplit(":", 1)[0]
