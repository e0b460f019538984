"""A small HTTP/1.0 server for loopback tests and benchmarks.

Serves a table of pages from memory on port 80 of one 127.x.y.z address
(binding port 80 needs root or CAP_NET_BIND_SERVICE), records every request
line and its Host header, and answers unknown paths with 404. Pages can be
replaced while the server runs, so a test can make a page "change".

    server = LoopbackHttpServer("127.0.90.1")
    server.set_page("/t/a", lines_body(3))
    server.start()
    ...
    server.stop()
"""
import socket
import socketserver
import threading

MAX_HEAD = 64 * 1024  # a request head larger than this is refused


def lines_body(count, width=40, seed=""):
    """A body of `count` LF-terminated lines of about `width` bytes each."""
    out = []
    for i in range(count):
        text = f"{seed}line {i} "
        out.append((text + "x" * max(0, width - len(text))).encode("ascii") + b"\n")
    return b"".join(out)


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        sock.settimeout(10)
        head = b""
        try:
            while b"\r\n\r\n" not in head and b"\n\n" not in head:
                chunk = sock.recv(4096)
                if not chunk:
                    break
                head += chunk
                if len(head) > MAX_HEAD:
                    return
        except OSError:
            return
        lines = head.decode("latin-1").splitlines()
        request = lines[0] if lines else ""
        host = ""
        for line in lines[1:]:
            if line.lower().startswith("host:"):
                host = line[5:].strip()
        parts = request.split()
        path = parts[1] if len(parts) >= 2 else ""
        server = self.server.owner
        with server.lock:
            server.requests.append((request, host))
            body = server.pages.get(path)
        if body is None:
            status, body = "404 Not Found", b"not found\n"
        else:
            status = "200 OK"
        response = (f"HTTP/1.0 {status}\r\nContent-Type: text/plain\r\n"
                    f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n").encode("ascii") + body
        try:
            sock.sendall(response)
            sock.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class _Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 128


class LoopbackHttpServer:
    def __init__(self, address, port=80):
        if not address.startswith("127."):
            raise ValueError("loopback addresses only")
        self.address = address
        self.port = port
        self.pages = {}
        self.requests = []
        self.lock = threading.Lock()
        self._server = None
        self._thread = None

    def set_page(self, path, body):
        with self.lock:
            self.pages[path] = body

    def take_requests(self):
        """The requests seen since the last call, as (request line, host)."""
        with self.lock:
            seen, self.requests = self.requests, []
        return seen

    def start(self):
        self._server = _Server((self.address, self.port), _Handler)
        self._server.owner = self
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
