#!/usr/bin/env python3
"""tarnwick-cli publish against real servers on loopback: OpenSSH's sftp,
vsftpd (FTP and FTPS), nginx with WebDAV, and a folder; each site is read back
where players read it, over HTTP from nginx.

    python3 tests/publish/publish_e2e.py CLI [-v]
    python3 tests/publish/publish_e2e.py --wine WINE CLI.exe [-v]

With --wine, tarnwick-cli.exe runs under Wine: libcurl over Schannel and
libssh2 over mbedtls, as operators on Windows have them. libssh2 there knows
no ed25519 and signs RSA with SHA-1 only, so its SFTP server has ECDSA keys.

For each destination: a first publish, with the large file's block index
beside it; a second with nothing changed, after which the server's log shows
no upload; one changed file, the only update file sent again; a connection cut mid-upload, after which the site is as it
was and the next publish completes; a wrong password; a refused check with
nothing uploaded. Also SFTP's host keys, passwords in a Secret Service
keyring, and an index that players get wrong.
"""
import hashlib
import json
import os
import pty
import select
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from servers import LOOPBACK, Ftp, Keyring, Relay, Sshd, WebDav, exit_cleanly_on_sigterm  # noqa: E402
from web_server import NginxServer  # noqa: E402

CLI = None
WINE = None
SAMPLES = os.path.join(HERE, "..", "..", "samples", "Tarnwick.xml")
INDEXED_FROM = 4 << 20  # files from this size on get a block index
BIG = 5 << 20  # indexed, and far past any handshake: a cut lands inside this file's upload


def md5(data):
    return hashlib.md5(data).hexdigest()


def wine_profile():
    """The user's profile folder in the Wine prefix, as a host path."""
    users = os.path.join(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), "drive_c", "users")
    return os.path.join(users, next(name for name in sorted(os.listdir(users)) if name.lower() != "public"))


class Site:
    """A working folder with update entries whose files are in a site folder,
    fetched by players from `players` (the address of the site's root)."""

    def __init__(self, scratch, players):
        self.scratch = scratch
        self.work = os.path.join(scratch, "work")
        self.site = os.path.join(scratch, "site")
        self.home = os.path.join(scratch, "home")
        if WINE:
            # Wine gives a Windows program the prefix's profile as its home
            # (%USERPROFILE%), whatever HOME says: its known_hosts starts empty.
            self.home = wine_profile()
            shutil.rmtree(os.path.join(self.home, ".ssh"), ignore_errors=True)
        self.players = players.rstrip("/") + "/"
        os.makedirs(self.work)
        os.makedirs(os.path.join(self.home, ".ssh"), mode=0o700)
        with open(SAMPLES, "rb") as f:
            sample = f.read()
        with open(os.path.join(self.work, "Tarnwick.xml"), "wb") as f:
            f.write(sample)
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(scratch, "settings"))
        self.env.pop("SSH_AUTH_SOCK", None)
        self.env.pop(PASSWORD, None)
        # The sample's entry names a host that does not exist.
        self.cli("update", "delete", "1")
        self.files = {}
        self.add("data/a.pak", os.urandom(200_000))
        self.add("big.pak", os.urandom(BIG))
        self.add("Game.exe", b"MZ" + os.urandom(50_000))
        self.serverinfo()

    def cli(self, *args, check=True, env=None, **kwargs):
        result = subprocess.run([*COMMAND, "-C", self.work, "--language", "en", *args], capture_output=True,
                                env=env or self.env, timeout=300, stdin=subprocess.DEVNULL, **kwargs)
        if check and result.returncode != 0:
            raise AssertionError(f"tarnwick-cli {' '.join(args)}: status {result.returncode}\n"
                                 f"{result.stdout.decode(errors='replace')}{result.stderr.decode(errors='replace')}")
        return result

    def write(self, rel, data):
        path = os.path.join(self.site, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        self.files[rel] = data
        return path

    def add(self, rel, data):
        path = self.write(rel, data)
        self.cli("update", "add", "--hint", rel, "--url", self.players + rel, "--save-name", os.path.basename(rel),
                 "--check", "md5", "--file", path)

    def change(self, rel, data):
        listing = json.loads(self.cli("update", "list", "--json").stdout.decode())
        rows = [entry for entry in listing if entry["downUrl"].endswith("/" + rel)]
        path = self.write(rel, data)
        self.cli("update", "edit", str(rows[0]["row"]), "--file", path)
        self.serverinfo()

    def serverinfo(self):
        self.cli("serverinfo")
        with open(os.path.join(self.work, "ServerInfo.txt"), "rb") as f:
            self.list = f.read()

    def publish(self, *args, password=None, check=False, env=None):
        environment = dict(env or self.env)
        if password is not None:
            environment[PASSWORD] = password
        return self.cli("publish", "--list-url", self.players + "ServerInfo.txt", "--site", self.site, *args,
                        check=check, env=environment)


PASSWORD = "TARNWICK_PUBLISH_PASSWORD"


def index_names(index):
    """What a block index says it indexes: its magic, the file's length and MD5."""
    magic, _, _, length = struct.unpack_from("<8sIIQ", index)
    return magic, length, index[56:72].hex()


def text(result):
    return result.stdout.decode(errors="replace") + result.stderr.decode(errors="replace")


def plain(uploaded):
    """The name a file is put in place under, from the temporary one it went up under."""
    name = os.path.basename(uploaded)
    suffix = ".tarnwick-upload"
    return name[1:-len(suffix)] if name.endswith(suffix) else name


def snapshot(folder):
    """Every file below the folder but the publish manifest, with its bytes."""
    files = {}
    for base, _, names in os.walk(folder):
        for name in names:
            if name == ".tarnwick-publish.json":
                continue
            path = os.path.join(base, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    return files


class _Scenarios:
    """The scenarios every destination runs; a subclass says how to reach it."""

    def setUp(self):
        self.scratch = self.enterContext(tempfile.TemporaryDirectory(prefix="tarnwick-publish-e2e-"))
        # The servers run unprivileged (nobody, under root) and must reach their folders in it.
        os.chmod(self.scratch, 0o755)
        self.start_server()
        # The players' address: nginx serving the destination's folder.
        os.chmod(self.served, 0o755)
        for base, dirs, _ in os.walk(self.served):
            for d in dirs:
                os.chmod(os.path.join(base, d), 0o755)
        self.web = self.enterContext(NginxServer(extra=f"location /game/ {{ alias {self.served}/; }}"))
        self.site = Site(self.scratch, self.web.url("game/"))

    # Subclasses: start_server(), served (the folder players' nginx serves),
    # destination(relay=None), publish_args(), password, uploads(mark), mark().

    def publish(self, *args, relay=None, password="default", check=False):
        if password == "default":
            password = self.password
        return self.site.publish("--to", self.destination(relay), *self.publish_args(), *args, password=password,
                                 check=check)

    def assertPlayersSee(self):
        served = snapshot(self.served)
        expected = {"ServerInfo.txt": self.site.list, **self.site.files}
        # Each large file's index beside it, the one kept in the site folder, of the file's version.
        for rel, data in self.site.files.items():
            if len(data) >= INDEXED_FROM:
                with open(os.path.join(self.site.site, rel + ".blocks"), "rb") as f:
                    expected[rel + ".blocks"] = f.read()
                self.assertEqual(index_names(expected[rel + ".blocks"]), (b"TWBLOCK1", len(data), md5(data)), rel)
        self.assertEqual(sorted(served), sorted(expected), "no temporary file stays")
        for rel, data in expected.items():
            self.assertTrue(served[rel] == data, rel)

    def test_publish_then_nothing_then_one_file(self):
        first = self.publish()
        self.assertEqual(first.returncode, 0, text(first))
        self.assertPlayersSee()
        self.assertIn("everything players fetch is right", text(first))

        mark = self.mark()
        again = self.publish()
        self.assertEqual(again.returncode, 0, text(again))
        self.assertEqual(self.uploads(mark), [], "nothing changed, nothing sent")

        self.site.change("data/a.pak", os.urandom(100_000))
        mark = self.mark()
        changed = self.publish("--deep")
        self.assertEqual(changed.returncode, 0, text(changed))
        self.assertEqual(sorted(plain(u) for u in self.uploads(mark) if plain(u) != ".tarnwick-publish.json"),
                         ["ServerInfo.txt", "a.pak"])
        self.assertPlayersSee()

    def test_a_cut_connection_leaves_the_site_and_the_next_publish_completes_it(self):
        self.assertEqual(self.publish().returncode, 0)
        before = snapshot(self.served)
        self.site.change("big.pak", os.urandom(BIG))
        self.site.change("data/a.pak", os.urandom(1000))
        with self.relay(BIG // 2) as relay:
            cut = self.publish(relay=relay)
        self.assertEqual(cut.returncode, 1, text(cut))
        self.assertEqual(relay.cuts, 1, "it failed for the cut, not before it: " + text(cut))
        self.assertEqual(snapshot(self.served), before, "players see the site as it was")
        completed = self.publish()
        self.assertEqual(completed.returncode, 0, text(completed))
        self.assertPlayersSee()

    def test_a_wrong_password_uploads_nothing(self):
        if self.password is None:
            self.skipTest("this server takes keys only")
        mark = self.mark()
        refused = self.publish(password="wrong " + self.password)
        self.assertEqual(refused.returncode, 1, text(refused))
        self.assertEqual(self.uploads(mark), [])
        self.assertEqual(snapshot(self.served), {})

    def test_a_refused_check_uploads_nothing(self):
        # The file players would get is not the one the entry pins.
        self.site.write("data/a.pak", b"edited after the digest was taken")
        mark = self.mark()
        refused = self.publish()
        self.assertEqual(refused.returncode, 1, text(refused))
        self.assertIn("data/a.pak", text(refused))
        self.assertIn("nothing was uploaded", text(refused))
        self.assertEqual(self.uploads(mark), [])
        self.assertEqual(snapshot(self.served), {})


class WebDavPublish(_Scenarios, unittest.TestCase):
    def start_server(self):
        self.dav = self.enterContext(WebDav(root=self.scratch))
        self.served = self.dav.site
        self.password = self.dav.password

    def destination(self, relay):
        url = self.dav.dav_url("")
        if relay:
            url = url.replace(f":{self.dav.port}/", f":{relay.port}/")
        return url.replace("http://", f"http://{self.dav.user}@")

    def publish_args(self):
        return []

    def relay(self, cut):
        return Relay(self.dav.host, self.dav.port, cut)

    def mark(self):
        return self.dav.mark()

    def uploads(self, mark):
        return [uri for uri in self.dav.uploads(mark)]


class WineFtp(Ftp):
    """vsftpd that takes a data connection's TLS without the control
    connection's session: Wine's Schannel resumes none."""

    def _configuration(self, empty):
        return super()._configuration(empty) + "require_ssl_reuse=NO\n"


class LocalhostRelay(Relay):
    """Relay.for_ftp that a client reaches as "localhost", for FTPS under
    Wine. curl takes localhost for 127.0.0.1, then ::1; the relay listens on
    ::1, where the server's passive port numbers are free, and holds its port
    on 127.0.0.1 without listening, so that curl's first try is refused."""

    def __init__(self, ftp, cut):
        super().__init__(ftp.host, ftp.port, cut, data_ports=ftp.passive_ports, host="localhost")

    def _listen(self, port):
        for _ in range(20):
            listener = socket.socket(socket.AF_INET6)
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            listener.bind(("::1", port))
            if port:
                break
            held = socket.socket()
            try:
                held.bind((LOOPBACK, listener.getsockname()[1]))
            except OSError:
                listener.close()
                held.close()
                continue
            self._listeners.append(held)
            break
        else:
            raise RuntimeError("no port is free on both ::1 and 127.0.0.1")
        listener.listen(32)
        self._listeners.append(listener)
        return listener


class FtpPublish(_Scenarios, unittest.TestCase):
    tls = False

    def start_server(self):
        self.ftp = self.enterContext((WineFtp if WINE else Ftp)(root=self.scratch, tls=self.tls))
        self.served = self.ftp.site
        self.password = self.ftp.password

    def destination(self, relay):
        url = self.ftp.url("")
        if relay:
            url = url.replace(f"{self.ftp.host}:{self.ftp.port}", f"{relay.host}:{relay.port}")
        elif self.tls and WINE:
            # curl 7.88 on Schannel matches the certificate's DNS names only, not its addresses.
            url = url.replace(f"//{self.ftp.host}:", "//localhost:")
        return url.replace("://", f"://{self.ftp.user}@")

    def publish_args(self):
        args = []
        if self.tls:
            args += ["--ca-file", self.ftp.cert]
        if self.tls == "explicit":
            args.append("--explicit-tls")
        return args

    def relay(self, cut):
        return LocalhostRelay(self.ftp, cut) if self.tls and WINE else Relay.for_ftp(self.ftp, cut)

    def mark(self):
        return self.ftp.mark()

    def uploads(self, mark):
        return self.ftp.uploads(mark)


class ExplicitFtpsPublish(FtpPublish):
    tls = "explicit"


class ImplicitFtpsPublish(FtpPublish):
    tls = "implicit"


def sshd(root):
    # libssh2 1.10 on mbedtls has no ed25519 and signs RSA with SHA-1 only,
    # which OpenSSH turns off by default: ECDSA, as OpenSSH offers it by default.
    return Sshd(root=root, host_key_type="ecdsa", user_key_type="ecdsa") if WINE else Sshd(root=root)


class SftpPublish(_Scenarios, unittest.TestCase):
    def start_server(self):
        self.ssh = self.enterContext(sshd(self.scratch))
        self.served = self.ssh.site
        self.password = None

    def destination(self, relay):
        url = self.ssh.url("")
        if relay:
            url = url.replace(f":{self.ssh.port}/", f":{relay.port}/")
        return url.replace("sftp://", f"sftp://{self.ssh.user}@")

    def publish_args(self):
        return ["--key", self.ssh.user_key]

    def publish(self, *args, relay=None, **kwargs):
        # Through a relay the host is another port: its key is known under that name.
        known = os.path.join(self.site.home, ".ssh", "known_hosts")
        with open(known, "a") as f:
            f.write(self.ssh.known_hosts_line + "\n")
            if relay:
                f.write(self.ssh.known_hosts_entry(relay.port) + "\n")
        return super().publish(*args, relay=relay, **kwargs)

    def relay(self, cut):
        return Relay(self.ssh.host, self.ssh.port, cut)

    def mark(self):
        return self.ssh.mark()

    def uploads(self, mark):
        return [path for path, _ in self.ssh.uploads(mark)]

    def test_host_keys_are_trusted_only_when_accepted(self):
        known = os.path.join(self.site.home, ".ssh", "known_hosts")
        args = ["--to", self.destination(None), *self.publish_args()]
        unknown = self.site.publish(*args)
        self.assertEqual(unknown.returncode, 1, text(unknown))
        self.assertIn(self.ssh.host_key_fingerprint, text(unknown))
        self.assertEqual(snapshot(self.served), {})

        accepted = self.site.publish(*args, "--accept-host-key", self.ssh.host_key_fingerprint)
        self.assertEqual(accepted.returncode, 0, text(accepted))
        with open(known) as f:
            self.assertIn(f"[{self.ssh.host}]:{self.ssh.port}", f.read())
        self.assertEqual(self.site.publish(*args).returncode, 0, "remembered")

        before = snapshot(self.served)
        self.ssh.replace_host_key()
        self.site.change("data/a.pak", os.urandom(500))
        changed = self.site.publish(*args)
        self.assertEqual(changed.returncode, 1, text(changed))
        self.assertIn(self.ssh.host_key_fingerprint, text(changed))
        self.assertEqual(snapshot(self.served), before)
        # A changed key is taken only by its fingerprint, never by --yes.
        self.assertEqual(self.site.publish(*args, "--yes").returncode, 1)
        self.assertEqual(self.site.publish(*args, "--accept-host-key", self.ssh.host_key_fingerprint).returncode, 0)
        self.assertPlayersSee()


class SftpPasswordPublish(unittest.TestCase):
    """Without a key, the password: a wrong one uploads nothing."""

    def test_password_login(self):
        scratch = self.enterContext(tempfile.TemporaryDirectory(prefix="tarnwick-publish-sftp-"))
        os.chmod(scratch, 0o755)
        ssh = self.enterContext(sshd(scratch))
        if ssh.password is None:
            self.skipTest("password logins need root")
        web = self.enterContext(NginxServer(extra=f"location /game/ {{ alias {ssh.site}/; }}"))
        site = Site(scratch, web.url("game/"))
        with open(os.path.join(site.home, ".ssh", "known_hosts"), "w") as f:
            f.write(ssh.known_hosts_line + "\n")
        destination = ssh.url("").replace("sftp://", f"sftp://{ssh.user}@")
        mark = ssh.mark()
        refused = site.publish("--to", destination, password="wrong")
        self.assertEqual(refused.returncode, 1, text(refused))
        self.assertEqual(ssh.uploads(mark), [])
        published = site.publish("--to", destination, password=ssh.password)
        self.assertEqual(published.returncode, 0, text(published))


class FolderPublish(_Scenarios, unittest.TestCase):
    def start_server(self):
        self.served = os.path.join(self.scratch, "served")
        os.makedirs(self.served)
        self.password = None
        self._fail_after = None

    def destination(self, relay):
        return self.served

    def publish_args(self):
        return []

    def mark(self):
        return {rel: os.stat(os.path.join(self.served, rel)).st_mtime_ns for rel in snapshot(self.served)}

    def uploads(self, mark):
        now = self.mark()
        return [rel for rel in now if mark.get(rel) != now[rel]]

    def test_a_cut_connection_leaves_the_site_and_the_next_publish_completes_it(self):
        self.skipTest("a folder has no connection to cut")

    def test_an_index_that_players_get_wrong_is_told(self):
        self.assertEqual(self.publish().returncode, 0)
        # Changed on the host behind the manifest's back: not sent again, but read back.
        with open(os.path.join(self.served, "big.pak.blocks"), "r+b") as f:
            f.seek(100)
            byte = f.read(1)
            f.seek(100)
            f.write(bytes([byte[0] ^ 1]))
        told = self.publish()
        self.assertEqual(told.returncode, 1, text(told))
        self.assertRegex(text(told), r"WRONG .*/big\.pak\.blocks\n")
        mended = self.publish("--full")
        self.assertEqual(mended.returncode, 0, text(mended))
        self.assertPlayersSee()


class KeyringPasswords(unittest.TestCase):
    """A password asked once on the terminal is kept in the keyring and used
    from there; one the server refuses is forgotten."""

    def setUp(self):
        if WINE:
            self.skipTest("the Secret Service is Linux's keyring; Windows's is the Credential Manager")
        self.scratch = self.enterContext(tempfile.TemporaryDirectory(prefix="tarnwick-publish-keyring-"))
        os.chmod(self.scratch, 0o755)
        self.dav = self.enterContext(WebDav(root=self.scratch))
        self.keyring = self.enterContext(Keyring(root=self.scratch))
        self.web = self.dav
        self.site = Site(self.scratch, self.dav.players_url(""))
        self.site.env.update(self.keyring.env)
        self.destination = self.dav.dav_url("").replace("http://", f"http://{self.dav.user}@")

    def run_on_terminal(self, answers):
        """Runs publish with standard input a terminal, answering each prompt in turn."""
        master, slave = pty.openpty()
        process = subprocess.Popen([*COMMAND, "-C", self.site.work, "--language", "en", "publish", "--to", self.destination,
                                    "--list-url", self.site.players + "ServerInfo.txt", "--site", self.site.site],
                                   stdin=slave, stdout=subprocess.PIPE, stderr=slave, env=self.site.env)
        os.close(slave)
        seen = b""
        pending = list(answers)
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.2)
            if ready:
                try:
                    chunk = os.read(master, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                seen += chunk
            if pending and seen.rstrip().endswith(pending[0][0]):
                os.write(master, pending.pop(0)[1])
            if process.poll() is not None and not ready:
                break
        output = process.communicate(timeout=60)[0]
        os.close(master)
        return process.returncode, seen.decode(errors="replace") + output.decode(errors="replace")

    def stored(self):
        return self.keyring.lookup(**{"xdg:schema": "org.tarnwick.Publish"})

    def test_asked_once_then_taken_from_the_keyring(self):
        status, output = self.run_on_terminal([(b":", self.dav.password.encode() + b"\n"), (b"[y/N]", b"y\n")])
        self.assertEqual(status, 0, output)
        self.assertEqual(self.stored(), self.dav.password)
        # No terminal and no password in the environment: the keyring's is used.
        self.site.change("data/a.pak", os.urandom(300))
        again = self.site.cli("publish", check=False)
        self.assertEqual(again.returncode, 0, text(again))

    def test_a_refused_password_is_forgotten(self):
        self.keyring.store("wrong", **{"xdg:schema": "org.tarnwick.Publish", "server": f"http://127.0.0.1:{self.dav.port}",
                                       "user": self.dav.user})
        refused = self.site.publish("--to", self.destination)
        self.assertEqual(refused.returncode, 1, text(refused))
        self.assertIsNone(self.stored())


if __name__ == "__main__":
    exit_cleanly_on_sigterm()
    if sys.argv[1] == "--wine":
        WINE = sys.argv.pop(2)
        sys.argv.pop(1)
    CLI = os.path.abspath(sys.argv.pop(1))
    COMMAND = [WINE, CLI] if WINE else [CLI]
    unittest.main()
