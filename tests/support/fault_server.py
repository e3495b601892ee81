"""Network faults that nginx does not produce on cue, for the launcher's tests:
a small HTTP server (Python's standard library only) on a free loopback port.

    with FaultServer(body) as faults:
        faults.url("stall")

Paths and what they do:
  /stall          reads the request and never answers
  /stall-body     sends the headers and half of `body`, then nothing more
  /endless        sends "$BEGIN" and then lines without end, no length given
  /cut            announces all of `body`, sends half and closes the connection
  /redirect-ftp   302 to an ftp:// address
  /redirect-file  302 to a file:/// address
Anything else is a 404.

Every wait ends when the client closes its side or the server stops, so a
connection never outlives the test; `requests` and `sent` count per path.

    with CuttingRelay(web.port, cut_after=1 << 20) as relay:
        relay.url("big.bin")

passes connections through to a real server, and cuts the first one after
`cut_after` bytes of its answer: a download that breaks off mid-body, while
the real server's log shows what the client asked next.

    with TamperingRelay(web.port) as relay:
        relay.answer("ServerInfo.txt", forged)     # served instead of the real file
        relay.answer("ServerInfo.txt.sig", None)   # a 404
        relay.clear()                              # everything passes again

passes each request through to a real server, one connection per request,
except for the paths given an answer of the test's own: a server, or a
network in between, that changes what it serves.
"""
import collections
import select
import socket
import socketserver
import threading
import time

# A stalled connection is given up after this long even if the client stays.
STALL_LIMIT_SECONDS = 300
REQUEST_LIMIT_BYTES = 64 << 10


class _LoopbackServer:
    """A threaded TCP server on a port the system picks; `_handle(connection)`
    answers each connection."""

    def __init__(self):
        self._stopping = threading.Event()
        self._server = None
        self._thread = None

    @property
    def port(self):
        return self._server.server_address[1]

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def __enter__(self):
        owner = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                owner._handle(self.request)

        # Port 0: the system picks a free port, so no other process can take it first.
        self._server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
        self._server.daemon_threads = True
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1})
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stopping.set()
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()
        return False


def read_request_head(connection):
    """The request's line and headers (at most REQUEST_LIMIT_BYTES); None when
    the client goes away first."""
    connection.settimeout(10)
    head = b""
    try:
        while b"\r\n\r\n" not in head and len(head) < REQUEST_LIMIT_BYTES:
            chunk = connection.recv(4096)
            if not chunk:
                return None
            head += chunk
    except OSError:
        return None
    return head.split(b"\r\n\r\n", 1)[0]


class FaultServer(_LoopbackServer):
    def __init__(self, body=b"$BEGIN\r\n"):
        super().__init__()
        self.body = body
        self.requests = collections.Counter()
        self.sent = collections.Counter()
        self._lock = threading.Lock()

    def _count(self, path, sent):
        with self._lock:
            self.sent[path] += sent

    def _handle(self, connection):
        request = read_request_head(connection)
        if request is None:
            return
        parts = request.split(b" ", 2)
        path = parts[1].decode("latin-1").lstrip("/") if len(parts) > 2 else ""
        with self._lock:
            self.requests[path] += 1
        try:
            self._answer(connection, path)
        except OSError:
            pass  # the client went away, which ends every fault

    def _send(self, connection, path, data):
        connection.sendall(data)
        self._count(path, len(data))

    def _answer(self, connection, path):
        half = self.body[: len(self.body) // 2]
        if path == "stall":
            self._wait_for_close(connection)
        elif path == "stall-body":
            self._send(connection, path, self._headers(200, len(self.body)) + half)
            self._wait_for_close(connection)
        elif path == "endless":
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n")
            self._send(connection, path, b"$BEGIN\r\n")
            line = b"<!--" + b"-" * 1017 + b">\r\n"
            chunk = line * 64
            # Bounded in time, not in bytes: over loopback an idle machine
            # sends gigabytes a second, and the body must outlast the client.
            deadline = time.monotonic() + STALL_LIMIT_SECONDS
            while not self._stopping.is_set() and time.monotonic() < deadline:
                self._send(connection, path, chunk)
        elif path == "cut":
            self._send(connection, path, self._headers(200, len(self.body)) + half)
            connection.shutdown(socket.SHUT_RDWR)
        elif path in ("redirect-ftp", "redirect-file"):
            target = (f"ftp://127.0.0.1:{self.port}/ServerInfo.txt" if path == "redirect-ftp"
                      else "file:///C:/windows/win.ini")
            self._send(connection, path, self._headers(302, 0, f"Location: {target}\r\n"))
        else:
            self._send(connection, path, self._headers(404, 0))

    @staticmethod
    def _headers(status, length, extra=""):
        reason = {200: "OK", 302: "Found", 404: "Not Found"}[status]
        return (f"HTTP/1.1 {status} {reason}\r\nContent-Type: text/plain\r\nContent-Length: {length}\r\n"
                f"Connection: close\r\n{extra}\r\n").encode("ascii")

    def _wait_for_close(self, connection):
        """Holds the connection open, answering nothing, until the client closes it."""
        deadline = time.monotonic() + STALL_LIMIT_SECONDS
        while not self._stopping.is_set() and time.monotonic() < deadline:
            readable, _, _ = select.select([connection], [], [], 0.2)
            if readable and not connection.recv(4096):
                return


class CuttingRelay(_LoopbackServer):
    def __init__(self, upstream_port, cut_after):
        super().__init__()
        self.upstream_port = upstream_port
        self.cut_after = cut_after
        self.connections = 0
        self._lock = threading.Lock()

    def _handle(self, client):
        with self._lock:
            self.connections += 1
            limit = self.cut_after if self.connections == 1 else None
        try:
            upstream = socket.create_connection(("127.0.0.1", self.upstream_port), timeout=10)
        except OSError:
            return
        passed = 0
        deadline = time.monotonic() + STALL_LIMIT_SECONDS
        with upstream:
            while not self._stopping.is_set() and time.monotonic() < deadline:
                readable, _, _ = select.select([client, upstream], [], [], 0.2)
                try:
                    if client in readable:
                        data = client.recv(65536)
                        if not data:
                            return
                        upstream.sendall(data)
                    if upstream in readable:
                        data = upstream.recv(65536)
                        if not data:
                            return
                        if limit is not None and passed + len(data) >= limit:
                            client.sendall(data[: limit - passed])
                            client.shutdown(socket.SHUT_RDWR)
                            return
                        client.sendall(data)
                        passed += len(data)
                except OSError:
                    return


class TamperingRelay(_LoopbackServer):
    def __init__(self, upstream_port):
        super().__init__()
        self.upstream_port = upstream_port
        self.requests = collections.Counter()
        self._answers = {}
        self._lock = threading.Lock()

    def answer(self, path, body):
        """From now on `path` is answered with `body` (None: 404 Not Found)."""
        with self._lock:
            self._answers[path.lstrip("/")] = body

    def clear(self):
        with self._lock:
            self._answers.clear()

    def _handle(self, client):
        head = read_request_head(client)
        if head is None:
            return
        lines = head.split(b"\r\n")
        parts = lines[0].split(b" ")
        path = parts[1].decode("latin-1").lstrip("/") if len(parts) == 3 else ""
        with self._lock:
            self.requests[path] += 1
            tampered = path in self._answers
            body = self._answers.get(path)
        try:
            if tampered:
                status = b"200 OK" if body is not None else b"404 Not Found"
                body = body if body is not None else b""
                client.sendall(b"HTTP/1.1 " + status + b"\r\nContent-Type: application/octet-stream\r\n"
                               b"Content-Length: " + str(len(body)).encode() + b"\r\nConnection: close\r\n\r\n"
                               + body)
                return
            # One request a connection: a connection kept alive would carry
            # the client's next request past the answers above.
            kept = [line for line in lines[1:] if not line.lower().startswith(b"connection:")]
            request = b"\r\n".join([lines[0], *kept, b"Connection: close", b"", b""])
            with socket.create_connection(("127.0.0.1", self.upstream_port), timeout=10) as upstream:
                upstream.sendall(request)
                while not self._stopping.is_set():
                    data = upstream.recv(65536)
                    if not data:
                        return
                    client.sendall(data)
        except OSError:
            return


class RangeTamperingRelay(_LoopbackServer):
    """Passes requests on to the upstream server, one a connection, and
    changes one byte near the end of the body of every 206 answer: a block
    that is not what the file's index says. Whole answers pass unchanged."""

    def __init__(self, upstream_port):
        super().__init__()
        self.upstream_port = upstream_port
        self.tampered = 0
        self._lock = threading.Lock()

    def _handle(self, client):
        head = read_request_head(client)
        if head is None:
            return
        lines = head.split(b"\r\n")
        kept = [line for line in lines[1:] if line and not line.lower().startswith(b"connection:")]
        request = b"\r\n".join([lines[0], *kept, b"Connection: close", b"", b""])
        try:
            with socket.create_connection(("127.0.0.1", self.upstream_port), timeout=10) as upstream:
                upstream.sendall(request)
                answer = b""
                while not self._stopping.is_set():
                    data = upstream.recv(65536)
                    if not data:
                        break
                    answer += data
            end = answer.find(b"\r\n\r\n")
            if end >= 0 and answer.split(b"\r\n", 1)[0].split(b" ")[1:2] == [b"206"] and len(answer) - end > 200:
                spot = len(answer) - 100
                answer = answer[:spot] + bytes([answer[spot] ^ 0x01]) + answer[spot + 1:]
                with self._lock:
                    self.tampered += 1
            client.sendall(answer)
        except OSError:
            return
