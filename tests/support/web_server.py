"""A real web server for tests: Debian's nginx, started by the test on a free
loopback port with a configuration it writes, serving a folder of its own.

    with NginxServer(extra="location = /error500.txt { return 500; }") as web:
        web.put("ServerInfo.txt", data)
        url = web.url("ServerInfo.txt")

Everything nginx writes (pid, logs, temporary files) stays in one temporary
folder, removed at the end. nginx runs as an unprivileged process: as the
current user, or, when the test runs as root, as nobody (a master process left
as root would make the test's server a privileged one). It stops when the
`with` block ends, when the test fails, and when the test process dies.

Run as a script, it serves a folder until Enter is pressed:
    python3 tests/support/web_server.py FOLDER
"""
import collections
import contextlib
import ctypes
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time

Request = collections.namedtuple("Request", "path status sent range total")

START_SECONDS = 10
STOP_SECONDS = 10


def free_port():
    """A loopback port that nothing listens on at the moment of asking."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds, what, alive=lambda: True):
    """Waits until 127.0.0.1:port accepts connections; raises naming `what`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not alive():
            raise RuntimeError(f"{what} ended before it listened on 127.0.0.1:{port}")
        with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), timeout=1):
            return
        time.sleep(0.05)
    raise RuntimeError(f"{what} did not listen on 127.0.0.1:{port} within {seconds} s")


def nginx_program():
    # /usr/sbin is not on an unprivileged user's PATH on Debian.
    path = os.environ.get("PATH", "") + os.pathsep + "/usr/sbin" + os.pathsep + "/sbin"
    return shutil.which("nginx", path=path)


def _die_with_parent():
    # Set after the change of user, which clears it: if CTest kills the test,
    # nginx goes too instead of holding the port.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class NginxServer:
    """nginx on 127.0.0.1:port serving self.www; `extra` goes into its server
    block, with @WWW@ standing for the served folder."""

    def __init__(self, extra=""):
        self.extra = extra
        self.port = None
        self.folder = None
        self.www = None
        self._process = None
        self._unprivileged = None

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def put(self, name, data):
        """Writes a file to serve, readable by nginx's user whatever the umask.
        A file written again gets a later modification time, to the second:
        nginx's ETag and Last-Modified are made of the size and that second,
        so a new version of the same size written within the second would
        look unchanged to a client that asks conditionally, as it would to
        the players of an operator who published twice in one second."""
        path = os.path.join(self.www, name)
        before = os.stat(path).st_mtime if os.path.exists(path) else None
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, 0o644)
        if before is not None and int(os.stat(path).st_mtime) <= int(before):
            later = int(before) + 1
            os.utime(path, (later, later))
        return path

    def put_sparse(self, name, size, head=b""):
        """A file of `size` bytes that starts with `head` and takes no room on disk."""
        path = self.put(name, head)
        os.truncate(path, size)
        return path

    def requests(self):
        """Every request answered so far: path, status, body bytes sent, the
        Range header asked ("-" for none) and all bytes sent (head and body)."""
        rows = []
        with contextlib.suppress(FileNotFoundError), open(os.path.join(self.folder, "access.log")) as log:
            for line in log:
                path, status, sent, asked, total = line.split()
                rows.append(Request(path, int(status), int(sent), asked, int(total)))
        return rows

    def __enter__(self):
        program = nginx_program()
        if program is None:
            raise FileNotFoundError("nginx is not installed (Debian's package nginx; 'make deps' installs it)")
        # Under /tmp, not the build tree: nobody must reach it, and a build tree
        # under /root is closed to nobody.
        self.folder = tempfile.mkdtemp(prefix="tarnwick-nginx-")
        self.www = os.path.join(self.folder, "www")
        os.mkdir(self.www)
        os.chmod(self.folder, 0o755)
        os.chmod(self.www, 0o755)
        if os.geteuid() == 0:
            self._unprivileged = pwd.getpwnam("nobody")
            os.chown(self.folder, self._unprivileged.pw_uid, self._unprivileged.pw_gid)
        try:
            self._start(program)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _start(self, program):
        # A port found free can be taken before nginx binds it: a few tries.
        for attempt in range(5):
            self.port = free_port()
            self._write_configuration()
            user = {}
            if self._unprivileged:
                user = {"user": self._unprivileged.pw_uid, "group": self._unprivileged.pw_gid, "extra_groups": []}
            error_log = os.path.join(self.folder, "error.log")
            self._process = subprocess.Popen(
                [program, "-p", self.folder, "-c", os.path.join(self.folder, "nginx.conf"), "-e", error_log],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT,
                start_new_session=True, preexec_fn=_die_with_parent, **user)
            try:
                wait_for_port(self.port, START_SECONDS, "nginx", alive=lambda: self._process.poll() is None)
                return
            except RuntimeError:
                self._stop()
                log = self._error_log()
                if "Address already in use" in log and attempt < 4:
                    continue
                raise RuntimeError(f"nginx did not start on 127.0.0.1:{self.port}:\n{log}") from None

    def _error_log(self):
        with contextlib.suppress(FileNotFoundError), open(os.path.join(self.folder, "error.log")) as log:
            return log.read()
        return ""

    def _write_configuration(self):
        d = self.folder
        temp = "\n".join(f"  {kind}_temp_path {d}/{kind}_temp;"
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        configuration = f"""daemon off;
worker_processes 1;
pid {d}/nginx.pid;
error_log {d}/error.log warn;
events {{ worker_connections 256; }}
http {{
  log_format paths '$uri $status $body_bytes_sent $http_range $bytes_sent';
  access_log {d}/access.log paths;
{temp}
  default_type application/octet-stream;
  sendfile on;
  server {{
    listen 127.0.0.1:{self.port};
    root {self.www};
{self.extra.replace("@WWW@", self.www)}
  }}
}}
"""
        with open(os.path.join(d, "nginx.conf"), "w") as f:
            f.write(configuration)
        os.chmod(os.path.join(d, "nginx.conf"), 0o644)

    def _stop(self):
        process, self._process = self._process, None
        if process is None or process.poll() is not None:
            return
        # A fast stop: a graceful one would wait for a client still reading.
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(STOP_SECONDS)
        except subprocess.TimeoutExpired:
            # Its own session: the workers go with the master.
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()

    def __exit__(self, *exc):
        self._stop()
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
        return False


if __name__ == "__main__":
    import sys

    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        sys.exit("usage: web_server.py FOLDER")
    with NginxServer() as web:
        for name in os.listdir(sys.argv[1]):
            source = os.path.join(sys.argv[1], name)
            if os.path.isfile(source):
                with open(source, "rb") as f:
                    web.put(name, f.read())
                print(web.url(name))
        input("serving; press Enter to stop\n")
