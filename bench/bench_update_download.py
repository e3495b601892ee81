#!/usr/bin/env python3
"""The launcher's updater downloading under Wine against curl, in one run:
nginx on loopback serves 16 files of 16 MB and one of 128 MB; the launcher's
/update fetches them all into an empty folder (存在 check, so no hashing of
local files), curl fetches the same files to disk in one process. Target: the
launcher's throughput at least 0.8 times curl's.

    bench_update_download.py --cli build/bin/tarnwick-cli [--runs 3]

Run it as 'make bench-windows', which holds a wineserver for the prefix. The
launcher's time includes Wine starting it and fetching the list; the figure
net of its start (/print) is printed too.
"""
import argparse
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

FILES = [(f"part{n:02}.bin", 16 << 20) for n in range(16)] + [("big.bin", 128 << 20)]
TARGET = 0.8


def best(runs, action):
    times = []
    for _ in range(runs):
        started = time.monotonic()
        action()
        times.append(time.monotonic() - started)
    return min(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True, help="tarnwick-cli built for this machine")
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    cli = os.path.abspath(options.cli)
    wine_program = find_wine()
    for tool, found in (("nginx", nginx_program()), ("curl", shutil.which("curl")), ("wine", wine_program)):
        if found is None:
            sys.exit(f"{tool} is not installed ('make deps' installs it)")
    total = sum(size for _, size in FILES)

    with tempfile.TemporaryDirectory(prefix="tarnwick-bench-") as work, NginxServer() as web:
        for name, size in FILES:
            with open(os.path.join(web.www, name), "wb") as f:
                f.write(os.urandom(size))
            os.chmod(os.path.join(web.www, name), 0o644)
        operator = os.path.join(work, "operator")
        os.makedirs(operator)
        for name, _ in FILES:
            subprocess.run([cli, "-C", operator, "update", "add", "--hint", name, "--url", web.url(name),
                            "--save-name", name, "--save-dir", ".\\Data\\", "--check", "exists"], check=True)
        subprocess.run([cli, "-C", operator, "serverinfo"], check=True, stdout=subprocess.DEVNULL)
        shutil.copy(os.path.join(operator, "ServerInfo.txt"), web.www)
        os.chmod(os.path.join(web.www, "ServerInfo.txt"), 0o644)
        player = os.path.join(work, "player")
        exe = make_launcher(cli, player, "Bench", web.url("ServerInfo.txt"))
        wine = Wine(wine_program)
        data = os.path.join(player, "Data")
        curl_folder = os.path.join(work, "curl")

        def by_curl():
            shutil.rmtree(curl_folder, ignore_errors=True)
            os.makedirs(curl_folder)
            arguments = ["curl", "-sS", "--fail"]
            for name, _ in FILES:
                arguments += ["-o", os.path.join(curl_folder, name), web.url(name)]
            subprocess.run(arguments, check=True)

        def by_launcher():
            shutil.rmtree(data, ignore_errors=True)
            for leftover in ("Bench.updates",):
                if os.path.exists(os.path.join(player, leftover)):
                    os.remove(os.path.join(player, leftover))
            run = wine.run(exe, "/update", limit=600)
            if run.status != 0:
                raise RuntimeError(f"launcher /update: status {run.status}: {run.text(run.out)}{run.text(run.err)}")

        def started():
            if wine.run(exe, "/print").status != 0:
                raise RuntimeError("launcher /print failed")

        by_curl()  # warm the page cache and nginx
        started()
        curl_seconds = best(options.runs, by_curl)
        start_seconds = best(options.runs, started)
        launcher_seconds = best(options.runs, by_launcher)
        for name, size in FILES:
            if os.path.getsize(os.path.join(data, name)) != size:
                raise RuntimeError(f"the launcher's {name} has the wrong size")
        mb = total / 1e6
        curl_rate = mb / curl_seconds
        launcher_rate = mb / launcher_seconds
        net_rate = mb / max(launcher_seconds - start_seconds, 1e-9)
        print(f"{len(FILES)} files, {mb:.0f} MB, served by nginx on 127.0.0.1; best of {options.runs} runs")
        print(f"curl (one process, to disk): {curl_seconds:.2f} s, {curl_rate:.0f} MB/s")
        print(f"launcher start under Wine (/print): {start_seconds:.2f} s")
        print(f"launcher /update under Wine: {launcher_seconds:.2f} s, {launcher_rate:.0f} MB/s "
              f"({net_rate:.0f} MB/s net of its start)")
        ratio = launcher_rate / curl_rate
        print(f"ratio: {ratio:.2f}x of curl's throughput (target at least {TARGET}x: "
              f"{'met' if ratio >= TARGET else 'NOT met'}); {net_rate / curl_rate:.2f}x net of the start")
    return 0


if __name__ == "__main__":
    sys.exit(main())
