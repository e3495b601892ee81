#!/usr/bin/env python3
"""Delta updates under Wine against nginx, side by side in one run: a 1 GiB
file changed in 10 scattered places (1% of its bytes), served at 100 Mbit/s
(nginx limit_rate). The launcher's /update brings the player's old copy up to
date from the file's block index and the changed ranges; the reference is the
whole download of the same file at the same rate (the launcher's own, and
curl's). Targets: at most 3% of the file's bytes sent (index included; the
moonshot 1.5%), in at most 0.5x the time of the whole download.

    bench_delta.py --cli build/bin/tarnwick-cli [--size-mib 1024] [--rate 12500k]

Run it as 'make bench-windows', which holds a wineserver for the prefix.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "player_launcher_e2e"))
from launcher_under_wine import Wine, find_wine, make_launcher  # noqa: E402
from web_server import NginxServer, nginx_program  # noqa: E402

PLACES = 10
SHARE = 0.01
BYTES_TARGET, BYTES_MOONSHOT, TIME_TARGET = 0.03, 0.015, 0.5


def write_versions(new_path, old_path, size):
    """The new file (random bytes) and the old one: 10 stretches of 0.1% each replaced."""
    stretch = int(size * SHARE / PLACES)
    places = [(p * 2 + 1) * size // (PLACES * 2 + 1) for p in range(PLACES)]
    with open(new_path, "wb") as new, open(old_path, "wb") as old:
        written = 0
        chunk = 64 << 20
        while written < size:
            data = bytearray(os.urandom(min(chunk, size - written)))
            new.write(data)
            for at in places:
                for start in range(max(at, written), min(at + stretch, written + len(data))):
                    data[start - written] ^= 0xA5
            old.write(data)
            written += len(data)
    return stretch


def md5_of(path):
    digest = hashlib.md5()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True, help="tarnwick-cli built for this machine")
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--rate", default="12500k", help="nginx limit_rate (12500k: 100 Mbit/s)")
    options = parser.parse_args()
    cli = os.path.abspath(options.cli)
    wine_program = find_wine()
    for tool, found in (("nginx", nginx_program()), ("curl", shutil.which("curl")), ("wine", wine_program)):
        if found is None:
            sys.exit(f"{tool} is not installed ('make deps' installs it)")
    size = options.size_mib << 20
    locations = f"    location /limited/ {{ limit_rate {options.rate}; alias @WWW@/; }}\n"

    with tempfile.TemporaryDirectory(prefix="tarnwick-bench-") as work, NginxServer(extra=locations) as web:
        new = os.path.join(web.www, "game.pak")
        old = os.path.join(work, "old.pak")
        stretch = write_versions(new, old, size)
        os.chmod(new, 0o644)
        started = time.monotonic()
        subprocess.run([cli, "update", "index", new], check=True, stdout=subprocess.DEVNULL)
        index_seconds = time.monotonic() - started
        os.chmod(new + ".blocks", 0o644)
        index_bytes = os.path.getsize(new + ".blocks")
        digest = md5_of(new)
        operator = os.path.join(work, "operator")
        os.makedirs(operator)
        subprocess.run([cli, "-C", operator, "update", "add", "--hint", "pak", "--url", web.url("limited/game.pak"),
                        "--save-name", "game.pak", "--save-dir", ".\\Data\\", "--check", "md5", "--md5", digest,
                        "--down-md5", digest], check=True)
        subprocess.run([cli, "-C", operator, "serverinfo"], check=True, stdout=subprocess.DEVNULL)
        shutil.copy(os.path.join(operator, "ServerInfo.txt"), os.path.join(web.www, "list.txt"))
        os.chmod(os.path.join(web.www, "list.txt"), 0o644)
        player = os.path.join(work, "player")
        launcher = make_launcher(cli, player, "Bench", web.url("list.txt"))
        wine = Wine(wine_program)
        data = os.path.join(player, "Data")
        target = os.path.join(data, "game.pak")

        def update():
            before = len(web.requests())
            began = time.monotonic()
            run = wine.run(launcher, "/update", limit=3600)
            seconds = time.monotonic() - began
            if run.status != 0:
                raise RuntimeError(f"launcher /update: status {run.status}: {run.text(run.out)}{run.text(run.err)}")
            if md5_of(target) != digest:
                raise RuntimeError("the launcher's file is not the new one")
            sent = sum(r.sent for r in web.requests()[before:] if r.path.startswith("/limited/game.pak"))
            return seconds, sent

        def fresh_player(with_old):
            shutil.rmtree(data, ignore_errors=True)
            os.makedirs(data)
            if os.path.exists(os.path.join(player, "Bench.updates")):
                os.remove(os.path.join(player, "Bench.updates"))
            if with_old:
                shutil.copy(old, target)

        began = time.monotonic()
        subprocess.run(["curl", "-sS", "--fail", "-o", os.path.join(work, "curl.pak"), web.url("limited/game.pak")],
                       check=True)
        curl_seconds = time.monotonic() - began
        os.remove(os.path.join(work, "curl.pak"))
        fresh_player(False)
        whole_seconds, whole_sent = update()
        fresh_player(True)
        delta_seconds, delta_sent = update()

        mib = size / (1 << 20)
        print(f"a {mib:.0f} MiB file, {PLACES} places of {stretch} bytes changed ({100 * SHARE:.1f}%), "
              f"served by nginx at {options.rate}/s")
        print(f"index: {index_bytes} bytes ({100 * index_bytes / size:.3f}%), made by tarnwick-cli in {index_seconds:.1f} s")
        print(f"whole download: curl {curl_seconds:.1f} s; launcher /update {whole_seconds:.1f} s, {whole_sent} bytes")
        share = delta_sent / size
        ratio = delta_seconds / whole_seconds
        print(f"delta: launcher /update {delta_seconds:.1f} s, {delta_sent} bytes sent with the index "
              f"({100 * share:.2f}% of the file: target at most {100 * BYTES_TARGET:.0f}%: "
              f"{'met' if share <= BYTES_TARGET else 'NOT met'}; moonshot {100 * BYTES_MOONSHOT:.1f}%: "
              f"{'met' if share <= BYTES_MOONSHOT else 'not met'})")
        print(f"delta: {ratio:.2f}x the time of the launcher's whole download, {delta_seconds / curl_seconds:.2f}x curl's "
              f"(target at most {TIME_TARGET}x: {'met' if ratio <= TIME_TARGET else 'NOT met'})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
