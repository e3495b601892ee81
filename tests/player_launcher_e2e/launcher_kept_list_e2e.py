#!/usr/bin/env python3
"""The list a launcher keeps, end to end under Wine against nginx, for a
launcher without keys and one with its operator's keys (the list signed):

- the first /list fetches the list whole and keeps it beside the launcher;
- the second asks with the kept validators, and nginx's log must show a 304
  of a few hundred bytes for the list (and for its signature file);
- with nginx stopped, /list prints the kept list, says on standard error that
  it was not refreshed and why, and ends with status 4; /start still starts
  the game from it, and /update runs no update (status 1).

    launcher_kept_list_e2e.py --cli CLI --source DIR --work DIR --wine WINE --client fake_game_client.exe
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
from launcher_e2e import expected_listing, first_difference  # noqa: E402
from launcher_under_wine import (run_script, Failure, Operator, Player, Wine, check, cli_environment, read,  # noqa: E402
                                 write)
from web_server import NginxServer, nginx_program  # noqa: E402

SKIPPED = 77
CLIENT = "game.exe -s %addr% -p %port%"
# A 304 is its status line and a few headers: far below this.
FEW_BYTES = 1024
NOT_REFRESHED = 4


class Case:
    """An operator's published list and a player's launcher of it."""

    def __init__(self, options, work, web, wine, name, settings):
        self.name = name
        self.operator = Operator(options.cli, f"{work}/{name}/operator", web, name, settings=settings)
        shutil.copy(os.path.join(options.source, "samples", "Tarnwick.xml"), self.operator.folder)
        url = self.operator.publish()
        self.signed = os.path.exists(os.path.join(self.operator.folder, "ServerInfo.txt.sig"))
        self.listing = expected_listing(options.cli, read(os.path.join(self.operator.folder, "ServerInfo.txt")),
                                        f"{work}/{name}/listed")
        self.player = Player(options.cli, wine, f"{work}/{name}/player", name, url, client=CLIENT, settings=settings)
        write(self.player.path("game.exe"), read(options.client))
        self.wine = wine

    def paths(self):
        return [f"/{self.name}.txt"] + ([f"/{self.name}.txt.sig"] if self.signed else [])

    def listed(self, what, status):
        """/list's status and document, which must be the published list."""
        run = self.wine.run(self.player.exe, "/list")
        said = run.text(run.err).strip()
        check(run.status == status, f"{self.name} {what}: /list exited {run.status}, not {status}: {said}")
        try:
            listing = json.loads(run.out.decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as error:
            raise Failure(f"{self.name} {what}: /list printed no JSON document ({error}): {run.text(run.out)[:200]}")
        difference = first_difference(listing, self.listing)
        check(difference is None, f"{self.name} {what}: /list differs from the published list: {difference}")
        return run, said


def conditional(case, web):
    """A first start fetches whole; the second gets a 304 for each file."""
    before = len(web.requests())
    case.listed("first start", 0)
    first = web.requests()[before:]
    for path in case.paths():
        got = [r for r in first if r.path == path]
        check(got and got[-1].status == 200, f"{case.name}: the first start's answer for {path}: {got}")
    kept = case.player.path(f"{case.name}.serverinfo")
    check(os.path.exists(kept), f"{case.name}: no kept list beside the launcher")

    before = len(web.requests())
    run, said = case.listed("second start", 0)
    second = web.requests()[before:]
    for path in case.paths():
        got = [r for r in second if r.path == path]
        check(len(got) == 1 and got[0].status == 304,
              f"{case.name}: the second start's answers for {path}: {got}, not one 304")
        check(got[0].total < FEW_BYTES, f"{case.name}: the 304 for {path} took {got[0].total} bytes")
        check(got[0].sent == 0, f"{case.name}: the 304 for {path} carried {got[0].sent} bytes of body")
    whole = sum(r.total for r in first)
    print(f"passed   {case.name}: second start answered 304 ({sum(r.total for r in second)} bytes against "
          f"{whole} for the first), {run.seconds:.1f} s")


def offline(case, wine):
    """With the server gone, the kept list is shown, marked as not refreshed."""
    run, said = case.listed("without network", NOT_REFRESHED)
    check(re.search(r"[\u4e00-\u9fff]", said), f"{case.name}: the note is not in Chinese: {said}")
    check("未能刷新" in said and "上次" in said, f"{case.name}: the note does not say the list is the kept one: {said}")
    check(re.search(r"无法连接|拒绝", said), f"{case.name}: the note does not say why: {said}")
    print(f"passed   {case.name}: without network /list showed the kept list, status {run.status}: "
          f"{said.splitlines()[0][:120]}")

    started = case.player.path("started.txt")
    run = wine.run(case.player.exe, "/start", "East", "Zone")
    check(run.status == 0, f"{case.name}: /start without network exited {run.status}: {run.text(run.err)}")
    deadline = time.monotonic() + 30
    while not os.path.exists(started) and time.monotonic() < deadline:
        time.sleep(0.1)
    check(os.path.exists(started), f"{case.name}: /start without network started no client within 30 s")
    check("未能刷新" in run.text(run.err), f"{case.name}: /start did not say the list was not refreshed")

    run = wine.run(case.player.exe, "/update")
    check(run.status == 1 and run.out.strip() == b"",
          f"{case.name}: /update without network exited {run.status}: {run.text(run.out)}{run.text(run.err)}")
    print(f"passed   {case.name}: without network /start started the game from the kept list; /update ran nothing")


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
    keys = f"{work}/settings/operator"
    os.makedirs(keys)
    made = subprocess.run([options.cli, "key", "new"], capture_output=True, env=cli_environment(keys))
    check(made.returncode == 0, f"tarnwick-cli key new: {made.stderr.decode(errors='replace')}")
    wine = Wine(options.wine)

    with NginxServer() as web:
        cases = [Case(options, work, web, wine, "Plain", f"{work}/settings/none"),
                 Case(options, work, web, wine, "Signed", keys)]
        check(not cases[0].signed and cases[1].signed, "the lists are not signed as the cases need")
        for case in cases:
            conditional(case, web)
    # nginx has stopped: its port refuses connections.
    for case in cases:
        offline(case, wine)
    return 0


if __name__ == "__main__":
    run_script(main)
