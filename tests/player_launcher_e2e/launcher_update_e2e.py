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
"""
import argparse
import hashlib
import io
import os
import re
import shutil
import signal
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from fault_server import CuttingRelay  # noqa: E402
from launcher_under_wine import run_script, Failure, Operator, Player, Wine, check, expect, md5, read, snapshot, write  # noqa: E402
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
    failures = []
    with NginxServer(extra=NGINX_LOCATIONS) as web:
        for scenario in (checks_scenario, cut_scenario, killed_scenario, hostile_scenario):
            try:
                scenario(options.cli, wine, web, work)
            except Failure as failure:
                failures.append(f"{scenario.__name__}: {failure}")
                print(f"FAILED: {scenario.__name__}: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    run_script(main)
