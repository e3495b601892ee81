#!/usr/bin/env python3
"""The launcher's updater downloading under Wine against curl, in one run:
nginx on loopback serves 16 files of 16 MB and one of 128 MB; the launcher's
/update fetches them all into an empty folder, curl fetches the same files to
disk in one process. Target: the launcher's throughput at least 0.8 times
curl's. Two lists: "plain" (存在 entries: nothing to hash) against curl, and
"checked" (MD5 entries with DownMD5: each download verified) against curl
followed by md5sum over the files.

    bench_update_download.py --cli build/bin/tarnwick-cli [--runs 5]

Run it as 'make bench-windows', which holds a wineserver for the prefix. The
launcher's time includes Wine starting it and fetching the list; the figure
net of its start (/print) is printed too.
"""
import argparse
import hashlib
import os
import shutil
import statistics
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
    parser.add_argument("--runs", type=int, default=5)
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
        digests = {}
        for name, size in FILES:
            path = os.path.join(web.www, name)
            with open(path, "rb") as f:
                digests[name] = hashlib.md5(f.read()).hexdigest()
        wine = Wine(wine_program)
        launchers = {}
        for kind in ("plain", "checked"):
            operator = os.path.join(work, "operator", kind)
            os.makedirs(operator)
            for name, _ in FILES:
                check = ["--check", "exists"] if kind == "plain" else [
                    "--check", "md5", "--md5", digests[name], "--down-md5", digests[name]]
                subprocess.run([cli, "-C", operator, "update", "add", "--hint", name, "--url", web.url(name),
                                "--save-name", name, "--save-dir", ".\\Data\\", *check], check=True)
            subprocess.run([cli, "-C", operator, "serverinfo"], check=True, stdout=subprocess.DEVNULL)
            shutil.copy(os.path.join(operator, "ServerInfo.txt"), os.path.join(web.www, f"{kind}.txt"))
            os.chmod(os.path.join(web.www, f"{kind}.txt"), 0o644)
            player = os.path.join(work, "player", kind)
            launchers[kind] = (player, make_launcher(cli, player, "Bench", web.url(f"{kind}.txt")))
        exe = launchers["plain"][1]
        curl_folder = os.path.join(work, "curl")

        def by_curl(then_md5sum=False):
            shutil.rmtree(curl_folder, ignore_errors=True)
            os.makedirs(curl_folder)
            arguments = ["curl", "-sS", "--fail"]
            for name, _ in FILES:
                arguments += ["-o", os.path.join(curl_folder, name), web.url(name)]
            subprocess.run(arguments, check=True)
            if then_md5sum:
                subprocess.run(["md5sum", *[os.path.join(curl_folder, name) for name, _ in FILES]], check=True,
                               stdout=subprocess.DEVNULL)

        def by_launcher(kind):
            player, launcher = launchers[kind]
            shutil.rmtree(os.path.join(player, "Data"), ignore_errors=True)
            if os.path.exists(os.path.join(player, "Bench.updates")):
                os.remove(os.path.join(player, "Bench.updates"))
            run = wine.run(launcher, "/update", limit=600)
            if run.status != 0:
                raise RuntimeError(f"launcher /update: status {run.status}: {run.text(run.out)}{run.text(run.err)}")
            for name, size in FILES:
                if os.path.getsize(os.path.join(player, "Data", name)) != size:
                    raise RuntimeError(f"the launcher's {name} has the wrong size")

        def started():
            if wine.run(exe, "/print").status != 0:
                raise RuntimeError("launcher /print failed")

        by_curl()  # warm the page cache and nginx
        started()
        start_seconds = best(options.runs, started)
        mb = total / 1e6
        print(f"{len(FILES)} files, {mb:.0f} MB, served by nginx on 127.0.0.1; best of {options.runs} runs")
        print(f"launcher start under Wine (/print): {start_seconds:.2f} s")
        for kind, reference, name in (("plain", lambda: by_curl(), "curl (one process, to disk)"),
                                      ("checked", lambda: by_curl(True), "curl, then md5sum over the files")):
            # Side by side, run after run: the disk's write-back of one run
            # slows whichever comes next, so neither always comes second.
            reference_times, launcher_times = [], []
            for _ in range(options.runs):
                reference_times.append(best(1, reference))
                launcher_times.append(best(1, lambda: by_launcher(kind)))
            reference_seconds, launcher_seconds = min(reference_times), min(launcher_times)
            ratio = reference_seconds / launcher_seconds
            net = reference_seconds / max(launcher_seconds - start_seconds, 1e-9)
            print(f"{kind}: {name}: {reference_seconds:.2f} s, {mb / reference_seconds:.0f} MB/s; "
                  f"launcher /update: {launcher_seconds:.2f} s, {mb / launcher_seconds:.0f} MB/s "
                  f"(median {statistics.median(launcher_times):.2f} s)")
            print(f"{kind}: ratio {ratio:.2f}x of the reference's throughput (target at least {TARGET}x: "
                  f"{'met' if ratio >= TARGET else 'NOT met'}); {net:.2f}x net of the launcher's start")
    return 0


if __name__ == "__main__":
    sys.exit(main())
