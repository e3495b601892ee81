"""Real servers for the publish tests, started by the test on loopback.

Each fixture is a context manager. It makes a fresh folder of its own (under
`root` when given, else the system's temporary folder), picks free loopback
ports, starts its server, waits until the server's own process listens, and on
leaving kills the server's whole process tree (connections' children too) and
removes the folder, also when the test failed. A fixture that cannot run here
(program missing, or root needed) raises `Unavailable`, a unittest.SkipTest:
raised in setUp or setUpClass it skips the test with the reason.

Every log method takes `since`, a count of lines from `mark()`, so a scenario
counts what happened after its mark:

    with Sshd() as ssh:
        mark = ssh.mark()
        ... publish ...
        ssh.uploads(mark)            # [(path, bytes written)] since the mark

Sshd(root=None, host_key_type="ed25519", user_key_type="ed25519", ssh_rsa=False)
    OpenSSH's sshd -D -e as the current user on 127.0.0.1:port, with the
    standalone sftp-server at log level VERBOSE so that its log shows every
    open, close, rename and remove.
    host, port, user; password (None when not root, see below);
    user_key / user_public_key: the key pair in authorized_keys;
    host_key / host_public_key / host_key_type;
    host_key_fingerprint: "SHA256:..." as ssh-keygen -lf prints it;
    host_key_sha256: the same without "SHA256:" (curl's --hostpubsha256);
    known_hosts_line: "[127.0.0.1]:PORT ssh-ed25519 AAAA...";
    known_hosts_entry(port): the same line for another port (a Relay's);
    site: the absolute folder uploads land in; url(rel) its sftp:// address;
    log_lines(since), mark(); opens(since): paths opened for writing;
    uploads(since): (path, bytes written) of files written and closed;
    renames(since): (kind, old, new); removes(since);
    server_log_lines(since): sshd's own log (logins, failures);
    replace_host_key(key_type=None): restarts on the same port with a new key;
    authorize_key(public_key_path).
    libssh2 1.10 (Debian 12) with OpenSSL 3: ed25519 and ECDSA keys work for
    both the host and the user. It signs RSA with SHA-1 ("ssh-rsa") only and
    offers no rsa-sha2 host key algorithm, which OpenSSH 9 turns off: an RSA
    host or user key needs ssh_rsa=True, which turns it back on.
    Password logins need root: sshd checks passwords through PAM, and the PAM
    service it uses is named after its program. Run as root, the fixture starts
    sshd through a link of a unique name with a PAM file of that name in
    /etc/pam.d (pam_userdb with a database of the test's own, so no account of
    the system is read or changed), removed on leaving. The user is then root,
    and password a random one. Without root, or with an sshd that runs logins in
    sshd-session (OpenSSH 9.8 and later), password is None.

Ftp(root=None, tls=False | "explicit" | "implicit", passive_ports=8, tls13=False)
    vsftpd on 127.0.0.1:port with its own configuration. Needs root: vsftpd
    checks passwords only through PAM as root. A virtual user (a PAM file
    /etc/pam.d/tarnwick-test-... with pam_userdb, removed on leaving) works as
    the local account `ftp` that Debian's vsftpd package makes, so the
    system's accounts are neither read nor changed. Files it writes are `ftp`'s.
    host, port, user, password, site, url(rel), tls, cert (the self-signed
    certificate to trust, None without TLS), passive_ports (a range);
    log_lines(since), mark(), commands(since) ("STOR x", "RNFR x", "RNTO y",
    "DELE z", ...), uploads(since) (the names given to STOR);
    refuse_replacing(rel): the server can no longer replace that file (RNTO
    over it fails with 550) while new names still work: vsftpd has no option
    for it, so the folder gets the sticky bit and root owns folder and file.
    Explicit TLS is AUTH TLS on the one port (curl --ssl-reqd with ftp://);
    implicit is TLS from the start (ftps://). Both require TLS for login and
    data. vsftpd's RNTO replaces an existing file (rename(2)).
    TLS stops at 1.2 unless tls13=True: over TLS 1.3, vsftpd 3.0.3 failed
    about a third of curl's 2 MB uploads made straight to it with "426
    Failure reading network stream" (none over TLS 1.2, none through the
    Relay), a read of the data connection failing before its end. tls13=True
    keeps that, for a scenario that proves the client copes.

WebDav(root=None, tls=False, prefix="game")
    Debian's nginx, unprivileged (the current user, or nobody when run as
    root), serving one folder on two ports:
    players_url(rel): http://127.0.0.1:players_port/game/..., read only, no
        login: the players' address, where the result is checked;
    dav_url(rel): http://127.0.0.1:port/game/..., WebDAV (PUT DELETE MKCOL
        COPY MOVE, folders made on PUT) behind basic authentication.
    host, port, players_port, user, password, site, scheme, cert (None
    without TLS; with tls=True both ports speak https with it);
    requests(since): DavRequest(server, method, uri, status, length,
        user, destination) with server "dav" or "players"; uploads(since):
        the URIs PUT on the WebDAV port. nginx logs a request just after
        answering it, so a line can be missing right after the client
        returns: mark() asks for a marker of its own and waits for its line,
        so that a mark taken after the client returns holds all its requests;
        wait_for_requests(count, since) waits for `count` lines after a mark;
    refuse_replacing(rel): as Ftp's, root only.
    A MOVE with "Overwrite: T" replaces the target with one rename(2); a PUT
    is written aside and renamed into place, so neither shows a half file.

Relay(target_host, target_port, cut_after_bytes=None, data_ports=(), host=None)
    A TCP relay (threads): clients connect to host:port. Once cut_after_bytes
    bytes have gone from clients to the server (all connections together), it
    forwards exactly that many and then resets every open connection (a
    network that dies mid-upload); later connections pass untouched. One
    side closing or failing otherwise reaches the other as an orderly end.
    cut_after(n) arms it again, counting from then. bytes_up, cuts,
    connections count what happened.
    FTP names a data port in its PASV/EPSV replies, which a plain relay does
    not see (and cannot rewrite under TLS). Relay.for_ftp(ftp, cut) relays
    the control port and every passive port on its own address, 127.0.0.2,
    to the same ports on 127.0.0.1: the client, which connects for data to
    the host it reached for control (curl ignores PASV's address by default
    and EPSV has none), goes through the relay for data too, with or without
    TLS. For SFTP and WebDAV a plain Relay(server.host, server.port) does.
    For SFTP through a relay, host keys are looked up by the relay's port:
    known_hosts_entry(relay.port).

Keyring(root=None)
    A private D-Bus session bus (dbus-daemon with a configuration of its own,
    which starts no services) and gnome-keyring-daemon's Secret Service on
    it, its login keyring made and unlocked with an empty password. HOME and
    the XDG folders point into the fixture's folder: the user's own keyring is
    never touched.
    env: DBUS_SESSION_BUS_ADDRESS, HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR to
    pass to child processes; environ(): os.environ with them (and without
    DISPLAY, so nothing waits for a prompt on a screen);
    store(secret, label=..., **attributes), lookup(**attributes) (None when
    there is none), clear(**attributes), through secret-tool.

exit_cleanly_on_sigterm(): makes SIGTERM (CTest's timeout) unwind `with`
blocks like Ctrl-C, so the servers stop and the PAM files go.
"""
import base64
import collections
import contextlib
import ctypes
import hashlib
import http.client
import os
import pwd
import random
import re
import secrets
import select
import shlex
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import threading
import time
import unittest

LOOPBACK = "127.0.0.1"
# The relay's own loopback address when it must take the same port numbers as
# the server (FTP's passive ports).
RELAY_ADDRESS = "127.0.0.2"
START_SECONDS = 15
STOP_SECONDS = 10
PAM_PREFIX = "tarnwick-test-"
PAM_FOLDER = "/etc/pam.d"


class Unavailable(unittest.SkipTest):
    """A fixture that cannot run on this machine, with the reason."""


def exit_cleanly_on_sigterm():
    def interrupt(signum, frame):
        raise KeyboardInterrupt(f"signal {signum}")
    signal.signal(signal.SIGTERM, interrupt)


def program(name, package):
    # /usr/sbin is not on an unprivileged user's PATH on Debian.
    path = os.environ.get("PATH", "") + os.pathsep + "/usr/sbin" + os.pathsep + "/sbin"
    found = shutil.which(name, path=path)
    if found is None:
        raise Unavailable(f"{name} is not installed (Debian's package {package}; 'make deps' installs it)")
    return found


def is_root():
    return os.geteuid() == 0


def run(argv, **kwargs):
    """Runs a helper program; its output goes into the error when it fails."""
    result = subprocess.run(argv, stdin=kwargs.pop("stdin", subprocess.DEVNULL), capture_output=True,
                            timeout=60, **kwargs)
    if result.returncode != 0:
        raise RuntimeError(f"{shlex.join(map(str, argv))} failed ({result.returncode}):\n"
                           f"{result.stdout.decode(errors='replace')}{result.stderr.decode(errors='replace')}")
    return result.stdout.decode()


def free_port(host=LOOPBACK):
    """A port nothing listens on at the moment of asking; servers retry on
    another one when it was taken before they bound it."""
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def _free_on(host, port):
    with socket.socket() as s:
        try:
            s.bind((host, port))
        except OSError:
            return False
    return True


def free_port_range(count, hosts=(LOOPBACK,)):
    """`count` consecutive ports free on each of `hosts`, below Linux's range
    for outgoing connections so that no client takes one meanwhile."""
    rng = random.SystemRandom()
    for _ in range(200):
        first = rng.randrange(20000, 32000 - count)
        ports = range(first, first + count)
        if all(_free_on(h, p) for h in hosts for p in ports):
            return ports
    raise RuntimeError(f"found no {count} free consecutive ports")


def make_folder(root, prefix):
    """A fresh folder that servers running as other users can enter."""
    folder = tempfile.mkdtemp(prefix=prefix, dir=root)
    os.chmod(folder, 0o755)
    return folder


def read_lines(path, since=0):
    with contextlib.suppress(FileNotFoundError), open(path, errors="replace") as f:
        return f.read().splitlines()[since:]
    return []


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {seconds} s waiting for {what}")
        time.sleep(0.02)


def make_certificate(folder, name="server"):
    """A self-signed certificate for 127.0.0.1, 127.0.0.2 and localhost; its
    own path is what the client trusts. Returns (certificate, key)."""
    certificate = os.path.join(folder, f"{name}.crt")
    key = os.path.join(folder, f"{name}.key")
    run([program("openssl", "openssl"), "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", key, "-out", certificate, "-days", "7", "-subj", "/CN=127.0.0.1",
         "-addext", "subjectAltName=IP:127.0.0.1,IP:127.0.0.2,DNS:localhost"])
    os.chmod(certificate, 0o644)
    return certificate, key


# --- processes ---------------------------------------------------------------

def _die_with_parent():
    # If the test dies, the server goes too instead of holding its port. Set
    # after the change of user, which clears it.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _children():
    children = collections.defaultdict(list)
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        # The name in parentheses may hold spaces and parentheses itself.
        parent = int(stat.rsplit(")", 1)[1].split()[1])
        children[parent].append(int(entry))
    return children


def descendants(pid):
    children = _children()
    found, pending = [], [pid]
    while pending:
        for child in children.get(pending.pop(), []):
            found.append(child)
            pending.append(child)
    return found


def process_state(pid):
    """A process's state letter; "X" once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return "X"


def _wait_states(pids, states, seconds):
    deadline = time.monotonic() + seconds
    while any(process_state(pid) not in states for pid in pids) and time.monotonic() < deadline:
        time.sleep(0.01)


def kill_tree(process):
    """Kills a server and everything it started. sshd's and vsftpd's
    connection handlers start sessions of their own, so a process group does
    not hold them: the tree is stopped first, so that nothing in it forks
    while it is gathered, then killed, and waited for until it is gone."""
    if process.poll() is None:
        stopped = set()
        for _ in range(50):
            tree = [process.pid] + descendants(process.pid)
            new = [pid for pid in tree if pid not in stopped]
            if not new:
                break
            for pid in new:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGSTOP)
            stopped.update(new)
            # A fork under way when the signal came ends before the process
            # stops: look for its child once every process stands still.
            _wait_states(stopped, "TtZX", 2)
        for pid in stopped:
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        # A killed process lingers a moment; its port and files with it.
        _wait_states(stopped - {process.pid}, "ZX", STOP_SECONDS)
    try:
        process.wait(STOP_SECONDS)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def _listening_inodes(host, port):
    address = f"{socket.htonl(int.from_bytes(socket.inet_aton(host), 'big')):08X}:{port:04X}"
    inodes = set()
    with contextlib.suppress(FileNotFoundError), open("/proc/net/tcp") as table:
        next(table)
        for line in table:
            fields = line.split()
            if fields[1] == address and fields[3] == "0A":
                inodes.add(fields[9])
    return inodes


def listens(process, port, host=LOOPBACK):
    """Whether `process` or one of its children listens on host:port. Asking
    the system rather than connecting leaves no line in the server's logs,
    and a port that another program took in the meantime is not mistaken
    for the server's."""
    inodes = _listening_inodes(host, port)
    if not inodes:
        return False
    wanted = {f"socket:[{inode}]" for inode in inodes}
    for pid in [process.pid] + descendants(process.pid):
        with contextlib.suppress(OSError):
            for fd in os.listdir(f"/proc/{pid}/fd"):
                with contextlib.suppress(OSError):
                    if os.readlink(f"/proc/{pid}/fd/{fd}") in wanted:
                        return True
    return False


class Daemon:
    """One server process: output to a file, its own session, killed with
    its tree. start() waits until ready() or its end."""

    def __init__(self, name, argv, output, env=None, user=None, executable=None, stdin_data=None):
        self.name = name
        self.argv = argv
        self.output = output
        self.env = env
        self.user = user
        self.executable = executable
        self.stdin_data = stdin_data
        self.process = None

    def start(self, ready):
        kwargs = {}
        if self.user is not None:
            kwargs = {"user": self.user.pw_uid, "group": self.user.pw_gid, "extra_groups": []}
        with open(self.output, "ab") as output:
            self.process = subprocess.Popen(
                self.argv, executable=self.executable, env=self.env,
                stdin=subprocess.PIPE if self.stdin_data is not None else subprocess.DEVNULL,
                stdout=output, stderr=subprocess.STDOUT, start_new_session=True,
                preexec_fn=_die_with_parent, **kwargs)
        if self.stdin_data is not None:
            with contextlib.suppress(BrokenPipeError):
                self.process.stdin.write(self.stdin_data)
            self.process.stdin.close()
        deadline = time.monotonic() + START_SECONDS
        while time.monotonic() < deadline:
            if ready(self):
                return True
            if self.process.poll() is not None:
                return False
            time.sleep(0.02)
        self.stop()
        raise RuntimeError(f"{self.name} was not ready within {START_SECONDS} s:\n{self.output_text()}")

    def output_text(self):
        return "\n".join(read_lines(self.output))

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def stop(self):
        process, self.process = self.process, None
        if process is not None:
            kill_tree(process)


def start_on_free_port(make_daemon, ready, what):
    """Starts a server on a port found free, again on another one when some
    other program took it first."""
    for attempt in range(5):
        daemon = make_daemon()
        if daemon.start(ready):
            return daemon
        text = daemon.output_text()
        daemon.stop()
        if attempt < 4 and ("in use" in text or "bind" in text):
            continue
        raise RuntimeError(f"{what} did not start:\n{text}")


# --- PAM services of the tests' own ------------------------------------------

def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


def _sweep_pam_services():
    """Removes PAM files left by tests that were killed: each is named after
    the process that made it."""
    with contextlib.suppress(FileNotFoundError):
        for name in os.listdir(PAM_FOLDER):
            match = re.fullmatch(re.escape(PAM_PREFIX) + r"(\d+)-[0-9a-f]+", name)
            if match and not _alive(int(match.group(1))):
                with contextlib.suppress(FileNotFoundError):
                    os.unlink(os.path.join(PAM_FOLDER, name))


class PamService:
    """A PAM service of the test's own that accepts one user and password,
    from a pam_userdb database in `folder` holding the password's hash."""

    def __init__(self, folder, user, password):
        if not is_root():
            raise Unavailable("a PAM service of the test's own needs root")
        if not os.path.isdir(PAM_FOLDER):
            raise Unavailable(f"{PAM_FOLDER} does not exist")
        db_load = program("db_load", "db-util")
        _sweep_pam_services()
        self.name = f"{PAM_PREFIX}{os.getpid()}-{secrets.token_hex(4)}"
        self.path = os.path.join(PAM_FOLDER, self.name)
        database = os.path.join(folder, "users")
        source = os.path.join(folder, "users.txt")
        hashed = run([program("openssl", "openssl"), "passwd", "-6", "-stdin"], stdin=None,
                     input=password.encode()).strip()
        with open(source, "w") as f:
            f.write(f"{user}\n{hashed}\n")
        run([db_load, "-T", "-t", "hash", "-f", source, database + ".db"])
        os.unlink(source)
        with open(self.path, "w") as f:
            f.write(f"# A test's own, removed when it ends (tests/publish/servers.py).\n"
                    f"auth required pam_userdb.so db={database} crypt=crypt\n"
                    f"account required pam_permit.so\n"
                    f"session required pam_permit.so\n"
                    f"password required pam_deny.so\n")

    def remove(self):
        with contextlib.suppress(FileNotFoundError):
            os.unlink(self.path)


# --- the fixtures --------------------------------------------------------------

class _Fixture:
    host = LOOPBACK
    log_path = None

    def __init__(self, root, prefix):
        self._root = root
        self._prefix = prefix
        self.folder = None

    def __enter__(self):
        self.folder = make_folder(self._root, self._prefix)
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        try:
            self._stop()
        finally:
            if self.folder:
                shutil.rmtree(self.folder, ignore_errors=True)
        return False

    def log_lines(self, since=0):
        return read_lines(self.log_path, since)

    def mark(self):
        return len(self.log_lines())


def _ssh_key(path, key_type):
    bits = {"rsa": ["-b", "2048"], "ecdsa": ["-b", "256"]}.get(key_type, [])
    run([program("ssh-keygen", "openssh-client"), "-q", "-t", key_type, *bits, "-N", "", "-C", "tarnwick-test",
         "-f", path])
    with open(path + ".pub") as f:
        kind, blob = f.read().split()[:2]
    return kind, blob


class Sshd(_Fixture):
    SFTP_OPEN = re.compile(r'^open "(.*)" flags (\S+) mode')
    SFTP_CLOSE = re.compile(r'^close "(.*)" bytes read \d+ written (\d+)$')
    SFTP_RENAME = re.compile(r'^(rename|posix-rename) old "(.*)" new "(.*)"$')
    SFTP_REMOVE = re.compile(r'^remove name "(.*)"$')

    def __init__(self, root=None, host_key_type="ed25519", user_key_type="ed25519", ssh_rsa=False):
        super().__init__(root, "tarnwick-sshd-")
        self.host_key_type = host_key_type
        self.user_key_type = user_key_type
        self.ssh_rsa = ssh_rsa
        self.port = None
        self.user = pwd.getpwuid(os.geteuid()).pw_name
        self.password = None
        self._daemon = None
        self._pam = None
        self._generation = 0

    # -- what a client needs
    def url(self, rel=""):
        return f"sftp://{self.host}:{self.port}{self.site}/{rel}"

    @property
    def host_key_fingerprint(self):
        return "SHA256:" + self.host_key_sha256

    @property
    def host_key_sha256(self):
        digest = hashlib.sha256(base64.b64decode(self._host_blob)).digest()
        return base64.b64encode(digest).decode().rstrip("=")

    @property
    def known_hosts_line(self):
        return self.known_hosts_entry(self.port)

    def known_hosts_entry(self, port):
        return f"[{self.host}]:{port} {self._host_kind} {self._host_blob}"

    # -- what happened
    def opens(self, since=0):
        """Paths opened for writing, in order, failed attempts too (curl
        tries before it makes the folders)."""
        return [m.group(1) for m in map(self.SFTP_OPEN.match, self.log_lines(since))
                if m and "WRITE" in m.group(2).split(",")]

    def uploads(self, since=0):
        """(path, bytes written) for each file written and closed."""
        lines = self.log_lines(since)
        written = set(self.opens(since))
        return [(m.group(1), int(m.group(2))) for m in map(self.SFTP_CLOSE.match, lines)
                if m and m.group(1) in written]

    def renames(self, since=0):
        """(kind, old, new): kind "rename" (fails over an existing file) or
        "posix-rename" (replaces it)."""
        return [m.groups() for m in map(self.SFTP_RENAME.match, self.log_lines(since)) if m]

    def removes(self, since=0):
        return [m.group(1) for m in map(self.SFTP_REMOVE.match, self.log_lines(since)) if m]

    def server_log_lines(self, since=0):
        return read_lines(self._server_log, since)

    # -- changes
    def authorize_key(self, public_key_path):
        with open(public_key_path) as f, open(self._authorized_keys, "a") as keys:
            keys.write(f.read().strip() + "\n")

    def replace_host_key(self, key_type=None):
        """A new host key on the same port: the server a client knew is now
        another one, or was reinstalled."""
        self._daemon.stop()
        self._new_host_key(key_type or self.host_key_type)
        for attempt in range(20):
            self._write_configuration()
            self._daemon = self._make_daemon()
            if self._daemon.start(self._ready):
                return
            self._daemon.stop()
            time.sleep(0.1)
        raise RuntimeError(f"sshd did not start again on port {self.port}:\n{self._daemon.output_text()}")

    # -- running
    def _start(self):
        self._sshd = program("sshd", "openssh-server")
        self._sftp_server = next((p for p in ("/usr/lib/openssh/sftp-server", "/usr/libexec/sftp-server",
                                              "/usr/lib/sftp-server") if os.path.exists(p)), None)
        if self._sftp_server is None:
            raise Unavailable("sftp-server is not installed (Debian's package openssh-sftp-server)")
        if is_root() and not os.path.isdir("/run/sshd"):
            # sshd run as root confines its unauthenticated part there; Debian's
            # service makes it at start, which a machine without the service lacks.
            os.makedirs("/run/sshd", mode=0o755, exist_ok=True)
        f = self.folder
        self.site = os.path.join(f, "site")
        os.mkdir(self.site)
        self.log_path = os.path.join(f, "sftp.log")
        self._server_log = os.path.join(f, "sshd.log")
        self._authorized_keys = os.path.join(f, "authorized_keys")
        self.user_key = os.path.join(f, f"user_{self.user_key_type}")
        self.user_public_key = self.user_key + ".pub"
        _ssh_key(self.user_key, self.user_key_type)
        self.authorize_key(self.user_public_key)
        self._new_host_key(self.host_key_type)
        self._executable = self._sshd
        self._argv0 = self._sshd
        sessions_apart = any(os.path.exists(p) for p in ("/usr/lib/openssh/sshd-session",
                                                         "/usr/libexec/sshd-session"))
        if is_root() and not sessions_apart:
            self.password = secrets.token_urlsafe(12)
            self._pam = PamService(f, self.user, self.password)
            # sshd names its PAM service after its program: a link of that name.
            os.mkdir(os.path.join(f, "bin"))
            self._argv0 = os.path.join(f, "bin", self._pam.name)
            os.symlink(self._sshd, self._argv0)
            self._executable = self._argv0
        self._penalties = self._knows_option("PerSourcePenalties no")

        def make():
            self.port = free_port()
            self._write_configuration()
            return self._make_daemon()
        self._daemon = start_on_free_port(make, self._ready, "sshd")

    def _new_host_key(self, key_type):
        self._generation += 1
        self.host_key_type = key_type
        self.host_key = os.path.join(self.folder, f"host_{key_type}_{self._generation}")
        self.host_public_key = self.host_key + ".pub"
        self._host_kind, self._host_blob = _ssh_key(self.host_key, key_type)

    def _knows_option(self, line):
        """Whether this sshd takes a configuration line (OpenSSH 9.8 added
        penalties for failed logins, which would turn away a test's next
        connection from 127.0.0.1)."""
        probe = os.path.join(self.folder, "probe_config")
        with open(probe, "w") as f:
            f.write(f"HostKey {self.host_key}\nPidFile none\n{line}\n")
        result = subprocess.run([self._sshd, "-t", "-f", probe], capture_output=True, stdin=subprocess.DEVNULL)
        os.unlink(probe)
        return result.returncode == 0

    def _write_configuration(self):
        password = "yes" if self.password else "no"
        lines = [
            f"ListenAddress {self.host}:{self.port}",
            f"HostKey {self.host_key}",
            "PidFile none",
            f"AuthorizedKeysFile {self._authorized_keys}",
            # The test's files live in a temporary folder, not a home.
            "StrictModes no",
            "PubkeyAuthentication yes",
            f"PasswordAuthentication {password}",
            "KbdInteractiveAuthentication no",
            f"UsePAM {'yes' if self._pam else 'no'}",
            "PermitRootLogin yes",
            f"AllowUsers {self.user}",
            "LogLevel VERBOSE",
            "UseDNS no",
            "PrintMotd no",
            "PermitTTY no",
            "X11Forwarding no",
            "AllowTcpForwarding no",
            "AllowAgentForwarding no",
            "MaxStartups 100",
            # sftp-server through the user's shell, its log on its standard
            # error into a file: internal-sftp's log goes to syslog only.
            f"Subsystem sftp {self._sftp_server} -e -l VERBOSE 2>>{shlex.quote(self.log_path)}",
        ]
        if self.ssh_rsa:
            lines += ["HostKeyAlgorithms +ssh-rsa", "PubkeyAcceptedAlgorithms +ssh-rsa"]
        if self._penalties:
            lines.append("PerSourcePenalties no")
        self._configuration = os.path.join(self.folder, "sshd_config")
        with open(self._configuration, "w") as f:
            f.write("\n".join(lines) + "\n")

    def _make_daemon(self):
        return Daemon("sshd", [self._argv0, "-D", "-e", "-f", self._configuration], self._server_log,
                      executable=self._executable)

    def _ready(self, daemon):
        return listens(daemon.process, self.port)

    def _stop(self):
        if self._daemon:
            self._daemon.stop()
        if self._pam:
            self._pam.remove()


class Ftp(_Fixture):
    COMMAND = re.compile(r'FTP command: Client "[^"]*", "(.*)"$')

    def __init__(self, root=None, tls=False, passive_ports=8, tls13=False):
        if tls not in (False, "explicit", "implicit"):
            raise ValueError(f"tls must be False, 'explicit' or 'implicit', not {tls!r}")
        super().__init__(root, "tarnwick-ftp-")
        self.tls = tls
        self.tls13 = tls13
        self.passive_count = passive_ports
        self.passive_ports = None
        self.port = None
        self.user = "publisher"
        self.password = secrets.token_urlsafe(12)
        self.cert = None
        self._daemon = None
        self._pam = None

    def url(self, rel=""):
        scheme = "ftps" if self.tls == "implicit" else "ftp"
        return f"{scheme}://{self.host}:{self.port}/{rel}"

    def commands(self, since=0):
        """The commands clients sent, as sent ("PASS <password>" hidden)."""
        return [m.group(1) for m in map(self.COMMAND.search, self.log_lines(since)) if m]

    def uploads(self, since=0):
        return [c.split(" ", 1)[1] for c in self.commands(since) if c.upper().startswith(("STOR ", "APPE "))]

    def refuse_replacing(self, rel):
        refuse_replacing(self.site, rel)

    def _start(self):
        vsftpd = program("vsftpd", "vsftpd")
        if not is_root():
            raise Unavailable("vsftpd checks passwords only when run as root")
        try:
            account = pwd.getpwnam("ftp")
        except KeyError:
            raise Unavailable("the account 'ftp' that Debian's vsftpd package makes is missing") from None
        if not os.path.isdir(account.pw_dir):
            # vsftpd enters the account's home before the site.
            raise Unavailable(f"the home of 'ftp', {account.pw_dir}, is missing")
        f = self.folder
        self.site = os.path.join(f, "site")
        os.mkdir(self.site)
        os.chown(self.site, account.pw_uid, account.pw_gid)
        empty = os.path.join(f, "empty")
        os.mkdir(empty, 0o755)
        self.log_path = os.path.join(f, "vsftpd.log")
        if self.tls:
            self.cert, self._key = make_certificate(f)
        self._pam = PamService(f, self.user, self.password)
        environment = dict(os.environ)
        if self.tls and not self.tls13:
            environment["OPENSSL_CONF"] = self._openssl_configuration()

        def make():
            self.port = free_port()
            # Free on the relay's address too, so that Relay.for_ftp can take them.
            self.passive_ports = free_port_range(self.passive_count, (LOOPBACK, RELAY_ADDRESS))
            configuration = os.path.join(f, "vsftpd.conf")
            with open(configuration, "w") as out:
                out.write(self._configuration(empty))
            return Daemon("vsftpd", [vsftpd, configuration], os.path.join(f, "vsftpd.out"), env=environment)
        self._daemon = start_on_free_port(make, lambda daemon: listens(daemon.process, self.port), "vsftpd")

    def _openssl_configuration(self):
        # vsftpd 3.0.3 cannot be told which TLS versions to speak; OpenSSL's
        # own configuration can.
        path = os.path.join(self.folder, "openssl.cnf")
        with open(path, "w") as out:
            out.write("openssl_conf = tarnwick_test\n[tarnwick_test]\nssl_conf = ssl\n"
                      "[ssl]\nsystem_default = tls\n[tls]\nMaxProtocol = TLSv1.2\n")
        return path

    def _configuration(self, empty):
        lines = [
            "listen=YES", "listen_ipv6=NO", f"listen_address={self.host}", f"listen_port={self.port}",
            "background=NO",
            "anonymous_enable=NO",
            # A virtual user from the PAM service, working as the account ftp.
            "local_enable=YES", "guest_enable=YES", "guest_username=ftp", "virtual_use_local_privs=YES",
            f"pam_service_name={self._pam.name}",
            "write_enable=YES", "local_umask=022", "file_open_mode=0666",
            f"local_root={self.site}", "chroot_local_user=NO",
            f"secure_chroot_dir={empty}",
            "pasv_enable=YES", f"pasv_min_port={self.passive_ports[0]}", f"pasv_max_port={self.passive_ports[-1]}",
            "connect_from_port_20=NO",
            # Containers refuse the namespaces and the syscall filter.
            "seccomp_sandbox=NO", "isolate=NO", "isolate_network=NO",
            "xferlog_enable=YES", "xferlog_std_format=NO", "log_ftp_protocol=YES",
            f"vsftpd_log_file={self.log_path}", "syslog_enable=NO", "dual_log_enable=NO",
            "delay_failed_login=0", "max_per_ip=0", "max_clients=0",
        ]
        if self.tls:
            lines += [
                "ssl_enable=YES", f"rsa_cert_file={self.cert}", f"rsa_private_key_file={self._key}",
                "force_local_logins_ssl=YES", "force_local_data_ssl=YES", "allow_anon_ssl=NO",
                "ssl_sslv2=NO", "ssl_sslv3=NO", "ssl_tlsv1=YES",
                # vsftpd's own default is 3DES alone, which OpenSSL 3 refuses.
                "ssl_ciphers=HIGH:!aNULL",
            ]
            if self.tls == "implicit":
                lines.append("implicit_ssl=YES")
        return "\n".join(lines) + "\n"

    def _stop(self):
        if self._daemon:
            self._daemon.stop()
        if self._pam:
            self._pam.remove()


def refuse_replacing(site, rel):
    """Makes the server unable to replace site/rel while it can still write
    new files beside it: the folder gets the sticky bit, and root owns the
    folder and the file. Root only; works for servers that write as another
    user (Ftp, WebDav when run as root), not for Sshd, whose user is root."""
    if not is_root():
        raise Unavailable("refusing replacement needs root")
    path = os.path.join(site, rel)
    folder = os.path.dirname(path)
    os.chown(folder, 0, 0)
    os.chmod(folder, 0o1777)
    os.chown(path, 0, 0)
    os.chmod(path, 0o644)


# Requested by WebDav.mark(), left out of requests().
MARKER = ".tarnwick-test-mark"
DavRequest = collections.namedtuple("DavRequest", "server method uri status length user destination")


class WebDav(_Fixture):
    def __init__(self, root=None, tls=False, prefix="game"):
        super().__init__(root, "tarnwick-dav-")
        self.tls = bool(tls)
        self.prefix = prefix.strip("/")
        self.scheme = "https" if self.tls else "http"
        self.port = None
        self.players_port = None
        self.user = "publisher"
        self.password = secrets.token_urlsafe(12)
        self.cert = None
        self._daemon = None
        self._marks = 0

    def dav_url(self, rel=""):
        return f"{self.scheme}://{self.host}:{self.port}/{self.prefix}/{rel}"

    def players_url(self, rel=""):
        return f"{self.scheme}://{self.host}:{self.players_port}/{self.prefix}/{rel}"

    LOG_LINE = re.compile(r"^(\d+) (\S*) (\S*) (\d+) (\d+) (\S+) (.*)$")

    def requests(self, since=0):
        rows = []
        for line in self.log_lines(since):
            match = self.LOG_LINE.match(line)
            if not match or match.group(3).startswith(f"/{MARKER}?"):
                continue
            port, method, uri, status, length, user, destination = match.groups()
            server = "dav" if int(port) == self.port else "players"
            rows.append(DavRequest(server, method, uri, int(status), int(length),
                                   None if user == "-" else user, None if destination == "-" else destination))
        return rows

    def uploads(self, since=0):
        return [r.uri for r in self.requests(since) if r.server == "dav" and r.method == "PUT"]

    def mark(self):
        """The log's length once every request answered so far is in it.
        nginx logs a request just after answering it, so a client can be
        done before its line is written: the fixture asks for a marker of its
        own and waits for its line, which one worker writes after theirs."""
        self._marks += 1
        token = f"/{MARKER}?{self._marks}"
        if self.tls:
            connection = http.client.HTTPSConnection(self.host, self.players_port, timeout=10,
                                                     context=ssl.create_default_context(cafile=self.cert))
        else:
            connection = http.client.HTTPConnection(self.host, self.players_port, timeout=10)
        try:
            connection.request("GET", token)
            connection.getresponse().read()
        finally:
            connection.close()
        expected = f" GET {token} 204 "
        return wait_for(lambda: next((i + 1 for i, line in enumerate(self.log_lines()) if expected in line), None),
                        10, "nginx to log the marker")

    def wait_for_requests(self, count, since=0, seconds=10):
        """The requests since the mark once there are `count` of them: nginx
        logs each after it answered."""
        return wait_for(lambda: len(self.requests(since)) >= count and self.requests(since), seconds,
                        f"{count} requests in nginx's log")

    def refuse_replacing(self, rel):
        refuse_replacing(self.site, rel)

    def _start(self):
        nginx = program("nginx", "nginx")
        f = self.folder
        www = os.path.join(f, "www")
        self.site = os.path.join(www, self.prefix)
        os.makedirs(self.site)
        for name in ("temp", "logs"):
            os.mkdir(os.path.join(f, name))
        self.log_path = os.path.join(f, "logs", "access.log")
        hashed = run([program("openssl", "openssl"), "passwd", "-apr1", "-stdin"], stdin=None,
                     input=self.password.encode()).strip()
        with open(os.path.join(f, "htpasswd"), "w") as out:
            out.write(f"{self.user}:{hashed}\n")
        if self.tls:
            self.cert, self._key = make_certificate(f)
            os.chmod(self._key, 0o644)  # read by nginx's user; the folder is the test's
        user = None
        if is_root():
            # The whole of nginx unprivileged: a master left as root would make
            # the test's server a privileged one.
            user = pwd.getpwnam("nobody")
            for top, folders, files in os.walk(f):
                for name in [top] + [os.path.join(top, n) for n in folders + files]:
                    os.chown(name, user.pw_uid, user.pw_gid)

        def make():
            self.port = free_port()
            self.players_port = free_port()
            configuration = os.path.join(f, "nginx.conf")
            with open(configuration, "w") as out:
                out.write(self._configuration(www))
            os.chmod(configuration, 0o644)
            # Its output apart from the error log, which nginx opens as its user.
            return Daemon("nginx", [nginx, "-p", f, "-c", configuration, "-e", os.path.join(f, "logs", "error.log")],
                          os.path.join(f, "nginx.out"), user=user)

        def ready(daemon):
            return listens(daemon.process, self.port) and listens(daemon.process, self.players_port)
        self._daemon = start_on_free_port(make, ready, "nginx")

    def _configuration(self, www):
        d = self.folder
        temp = "\n".join(f"  {kind}_temp_path {d}/temp/{kind};"
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        ssl = ""
        listen = ""
        if self.tls:
            listen = " ssl"
            ssl = f"    ssl_certificate {self.cert};\n    ssl_certificate_key {self._key};\n"
        return f"""daemon off;
worker_processes 1;
pid {d}/nginx.pid;
error_log {d}/logs/error.log notice;
events {{ worker_connections 256; }}
http {{
  log_format publish '$server_port $request_method $request_uri $status $request_length $remote_user $http_destination';
  access_log {d}/logs/access.log publish;
{temp}
  default_type application/octet-stream;
  sendfile on;
  server_tokens off;
  client_max_body_size 0;
  server {{
    listen {self.host}:{self.players_port}{listen};
{ssl}    root {www};
    location / {{ return 404; }}
    location = /{MARKER} {{ return 204; }}
    location /{self.prefix}/ {{
      limit_except GET {{ deny all; }}
    }}
  }}
  server {{
    listen {self.host}:{self.port}{listen};
{ssl}    root {www};
    location / {{ return 404; }}
    location /{self.prefix}/ {{
      auth_basic "publish";
      auth_basic_user_file {d}/htpasswd;
      dav_methods PUT DELETE MKCOL COPY MOVE;
      create_full_put_path on;
      dav_access user:rw group:r all:r;
    }}
  }}
}}
"""

    def _stop(self):
        if self._daemon:
            self._daemon.stop()


class Relay:
    def __init__(self, target_host, target_port, cut_after_bytes=None, data_ports=(), host=None):
        self.target_host = target_host
        self.target_port = target_port
        self.data_ports = list(data_ports)
        if host is None:
            host = RELAY_ADDRESS if self.data_ports and target_host == LOOPBACK else LOOPBACK
        self.host = host
        self.port = None
        self.bytes_up = 0
        self.cuts = 0
        self.connections = 0
        self._budget = cut_after_bytes
        self._lock = threading.Lock()
        self._open = set()
        self._listeners = []
        self._acceptors = []
        self._pumps = []
        self._stopping = False
        self._wake_read, self._wake_write = os.pipe()

    @classmethod
    def for_ftp(cls, ftp, cut_after_bytes=None):
        return cls(ftp.host, ftp.port, cut_after_bytes, data_ports=ftp.passive_ports)

    def cut_after(self, count):
        """Cuts every open connection once `count` more bytes went up."""
        with self._lock:
            self._budget = count

    def __enter__(self):
        try:
            control = self._listen(0)
            self.port = control.getsockname()[1]
            self._serve(control, self.target_port)
            for port in self.data_ports:
                self._serve(self._listen(port), port)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        self._stopping = True
        os.write(self._wake_write, b"x")
        for thread in self._acceptors:
            thread.join(STOP_SECONDS)
        for listener in self._listeners:
            listener.close()
        with self._lock:
            for connection in self._open:
                connection.cut()
            pumps = list(self._pumps)
        for thread in pumps:
            thread.join(STOP_SECONDS)
        os.close(self._wake_read)
        os.close(self._wake_write)
        return False

    def _listen(self, port):
        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((self.host, port))
        listener.listen(32)
        self._listeners.append(listener)
        return listener

    def _serve(self, listener, target_port):
        thread = threading.Thread(target=self._accept, args=(listener, target_port), daemon=True)
        self._acceptors.append(thread)
        thread.start()

    def _accept(self, listener, target_port):
        while not self._stopping:
            ready, _, _ = select.select([listener, self._wake_read], [], [])
            if self._stopping or listener not in ready:
                return
            try:
                client, _ = listener.accept()
            except OSError:
                return
            try:
                server = socket.create_connection((self.target_host, target_port), timeout=10)
            except OSError:
                _reset(client)
                continue
            connection = _Connection(self, client, server)
            thread = threading.Thread(target=connection.pump, daemon=True)
            with self._lock:
                self._open.add(connection)
                self._pumps.append(thread)
                self.connections += 1
            thread.start()

    def _take(self, count):
        """How many of `count` bytes going up may pass, and whether the cut
        comes right after them."""
        with self._lock:
            if self._budget is None:
                self.bytes_up += count
                return count, False
            allowed = min(count, self._budget)
            self._budget -= allowed
            self.bytes_up += allowed
            if self._budget > 0:
                return allowed, False
            self._budget = None
            self.cuts += 1
            return allowed, True

    def _cut_all(self):
        with self._lock:
            for connection in list(self._open):
                connection.cut()

    def _closed(self, connection):
        with self._lock:
            self._open.discard(connection)


def _reset(sock):
    # Closing with a zero linger sends a reset, as a network that dies does.
    with contextlib.suppress(OSError):
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
    sock.close()


class _Connection:
    """One relayed connection, both directions in one thread, so that the cut
    (a reset) is done by the thread that owns the sockets."""

    def __init__(self, relay, client, server):
        self.relay = relay
        self.client = client
        self.server = server
        self._cut = threading.Event()
        self._wake_read, self._wake_write = os.pipe()

    def cut(self):
        self._cut.set()
        with contextlib.suppress(OSError):
            os.write(self._wake_write, b"x")

    def pump(self):
        peers = {self.client: self.server, self.server: self.client}
        reading = [self.client, self.server]
        dead = set()

        def ended(sock):
            # What one side sends is over: its peer reads the end of it. A
            # side that failed gets no reset passed on, as over a network,
            # where the other end learns of it only when it next sends.
            if sock in reading:
                reading.remove(sock)
            with contextlib.suppress(OSError):
                peers[sock].shutdown(socket.SHUT_WR)

        try:
            while reading and not self._cut.is_set():
                ready, _, _ = select.select(reading + [self._wake_read], [], [])
                for sock in ready:
                    if sock is self._wake_read or sock not in reading or self._cut.is_set():
                        continue
                    try:
                        data = sock.recv(65536)
                    except OSError:
                        dead.add(sock)
                        data = b""
                    if not data:
                        ended(sock)
                        continue
                    cut = False
                    if sock is self.client:
                        allowed, cut = self.relay._take(len(data))
                        data = data[:allowed]
                    # Read on and dropped when the receiver is gone: unread
                    # data would make the close a reset.
                    if data and peers[sock] not in dead:
                        try:
                            peers[sock].sendall(data)
                        except OSError:
                            dead.add(peers[sock])
                            ended(peers[sock])
                    if cut:
                        self.relay._cut_all()
        finally:
            if self._cut.is_set():
                _reset(self.client)
                _reset(self.server)
            else:
                self.client.close()
                self.server.close()
            # Out of the relay's set first: cut() writes to the pipe.
            self.relay._closed(self)
            os.close(self._wake_read)
            os.close(self._wake_write)


class Keyring(_Fixture):
    def __init__(self, root=None):
        super().__init__(root, "tarnwick-keyring-")
        self.env = {}
        self._bus = None
        self._keyring = None

    def environ(self):
        environment = {k: v for k, v in os.environ.items()
                       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "GNOME_KEYRING_CONTROL", "SSH_AUTH_SOCK")}
        environment.update(self.env)
        return environment

    def store(self, secret, label="Tarnwick test", **attributes):
        run([self._secret_tool, "store", f"--label={label}", *self._pairs(attributes)], stdin=None,
            input=secret.encode(), env=self.environ())

    def lookup(self, **attributes):
        result = subprocess.run([self._secret_tool, "lookup", *self._pairs(attributes)], capture_output=True,
                                stdin=subprocess.DEVNULL, env=self.environ(), timeout=60)
        return result.stdout.decode() if result.returncode == 0 else None

    def clear(self, **attributes):
        run([self._secret_tool, "clear", *self._pairs(attributes)], env=self.environ())

    @staticmethod
    def _pairs(attributes):
        return [str(x) for pair in attributes.items() for x in pair]

    def _start(self):
        dbus_daemon = program("dbus-daemon", "dbus-daemon")
        keyring_daemon = program("gnome-keyring-daemon", "gnome-keyring")
        self._secret_tool = program("secret-tool", "libsecret-tools")
        self._dbus_send = program("dbus-send", "dbus-bin")
        f = self.folder
        folders = {name: os.path.join(f, name) for name in ("home", "data", "config", "cache", "runtime")}
        for path in folders.values():
            os.mkdir(path, 0o700)
        socket_path = os.path.join(folders["runtime"], "bus")
        configuration = os.path.join(f, "bus.conf")
        # Only the bus: no service directories, so nothing of the system's is
        # started on demand, a second keyring daemon least of all.
        with open(configuration, "w") as out:
            out.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket_path}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
""")
        self.env = {
            "DBUS_SESSION_BUS_ADDRESS": f"unix:path={socket_path}",
            "HOME": folders["home"],
            "XDG_DATA_HOME": folders["data"],
            "XDG_RUNTIME_DIR": folders["runtime"],
        }
        daemon_env = self.environ()
        daemon_env.update(XDG_CONFIG_HOME=folders["config"], XDG_CACHE_HOME=folders["cache"])
        self._bus = Daemon("dbus-daemon", [dbus_daemon, f"--config-file={configuration}", "--nofork", "--nopidfile"],
                           os.path.join(f, "dbus.log"), env=daemon_env)
        if not self._bus.start(lambda daemon: os.path.exists(socket_path)):
            raise RuntimeError(f"dbus-daemon did not start:\n{self._bus.output_text()}")
        # --unlock reads the login keyring's password up to a newline: an empty
        # one makes and unlocks it with no prompt.
        self._keyring = Daemon("gnome-keyring-daemon",
                               [keyring_daemon, "--foreground", "--unlock", "--components=secrets"],
                               os.path.join(f, "keyring.log"), env=daemon_env, stdin_data=b"\n")
        if not self._keyring.start(self._default_collection):
            raise RuntimeError(f"gnome-keyring-daemon did not start:\n{self._keyring.output_text()}")

    def _default_collection(self, daemon):
        # Ready once the default alias names the unlocked login keyring.
        result = subprocess.run(
            [self._dbus_send, "--session", "--print-reply", "--dest=org.freedesktop.secrets",
             "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.ReadAlias", "string:default"],
            capture_output=True, stdin=subprocess.DEVNULL, env=self.environ(), timeout=10)
        return result.returncode == 0 and b"/collection/" in result.stdout

    def _stop(self):
        for daemon in (self._keyring, self._bus):
            if daemon:
                daemon.stop()
