#!/usr/bin/env python3
"""Delta updates end to end under Wine: the player holds an older version of
a large file, tarnwick-cli indexes the new one (update index), nginx serves
both, and "/update" must build the exact new file from the old one and the
changed ranges, or fall back to the whole download.

    launcher_delta_e2e.py --cli CLI --work DIR --wine WINE

Scenarios, each in a player's folder of its own:
  delta      several ranges in one request (multipart); the bytes nginx sent
             are a small share of the file
  one-range  a server that sends one range at a time (nginx max_ranges 1)
  no-ranges  a server without ranges (max_ranges 0): the whole file
  damaged    a damaged index: the whole file
  tampered   a relay that changes a byte of every range answer: the built
             file is refused and the whole file comes instead
  killed     the launcher killed while it builds the file: the old file is
             as it was, and the next run ends with the exact new file
"""
import argparse
import hashlib
import os
import shutil
import signal
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from fault_server import RangeTamperingRelay  # noqa: E402
from launcher_under_wine import run_scenarios, run_script, Operator, Player, Wine, check, expect, md5, read, write  # noqa: E402
from web_server import NginxServer  # noqa: E402

SIZE = 32 << 20
NGINX_LOCATIONS = """    location /one/ { max_ranges 1; alias @WWW@/; }
    location /none/ { max_ranges 0; alias @WWW@/; }
    location /slow/ { limit_rate 1m; alias @WWW@/; }
"""


def pattern(size, seed):
    """Bytes that repeat nowhere within a block: each 32-byte piece is a digest of its number."""
    pieces = []
    for i in range(size // 32 + 1):
        pieces.append(hashlib.sha256(f"{seed}/{i}".encode()).digest())
    return b"".join(pieces)[:size]


def changed(data, places, length, seed):
    """`data` with `places` stretches of `length` bytes replaced, spread over it."""
    out = bytearray(data)
    for place in range(places):
        at = (place * 2 + 1) * len(data) // (places * 2 + 1)
        out[at:at + length] = pattern(length, f"{seed}/{place}")
    return bytes(out)


class Delta:
    """The old and the new version of one file, the new one published with its index."""

    def __init__(self, cli, web, work, name, places=10, length=16 << 10):
        self.name = name
        self.new = pattern(SIZE, name)
        self.old = changed(self.new, places, length, name + "-old")
        folder = os.path.join(work, "site", name)
        os.makedirs(folder, exist_ok=True)
        made = os.path.join(folder, name + ".pak")
        write(made, self.new)
        operator = Operator(cli, folder, web, name)
        operator.edit("update", "index", made)
        self.index = read(made + ".blocks")
        web.put(name + ".pak", self.new)
        web.put(name + ".pak.blocks", self.index)

    def player(self, cli, wine, web, work, url):
        operator = Operator(cli, os.path.join(work, "operator", self.name), web, self.name)
        operator.add("pak", url, self.name + ".pak", "--check", "md5", "--md5", md5(self.new),
                     "--down-md5", md5(self.new))
        player = Player(cli, wine, os.path.join(work, "players", self.name), "Game", operator.publish())
        write(player.path(f"Data/{self.name}.pak"), self.old)
        return player

    def check_result(self, player):
        check(read(player.path(f"Data/{self.name}.pak")) == self.new, f"{self.name}.pak is not the new file")
        left = [n for n in os.listdir(player.path("Data")) if n.endswith((".download", ".json", ".patching"))]
        check(not left, f"left beside the file: {left}")


def sent_for(web, before, *paths):
    return sum(r.sent for r in web.requests()[before:] if r.path in paths)


def delta_scenario(cli, wine, web, work):
    delta = Delta(cli, web, work, "delta")
    player = delta.player(cli, wine, web, work, web.url("delta.pak"))
    before = len(web.requests())
    expect(player.update(0), "pak", "已更新")
    delta.check_result(player)
    asked = [r for r in web.requests()[before:] if r.path == "/delta.pak"]
    check(asked and all(r.status == 206 for r in asked) and "," in asked[0].range,
          f"the file was not fetched as several ranges: {asked}")
    sent = sent_for(web, before, "/delta.pak", "/delta.pak.blocks")
    check(sent < SIZE * 0.03, f"{sent} bytes sent for a {SIZE}-byte file")
    print(f"passed   delta: {sent} bytes of {SIZE} ({100 * sent / SIZE:.2f}%, index {len(delta.index)} bytes) "
          f"in {len(asked)} range requests")


def one_range_scenario(cli, wine, web, work):
    delta = Delta(cli, web, work, "one")
    player = delta.player(cli, wine, web, work, web.url("one/one.pak"))
    before = len(web.requests())
    expect(player.update(0), "pak", "已更新")
    delta.check_result(player)
    asked = [r for r in web.requests()[before:] if r.path == "/one/one.pak"]
    single = [r for r in asked if r.status == 206 and "," not in r.range]
    check(len(single) >= 10, f"not one range a request: {asked}")
    print(f"passed   one-range: several ranges answered whole, then {len(single)} single ranges (206)")


def no_ranges_scenario(cli, wine, web, work):
    delta = Delta(cli, web, work, "none")
    player = delta.player(cli, wine, web, work, web.url("none/none.pak"))
    expect(player.update(0), "pak", "已更新")
    delta.check_result(player)
    print("passed   no-ranges: the whole file")


def damaged_scenario(cli, wine, web, work):
    delta = Delta(cli, web, work, "damaged")
    web.put("damaged.pak.blocks", delta.index[:-7])
    player = delta.player(cli, wine, web, work, web.url("damaged.pak"))
    before = len(web.requests())
    expect(player.update(0), "pak", "已更新")
    delta.check_result(player)
    whole = [r for r in web.requests()[before:] if r.path == "/damaged.pak" and r.status == 200]
    check(whole, "the whole file was not fetched")
    print("passed   damaged: the damaged index refused, the whole file fetched")


def tampered_scenario(cli, wine, web, work):
    delta = Delta(cli, web, work, "tampered")
    with RangeTamperingRelay(web.port) as relay:
        player = delta.player(cli, wine, web, work, relay.url("tampered.pak"))
        expect(player.update(0), "pak", "已更新")
    delta.check_result(player)
    check(relay.tampered >= 1, "no range answer was tampered with")
    print(f"passed   tampered: {relay.tampered} range answers changed, the built file refused, the whole file fetched")


def killed_scenario(cli, wine, web, work):
    # 4 MB to fetch at 1 MB/s: the launcher is surely building the file when it is killed.
    delta = Delta(cli, web, work, "killed", places=4, length=1 << 20)
    player = delta.player(cli, wine, web, work, web.url("slow/killed.pak"))
    building = player.path("Data/killed.pak.patching")
    process = player.popen()
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and process.poll() is None and not os.path.exists(building):
            time.sleep(0.05)
        check(process.poll() is None, f"the launcher ended (status {process.returncode}) before it was killed")
        check(os.path.exists(building), "the launcher built no file within 60 s")
        time.sleep(0.5)
        process.send_signal(signal.SIGKILL)
        process.wait(30)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    check(read(player.path("Data/killed.pak")) == delta.old, "the killed launcher changed the old file")
    expect(player.update(0), "pak", "已更新")
    delta.check_result(player)
    print("passed   killed: the old file kept through the kill, the next run built the new one")


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
        return run_scenarios((delta_scenario, one_range_scenario, no_ranges_scenario, damaged_scenario,
                              tampered_scenario, killed_scenario), options.cli, wine, web, work)


if __name__ == "__main__":
    run_script(main)
