#!/usr/bin/env python3
"""Players fetching while the operator publishes: a launcher under Wine runs
/list again and again while tarnwick-cli publishes a 100,000-server list over
the old one through WebDAV, again and again. Every /list must show the old
list or the new one, whole: a file is written under a temporary name and
renamed over the old one, so nginx serves one or the other.

    python3 launcher_publish_e2e.py --cli CLI --work FOLDER --wine WINE
"""
import argparse
import os
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "publish"))
from launcher_under_wine import Wine, check, cli_environment, make_launcher, run_script, \
    settings_of_environment  # noqa: E402
from servers import WebDav  # noqa: E402

GROUPS = 500
SERVERS = 100000
LOOP_SECONDS = 40


def write_document(folder, variant):
    """Servers whose names say which list they are in."""
    lines = ['<?xml version="1.0" encoding="GB2312"?>', "<XMLSetup>", "  <ServerList>"]
    per_group = SERVERS // GROUPS
    for g in range(GROUPS):
        lines.append(f'    <Group Name="区 {g + 1}">')
        for s in range(g * per_group, (g + 1) * per_group):
            lines += [f'      <Server Name="{variant} 服务器 {s}">',
                      f'        <Child Addrs="10.{s // 65536 % 256}.{s // 256 % 256}.{s % 256}" Port="7000">'
                      f"line {s}</Child>",
                      "      </Server>"]
        lines.append("    </Group>")
    lines += ["  </ServerList>", "  <Url>"]
    lines += [f"    <{n}>http://www.example.com/{n.lower()}.html</{n}>"
              for n in ("Loginframe", "ContactGM", "Payment", "Payment2", "Home")]
    lines += ["  </Url>", "</XMLSetup>", ""]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Tarnwick.xml"), "wb") as f:
        f.write("\r\n".join(lines).encode("gbk"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", required=True)
    options = parser.parse_args()
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    os.chmod(work, 0o755)
    env = cli_environment(settings_of_environment())
    wine = Wine(options.wine)

    with WebDav(root=work) as dav:
        list_url = dav.players_url("ServerInfo.txt")
        destination = dav.dav_url("").replace("http://", f"http://{dav.user}@")
        env["TARNWICK_PUBLISH_PASSWORD"] = dav.password
        folders = []
        for variant in ("old", "new"):
            folder = os.path.join(work, variant)
            write_document(folder, variant)
            done = subprocess.run([options.cli, "-C", folder, "serverinfo"], capture_output=True, env=env)
            check(done.returncode == 0, f"serverinfo: {done.stderr.decode(errors='replace')}")
            folders.append(folder)

        def publish(folder):
            done = subprocess.run([options.cli, "-C", folder, "publish", "--to", destination, "--list-url", list_url],
                                  capture_output=True, env=env, timeout=600)
            check(done.returncode == 0, f"publish {folder}: {done.stdout.decode(errors='replace')}"
                                        f"{done.stderr.decode(errors='replace')}")

        exe = make_launcher(options.cli, os.path.join(work, "player"), "青龙", list_url)
        listings = []
        for folder in folders:
            publish(folder)
            shown = wine.run(exe, "/list")
            check(shown.status == 0, f"/list of the {os.path.basename(folder)} list: {shown.text(shown.err)}")
            listings.append(shown.out)
        check(listings[0] != listings[1], "the two lists show the same")

        published = [0]
        failures = []
        stop = threading.Event()

        def publisher():
            try:
                while not stop.is_set():
                    publish(folders[published[0] % 2])
                    published[0] += 1
            except Exception as failure:  # told by the main thread
                failures.append(failure)

        thread = threading.Thread(target=publisher)
        thread.start()
        runs, seen = 0, set()
        try:
            deadline = time.monotonic() + LOOP_SECONDS
            while time.monotonic() < deadline and not failures:
                shown = wine.run(exe, "/list")
                runs += 1
                check(shown.status == 0, f"/list run {runs} during the publishes failed (status {shown.status}): "
                                         f"{shown.text(shown.err)}")
                check(shown.out in listings, f"/list run {runs} showed neither list whole "
                                             f"({len(shown.out)} bytes)")
                seen.add(listings.index(shown.out))
        finally:
            stop.set()
            thread.join()
        check(not failures, f"a publish failed: {failures[0] if failures else ''}")
        check(published[0] >= 2, f"only {published[0]} publishes ran beside the launcher")
        print(f"{runs} runs of /list beside {published[0]} publishes of a {SERVERS}-server list: each showed one "
              f"list whole ({'both lists seen' if len(seen) == 2 else 'one list seen'})")
    return 0


if __name__ == "__main__":
    run_script(main)
