#!/usr/bin/env python3
"""The launcher's window as a player meets it, under Wine on a private Xvfb
display: tarnwick-cli (this machine's build) writes the Chinese-named list and
a launcher stamped with a game client that lies below the launcher's folder;
nginx serves the list. A driver program picks a group, a server and its second
connection entry with the keyboard and presses start; the stand-in client then
reports the arguments it got, which must be that entry's fields. The launcher
remembers the choice: started again, it shows the same rows selected.

    launcher_window_e2e.py --cli tarnwick-cli --source DIR --work DIR --wine WINE
        --driver launcher_window_driver.exe --client fake_game_client.exe
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
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from launcher_e2e import Failure, chinese_document, check, edit  # noqa: E402
from web_server import NginxServer, nginx_program  # noqa: E402

SKIPPED = 77
GAME = "传奇世界"
# Below the launcher's folder, with every field, the Chinese ones quoted.
CLIENT = r'bin\game.exe -addr %addr% -port %port% -name "%name%" -group "%group%"'
# Group 华东一区, server 电信一线, its second entry: 二线 at 电信.example.com:7001.
PICK = ("0", "0", "1")
EXPECTED_ARGUMENTS = ["-addr", "电信.example.com", "-port", "7001", "-name", "二线", "-group", "华东一区"]


class Display:
    """A private Xvfb display for the run."""

    def __init__(self):
        self.server = None
        self.name = None

    def __enter__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                        "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            self.server.kill()
            raise Failure("Xvfb did not start")
        self.name = f":{number}"
        return self

    def __exit__(self, *_):
        self.server.terminate()
        self.server.wait(timeout=10)


class WineSession:
    """A wineserver for the prefix, up before the first program and stopped after the last."""

    def __init__(self, wine, env):
        self.wine, self.env = wine, env
        here = os.path.dirname(os.path.realpath(wine))
        self.server = (shutil.which("wineserver64") or shutil.which("wineserver") or
                       next((os.path.join(here, n) for n in ("wineserver64", "wineserver")
                             if os.access(os.path.join(here, n), os.X_OK)), "wineserver"))

    def __enter__(self):
        subprocess.run([self.wine, "wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300, check=True)
        return self

    def __exit__(self, *_):
        subprocess.run([self.server, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class WindowRun:
    """The launcher started with its window; ended by the driver's close."""

    def __init__(self, wine, exe, env):
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen([wine, exe], cwd=os.path.dirname(exe), env=env,
                                        stdin=subprocess.DEVNULL, stdout=self.out, stderr=self.out)

    def wait(self, seconds=60):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None

    def said(self):
        self.out.seek(0)
        return self.out.read().decode(errors="replace")


def drive(wine, driver, env, *arguments):
    done = subprocess.run([wine, driver, GAME, *arguments], env=env, capture_output=True, timeout=120)
    check(done.returncode == 0, f"driver {' '.join(arguments)}: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode(errors="replace").replace("\r", "")


def wait_for(path, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if os.path.exists(path):
            return True
        time.sleep(0.1)
    return False


def session(wine, driver, env, exe, pick):
    """One start of the launcher's window: the rows it showed, after picking `pick` and pressing start."""
    run = WindowRun(wine, exe, env)
    try:
        shown = drive(wine, driver, env, "pick", *pick)
    except Failure as failure:
        run.process.kill()
        run.wait()
        raise Failure(f"{failure}; the launcher said: {run.said() or 'nothing'}") from None
    except BaseException:
        run.process.kill()
        run.wait()
        raise
    return run, shown


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--client", required=True)
    options = parser.parse_args()
    for tool, found in (("nginx", nginx_program()), ("Xvfb", shutil.which("Xvfb"))):
        if found is None:
            print(f"SKIPPED: {tool} is not installed ('make deps' installs it)")
            return SKIPPED
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    cli = os.path.abspath(options.cli)
    published = chinese_document(cli, f"{work}/list")

    with NginxServer() as web, Display() as display:
        web.put("ServerInfo.txt", published)
        folder = f"{work}/launcher"
        os.makedirs(f"{folder}/bin")
        edit(cli, folder, "launcher", "--client", CLIENT, GAME, web.url("ServerInfo.txt"))
        exe = f"{folder}/{GAME}.exe"
        shutil.copy(options.client, f"{folder}/bin/game.exe")
        # A prefix of its own: Wine picks a session's display driver when its
        # first program starts, and the shared session of the other tests
        # started without a display.
        env = dict(os.environ, DISPLAY=display.name, WINEDEBUG="-all", WINEPREFIX=f"{work}/prefix",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        with WineSession(options.wine, env):
            return play(options, env, folder, exe)


def play(options, env, folder, exe):
    """Two starts of the window: the first picks and starts, the second shows the remembered rows."""
    started = f"{folder}/bin/started.txt"

    run, shown = session(options.wine, options.driver, env, exe, PICK)
    check(wait_for(started), "no game client started after the start button was pressed")
    with open(started, encoding="utf-8") as f:
        lines = f.read().split("\n")
    command_line, current = lines[0], lines[1]
    arguments = [line for line in lines[2:] if line]
    check(arguments == EXPECTED_ARGUMENTS, f"the client got {arguments}, not {EXPECTED_ARGUMENTS} "
                                           f"(command line {command_line})")
    check(current.rstrip("\\").lower().endswith("\\launcher"),
          f"the client ran in {current}, not the launcher's folder")
    check(shown.strip() == "shown 0 0 0", f"a first start showed {shown.strip()}, not the first rows")
    drive(options.wine, options.driver, env, "close")
    status = run.wait()
    check(status == 0, f"the launcher ended with status {status} after its window closed: {run.said()}")
    check(os.path.exists(f"{folder}/{GAME}.lastserver"), "the chosen server was not remembered")
    print(f"started: {' '.join(arguments)}")

    # Started again, the remembered rows are selected when the list arrives.
    os.remove(started)
    run, shown = session(options.wine, options.driver, env, exe, PICK)
    check(shown.strip() == "shown " + " ".join(PICK), f"a second start showed {shown.strip()}, "
                                                      f"not the remembered {' '.join(PICK)}")
    check(wait_for(started), "the second start did not start the client")
    drive(options.wine, options.driver, env, "close")
    status = run.wait()
    check(status == 0, f"the second launcher ended with status {status}: {run.said()}")
    print("remembered: " + shown.strip())
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
