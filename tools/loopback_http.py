"""A small HTTP/1.0 server for loopback tests and benchmarks, plain or TLS.

Serves a table of pages from memory on one 127.x.y.z address, records every
request line and its Host header, and answers unknown paths with 404. Pages
can be replaced while the server runs, so a test can make a page "change".

    server = LoopbackHttpServer("127.0.90.1")          # port 80 (needs root)
    server.set_page("/t/a", lines_body(3))
    server.start()
    ...
    server.stop()

TLS: give a certificate and key (PEM files, e.g. from tools/test_pki.py) and
serve on "localhost" (127.0.0.1): clients check DNS names, not addresses.
Port 0 picks a free port; `server.port` holds the real one after start().

    server = LoopbackHttpServer("127.0.0.1", 0, tls=(cert, key)).start()
    url = f"https://localhost:{server.port}/t/a"
    # curl --cacert ca.pem -s https://localhost:PORT/t/a

    tls_max="TLSv1"       offer only TLS 1.0 (or "TLSv1_1", ...) to test
                          clients that must refuse old servers
    handshake="close"     read the client's first bytes, then close (FIN)
    handshake="stall"     read the client's first bytes, then say nothing
                          until the client gives up

Like a real site, a server can also compress and validate (both off by
default), be slow, and count the bytes that cross the wire:

    LoopbackHttpServer(addr, gzip=True)       gzip when Accept-Encoding asks
    LoopbackHttpServer(addr, validators=True) ETag and Last-Modified on every
                                              page; 304 when a request names them
    LoopbackHttpServer(addr, delay=0.3)       every answer after 300 ms
    server.take_visits()                      (path, bytes received + sent) of
                                              each request since the last call

How a response ends is chosen per page (a plain server knows only "reset";
it closes every other page with FIN after the body):

    set_page(path, body, ending="notify")   close_notify, then FIN (default)
    ending="tcp-close"   FIN without close_notify, at a record boundary
    ending="reset"       the head and half the body, then a TCP reset
    ending="cut"         the whole response with its last record cut short,
                         then FIN

From the shell (prints "port N" once it listens, serves until killed):

    python3 tools/loopback_http.py --address 127.0.0.1 --port 0 \
        --tls cert.pem key.pem --lines /10m=250000
"""
import argparse
import gzip
import hashlib
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import warnings

MAX_HEAD = 64 * 1024  # a request head larger than this is refused
ENDINGS = ("notify", "tcp-close", "reset", "cut")


def lines_body(count, width=40, seed=""):
    """A body of `count` LF-terminated lines of about `width` bytes each."""
    out = []
    for i in range(count):
        text = f"{seed}line {i} "
        out.append((text + "x" * max(0, width - len(text))).encode("ascii") + b"\n")
    return b"".join(out)


class _Plain:
    """The connection itself; the same face as _Tls."""

    def __init__(self, sock, count=None):
        self.sock = sock
        self.count = count or (lambda n: None)

    def recv(self, count):
        data = self.sock.recv(count)
        self.count(len(data))
        return data

    def sendall(self, data):
        self.count(len(data))
        self.sock.sendall(data)


class _Tls:
    """TLS through memory buffers, so the server decides what reaches the
    wire and when (a cut record, a missing close_notify)."""

    def __init__(self, sock, context):
        self.sock = sock
        self._in = ssl.MemoryBIO()
        self._out = ssl.MemoryBIO()
        self._tls = context.wrap_bio(self._in, self._out, server_side=True)

    def _flush(self, keep=0):
        data = self._out.read()
        self.sock.sendall(data[:len(data) - keep])

    def _fill(self):
        chunk = self.sock.recv(65536)
        if not chunk:
            return False
        self._in.write(chunk)
        return True

    def handshake(self):
        while True:
            try:
                self._tls.do_handshake()
                self._flush()
                return
            except ssl.SSLWantReadError:
                self._flush()
                if not self._fill():
                    raise ConnectionError("client left during the handshake")
            except ssl.SSLError:
                self._flush()  # the alert that says why
                raise

    def recv(self, count):
        while True:
            try:
                return self._tls.read(count)
            except ssl.SSLWantReadError:
                self._flush()
                if not self._fill():
                    return b""
            except ssl.SSLZeroReturnError:
                return b""

    def sendall(self, data, keep=0):
        """Encrypts `data`; the last `keep` bytes of the records stay unsent."""
        view = memoryview(data)
        while view:
            view = view[self._tls.write(view[:65536]):]
            if keep == 0:
                self._flush()
        self._flush(keep)

    def close_notify(self):
        try:
            self._tls.unwrap()
        except ssl.SSLWantReadError:
            pass  # the client's answer is not awaited
        self._flush()


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(10)
        server = self.server.owner
        try:
            if server.handshake:
                sock.recv(4096)
                if server.handshake == "stall":
                    sock.recv(4096)  # until the client closes or the time-out
                return
            self.path, self.bytes = "", 0
            conn = _Plain(sock, self._count)
            if server.delay:
                time.sleep(server.delay)
            if server.context:
                conn = _Tls(sock, server.context)
                conn.handshake()
            self._answer(conn, server)
        except (OSError, ssl.SSLError, ConnectionError):
            return
        finally:
            if hasattr(self, "path"):
                with server.lock:
                    server.visits.append((self.path, self.bytes))

    def _count(self, n):
        self.bytes += n

    def _answer(self, conn, server):
        head = b""
        while b"\r\n\r\n" not in head and b"\n\n" not in head:
            chunk = conn.recv(4096)
            if not chunk:
                break
            head += chunk
            if len(head) > MAX_HEAD:
                return
        lines = head.decode("latin-1").splitlines()
        request = lines[0] if lines else ""
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        host = headers.get("host", "")
        parts = request.split()
        path = parts[1] if len(parts) >= 2 else ""
        self.path = path
        with server.lock:
            server.requests.append((request, host))
            body, ending = server.pages.get(path, (None, "notify"))
        extra = ""
        if body is None:
            status, body = "404 Not Found", b"not found\n"
        else:
            status = "200 OK"
            if server.validators:
                tag, modified = server.validators_of(body)
                extra = f"ETag: {tag}\r\nLast-Modified: {modified}\r\n"
                if headers.get("if-none-match") == tag or (
                        "if-none-match" not in headers and headers.get("if-modified-since") == modified):
                    status, body = "304 Not Modified", b""
            if server.gzip and body and "gzip" in headers.get("accept-encoding", ""):
                body = server.gzipped(body)
                extra += "Content-Encoding: gzip\r\n"
        length = "" if status.startswith("304") else f"Content-Length: {len(body)}\r\n"
        response = (f"HTTP/1.0 {status}\r\nContent-Type: text/plain\r\n{extra}"
                    f"{length}Connection: close\r\n\r\n").encode("ascii") + body
        sock = self.request
        if ending == "reset":
            conn.sendall(response[:len(response) - len(body) // 2])
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            sock.close()
            return
        tls = isinstance(conn, _Tls)
        if ending == "cut" and tls:
            conn.sendall(response, keep=7)
        else:
            conn.sendall(response)
            if ending == "notify" and tls:
                conn.close_notify()
        sock.shutdown(socket.SHUT_WR)
        # Unread input would turn the close into a reset: read the client's
        # last words (its close_notify, its FIN) before the socket goes.
        while sock.recv(65536):
            pass


class _Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 128


def _tls_context(cert, key, tls_max):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    if tls_max:
        version = ssl.TLSVersion[tls_max]
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            context.minimum_version = min(version, context.minimum_version)
            context.maximum_version = version
        if version < ssl.TLSVersion.TLSv1_2:
            # The system's OpenSSL refuses these versions at its default
            # security level.
            context.set_ciphers("DEFAULT:@SECLEVEL=0")
    return context


class LoopbackHttpServer:
    def __init__(self, address, port=80, tls=None, tls_max=None, handshake=None, gzip=False,
                 validators=False, delay=0.0):
        if not address.startswith("127."):
            raise ValueError("loopback addresses only")
        if handshake not in (None, "close", "stall"):
            raise ValueError(f"unknown handshake behaviour {handshake!r}")
        self.address = address
        self.port = port
        self.context = _tls_context(*tls, tls_max) if tls else None
        self.handshake = handshake
        self.gzip = gzip
        self.validators = validators
        self.delay = delay
        self.visits = []
        self._gzipped = {}
        self.pages = {}
        self.requests = []
        self.lock = threading.Lock()
        self._server = None
        self._thread = None

    def set_page(self, path, body, ending="notify"):
        if ending not in ENDINGS:
            raise ValueError(f"unknown ending {ending!r}")
        with self.lock:
            self.pages[path] = (body, ending)

    def take_visits(self):
        """(path, bytes received and sent) of each request since the last call."""
        with self.lock:
            seen, self.visits = self.visits, []
        return seen

    def gzipped(self, body):
        """The body gzipped once, as a site keeps its compressed pages."""
        with self.lock:
            if body not in self._gzipped:
                self._gzipped[body] = gzip.compress(body, 6, mtime=0)
            return self._gzipped[body]

    @staticmethod
    def validators_of(body):
        """The ETag and Last-Modified of a body: they change with it."""
        digest = hashlib.sha1(body).digest()
        stamp = 1600000000 + int.from_bytes(digest[:3], "big")
        return f'"{digest.hex()[:16]}"', time.strftime("%a, %d %b %Y %H:%M:%S GMT", time.gmtime(stamp))

    def take_requests(self):
        """The requests seen since the last call, as (request line, host)."""
        with self.lock:
            seen, self.requests = self.requests, []
        return seen

    def start(self):
        self._server = _Server((self.address, self.port), _Handler)
        self._server.owner = self
        self.port = self._server.server_address[1]
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.1}, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def main():
    parser = argparse.ArgumentParser(description="Serve pages on a loopback address until killed.")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls-max", choices=[v.name for v in ssl.TLSVersion if v.name.startswith("TLS")])
    parser.add_argument("--handshake", choices=["close", "stall"])
    parser.add_argument("--lines", action="append", default=[], metavar="PATH=COUNT",
                        help="serve lines_body(COUNT) at PATH")
    parser.add_argument("--file", action="append", default=[], metavar="PATH=FILE",
                        help="serve the bytes of FILE at PATH")
    args = parser.parse_args()
    server = LoopbackHttpServer(args.address, args.port, tls=args.tls, tls_max=args.tls_max,
                                handshake=args.handshake)
    for entry in args.lines:
        path, _, count = entry.partition("=")
        server.set_page(path, lines_body(int(count)))
    for entry in args.file:
        path, _, name = entry.partition("=")
        with open(name, "rb") as f:
            server.set_page(path, f.read())
    server.start()
    print("port", server.port, flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    main()
