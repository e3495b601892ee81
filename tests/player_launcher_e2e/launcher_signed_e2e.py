#!/usr/bin/env python3
"""Signed server lists end to end under Wine: this machine's tarnwick-cli
makes the operator's keys (each set in a settings folder of the test's own),
signs ServerInfo.txt and writes a launcher that trusts the keys; nginx serves
the list and its signature, and a relay of the test's own in front of nginx
changes either on cue, as a hostile server or network would.

    launcher_signed_e2e.py --cli CLI --source DIR --work DIR --wine WINE --client fake_game_client.exe

The launcher must take the genuine list and one signed with the backup key,
and refuse, with status 1, nothing on standard output, a Chinese message
naming the case, nothing written in the player's folder and the client never
started: a list forged without the key, one without a signature, one signed
by another key, an older list replayed, a signature file with one byte
changed, and a forged list that would replace the client (/update, /start).
Its /update installs only what the signed list pins.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from fault_server import TamperingRelay  # noqa: E402
from launcher_e2e import expected_listing, first_difference  # noqa: E402
from launcher_under_wine import (run_script, Failure, Operator, Player, Wine, check, cli_environment, expect, md5,  # noqa: E402
                                 read, snapshot, write)
from web_server import NginxServer, nginx_program  # noqa: E402

SKIPPED = 77
GAME = "签名传奇"
CLIENT = "game.exe -s %addr% -p %port%"
LIST = "ServerInfo.txt"
SIGNATURE = LIST + ".sig"
TRUSTED_KEYS_MAGIC = b"Tarnwick keys v1"


class Keys:
    """A settings folder for tarnwick-cli, with the signing keys made or imported there."""

    def __init__(self, cli, folder):
        self.cli, self.folder = cli, folder
        os.makedirs(folder, exist_ok=True)

    def run(self, *arguments):
        done = subprocess.run([self.cli, *arguments], capture_output=True, env=cli_environment(self.folder))
        check(done.returncode == 0, f"tarnwick-cli {' '.join(arguments)}: {done.stderr.decode(errors='replace')}")
        return done.stdout

    def ids(self):
        return json.loads(self.run("key", "show", "--json"))


def swapped_keys(exported):
    """An exported key file with the signing and backup pairs changed places."""
    fields = dict(line.split(": ", 1) for line in exported.decode().splitlines()[1:])
    first = exported.decode().splitlines()[0]
    order = ("backup-public", "backup-private", "signing-public", "signing-private")
    names = ("signing-public", "signing-private", "backup-public", "backup-private")
    return "\n".join([first] + [f"{name}: {fields[source]}" for name, source in zip(names, order)]).encode() + b"\n"


def trusted_keys_of(exe):
    """The public keys stamped into a launcher's TRUSTEDKEYS resource, in order."""
    import pefile

    pe = pefile.PE(exe, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries if kind.id == 10 else []:
            if str(name.name) == "TRUSTEDKEYS":
                data = name.directory.entries[0].data.struct
                blob = pe.get_data(data.OffsetToData, data.Size)
                check(blob.startswith(TRUSTED_KEYS_MAGIC), f"TRUSTEDKEYS starts with {blob[:16]!r}")
                count = int.from_bytes(blob[16:20], "little")
                return [blob[32 + 64 * i:96 + 64 * i].hex() for i in range(count)]
    raise Failure(f"{exe} has no TRUSTEDKEYS resource")


def signature_fields(text):
    return dict(line.split(": ", 1) for line in text.decode().splitlines()[1:])


class Scene:
    """The served list, the relay in front of it and the player's folder with a signed launcher."""

    def __init__(self, options, work, web, relay, keys):
        self.options, self.work, self.web, self.relay, self.keys = options, work, web, relay, keys
        self.wine = Wine(options.wine)
        self.client = read(options.client)
        # Another program with digests of its own: what a forger would install.
        self.evil = self.client + b"\0forged client"
        web.put("client-game.exe", self.client)
        web.put("client-evil.exe", self.evil)

        self.operator = Operator(options.cli, f"{work}/operator", web, "ServerInfo", settings=keys["operator"].folder)
        shutil.copy(os.path.join(options.source, "samples", "Tarnwick.xml"), self.operator.folder)
        self.operator.edit("update", "delete", "1")
        self.operator.add("游戏客户端", web.url("client-game.exe"), "game.exe", "--check", "md5",
                          "--md5", md5(self.client), "--down-md5", md5(self.client), save_dir=".\\")
        self.operator.publish()
        self.genuine = (self.published(LIST), self.published(SIGNATURE))
        self.listing = expected_listing(options.cli, self.genuine[0], f"{work}/listed")

        self.player = Player(options.cli, self.wine, f"{work}/player", GAME, relay.url(LIST), client=CLIENT,
                             settings=keys["operator"].folder)
        write(self.player.path("game.exe"), self.client)
        self.trust_file = self.player.path(GAME + ".trust")

    def published(self, name):
        return read(os.path.join(self.operator.folder, name))

    def serial(self):
        return int(read(self.trust_file).decode().split("serial: ")[1]) if os.path.exists(self.trust_file) else None

    def accepted(self, what, signature):
        """/list takes what is served and keeps the signature's serial."""
        run = self.wine.run(self.player.exe, "/list")
        said = run.text(run.err).strip()
        check(run.status == 0, f"{what}: /list exited {run.status}: {said}")
        difference = first_difference(json.loads(run.out.decode("utf-8")), self.listing)
        check(difference is None, f"{what}: /list differs from the published list: {difference}")
        serial = int(signature_fields(signature)["serial"])
        check(self.serial() == serial, f"{what}: the launcher kept serial {self.serial()}, not {serial}")
        print(f"accepted {what}: serial {serial}, {run.seconds:.1f} s")

    def refused(self, what, command, cause, *arguments, started_within=0.0):
        """The command fails with status 1, a Chinese message naming the cause
        on standard error and nothing on standard output; the player's folder
        is left as it was and the client is not started."""
        before = snapshot(self.player.folder)
        run = self.wine.run(self.player.exe, command, *arguments)
        said = run.text(run.err).strip()
        check(run.status == 1, f"{what}: {command} exited {run.status}, not 1: {said}")
        check(run.out.strip() == b"", f"{what}: {command} printed {run.text(run.out)[:200]!r}")
        check(re.search(r"[\u4e00-\u9fff]", said), f"{what}: the message is not in Chinese: {said}")
        check(re.search(cause, said), f"{what}: the message does not name the cause ({cause}): {said}")
        # A client started by mistake writes started.txt within the time a
        # genuine start took; give it twice that.
        deadline = time.monotonic() + 2 * started_within
        while time.monotonic() < deadline and not os.path.exists(self.player.path("started.txt")):
            time.sleep(0.1)
        check(snapshot(self.player.folder) == before, f"{what}: {command} changed the player's folder")
        print(f"refused  {what} ({command}): {said.splitlines()[-1][:150]}")


def forge(scene, keys):
    """A forger decodes the list, points the client's entry at his own
    program with its digests, and encodes it again without the key."""
    forger = Operator(scene.options.cli, f"{scene.work}/forger", scene.web, "forged", settings=keys["none"].folder)
    write(f"{forger.folder}/Tarnwick.xml", forger.edit("decode", "-", data=scene.genuine[0]).stdout)
    forger.edit("update", "edit", "1", "--url", scene.web.url("client-evil.exe"), "--md5", md5(scene.evil),
                "--down-md5", md5(scene.evil))
    forger.edit("serverinfo")
    check(not os.path.exists(f"{forger.folder}/{SIGNATURE}"), "the forger's serverinfo signed the list")
    forged = read(f"{forger.folder}/{LIST}")
    check(forged != scene.genuine[0], "the forged list is the genuine one")
    return forged


def refusals(scene, keys, forged):
    """Each attack on a launcher that took the genuine list before."""
    relay, signature = scene.relay, scene.genuine[1]
    ids = keys["operator"].ids()
    other = Operator(scene.options.cli, f"{scene.work}/other", scene.web, "other", settings=keys["other"].folder)
    shutil.copy(f"{scene.operator.folder}/Tarnwick.xml", other.folder)
    other.edit("serverinfo")
    other_id = signature_fields(read(f"{other.folder}/{SIGNATURE}"))["key"]
    check(other_id not in ids.values(), "the other key is the operator's")

    changed = bytearray(signature)
    at = signature.index(b"signature: ") + len(b"signature: ") + 40
    changed[at] = ord("0") if changed[at] != ord("0") else ord("1")

    rows = [
        ("a forged list with the genuine signature", {LIST: forged}, r"列表被改动过"),
        ("no signature (404)", {SIGNATURE: None}, r"没有签名"),
        ("a list signed by another key", {LIST: read(f"{other.folder}/{LIST}"),
                                          SIGNATURE: read(f"{other.folder}/{SIGNATURE}")},
         rf"其他密钥签名.*{other_id}"),
        ("a signature file with one byte changed", {SIGNATURE: bytes(changed)}, r"签名文件被改动过"),
    ]
    for what, answers, cause in rows:
        relay.clear()
        for path, body in answers.items():
            relay.answer(path, body)
        try:
            scene.refused(what, "/list", cause)
        finally:
            relay.clear()


def client_attack(scene, forged):
    """The forged list against /update and /start: the client stays and never starts."""
    # What a genuine start and update do, for comparison.
    started = time.monotonic()
    run = scene.wine.run(scene.player.exe, "/start", "East", "Zone")
    check(run.status == 0, f"/start with the genuine list exited {run.status}: {run.text(run.err)}")
    deadline = time.monotonic() + 30
    while not os.path.exists(scene.player.path("started.txt")) and time.monotonic() < deadline:
        time.sleep(0.1)
    check(os.path.exists(scene.player.path("started.txt")), "the genuine /start started no client within 30 s")
    took = time.monotonic() - started
    os.remove(scene.player.path("started.txt"))
    expect(scene.player.update(0), "游戏客户端", "已是最新")

    scene.relay.answer(LIST, forged)
    try:
        scene.refused("a forged client entry", "/update", r"列表被改动过")
        scene.refused("a forged client entry", "/start", r"列表被改动过", "East", "Zone", started_within=took)
    finally:
        scene.relay.clear()
    check(read(scene.player.path("game.exe")) == scene.client, "the client was replaced")
    asked = [r.path for r in scene.web.requests() if "evil" in r.path]
    check(not asked, f"the launcher fetched the forger's program: {asked}")


def backup_and_replay(scene, keys):
    """A list signed with the backup key is taken; then the operator publishes
    a newer list, and the older one, replayed, is refused."""
    ids = keys["operator"].ids()
    backup = Operator(scene.options.cli, f"{scene.work}/backup", scene.web, "backup", settings=keys["backup"].folder)
    shutil.copy(f"{scene.operator.folder}/Tarnwick.xml", backup.folder)
    backup.edit("serverinfo")
    signature = read(f"{backup.folder}/{SIGNATURE}")
    check(signature_fields(signature)["key"] == ids["backup"],
          f"the backup signature names key {signature_fields(signature)['key']}, not {ids['backup']}")
    scene.relay.answer(LIST, read(f"{backup.folder}/{LIST}"))
    scene.relay.answer(SIGNATURE, signature)
    try:
        scene.accepted("a list signed with the backup key", signature)
    finally:
        scene.relay.clear()

    older = scene.genuine
    scene.operator.edit("web", "set", "Home", "http://www.example.com/newer/")
    scene.operator.publish()
    newer = scene.published(SIGNATURE)
    scene.listing["web"]["Home"] = "http://www.example.com/newer/"
    scene.accepted("a newer genuine list", newer)
    scene.relay.answer(LIST, older[0])
    scene.relay.answer(SIGNATURE, older[1])
    serials = f"{signature_fields(older[1])['serial']} < {signature_fields(newer)['serial']}"
    try:
        scene.refused("the older genuine list replayed", "/list", rf"旧.*{re.escape(serials)}.*重放")
    finally:
        scene.relay.clear()


def unsigned_launcher(scene, keys, forged):
    """A launcher made without keys takes whatever is served, as launchers
    always did, and never asks for a signature."""
    player = Player(scene.options.cli, scene.wine, f"{scene.work}/unsigned-player", "Unsigned",
                    scene.relay.url(LIST), settings=keys["none"].folder)
    check(trusted_keys_of(player.exe) == [], "a launcher made without keys trusts some")
    asked = scene.relay.requests[SIGNATURE]
    scene.relay.answer(LIST, forged)
    try:
        run = scene.wine.run(player.exe, "/list")
    finally:
        scene.relay.clear()
    check(run.status == 0, f"the unsigned launcher refused a list: {run.text(run.err)}")
    check(scene.relay.requests[SIGNATURE] == asked, "the unsigned launcher asked for a signature")
    check(not os.path.exists(player.path("Unsigned.trust")), "the unsigned launcher kept a serial")
    print("passed   unsigned: a launcher without keys takes an unsigned list and asks for no signature")


def pinning(scene, keys):
    """A signed list's /update installs what it pins and refuses the rest."""
    patch = b"pinned patch\r\n" * 1000
    scene.web.put("pin-patch.dat", patch)
    scene.web.put("pin-map.dat", b"unpinned map")
    operator = Operator(scene.options.cli, f"{scene.work}/pinning", scene.web, "pinning",
                        settings=keys["operator"].folder)
    operator.add("补丁", scene.web.url("pin-patch.dat"), "patch.dat", "--check", "md5", "--md5", md5(patch),
                 "--down-md5", md5(patch))
    operator.add("地图", scene.web.url("pin-map.dat"), "map.dat", "--check", "exists")
    url = operator.publish()
    player = Player(scene.options.cli, scene.wine, f"{scene.work}/pinning-player", "Pinning", url,
                    settings=keys["operator"].folder)
    lines = player.update(1)
    expect(lines, "补丁", "已更新")
    expect(lines, "地图", "失败", "校验值")
    check(read(player.path("Data/patch.dat")) == patch, "the pinned file is not the served one")
    check(not os.path.exists(player.path("Data/map.dat")), "the unpinned file was installed")
    check(not [r for r in scene.web.requests() if r.path == "/pin-map.dat"], "the unpinned file was downloaded")
    print("passed   pinning: the pinned entry installed, the unpinned one refused and never fetched")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--client", required=True, help="the stand-in game client (fake_game_client.exe)")
    options = parser.parse_args()
    if nginx_program() is None:
        print("SKIPPED: nginx is not installed ('make deps' installs it)")
        return SKIPPED
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    options.cli = os.path.abspath(options.cli)

    keys = {name: Keys(options.cli, f"{work}/settings/{name}") for name in ("operator", "other", "backup", "none")}
    keys["operator"].run("key", "new")
    keys["other"].run("key", "new")
    # The backup key signs where the operator imported the keys with the
    # pairs' places changed: what signing with the backup after losing the
    # signing key comes to.
    exported = f"{work}/operator-keys.txt"
    keys["operator"].run("key", "export", exported)
    write(f"{work}/swapped-keys.txt", swapped_keys(read(exported)))
    keys["backup"].run("key", "import", f"{work}/swapped-keys.txt")
    check(keys["backup"].ids()["signing"] == keys["operator"].ids()["backup"], "the swapped import signs with another key")

    failures = []
    with NginxServer() as web, TamperingRelay(web.port) as relay:
        scene = Scene(options, work, web, relay, keys)
        fields = dict(line.split(": ", 1) for line in read(exported).decode().splitlines()[1:])
        stamped = trusted_keys_of(scene.player.exe)
        check(stamped == [fields["signing-public"], fields["backup-public"]],
              f"the launcher trusts {stamped}, not the signing and the backup key")
        scene.accepted("the genuine list", scene.genuine[1])
        check(relay.requests[SIGNATURE] >= 1, "the launcher did not ask for the signature")
        forged = forge(scene, keys)
        for step in (lambda: refusals(scene, keys, forged), lambda: client_attack(scene, forged),
                     lambda: unsigned_launcher(scene, keys, forged), lambda: backup_and_replay(scene, keys),
                     lambda: pinning(scene, keys)):
            try:
                step()
            except Failure as failure:
                failures.append(str(failure))
                print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    run_script(main)
