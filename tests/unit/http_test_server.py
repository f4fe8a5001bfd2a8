"""Local HTTP and HTTPS servers with injected faults, for the HttpFetch tests.

Usage: http_test_server.py WORKDIR

Makes a test certificate authority and server certificates in WORKDIR, listens
on 127.0.0.1 only, prints one "NAME PORT" line per listener and then "ready",
and exits when its standard input closes (the test that started it is gone).

Listeners:
  http              plain HTTP; the paths below
  https_good        TLS, certificate for 127.0.0.1 and localhost from the test CA
  https_wrong_name  TLS, certificate for another name from the test CA
  https_untrusted   TLS, self-signed certificate for 127.0.0.1
  silent            accepts connections and never answers

Paths (an absolute-form target, as a proxy is sent, is served the same way):
  /plain                   a short body with Content-Length
  /status/404, /status/500 an HTML error page with that status
  /length/missing          no Content-Length; the body ends when the server closes
  /length/zero|negative|text
                           Content-Length "0", "-12" or "twelve", then a body
  /length/large            300000 bytes of the pattern, with Content-Length
  /large                   5 MiB of the pattern, with Content-Length
  /chunked                 250001 bytes of the pattern in chunks of mixed sizes
  /nul                     a body with NUL bytes in it
  /break/length            Content-Length 1000, 400 bytes, then the server closes
  /break/reset             400 bytes, then the connection is reset
  /break/chunked           a 300-byte chunk, 50 bytes of the next, then close
  /stall                   400 bytes, then nothing while the connection stays open
  /one                     the body "1"
  /redirect/one            302 to /one (its own body must not count)
  /redirect/absolute       301 to http://127.0.0.1:PORT/one
  /redirect/chain/N        302 to /redirect/chain/N-1; /redirect/chain/0 goes to /one
  /redirect/loop           302 to itself
  /redirect/ftp            302 to an ftp address on this server
  /echo...                 the request head exactly as received
  /connections             how many connections the plain listener took before this one
  /endless                 the pattern, no Content-Length, until the client goes away

The pattern: byte i of a body is i % 251.
"""

import os
import shutil
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time

PATTERN_BLOCK = bytes(i % 251 for i in range(251 * 1024))
SYSTEM_BUNDLE = "/etc/ssl/certs/ca-certificates.crt"


def pattern(count):
    whole, rest = divmod(count, len(PATTERN_BLOCK))
    return PATTERN_BLOCK * whole + PATTERN_BLOCK[:rest]


def openssl(*commands, cwd):
    """Runs openssl once per argument list, all at the same time."""
    running = [subprocess.Popen(["openssl", *args], cwd=cwd, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL) for args in commands]
    for process in running:
        if process.wait() != 0:
            raise RuntimeError("openssl failed: %r" % (process.args,))


def make_certificates(workdir):
    key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2"]

    def certificate(name, subject, alt, *issuer):
        return ["req", "-x509", *key, "-keyout", name + ".key", "-out", name + ".pem",
                "-subj", "/CN=" + subject, "-addext", "subjectAltName=" + alt,
                "-addext", "basicConstraints=CA:FALSE", *issuer]

    openssl(["req", "-x509", *key, "-keyout", "ca.key", "-out", "ca.pem",
             "-subj", "/CN=Local Test CA",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign"], cwd=workdir)
    from_ca = ["-CA", "ca.pem", "-CAkey", "ca.key"]
    openssl(certificate("good", "127.0.0.1", "IP:127.0.0.1,DNS:localhost", *from_ca),
            certificate("wrong_name", "wrong-name.test", "DNS:wrong-name.test", *from_ca),
            certificate("untrusted", "127.0.0.1", "IP:127.0.0.1,DNS:localhost"),
            cwd=workdir)
    # The system's trusted certificates plus the test CA: what a test lays
    # over the system bundle in a private mount namespace.
    with open(os.path.join(workdir, "bundle.pem"), "wb") as bundle:
        if os.path.exists(SYSTEM_BUNDLE):
            with open(SYSTEM_BUNDLE, "rb") as system:
                shutil.copyfileobj(system, bundle)
        with open(os.path.join(workdir, "ca.pem"), "rb") as ca:
            bundle.write(b"\n" + ca.read())


class State:
    lock = threading.Lock()
    plain_connections = 0
    http_port = 0


def response(status, body, headers=(), version=b"HTTP/1.0"):
    head = version + b" " + status + b"\r\n"
    for name, value in headers:
        head += name + b": " + value + b"\r\n"
    return head + b"\r\n" + body


def with_length(status, body):
    return response(status, body, [(b"Content-Length", str(len(body)).encode())])


def redirect(status, location):
    body = b"<html>moved elsewhere</html>"
    return response(status, body, [(b"Location", location),
                                   (b"Content-Length", str(len(body)).encode())])


def chunk(data):
    return b"%x\r\n" % len(data) + data + b"\r\n"


ERROR_PAGE = b"<html><body><h1>%s</h1>\r\n<p>\xb4\xed\xce\xf3 page</p></body></html>\r\n"


class Handler(socketserver.BaseRequestHandler):
    tls_context = None

    def setup(self):
        if self.tls_context is not None:
            self.request = self.tls_context.wrap_socket(self.request, server_side=True)

    def handle(self):
        head = b""
        while b"\r\n\r\n" not in head and len(head) < 65536:
            data = self.request.recv(65536)
            if not data:
                return
            head += data
        target = head.split(b"\r\n", 1)[0].split(b" ")[1] if b" " in head else b"/"
        if target.startswith(b"http://"):
            slash = target.find(b"/", len(b"http://"))
            target = target[slash:] if slash >= 0 else b"/"
        path = target.split(b"?", 1)[0]
        self.serve(path, head)

    def send(self, data):
        self.request.sendall(data)

    def serve(self, path, head):
        simple = {
            b"/plain": lambda: with_length(b"200 OK", b"plain body\n"),
            b"/status/404": lambda: with_length(b"404 Not Found", ERROR_PAGE % b"404"),
            b"/status/500": lambda: with_length(b"500 Internal Server Error",
                                                ERROR_PAGE % b"500"),
            b"/length/missing": lambda: response(b"200 OK", b"no length given\r\n"),
            b"/length/zero": lambda: response(b"200 OK", b"zero length\r\n",
                                              [(b"Content-Length", b"0")]),
            b"/length/negative": lambda: response(b"200 OK", b"negative length\r\n",
                                                  [(b"Content-Length", b"-12")]),
            b"/length/text": lambda: response(b"200 OK", b"length in words\r\n",
                                              [(b"Content-Length", b"twelve")]),
            b"/length/large": lambda: with_length(b"200 OK", pattern(300000)),
            b"/large": lambda: with_length(b"200 OK", pattern(5 * 1024 * 1024)),
            b"/nul": lambda: with_length(b"200 OK", b"1\x00junk\x00\xff"),
            b"/one": lambda: with_length(b"200 OK", b"1"),
            b"/redirect/one": lambda: redirect(b"302 Found", b"/one"),
            b"/redirect/absolute": lambda: redirect(
                b"301 Moved Permanently", b"http://127.0.0.1:%d/one" % State.http_port),
            b"/redirect/loop": lambda: redirect(b"302 Found", b"/redirect/loop"),
            b"/redirect/ftp": lambda: redirect(
                b"302 Found", b"ftp://127.0.0.1:%d/one" % State.http_port),
            b"/echo": lambda: with_length(b"200 OK", head),
        }
        if path in simple:
            self.send(simple[path]())
        elif path.startswith(b"/echo"):
            self.send(simple[b"/echo"]())
        elif path.startswith(b"/redirect/chain/"):
            left = int(path[len(b"/redirect/chain/"):])
            self.send(redirect(b"302 Found", b"/one" if left == 0
                               else b"/redirect/chain/%d" % (left - 1)))
        elif path == b"/connections":
            with State.lock:
                count = State.plain_connections - 1
            self.send(with_length(b"200 OK", str(count).encode()))
        elif path == b"/chunked":
            body = pattern(250001)
            out = response(b"200 OK", b"", [(b"Transfer-Encoding", b"chunked"),
                                             (b"Connection", b"close")], b"HTTP/1.1")
            sizes = [1, 4095, 102401, 7, 143497]
            offset = 0
            for size in sizes:
                out += chunk(body[offset:offset + size])
                offset += size
            assert offset == len(body)
            self.send(out + b"0\r\n\r\n")
        elif path == b"/break/length":
            self.send(response(b"200 OK", pattern(400), [(b"Content-Length", b"1000")]))
        elif path == b"/break/reset":
            self.send(response(b"200 OK", pattern(400), [(b"Content-Length", b"1000")]))
            time.sleep(0.3)  # let the client read what was sent before the reset
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                    b"\x01\x00\x00\x00\x00\x00\x00\x00")
        elif path == b"/break/chunked":
            body = pattern(350)
            self.send(response(b"200 OK", b"", [(b"Transfer-Encoding", b"chunked")],
                               b"HTTP/1.1") + chunk(body[:300]) + b"64\r\n" + body[300:])
        elif path == b"/length/kept-open":
            # The whole body, then a connection that stays open.
            self.send(response(b"200 OK", b"1", [(b"Content-Length", b"1")]))
            time.sleep(30)
        elif path == b"/length/overlong":
            self.send(response(b"200 OK", b"1 and more", [(b"Content-Length", b"1")]))
        elif path == b"/stall":
            self.send(response(b"200 OK", pattern(400)))
            time.sleep(60)
        elif path == b"/endless":
            self.send(response(b"200 OK", b""))
            sent = 0
            try:
                while sent < 8 * 1024 * 1024 * 1024:
                    self.send(PATTERN_BLOCK)
                    sent += len(PATTERN_BLOCK)
            except OSError:
                pass
        else:
            self.send(with_length(b"404 Not Found", b"no such test path\n"))


class PlainHandler(Handler):
    def setup(self):
        with State.lock:
            State.plain_connections += 1
        super().setup()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # a client that gives up (bad certificate, time-out) is expected


def tls_handler(workdir, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(workdir, name + ".pem"),
                            os.path.join(workdir, name + ".key"))
    return type("TlsHandler", (Handler,), {"tls_context": context})


def silent_listener():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    held = []

    def accept_forever():
        while True:
            connection, _ = listener.accept()
            held.append(connection)  # kept open, never answered

    threading.Thread(target=accept_forever, daemon=True).start()
    return listener.getsockname()[1]


def main():
    workdir = sys.argv[1]
    make_certificates(workdir)
    handlers = {
        "http": PlainHandler,
        "https_good": tls_handler(workdir, "good"),
        "https_wrong_name": tls_handler(workdir, "wrong_name"),
        "https_untrusted": tls_handler(workdir, "untrusted"),
    }
    ports = {}
    for name, handler in handlers.items():
        server = Server(("127.0.0.1", 0), handler)
        ports[name] = server.server_address[1]
        threading.Thread(target=server.serve_forever, daemon=True).start()
    State.http_port = ports["http"]
    ports["silent"] = silent_listener()
    for name, port in ports.items():
        print(name, port)
    print("ready", flush=True)
    sys.stdin.read()  # until the test closes its end
    os._exit(0)


if __name__ == "__main__":
    main()
