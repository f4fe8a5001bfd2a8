"""The update server in the states the start-up is measured against: answering,
accepting and then silent, and with a full accept queue."""

import socket
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

COUNTER_PATH = "/id/qvnr.html"
SWITCH_PATH = "/cp/qvnr/gx/1.0/gxkg.txt"

# A small page of the kind the hidden counter view loads.
PAGE = (b"<!DOCTYPE html><html><head><meta charset='utf-8'><title>counter</title></head>"
        b"<body><p>counted</p><script>document.title = 'counted ' + Date.now();</script>"
        b"</body></html>")


class AnsweringServer:
    """Serves the counter page and the update switch with the body "0"."""

    def __init__(self, address, port=80):
        requests = self.requests = []

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):
                requests.append(self.path)
                path = self.path.split("?", 1)[0]
                if path == COUNTER_PATH:
                    self._answer(200, "text/html; charset=utf-8", PAGE)
                elif path == SWITCH_PATH:
                    self._answer(200, "text/plain", b"0")
                else:
                    self._answer(404, "text/plain", b"not here")

            def _answer(self, status, kind, body):
                self.send_response(status)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        ThreadingHTTPServer.allow_reuse_address = True
        self._server = ThreadingHTTPServer((address, port), Handler)
        self._server.daemon_threads = True
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def count(self, path):
        return sum(1 for seen in self.requests if seen.split("?", 1)[0] == path)

    def close(self):
        self._server.shutdown()
        self._server.server_close()


class SilentServer:
    """Accepts every connection and never reads or answers."""

    def __init__(self, address, port=80):
        self._listener = socket.create_server((address, port), backlog=64, reuse_port=False)
        self._held = []
        self._closing = False
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()

    def _accept(self):
        while not self._closing:
            try:
                connection, _ = self._listener.accept()
            except OSError:
                return
            self._held.append(connection)

    @property
    def accepted(self):
        return len(self._held)

    def close(self):
        self._closing = True
        self._listener.shutdown(socket.SHUT_RDWR)
        self._listener.close()
        for connection in self._held:
            connection.close()


class FullQueueListener:
    """Listens but never accepts, its accept queue filled by our own
    connections: the kernel drops every further SYN, so a client's connect
    waits for its own time-out."""

    def __init__(self, address, port=80):
        self._listener = socket.create_server((address, port), backlog=0)
        self._fillers = []
        while True:
            filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            filler.settimeout(0.3)
            try:
                filler.connect((address, port))
            except (TimeoutError, socket.timeout):
                filler.close()
                break
            self._fillers.append(filler)
            if len(self._fillers) > 16:
                raise RuntimeError("the accept queue never filled up")

    def close(self):
        for filler in self._fillers:
            filler.close()
        self._listener.close()
