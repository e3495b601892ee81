#!/usr/bin/env python3
"""The launcher's updater end to end under Wine: tarnwick-cli writes update
lists, nginx serves the lists and the files, and "/update" brings a player's
folder current.

    launcher_update_e2e.py --cli CLI --work DIR --wine WINE

Scenarios, each in a player's folder of its own:
  checks    each check type updating and leaving alone, a zip entry, a wrong
            DownMD5 (old file kept), an unsupported download; run again, then
            after the operator raised a version and a date
  cut       the server's connection breaks mid-body; the launcher continues
            with a range request, which nginx's log must show
  killed    the launcher is killed mid-download and started again
  hostile   zips holding "../x", an absolute member and "CON"; a SaveDir of
            "..\\..\\": nothing outside the folder changes
  self      the launcher updates its own file: the new one in place, nothing
            left beside it; a damaged new image leaves the old launcher
  waste     over three runs of an unchanged list only the list is fetched (a
            zip entry named by its archive included); a complete partial
            download is finished with one byte; a 404 leaves no partial file
  messages  a read-only folder and a full disk (small tmpfs mounts): Chinese
            messages that say what to do, no English sentence
  self-kill every Windows process of the prefix killed at random moments of
            a self-update (download, hand-off, rename, restart): after each
            kill the launcher's file is the old or the new one and starts
"""
import argparse
import hashlib
import io
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
import urllib.request
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from fault_server import CuttingRelay  # noqa: E402
from launcher_under_wine import run_scenarios, run_script, Failure, Operator, Player, Wine, check, expect, make_launcher, md5, read, snapshot, write  # noqa: E402
from web_server import NginxServer  # noqa: E402

BIG_BYTES = 8 << 20
# Slow enough that the launcher is surely mid-download when it is killed.
NGINX_LOCATIONS = """    location /slow/ { limit_rate 1m; alias @WWW@/; }
"""


def pattern(size, seed):
    block = hashlib.sha256(seed.encode()).digest() * 2048
    return (block * (size // len(block) + 1))[:size]


def zip_of(members):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in members:
            archive.writestr(zipfile.ZipInfo(name, (2026, 12, 7, 0, 0, 0)), data)
    return buffer.getvalue()


def requests_for(web, path):
    return [r for r in web.requests() if r.path == path]


def checks_scenario(cli, wine, web, work):
    files = {name: pattern(size, name) for name, size in
             (("exists.dat", 3000), ("md5.dat", 200_000), ("version.dat", 5000), ("pak.dat", 7000),
              ("wrong.dat", 4000), ("same.dat", 1000))}
    for name, data in files.items():
        web.put(name, data)
    pack = zip_of([("a.txt", b"alpha\r\n"), ("sub/", b""), ("sub/b.txt", pattern(70_000, "b"))])
    web.put("pack.zip", pack)

    operator = Operator(cli, f"{work}/operator/checks", web, "checks")
    operator.add("exists", web.url("exists.dat"), "exists.dat", "--check", "exists")
    operator.add("present", web.url("exists.dat"), "present.dat", "--check", "exists")
    operator.add("md5", web.url("md5.dat"), "md5.dat", "--check", "md5", "--md5", md5(files["md5.dat"]),
                 "--down-md5", md5(files["md5.dat"]))
    operator.add("same", web.url("same.dat"), "same.dat", "--check", "md5", "--md5", md5(files["same.dat"]))
    operator.add("version", web.url("version.dat"), "version.dat", "--check", "version", "--ver", "2")
    operator.add("pak", web.url("pak.dat"), "pak.dat", "--check", "pak", "--date", "20261207")
    operator.add("zip", web.url("pack.zip"), "a.txt", "--check", "exists", "--zip", "yes")
    operator.add("wrong", web.url("wrong.dat"), "wrong.dat", "--check", "md5", "--md5", md5(files["wrong.dat"]),
                 "--down-md5", "0123456789abcdef0123456789abcdef")
    operator.add("album", web.url("exists.dat"), "album.dat", "--check", "exists", "--download", "album")
    url = operator.publish()

    player = Player(cli, wine, f"{work}/players/checks", "Checks", url)
    write(player.path("Data/present.dat"), b"the player's own")
    write(player.path("Data/md5.dat"), b"old md5")
    write(player.path("Data/same.dat"), files["same.dat"])
    write(player.path("Data/version.dat"), b"old version")
    write(player.path("Data/pak.dat"), b"old pak")
    write(player.path("Data/wrong.dat"), b"old wrong, keep me")

    lines = player.update(1)
    for hint in ("exists", "md5", "version", "pak", "zip"):
        expect(lines, hint, "已更新")
    expect(lines, "present", "已是最新")
    expect(lines, "same", "已是最新")
    expect(lines, "wrong", "失败", "校验值不符")
    expect(lines, "album", "已跳过", "百度")
    for name in ("exists.dat", "md5.dat", "version.dat", "pak.dat"):
        check(read(player.path("Data/" + name)) == files[name], f"Data/{name} is not the served file")
    check(read(player.path("Data/a.txt")) == b"alpha\r\n", "the zip's a.txt was not unpacked")
    check(read(player.path("Data/sub/b.txt")) == pattern(70_000, "b"), "the zip's sub/b.txt was not unpacked")
    check(read(player.path("Data/present.dat")) == b"the player's own", "a present file was replaced")
    check(read(player.path("Data/wrong.dat")) == b"old wrong, keep me", "a wrong download replaced the old file")
    check(not requests_for(web, "/same.dat"), "a file whose MD5 matched was downloaded")
    leftovers = [n for n in os.listdir(player.path("Data")) if n.endswith((".download", ".json"))]
    check(not leftovers, f"partial downloads left behind: {leftovers}")

    before = len(web.requests())
    lines = player.update(1)
    for hint in ("exists", "present", "md5", "same", "version", "pak", "zip"):
        expect(lines, hint, "已是最新")
    fetched = {r.path for r in web.requests()[before:]}
    check(fetched <= {"/checks.txt", "/wrong.dat"}, f"the second run fetched {sorted(fetched)}")

    # The operator raises the version and the date: those two come again.
    operator.edit("update", "edit", "5", "--ver", "3")
    operator.edit("update", "edit", "6", "--date", "20261208")
    operator.publish()
    lines = player.update(1)
    expect(lines, "version", "已更新")
    expect(lines, "pak", "已更新")
    expect(lines, "exists", "已是最新")
    print("passed   checks: 存在, MD5, 版本, PAK updating and left alone, a zip, a wrong DownMD5, 百度 skipped")


def cut_scenario(cli, wine, web, work):
    big = pattern(BIG_BYTES, "cut")
    web.put("cut.bin", big)
    with CuttingRelay(web.port, cut_after=BIG_BYTES // 3) as relay:
        operator = Operator(cli, f"{work}/operator/cut", web, "cut")
        operator.add("big", relay.url("cut.bin"), "cut.bin", "--check", "md5", "--md5", md5(big), "--down-md5", md5(big))
        player = Player(cli, wine, f"{work}/players/cut", "Cut", operator.publish())
        write(player.path("Data/cut.bin"), b"old")
        lines = player.update(0)
    expect(lines, "big", "已更新")
    check(read(player.path("Data/cut.bin")) == big, "the continued download is not the served file")
    asked = requests_for(web, "/cut.bin")
    check(len(asked) == 2, f"nginx saw {len(asked)} requests for cut.bin: {asked}")
    first = re.fullmatch(r"bytes=(\d+)-", asked[1].range)
    check(asked[0].range == "-" and first and asked[1].status == 206,
          f"the second request was not a range request answered with 206: {asked}")
    check(0 < int(first.group(1)) < BIG_BYTES, f"the range starts at {first.group(1)}")
    print(f"passed   cut: continued with Range {asked[1].range} (206) after the connection broke")


def killed_scenario(cli, wine, web, work):
    big = pattern(BIG_BYTES, "killed")
    web.put("killed.bin", big)
    operator = Operator(cli, f"{work}/operator/killed", web, "killed")
    operator.add("big", web.url("slow/killed.bin"), "killed.bin", "--check", "md5", "--md5", md5(big))
    player = Player(cli, wine, f"{work}/players/killed", "Killed", operator.publish())
    write(player.path("Data/killed.bin"), b"old, whole")
    partial = player.path("Data/killed.bin.download")
    process = player.popen()
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and process.poll() is None:
            if os.path.exists(partial) and os.path.getsize(partial) >= 1 << 20:
                break
            time.sleep(0.05)
        check(process.poll() is None, f"the launcher ended (status {process.returncode}) before it was killed")
        check(os.path.exists(partial), "no partial download within 60 s")
        process.send_signal(signal.SIGKILL)
        process.wait(30)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    kept = os.path.getsize(partial)
    check(read(player.path("Data/killed.bin")) == b"old, whole", "the killed launcher changed the old file")
    lines = player.update(0)
    expect(lines, "big", "已更新")
    check(read(player.path("Data/killed.bin")) == big, "the continued download is not the served file")
    asked = [r for r in requests_for(web, "/slow/killed.bin") if r.range != "-"]
    check(asked and asked[-1].status == 206, f"the second run sent no range request: {requests_for(web, '/slow/killed.bin')}")
    print(f"passed   killed: {kept} bytes kept, continued with Range {asked[-1].range} (206)")


def hostile_scenario(cli, wine, web, work):
    zips = {"dotdot": "../x", "absolute": "/abs.txt", "drive": "C:/abs.txt", "device": "CON"}
    for name, member in zips.items():
        web.put(name + ".zip", zip_of([("fine.txt", b"fine"), (member, b"hostile")]))
    web.put("outside.dat", b"outside")
    operator = Operator(cli, f"{work}/operator/hostile", web, "hostile")
    for name in zips:
        operator.add(name, web.url(name + ".zip"), name + ".txt", "--check", "exists", "--zip", "yes")
    operator.add("parent", web.url("outside.dat"), "outside.dat", "--check", "exists", save_dir="..\\..\\")
    url = operator.publish()

    top = f"{work}/hostile"
    os.makedirs(f"{top}/outer/inner")
    write(f"{top}/outer/x", b"outer x")
    write(f"{top}/outer/inner/CON.txt", b"inner")
    player = Player(cli, wine, f"{top}/outer/inner/game", "Hostile", url)
    before = snapshot(top, player.folder)
    drive_c = os.path.join(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), "drive_c")
    lines = player.update(1)
    for name, member in zips.items():
        expect(lines, name, "失败", member.lstrip("/") if name != "device" else "CON")
    expect(lines, "parent", "失败", "..")
    check(snapshot(top, player.folder) == before, "files outside the launcher's folder changed")
    check(not os.path.exists(os.path.join(drive_c, "abs.txt")), "an absolute member reached drive C:")
    inside = [os.path.relpath(os.path.join(folder, name), player.folder)
              for folder, _, names in os.walk(player.folder) for name in names]
    # The launcher's own files, and those of the tarnwick-cli that made it there.
    written = [name for name in inside if not name.startswith(("Hostile.", "Tarnwick."))]
    check(not written, f"a refused archive wrote into the folder: {written}")
    print("passed   hostile: ../x, /abs.txt, C:/abs.txt, CON and SaveDir ..\\..\\ refused, nothing written")


def waste_scenario(cli, wine, web, work):
    pack = zip_of([("maps/one.map", pattern(50_000, "one")), ("maps/two.map", pattern(60_000, "two"))])
    web.put("maps.zip", pack)
    whole = pattern(3_000_000, "whole")
    web.put("whole.bin", whole)
    operator = Operator(cli, f"{work}/operator/waste", web, "waste")
    # As operators write it: the archive's own name and digest.
    operator.add("maps", web.url("maps.zip"), "maps.zip", "--check", "md5", "--md5", md5(pack), "--zip", "yes")
    operator.add("exists-zip", web.url("maps.zip"), "maps2.zip", "--check", "exists", "--zip", "yes",
                 save_dir=".\\Data2\\")
    operator.add("whole", web.url("whole.bin"), "whole.bin", "--check", "md5", "--md5", md5(whole),
                 "--down-md5", md5(whole))
    url = operator.publish()
    player = Player(cli, wine, f"{work}/players/waste", "Waste", url)
    # What a kill after the last byte leaves: the whole body and the record of it.
    first = logged = len(web.requests())
    head = urllib.request.urlopen(urllib.request.Request(web.url("whole.bin"), method="HEAD"))
    # nginx logs a request after it answered: counted before the run, or it
    # would be taken for one of the run's.
    wait_for(lambda: len(web.requests()) > logged, 10, "nginx did not log the HEAD request")
    write(player.path("Data/whole.bin.download"), whole)
    write(player.path("Data/whole.bin.download.json"), json.dumps({
        "format": "Tarnwick partial download", "url": web.url("whole.bin"), "etag": head.headers["ETag"],
        "lastModified": head.headers["Last-Modified"], "length": len(whole)}).encode())
    before = len(web.requests())
    lines = player.update(0)
    for hint in ("maps", "exists-zip", "whole"):
        expect(lines, hint, "已更新")
    check(read(player.path("Data/maps/two.map")) == pattern(60_000, "two"), "the archive was not unpacked")
    check(read(player.path("Data/whole.bin")) == whole, "the finished partial is not the served file")
    asked = [r for r in web.requests()[before:] if r.path == "/whole.bin"]
    check(len(asked) == 1 and asked[0].status == 206 and asked[0].sent == 1,
          f"the complete partial was not finished with one byte: {asked}")
    for run in (2, 3):
        before = len(web.requests())
        lines = player.update(0)
        for hint in ("maps", "exists-zip", "whole"):
            expect(lines, hint, "已是最新")
        fetched = sorted({r.path for r in web.requests()[before:]})
        check(fetched == ["/waste.txt"], f"run {run} of an unchanged list fetched {fetched}")
    check(len([r for r in web.requests()[first:] if r.path == "/maps.zip"]) == 2,
          "the archive was fetched more than once per entry")
    # A member gone: the archive comes again.
    os.remove(player.path("Data/maps/one.map"))
    lines = player.update(0)
    expect(lines, "maps", "已更新")
    check(read(player.path("Data/maps/one.map")) == pattern(50_000, "one"), "the lost member did not come back")

    operator.add("missing", web.url("missing.bin"), "missing.bin", "--check", "exists")
    operator.publish()
    lines = player.update(1)
    expect(lines, "missing", "失败", "404")
    left = [n for n in os.listdir(player.path("Data")) if n.startswith("missing.bin")]
    check(not left, f"a 404 left {left}")
    print("passed   waste: three runs fetched only the list; a complete partial finished with one byte; "
          "a lost member fetched the archive again; a 404 left nothing")


ENGLISH_SENTENCE = re.compile(r"[A-Za-z]{2,}(?:[ ,:]+[A-Za-z]{2,}){2,}")


def mounted(kind, folder, *options):
    done = subprocess.run(["mount", *options, "-t", kind, kind, folder] if kind == "tmpfs" else
                          ["mount", *options, folder, folder], capture_output=True)
    return done.returncode == 0


def messages_scenario(cli, wine, web, work):
    data = pattern(2_000_000, "messages")
    web.put("messages.bin", data)
    operator = Operator(cli, f"{work}/operator/messages", web, "messages")
    operator.add("big", web.url("messages.bin"), "big.bin", "--check", "exists")
    url = operator.publish()
    said = []
    # A folder the player cannot write: a read-only bind mount, since root may write anywhere else.
    player = Player(cli, wine, f"{work}/players/readonly", "ReadOnly", url)
    if not mounted("bind", player.folder, "--bind"):
        print("skipped  messages: this machine lets no test mount file systems")
        return
    try:
        subprocess.run(["mount", "-o", "remount,ro,bind", player.folder], check=True, capture_output=True)
        lines = player.update(1)
        expect(lines, "big", "失败", "没有权限")
        said.append(lines["big"][1])
    finally:
        subprocess.run(["umount", player.folder], capture_output=True)
    # A full disk: a file system just larger than the launcher.
    folder = f"{work}/players/full"
    os.makedirs(folder)
    room = os.path.getsize(player.exe) + (512 << 10)
    check(mounted("tmpfs", folder, "-o", f"size={room}"), "a tmpfs could not be mounted")
    try:
        full = Player(cli, wine, folder, "Full", url)
        lines = full.update(1)
        expect(lines, "big", "失败", "磁盘空间不足")
        said.append(lines["big"][1])
        left = [n for n in os.listdir(full.path("Data")) if n.startswith("big.bin")] \
            if os.path.isdir(full.path("Data")) else []
    finally:
        subprocess.run(["umount", folder], capture_output=True)
    for line in said:
        english = ENGLISH_SENTENCE.search(line.replace(web.url("messages.bin"), ""))
        check(english is None, f"an English sentence reached the player: {line!r}")
    print(f"passed   messages: {' / '.join(said)} (left on the full disk: {left or 'nothing'})")


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise Failure(f"{what} within {seconds} s")


def ship_launcher(cli, web, work, name, served, target):
    """An operator's list NAME.txt whose one entry is a new launcher (another
    game name, the same list) for the players' TARGET, served at SERVED."""
    operator = Operator(cli, f"{work}/operator/{name}", web, name)
    url = web.url(f"{name}.txt")
    new = read(make_launcher(cli, f"{work}/operator/{name}/new", "Renamed", url))
    web.put(served.rsplit("/", 1)[-1], new)
    operator.add("launcher", web.url(served), target, "--check", "md5", "--md5", md5(new), "--down-md5", md5(new),
                 save_dir=".\\")
    operator.publish()
    return operator, url, new


def self_scenario(cli, wine, web, work):
    operator, url, new = ship_launcher(cli, web, work, "self", "Renamed.exe", "Self.exe")
    player = Player(cli, wine, f"{work}/players/self", "Self", url)
    old = read(player.exe)
    check(old != new, "the old and the new launcher are the same file")

    lines = player.update(0)
    expect(lines, "launcher", "已更新", "重新启动")
    # The new launcher moves itself into place once the old one has ended.
    wait_for(lambda: read(player.exe) == new, 30, "the new launcher was not in place")
    wait_for(lambda: not os.path.exists(player.exe + ".download"), 10, "the new launcher's download stayed")
    printed = wine.run(player.exe, "/print")
    check(printed.status == 0 and b"Renamed" in printed.out, f"/print of the new launcher: {printed.out!r}")
    before = len(web.requests())
    lines = player.update(0)
    expect(lines, "launcher", "已是最新")
    fetched = {r.path for r in web.requests()[before:]}
    check(fetched == {"/self.txt"}, f"the run after the update fetched {sorted(fetched)}")
    left = sorted(n for n in os.listdir(player.folder) if n.startswith("Self.exe."))
    check(not left, f"files left beside the launcher: {left}")

    # A damaged image whose digest the operator published all the same: the
    # old launcher stays, whole, and says so.
    damaged = b"MZ" + b"\0" * 58 + b"\x80\0\0\0" + os.urandom(4000)
    web.put("Renamed.exe", damaged)
    operator.edit("update", "edit", "1", "--md5", md5(damaged), "--down-md5", md5(damaged))
    operator.publish()
    lines = player.update(1)
    expect(lines, "launcher", "失败", "原来的登录器")
    check(read(player.exe) == new, "a damaged image replaced the launcher")
    printed = wine.run(player.exe, "/print")
    check(printed.status == 0 and b"Renamed" in printed.out, "the kept launcher does not start")
    print("passed   self: the launcher replaced itself, nothing left beside it; a damaged image refused")


def wineserver():
    return shutil.which("wineserver64") or shutil.which("wineserver") or "/usr/lib/wine/wineserver64"


def kill_prefix(env):
    """Every Windows process of the prefix, killed at once."""
    for option in ("-k", "-w"):
        subprocess.run([wineserver(), option], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def self_kill_scenario(cli, wine, web, work, kills=10):
    # Served slowly, so that the kills fall into the download as well as after it.
    _, url, new = ship_launcher(cli, web, work, "selfkill", "slow/SelfKill.exe", "Player.exe")
    # A prefix of its own: the kills take every process of a prefix, and other
    # tests may run in the shared one meanwhile.
    wine = Wine(wine.program)
    wine.env["WINEPREFIX"] = f"{work}/selfkill-prefix"
    subprocess.run([wine.program, "wineboot", "-i"], env=wine.env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    player = Player(cli, wine, f"{work}/players/selfkill", "Player", url)
    old = read(player.exe)
    seed = int(os.environ.get("TARNWICK_KILL_SEED", time.time_ns() % 100000))
    chance = random.Random(seed)
    served = len(new) / (1 << 20)
    moments, replaced = [], 0
    for _ in range(kills):
        # Back to the old launcher each time; what earlier kills left stays.
        if read(player.exe) != old:
            write(player.exe, old)
        moment = chance.uniform(0, served + 3)
        moments.append(f"{moment:.2f}")
        process = player.popen()
        time.sleep(moment)
        kill_prefix(wine.env)
        process.wait(30)
        now = read(player.exe) if os.path.exists(player.exe) else None
        check(now in (old, new), f"after a kill at {moment:.2f} s (seed {seed}) the launcher is "
                                 f"{'missing' if now is None else 'neither the old nor the new one'}")
        printed = wine.run(player.exe, "/print")
        check(printed.status == 0, f"after a kill at {moment:.2f} s (seed {seed}) the launcher does not start")
        replaced += now == new
    # And a run left alone finishes the update.
    if read(player.exe) != new:
        player.update(0)
        wait_for(lambda: read(player.exe) == new, 30, "the new launcher was not in place after the kills")
    kill_prefix(wine.env)
    print(f"passed   self-kill: {kills} kills at {', '.join(moments)} s (seed {seed}), a whole launcher after each "
          f"({replaced} times the new one)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", required=True)
    options = parser.parse_args()
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    wine = Wine(options.wine)
    with NginxServer(extra=NGINX_LOCATIONS) as web:
        return run_scenarios((self_scenario, self_kill_scenario, waste_scenario, messages_scenario, checks_scenario,
                              cut_scenario, killed_scenario, hostile_scenario), options.cli, wine, web, work)


if __name__ == "__main__":
    run_script(main)
