#!/usr/bin/env python3
"""The servers the publish tests run against, each proven with curl the way
tarnwick-cli publishes: a file under a temporary name, then renamed over the
old one, then read back where players read it.

    python3 tests/publish/servers_test.py -v

A server whose program is missing is skipped with the reason ('make deps'
installs them all); FTP and SFTP passwords need root.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from servers import (Ftp, Keyring, Relay, Sshd, WebDav, descendants,  # noqa: E402
                     exit_cleanly_on_sigterm, process_state, program)

BIG = 2 << 20  # far more than any handshake, so a cut lands mid-body


class _Case(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        program("curl", "curl")
        cls.scratch = cls.enterClassContext(tempfile.TemporaryDirectory(prefix="tarnwick-servers-test-"))
        # curl's own HOME: no user's .curlrc or known_hosts takes part.
        cls.home = os.path.join(cls.scratch, "home")
        os.makedirs(os.path.join(cls.home, ".ssh"))
        cls.counter = 0

    def local_file(self, data):
        type(self).counter += 1
        path = os.path.join(self.scratch, f"local-{self.counter}")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def curl(self, *args):
        environment = dict(os.environ, HOME=self.home)
        return subprocess.run(["curl", "-q", "-sS", "--max-time", "60", *map(str, args)], capture_output=True,
                              stdin=subprocess.DEVNULL, env=environment, timeout=120)

    def assertCurl(self, result, code=0):
        self.assertEqual(result.returncode, code, result.stderr.decode(errors="replace"))

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()


class SftpServer(_Case):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ssh = cls.enterClassContext(Sshd())

    def key_login(self, ssh=None):
        ssh = ssh or self.ssh
        return ["--key", ssh.user_key, "--pubkey", ssh.user_public_key, "-u", f"{ssh.user}:"]

    def test_upload_under_temporary_name_then_rename(self):
        ssh = self.ssh
        final = os.path.join(ssh.site, "pub", "ServerInfo.txt")
        temporary = os.path.join(ssh.site, "pub", ".ServerInfo.txt.tmp")
        mark = ssh.mark()
        self.assertCurl(self.curl(*self.key_login(), "--hostpubsha256", ssh.host_key_sha256,
                                  "--ftp-create-dirs", "-T", self.local_file(b"first\n"),
                                  ssh.url("pub/.ServerInfo.txt.tmp"), "-Q", f"-rename {temporary} {final}"))
        self.assertEqual(self.read(final), b"first\n")
        self.assertFalse(os.path.exists(temporary))
        self.assertEqual(ssh.uploads(mark), [(temporary, 6)])
        self.assertEqual(ssh.renames(mark), [("rename", temporary, final)])

        # curl's rename is the protocol's plain SSH_FXP_RENAME, which OpenSSH
        # refuses when the target exists: the old file stays and curl fails.
        # Replacing takes posix-rename@openssh.com, which tarnwick-cli uses.
        mark = ssh.mark()
        result = self.curl(*self.key_login(), "--hostpubsha256", ssh.host_key_sha256,
                           "-T", self.local_file(b"second\n"), ssh.url("pub/.ServerInfo.txt.tmp"),
                           "-Q", f"-rename {temporary} {final}")
        self.assertCurl(result, 21)  # QUOT command failed
        self.assertEqual(self.read(final), b"first\n")
        self.assertEqual(self.read(temporary), b"second\n")
        self.assertEqual(ssh.renames(mark), [("rename", temporary, final)])
        self.assertCurl(self.curl(*self.key_login(), "--hostpubsha256", ssh.host_key_sha256,
                                  ssh.url(), "-Q", f"rm {temporary}"))
        self.assertEqual(ssh.removes(mark), [temporary])
        self.assertEqual(ssh.opens(mark), [temporary])

    def test_host_key_known_or_pinned(self):
        ssh = self.ssh
        shown = subprocess.run(["ssh-keygen", "-lf", ssh.host_public_key], capture_output=True, text=True)
        self.assertEqual(shown.stdout.split()[1], ssh.host_key_fingerprint)

        known_hosts = os.path.join(self.home, ".ssh", "known_hosts")
        self.addCleanup(os.unlink, known_hosts)
        with open(known_hosts, "w") as f:
            f.write(ssh.known_hosts_line + "\n")
        self.assertCurl(self.curl(*self.key_login(), ssh.url()))
        # The same line for another server's key: refused before logging in.
        with open(known_hosts, "w") as f:
            with open(ssh.user_public_key) as key:
                kind, blob = key.read().split()[:2]
            f.write(f"[{ssh.host}]:{ssh.port} {kind} {blob}\n")
        self.assertCurl(self.curl(*self.key_login(), ssh.url()), 60)
        self.assertCurl(self.curl(*self.key_login(), "--hostpubsha256", "A" * 43, ssh.url()), 60)

    def test_password(self):
        ssh = self.ssh
        if ssh.password is None:
            self.skipTest("sshd checks passwords only when run as root")
        mark = len(ssh.server_log_lines())
        self.assertCurl(self.curl("-u", f"{ssh.user}:{ssh.password}", "--hostpubsha256", ssh.host_key_sha256,
                                  "-T", self.local_file(b"p\n"), ssh.url("password.txt")))
        self.assertEqual(self.read(os.path.join(ssh.site, "password.txt")), b"p\n")
        self.assertCurl(self.curl("-u", f"{ssh.user}:wrong-{ssh.password}", "--hostpubsha256", ssh.host_key_sha256,
                                  ssh.url()), 67)  # login denied
        log = "\n".join(ssh.server_log_lines(mark))
        self.assertIn(f"Accepted password for {ssh.user}", log)
        self.assertIn(f"Failed password for {ssh.user}", log)

    def test_replaced_host_key_is_refused(self):
        with Sshd() as ssh:
            old_key, port = ssh.host_key_sha256, ssh.port
            self.assertCurl(self.curl(*self.key_login(ssh), "--hostpubsha256", old_key, ssh.url()))
            ssh.replace_host_key()
            self.assertEqual(ssh.port, port)
            self.assertNotEqual(ssh.host_key_sha256, old_key)
            self.assertCurl(self.curl(*self.key_login(ssh), "--hostpubsha256", old_key, ssh.url()), 60)
            self.assertCurl(self.curl(*self.key_login(ssh), "--hostpubsha256", ssh.host_key_sha256, ssh.url()))

    def test_rsa_keys_as_libssh2_signs_them(self):
        # libssh2 before 1.11 (Debian 12) offers no rsa-sha2 host key
        # algorithm and signs RSA user keys with SHA-1, both off in OpenSSH 9
        # unless turned back on; 1.11 (Debian 13) signs with SHA-2.
        found = re.search(r"libssh2/1\.(\d+)", subprocess.run(["curl", "-V"], capture_output=True).stdout.decode())
        sha1_only = found is not None and int(found.group(1)) < 11
        for host_key, user_key, ssh_rsa, code in (("rsa", "ed25519", False, 2 if sha1_only else 0),
                                                  ("ecdsa", "rsa", False, 67 if sha1_only else 0),
                                                  ("rsa", "rsa", True, 0), ("ecdsa", "ecdsa", False, 0)):
            with self.subTest(host_key=host_key, user_key=user_key, ssh_rsa=ssh_rsa), \
                    Sshd(host_key_type=host_key, user_key_type=user_key, ssh_rsa=ssh_rsa) as ssh:
                self.assertTrue(ssh.known_hosts_line.split()[1].startswith(("ssh-rsa", "ecdsa-")))
                self.assertCurl(self.curl(*self.key_login(ssh), "--hostpubsha256", ssh.host_key_sha256,
                                          ssh.url()), code)


class FtpServer(_Case):
    tls = False

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ftp = cls.enterClassContext(Ftp(tls=cls.tls))
        cls.trust = {False: [], "explicit": ["--ssl-reqd", "--cacert", cls.ftp.cert],
                     "implicit": ["--cacert", cls.ftp.cert]}[cls.tls]

    def upload(self, data, rel, *quote, password=None):
        ftp = self.ftp
        extra = [q for command in quote for q in ("-Q", command)]
        return self.curl("-u", f"{ftp.user}:{password or ftp.password}", *self.trust, "--ftp-create-dirs",
                         "-T", self.local_file(data), ftp.url(rel), *extra)

    def test_upload_under_temporary_name_then_rename_over_old(self):
        ftp = self.ftp
        final = os.path.join(ftp.site, "pub", "ServerInfo.txt")
        self.assertCurl(self.upload(b"old\n", "pub/ServerInfo.txt"))
        mark = ftp.mark()
        # vsftpd's RNTO replaces an existing file.
        self.assertCurl(self.upload(b"new\n", "pub/.ServerInfo.txt.tmp",
                                    "-RNFR .ServerInfo.txt.tmp", "-RNTO ServerInfo.txt"))
        self.assertEqual(self.read(final), b"new\n")
        self.assertEqual(os.listdir(os.path.dirname(final)), ["ServerInfo.txt"])
        self.assertEqual(ftp.uploads(mark), [".ServerInfo.txt.tmp"])
        commands = ftp.commands(mark)
        self.assertLess(commands.index("STOR .ServerInfo.txt.tmp"), commands.index("RNFR .ServerInfo.txt.tmp"))
        self.assertEqual(commands[commands.index("RNFR .ServerInfo.txt.tmp") + 1], "RNTO ServerInfo.txt")
        self.assertIn("PASS <password>", commands)

    def test_wrong_password_is_530(self):
        mark = self.ftp.mark()
        result = self.upload(b"x", "denied.txt", password="wrong")
        self.assertCurl(result, 67)
        self.assertIn(b"530", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.ftp.site, "denied.txt")))
        self.assertEqual(self.ftp.uploads(mark), [])

    def test_server_that_will_not_replace(self):
        ftp = self.ftp
        self.assertCurl(self.upload(b"kept\n", "kept/launcher.exe"))
        ftp.refuse_replacing("kept/launcher.exe")
        result = self.upload(b"newer\n", "kept/.launcher.exe.tmp", "-RNFR .launcher.exe.tmp", "-RNTO launcher.exe")
        self.assertCurl(result, 21)
        self.assertIn(b"RNTO", result.stderr)
        self.assertEqual(self.read(os.path.join(ftp.site, "kept", "launcher.exe")), b"kept\n")
        mark = ftp.mark()
        self.assertCurl(self.curl("-u", f"{ftp.user}:{ftp.password}", *self.trust, ftp.url("kept/"),
                                  "-Q", "-DELE .launcher.exe.tmp"))
        self.assertEqual(os.listdir(os.path.join(ftp.site, "kept")), ["launcher.exe"])
        self.assertIn("DELE .launcher.exe.tmp", ftp.commands(mark))


class FtpsExplicit(FtpServer):
    tls = "explicit"

    def test_login_requires_tls_and_a_trusted_certificate(self):
        ftp = self.ftp
        plain = self.curl("-u", f"{ftp.user}:{ftp.password}", ftp.url())
        self.assertCurl(plain, 67)
        self.assertIn(b"530", plain.stderr)
        self.assertCurl(self.curl("-u", f"{ftp.user}:{ftp.password}", "--ssl-reqd", ftp.url()), 60)


class FtpsImplicit(FtpServer):
    tls = "implicit"

    def test_untrusted_certificate_is_refused(self):
        ftp = self.ftp
        self.assertCurl(self.curl("-u", f"{ftp.user}:{ftp.password}", ftp.url()), 60)


class WebDavServer(_Case):
    tls = False

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dav = cls.enterClassContext(WebDav(tls=cls.tls))
        cls.trust = ["--cacert", cls.dav.cert] if cls.tls else []
        cls.login = ["-u", f"{cls.dav.user}:{cls.dav.password}"]

    def status(self, *args):
        result = self.curl(*self.trust, "-o", "/dev/null", "-w", "%{http_code}", *args)
        self.assertCurl(result)
        return int(result.stdout)

    def test_put_under_temporary_name_then_move_over_old(self):
        dav = self.dav
        self.assertEqual(self.status(*self.login, "-T", self.local_file(b"old\n"), dav.dav_url("pub/ServerInfo.txt")), 201)
        mark = dav.mark()
        self.assertEqual(self.status(*self.login, "-T", self.local_file(b"new\n"),
                                     dav.dav_url("pub/.ServerInfo.txt.tmp")), 201)
        destination = dav.dav_url("pub/ServerInfo.txt")
        # Replaced with one rename(2): players never see a missing or half file.
        self.assertEqual(self.status(*self.login, "-X", "MOVE", "-H", f"Destination: {destination}",
                                     "-H", "Overwrite: T", dav.dav_url("pub/.ServerInfo.txt.tmp")), 204)
        self.assertEqual(os.listdir(os.path.join(dav.site, "pub")), ["ServerInfo.txt"])
        served = self.curl(*self.trust, "-f", dav.players_url("pub/ServerInfo.txt"))
        self.assertCurl(served)
        self.assertEqual(served.stdout, b"new\n")
        requests = dav.wait_for_requests(3, mark)
        self.assertEqual([(r.server, r.method, r.status) for r in requests],
                         [("dav", "PUT", 201), ("dav", "MOVE", 204), ("players", "GET", 200)])
        self.assertEqual(requests[1].destination, destination)
        self.assertEqual(requests[0].user, dav.user)
        self.assertEqual(dav.uploads(mark), ["/game/pub/.ServerInfo.txt.tmp"])

        # Without Overwrite: T a MOVE leaves an existing target alone.
        self.status(*self.login, "-T", self.local_file(b"newer\n"), dav.dav_url("pub/.ServerInfo.txt.tmp"))
        self.assertEqual(self.status(*self.login, "-X", "MOVE", "-H", f"Destination: {destination}",
                                     "-H", "Overwrite: F", dav.dav_url("pub/.ServerInfo.txt.tmp")), 412)
        self.assertEqual(self.read(os.path.join(dav.site, "pub", "ServerInfo.txt")), b"new\n")

    def test_wrong_password_and_players_address_cannot_write(self):
        dav = self.dav
        mark = dav.mark()
        self.assertEqual(self.status("-u", f"{dav.user}:wrong", "-T", self.local_file(b"x"),
                                     dav.dav_url("denied.txt")), 401)
        self.assertEqual(self.status("-T", self.local_file(b"x"), dav.dav_url("denied.txt")), 401)
        self.assertEqual(self.status("-T", self.local_file(b"x"), dav.players_url("denied.txt")), 403)
        self.assertEqual(self.status("-X", "DELETE", dav.players_url("denied.txt")), 403)
        self.assertFalse(os.path.exists(os.path.join(dav.site, "denied.txt")))
        self.assertEqual([r.status for r in dav.wait_for_requests(4, mark)], [401, 401, 403, 403])


class WebDavTls(WebDavServer):
    tls = True

    def test_untrusted_certificate_is_refused(self):
        self.assertCurl(self.curl("-f", self.dav.players_url("x")), 60)


class Relays(_Case):
    def test_webdav_upload_cut_midway(self):
        with WebDav() as dav, Relay(dav.host, dav.port, cut_after_bytes=BIG // 3) as relay:
            url = f"http://{relay.host}:{relay.port}/{dav.prefix}/cut/big.bin"
            login = ["-u", f"{dav.user}:{dav.password}"]
            result = self.curl(*login, "-f", "-T", self.local_file(os.urandom(BIG)), url)
            self.assertNotEqual(result.returncode, 0)
            self.assertEqual((relay.cuts, relay.bytes_up), (1, BIG // 3))
            self.assertFalse(os.path.exists(os.path.join(dav.site, "cut", "big.bin")))
            # Cut once: the next connection passes.
            self.assertCurl(self.curl(*login, "-f", "-T", self.local_file(b"whole\n"), url))
            self.assertEqual(self.read(os.path.join(dav.site, "cut", "big.bin")), b"whole\n")
            self.assertEqual(relay.connections, 2)

    def test_sftp_upload_cut_midway(self):
        with Sshd() as ssh, Relay(ssh.host, ssh.port, cut_after_bytes=BIG // 2) as relay:
            mark = ssh.mark()
            url = f"sftp://{relay.host}:{relay.port}{ssh.site}/.big.bin.tmp"
            result = self.curl("--key", ssh.user_key, "--pubkey", ssh.user_public_key, "-u", f"{ssh.user}:",
                               "--hostpubsha256", ssh.host_key_sha256, "-T", self.local_file(os.urandom(BIG)),
                               url, "-Q", f"-rename {ssh.site}/.big.bin.tmp {ssh.site}/big.bin")
            self.assertNotEqual(result.returncode, 0)
            self.assertEqual(relay.cuts, 1)
            self.assertEqual(ssh.opens(mark), [f"{ssh.site}/.big.bin.tmp"])
            self.assertLess(os.path.getsize(f"{ssh.site}/.big.bin.tmp"), BIG // 2)
            self.assertFalse(os.path.exists(f"{ssh.site}/big.bin"))
            self.assertIn(f"{ssh.host}]:{relay.port} ", ssh.known_hosts_entry(relay.port))

    def test_ftp_data_connections_pass_through(self):
        for tls in (False, "explicit"):
            with self.subTest(tls=tls), Ftp(tls=tls) as ftp, Relay.for_ftp(ftp) as relay:
                trust = ["--ssl-reqd", "--cacert", ftp.cert] if tls else []
                url = f"ftp://{relay.host}:{relay.port}/data.bin"
                data = os.urandom(BIG)
                self.assertCurl(self.curl("-u", f"{ftp.user}:{ftp.password}", *trust, "-T", self.local_file(data), url))
                self.assertEqual(self.read(os.path.join(ftp.site, "data.bin")), data)
                self.assertEqual(relay.connections, 2)  # control and data
                self.assertGreater(relay.bytes_up, BIG)

                relay.cut_after(BIG // 2)
                result = self.curl("-u", f"{ftp.user}:{ftp.password}", *trust, "-T",
                                   self.local_file(os.urandom(BIG)), url)
                self.assertNotEqual(result.returncode, 0)
                self.assertEqual(relay.cuts, 1)
                self.assertLess(os.path.getsize(os.path.join(ftp.site, "data.bin")), BIG)


class Cleanup(_Case):
    def test_nothing_outlives_the_fixture_even_mid_transfer(self):
        # A client still sending when the test ends: the server's connection
        # handlers, which leave its process group, go too.
        for fixture in (Sshd, Ftp):
            with self.subTest(fixture=fixture.__name__):
                try:
                    server = fixture().__enter__()
                except unittest.SkipTest as skipped:
                    self.skipTest(str(skipped))
                try:
                    if fixture is Sshd:
                        login = ["--key", server.user_key, "--pubkey", server.user_public_key, "-u", f"{server.user}:",
                                 "--hostpubsha256", server.host_key_sha256]
                    else:
                        login = ["-u", f"{server.user}:{server.password}"]
                    client = subprocess.Popen(["curl", "-q", "-sS", "--limit-rate", "10K", *login, "-T", "/dev/zero",
                                               server.url("endless.bin")], stderr=subprocess.DEVNULL,
                                              env=dict(os.environ, HOME=self.home))
                    self.addCleanup(client.wait)
                    self.addCleanup(client.kill)
                    # Mid-transfer once the server logged the file's opening.
                    started = server.opens if fixture is Sshd else server.uploads
                    deadline = time.monotonic() + 10
                    while not started() and time.monotonic() < deadline:
                        time.sleep(0.05)
                    self.assertTrue(started(), "the upload did not start")
                    tree = descendants(server._daemon.process.pid)
                    self.assertGreaterEqual(len(tree), 2)
                finally:
                    server.__exit__(None, None, None)
                for process in tree:
                    self.assertIn(process_state(process), "ZX", f"process {process} outlived the fixture")
                self.assertFalse(os.path.exists(server.folder))


class PrivateKeyring(unittest.TestCase):
    def test_store_and_look_up_a_secret(self):
        with Keyring() as keyring:
            self.assertNotEqual(keyring.env["HOME"], os.environ.get("HOME"))
            self.assertTrue(keyring.env["XDG_DATA_HOME"].startswith(keyring.folder))
            self.assertIsNone(keyring.lookup(service="tarnwick-test", account="operator"))
            keyring.store("pass word\twith tab", service="tarnwick-test", account="operator")
            keyring.store("other", service="tarnwick-test", account="someone")
            self.assertEqual(keyring.lookup(service="tarnwick-test", account="operator"), "pass word\twith tab")
            self.assertTrue(os.listdir(os.path.join(keyring.env["XDG_DATA_HOME"], "keyrings")))
            keyring.clear(service="tarnwick-test", account="operator")
            self.assertIsNone(keyring.lookup(service="tarnwick-test", account="operator"))
            self.assertEqual(keyring.lookup(service="tarnwick-test", account="someone"), "other")


if __name__ == "__main__":
    exit_cleanly_on_sigterm()
    unittest.main()
