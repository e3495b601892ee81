#!/usr/bin/env python3
"""The launcher's /list under Wine against curl and tarnwick-cli decode, on a
ServerInfo.txt of 100,000 servers (2,000 groups) served by nginx on loopback:
the time from the launcher's start to its list being printed, against curl
fetching the same file into tarnwick-cli decode (this machine's build), in one
run. Target: at most 1.5 times. Also prints the launcher image's size and what
starting a program costs under Wine, which the launcher's figure includes; and,
side by side, a launcher with its operator's keys taking the same list signed
(its signature fetched and checked): target at most 5 ms more than without.
The launcher keeps the list it took; each of these runs drops it first, so
that they time the whole download. Last, the starts of one launcher with the
list unchanged (--starts, 1,000 by default): each asks whether the list
changed, and nginx answers 304; the bytes nginx sent for them ($bytes_sent)
against sending the list whole as often: target at most 1%.

    bench_launcher_list.py --cli build/bin/tarnwick-cli [--runs 5] [--starts 1000] [--windows-cli tarnwick-cli.exe]

Run it as 'make bench-windows', which holds a wineserver for the prefix.
Wall-clock times, best and median of the runs, and the least processor time
of the processes run (Wine's server, shared with other programs, not counted).
"""
import argparse
import concurrent.futures
import json
import os
import resource
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
from launcher_under_wine import Wine, cli_environment, find_wine, list_support, make_launcher  # noqa: E402
from web_server import NginxServer, nginx_program  # noqa: E402

GROUPS = 2000
SERVERS = 100000
TARGET = 1.5
SIGNED_TARGET_MS = 5.0
UNCHANGED_TARGET = 0.01


def write_document(folder):
    """The servers of bench_verify: Chinese names, two connection entries each."""
    lines = ['<?xml version="1.0" encoding="GB2312"?>', "<XMLSetup>", "  <ServerList>"]
    per_group = SERVERS // GROUPS
    for g in range(GROUPS):
        lines.append(f'    <Group Name="区 {g + 1}">')
        for s in range(g * per_group, (g + 1) * per_group):
            lines += [f'      <Server Name="服务器 {s}">',
                      f'        <Child Addrs="10.{s // 65536 % 256}.{s // 256 % 256}.{s % 256}" Port="7000">'
                      f"line one {s}</Child>",
                      f'        <Child Addrs="game{s}.example.com" Port="7001">line two {s}</Child>',
                      "      </Server>"]
        lines.append("    </Group>")
    lines += ["  </ServerList>", "  <Url>"]
    lines += [f"    <{n}>http://www.example.com/{n.lower()}.html</{n}>"
              for n in ("Loginframe", "ContactGM", "Payment", "Payment2", "Home")]
    lines += ["  </Url>", "</XMLSetup>", ""]
    with open(os.path.join(folder, "Tarnwick.xml"), "wb") as f:
        f.write("\r\n".join(lines).encode("gbk"))


def children_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(runs, action):
    """(best, median) wall-clock seconds and the least processor seconds of the
    runs' processes: on a shared machine a process often waits for a core."""
    wall, processor = [], []
    for _ in range(runs):
        started, used = time.monotonic(), children_seconds()
        action()
        wall.append(time.monotonic() - started)
        processor.append(children_seconds() - used)
    return min(wall), statistics.median(wall), min(processor)


def fetch_and_decode(url, cli):
    curl = subprocess.Popen(["curl", "-sS", "--fail", url], stdout=subprocess.PIPE)
    decode = subprocess.run([cli, "decode", "-"], stdin=curl.stdout, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    curl.stdout.close()
    if curl.wait() != 0 or decode.returncode != 0:
        raise RuntimeError(f"curl {url} | tarnwick-cli decode: {decode.stderr.decode(errors='replace')}")


def checked(run, what):
    if run.status != 0:
        raise RuntimeError(f"{what}: exit status {run.status}: {run.text(run.err)}")
    return run


def kept_list_of(exe):
    """The list a launcher keeps beside itself: NAME.serverinfo."""
    return os.path.splitext(exe)[0] + ".serverinfo"


def drop_kept_list(exe):
    if os.path.exists(kept_list_of(exe)):
        os.remove(kept_list_of(exe))


def unchanged_starts(wine, exe, web, starts, jobs):
    """`starts` runs of /list with the list unchanged, after one that keeps
    it: what nginx sent for them against sending the list whole each time."""
    drop_kept_list(exe)
    before = len(web.requests())
    checked(wine.run(exe, "/list"), "launcher /list")
    whole = [r for r in web.requests()[before:] if r.path == "/ServerInfo.txt" and r.status == 200]
    if not whole or not os.path.exists(kept_list_of(exe)):
        raise RuntimeError("the first start did not fetch the list whole and keep it")
    whole_bytes = whole[-1].total
    before = len(web.requests())
    started = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for run in pool.map(lambda _: wine.run(exe, "/list"), range(starts)):
            checked(run, "launcher /list with the list unchanged")
    seconds = time.monotonic() - started
    # nginx logs a request once it is answered: all of them are there once the runs ended.
    asked = [r for r in web.requests()[before:] if r.path == "/ServerInfo.txt"]
    if len(asked) != starts or any(r.status != 304 for r in asked):
        statuses = sorted({r.status for r in asked})
        raise RuntimeError(f"{len(asked)} requests with statuses {statuses} for {starts} starts, not one 304 each")
    sent = sum(r.total for r in asked)
    share = sent / (whole_bytes * starts)
    print(f"{starts:,} starts with the list unchanged: nginx sent {sent:,} bytes ({sent / starts:.0f} per start, "
          f"all 304) against {whole_bytes:,} bytes to send the list whole once ({whole_bytes * starts:,} for "
          f"{starts:,} starts): {share * 100:.4f}% (target at most {UNCHANGED_TARGET * 100:.0f}%: "
          f"{'met' if share <= UNCHANGED_TARGET else 'NOT met'}); {sent / whole_bytes * 100:.2f}% of sending it "
          f"whole once")
    print(f"  the starts took {seconds:.0f} s, {jobs} at a time ({seconds * jobs / starts:.2f} s a start, "
          f"the kept list read and printed)")


def figure(name, times):
    return f"{name}: {times[0]:.2f} s (median {times[1]:.2f} s; processor {times[2]:.2f} s)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True, help="tarnwick-cli built for this machine")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--starts", type=int, default=1000,
                        help="launcher starts with the list unchanged (fewer for a quick run)")
    parser.add_argument("--jobs", type=int, default=2, help="of those starts, how many run at a time")
    parser.add_argument("--windows-cli", help="tarnwick-cli.exe: also time its decode under Wine")
    options = parser.parse_args()
    cli = os.path.abspath(options.cli)
    wine_program = find_wine()
    for tool, found in (("nginx", nginx_program()), ("curl", shutil.which("curl")), ("wine", wine_program)):
        if found is None:
            sys.exit(f"{tool} is not installed ('make deps' installs it)")

    with tempfile.TemporaryDirectory(prefix="tarnwick-bench-") as work, NginxServer() as web:
        write_document(work)
        started = time.monotonic()
        subprocess.run([cli, "-C", work, "serverinfo"], check=True, stdout=subprocess.DEVNULL)
        written = time.monotonic() - started
        with open(os.path.join(work, "ServerInfo.txt"), "rb") as f:
            published = f.read()
        size = len(published)
        web.put("ServerInfo.txt", published)
        # The same bytes with a first line the reader refuses at once: the download alone.
        web.put("Refused.txt", b"$BEGIM" + published[len(b"$BEGIN"):])
        url = web.url("ServerInfo.txt")
        exe = make_launcher(cli, os.path.join(work, "launcher"), "Bench", url)
        wine = Wine(wine_program)
        print(f"ServerInfo.txt: {SERVERS:,} servers in {GROUPS:,} groups, {size / 1e6:.1f} MB "
              f"(serverinfo wrote it in {written:.2f} s), served by nginx on 127.0.0.1")
        print(f"launcher image: {os.path.getsize(exe):,} bytes as stamped (limit 3 MB)")

        # Warm: the page cache, the prefix, and Wine's own DLLs.
        fetch_and_decode(url, cli)
        checked(wine.run("cmd", "/c", "exit"), "wine cmd /c exit")
        wine_start = timed(options.runs, lambda: checked(wine.run("cmd", "/c", "exit"), "wine cmd /c exit"))
        launcher_start = timed(options.runs, lambda: checked(wine.run(exe, "/print"), "launcher /print"))
        linux = timed(options.runs, lambda: fetch_and_decode(url, cli))
        print(figure("Wine start (wine cmd /c exit)", wine_start))
        print(figure("launcher start under Wine (/print, no download)", launcher_start))
        print(figure("curl | tarnwick-cli decode (Linux)", linux))
        if options.windows_cli:
            # The same reader built for Windows, without the download: what
            # Wine and the Windows build cost apart from the launcher's own work.
            served = os.path.join(web.www, "ServerInfo.txt")
            decode = os.path.abspath(options.windows_cli)
            print(figure("tarnwick-cli.exe decode under Wine (no download)",
                         timed(options.runs, lambda: checked(wine.run(decode, "decode", served), "decode"))))

        supported, why = list_support(wine, exe, url)
        if not supported:
            print(f"launcher /list: SKIPPED: {why}")
            return 0
        last = []

        def listing():
            drop_kept_list(exe)
            last[:] = [checked(wine.run(exe, "/list"), "launcher /list")]

        listing()
        launcher = timed(options.runs, listing)
        servers = sum(len(g["servers"]) for g in json.loads(last[0].out)["groups"])
        if servers != SERVERS:
            raise RuntimeError(f"launcher /list printed {servers} servers, not {SERVERS}")
        print(figure("launcher /list under Wine", launcher))
        download = make_launcher(cli, os.path.join(work, "download"), "Download", web.url("Refused.txt"))

        def refused():
            run = wine.run(download, "/list")
            if run.status != 1:
                raise RuntimeError(f"launcher /list of a refused file: exit status {run.status}: {run.text(run.err)}")

        print(figure("  of which the download (the same bytes, refused at line 1)", timed(options.runs, refused)))

        # The same list signed, for a launcher with the operator's keys; the
        # two launchers take turns so that both meet the same machine.
        settings = os.path.join(work, "settings")
        env = cli_environment(settings)
        subprocess.run([cli, "key", "new"], check=True, stdout=subprocess.DEVNULL, env=env)
        subprocess.run([cli, "-C", work, "serverinfo"], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, env=env)
        with open(os.path.join(work, "ServerInfo.txt"), "rb") as f:
            if f.read() != published:
                raise RuntimeError("signing changed ServerInfo.txt")
        with open(os.path.join(work, "ServerInfo.txt.sig"), "rb") as f:
            web.put("ServerInfo.txt.sig", f.read())
        signed = make_launcher(cli, os.path.join(work, "signed"), "Signed", url, settings=settings)
        plain_times, signed_times = [], []
        for _ in range(options.runs):
            for exe_run, times in ((exe, plain_times), (signed, signed_times)):
                drop_kept_list(exe_run)
                started = time.monotonic()
                checked(wine.run(exe_run, "/list"), "launcher /list")
                times.append(time.monotonic() - started)
        added_best = (min(signed_times) - min(plain_times)) * 1000
        added_median = (statistics.median(signed_times) - statistics.median(plain_times)) * 1000
        print(f"launcher /list, signed list and launcher with keys: {min(signed_times):.3f} s against "
              f"{min(plain_times):.3f} s without (medians {statistics.median(signed_times):.3f} s, "
              f"{statistics.median(plain_times):.3f} s)")
        print(f"verification adds {added_best:+.1f} ms (medians {added_median:+.1f} ms; target at most "
              f"{SIGNED_TARGET_MS:.0f} ms: {'met' if added_best <= SIGNED_TARGET_MS else 'NOT met'})")
        ratio = launcher[0] / linux[0]
        net = (launcher[0] - launcher_start[0]) / linux[0]
        print(f"ratio: {ratio:.2f}x (target at most {TARGET}x: {'met' if ratio <= TARGET else 'NOT met'}); "
              f"{net:.2f}x net of the launcher's start under Wine; processor time {launcher[2] / linux[2]:.2f}x")
        unchanged_starts(wine, exe, web, options.starts, options.jobs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
