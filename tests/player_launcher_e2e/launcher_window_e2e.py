#!/usr/bin/env python3
"""Starting the game, and the launcher's window, under Wine on a private Xvfb
display: tarnwick-cli (this machine's build) writes the Chinese-named list and
a launcher stamped with a game client that lies below the launcher's folder;
nginx serves the list. "/start" with a group, a server and its second
connection entry starts the stand-in client, which reports the arguments it
got: that entry's fields. A name the list lacks starts nothing. Then the
window opens, and a program of the test reads its lists from outside: the
list arrived, with the remembered server's rows selected. Before that, in
the fresh prefix, a launcher whose list cannot be reached shows the failure
cut to its status line with the button for the whole text, and the picture
of its window (window-glyphs.png in the work folder) shows digits, Latin
letters and Chinese characters as glyphs of their own, not as boxes.

    launcher_window_e2e.py --cli tarnwick-cli --source DIR --work DIR --wine WINE
        --driver launcher_window_driver.exe --client fake_game_client.exe
"""
import argparse
import hashlib
import os
import struct
import zlib
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from launcher_e2e import chinese_document, edit  # noqa: E402
from launcher_under_wine import run_script, Failure, WineSession, check  # noqa: E402
from web_server import NginxServer, nginx_program  # noqa: E402

SKIPPED = 77
GAME = "传奇世界"
# Below the launcher's folder, with every field, the Chinese ones quoted.
# 2 MB at 256 KB/s: an update that runs for seconds.
PATCH = bytes(range(256)) * 8192
SLOW_LOCATION = "    location /slow/ { limit_rate 256k; alias @WWW@/; }\n"
CLIENT = r'bin\game.exe -addr %addr% -port %port% -name "%name%" -group "%group%"'
# Group 华东一区, server 电信一线, its second entry: 二线 at 电信.example.com:7001.
CHOSEN = ("华东一区", "电信一线", "2")
EXPECTED_ARGUMENTS = ["-addr", "电信.example.com", "-port", "7001", "-name", "二线", "-group", "华东一区"]
# A launcher whose list is at a host no name server knows: its failure names
# the host, more than the status line holds.
UNREACHABLE_GAME = "连不上的游戏"
UNREACHABLE_URL = "http://no-such-host-of-the-launcher-window-test.invalid/ServerInfo.txt"
# The driver's probe: 10 digits, 6 Latin letters, 4 Chinese characters.
PROBE_GLYPHS = 20
# Blank columns inside one character at most; the probe's blanks are wider.
INNER_GAP = 2


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


def drive(wine, driver, env, *arguments, title=GAME):
    done = subprocess.run([wine, driver, title, *arguments], env=env, capture_output=True, timeout=120)
    check(done.returncode == 0, f"driver {' '.join(arguments)}: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode(errors="replace").replace("\r", "")


def wait_for(path, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if os.path.exists(path):
            return True
        time.sleep(0.1)
    return False


def launcher_run(wine, exe, env, *arguments):
    done = subprocess.run([wine, exe, *arguments], cwd=os.path.dirname(exe), env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode(errors="replace").strip(), done.stderr.decode(errors="replace").strip()


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

    with NginxServer(extra=SLOW_LOCATION) as web, Display() as display:
        # One update entry, served slowly enough to be seen running and cancelled.
        web.put("patch.bin", PATCH)
        edit(cli, f"{work}/list", "update", "add", "--hint", "地图补丁", "--url", web.url("slow/patch.bin"),
             "--save-name", "patch.bin", "--save-dir", ".\\Data\\", "--check", "exists")
        edit(cli, f"{work}/list", "serverinfo")
        with open(f"{work}/list/ServerInfo.txt", "rb") as f:
            published = f.read()
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
            return (glyphs_in_window(options, env, work, cli) or play(options, env, folder, exe) or
                    update_in_window(options, env, folder, exe) or
                    offline_window(options, env, work, cli, published) or
                    self_update_in_window(options, env, work, cli, web, folder, exe))


def play(options, env, folder, exe):
    """The start of the game, then the window with the choice remembered."""
    started = f"{folder}/bin/started.txt"
    status, said, complained = launcher_run(options.wine, exe, env, "/start", *CHOSEN)
    check(status == 0, f"/start {' '.join(CHOSEN)}: status {status}: {complained}")
    check(said == "游戏已启动：电信一线 / 二线", f"/start said {said!r}")
    check(wait_for(started), "/start said the game started, but the client wrote nothing")
    with open(started, encoding="utf-8") as f:
        lines = f.read().split("\n")
    command_line, current = lines[0], lines[1]
    arguments = [line for line in lines[2:] if line]
    check(arguments == EXPECTED_ARGUMENTS, f"the client got {arguments}, not {EXPECTED_ARGUMENTS} "
                                           f"(command line {command_line})")
    check(current.rstrip("\\").lower().endswith("\\launcher"),
          f"the client ran in {current}, not the launcher's folder")
    check(os.path.exists(f"{folder}/{GAME}.lastserver"), "the chosen server was not remembered")
    print(f"started: {' '.join(arguments)}")

    os.remove(started)
    for wrong in (("华东一区", "不存在"), ("华东一区", "电信一线", "3"), ("华东一区", "电信一线", "0")):
        status, said, complained = launcher_run(options.wine, exe, env, "/start", *wrong)
        check(status == 3 and complained, f"/start {' '.join(wrong)}: status {status}, said {complained!r}")
        check(not os.path.exists(started), f"/start {' '.join(wrong)} started the client")
    print("refused: a server the list lacks, an entry it lacks, entry 0")

    # The window: its lists filled from the network, the remembered rows selected.
    window = WindowRun(options.wine, exe, env)
    try:
        shown = drive(options.wine, options.driver, env, "show").split("\n")
        check(shown[0] == "rows 3 2 2", f"the window's lists hold {shown[0]}, not 3 groups, 2 servers, 2 entries")
        check(shown[1] == "shown 0 0 1", f"the window selected {shown[1]}, not the remembered 0 0 1")
        drive(options.wine, options.driver, env, "close")
    except Failure as failure:
        window.process.kill()
        window.wait()
        raise Failure(f"{failure}; the launcher said: {window.said() or 'nothing'}") from None
    status = window.wait()
    check(status == 0, f"the launcher ended with status {status} after its window closed: {window.said()}")
    print("window: " + "; ".join(shown[:2]))
    return 0


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of a 32-bit bottom-up BMP."""
    data = read_file(path)
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    check(bits == 32 and height > 0, f"{path}: not the driver's 32-bit picture")
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * width * 4
        row = data[start:start + width * 4]
        rows.append([(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]) for x in range(width)])
    return width, height, rows


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def glyph_shapes(rows, box):
    """The inked shapes in the box, left to right: each a tuple of its rows of
    ink (True) cut to its own bounds; shapes are apart by more than INNER_GAP
    columns without ink."""
    left, top, right, bottom = box
    area = [row[left:right] for row in rows[top:bottom]]
    counts = {}
    for row in area:
        for pixel in row:
            counts[pixel] = counts.get(pixel, 0) + 1
    background = max(counts, key=counts.get)
    ink = [[sum(abs(a - b) for a, b in zip(pixel, background)) > 96 for pixel in row] for row in area]
    inked = [any(row[x] for row in ink) for x in range(right - left)]
    # The probe's blanks part its characters by more than a Chinese
    # character's strokes part themselves (东 at this size has a blank column).
    runs, x = [], 0
    while x < len(inked):
        if not inked[x]:
            x += 1
            continue
        start = x
        while x < len(inked) and inked[x]:
            x += 1
        if runs and start - runs[-1][1] <= INNER_GAP:
            runs[-1] = (runs[-1][0], x)
        else:
            runs.append((start, x))
    shapes = []
    for start, x in runs:
        columns = [row[start:x] for row in ink]
        used = [y for y, row in enumerate(columns) if any(row)]
        shapes.append(tuple(tuple(columns[y]) for y in range(used[0], used[-1] + 1)))
    return shapes


def glyphs_in_window(options, env, work, cli):
    """In the fresh prefix: the failure cut to the status line with the button
    for the whole text, and each glyph of the window's font drawn as itself."""
    folder = f"{work}/unreachable"
    os.makedirs(folder)
    edit(cli, folder, "launcher", UNREACHABLE_GAME, UNREACHABLE_URL)
    exe = f"{folder}/{UNREACHABLE_GAME}.exe"
    shot = f"{work}/window-glyphs.bmp"
    window = WindowRun(options.wine, exe, env)
    try:
        said = state(drive(options.wine, options.driver, env, "glyphs", shot, title=UNREACHABLE_GAME))
        drive(options.wine, options.driver, env, "close", title=UNREACHABLE_GAME)
    except Failure as failure:
        window.process.kill()
        window.wait()
        raise Failure(f"{failure}; the launcher said: {window.said() or 'nothing'}") from None
    check(window.wait() == 0, "the launcher did not end after its window closed")
    check("检查网络" in said["status"] and ".invalid" in said["status"],
          f"the failure does not name the host and say what to do: {said['status']}")
    check(said["details"] == "1", f"a failure longer than the status line has no button for the whole: {said}")
    width, height, rows = read_bmp(shot)
    png = f"{work}/window-glyphs.png"
    write_png(png, width, height, rows)
    box = tuple(int(v) for v in said["status-box"].split())
    shapes = glyph_shapes(rows, box)
    # A font without a character draws the same hollow box for each: ten
    # digits as one shape. Real glyphs differ from each other.
    check(len(shapes) == PROBE_GLYPHS, f"the status line shows {len(shapes)} shapes, not {PROBE_GLYPHS} (see {png})")
    distinct = len(set(shapes))
    check(distinct == PROBE_GLYPHS, f"the status line draws {PROBE_GLYPHS} characters as {distinct} distinct shapes, "
                                    f"boxes for missing glyphs (see {png})")
    print(f"glyphs: {PROBE_GLYPHS} characters drawn as {distinct} shapes ({png}); failure cut with its button")
    return 0


def state(text):
    """{"start": "0" or "1", "status": TEXT} from the driver's lines."""
    return dict(line.split(" ", 1) for line in text.split("\n") if " " in line)


def update_in_window(options, env, folder, exe):
    """The update runs after the list came, with the game held back; cancelled,
    it keeps the old file and what came; the next window finishes it."""
    target = f"{folder}/Data/patch.bin"
    window = WindowRun(options.wine, exe, env)
    try:
        running = state(drive(options.wine, options.driver, env, "running"))
        check(running["start"] == "0", f"the game could be started during the update: {running}")
        check(running["status"].startswith("[1/1] 地图补丁"), f"the status line during the update: {running}")
        drive(options.wine, options.driver, env, "cancel")
        cancelled = state(drive(options.wine, options.driver, env, "finished"))
        check(cancelled["status"].startswith("更新已取消") and cancelled["start"] == "1",
              f"after cancelling: {cancelled}")
        check(not os.path.exists(target), "a cancelled update put a file in place")
        drive(options.wine, options.driver, env, "close")
        check(window.wait() == 0, "the launcher did not end after its window closed")

        window = WindowRun(options.wine, exe, env)
        finished = state(drive(options.wine, options.driver, env, "finished"))
        check(finished["status"].startswith("更新完成：已更新 1 项") and finished["start"] == "1",
              f"after the second window's update: {finished}")
        with open(target, "rb") as f:
            check(f.read() == PATCH, "the updated file is not the served one")
        drive(options.wine, options.driver, env, "close")
    except Failure as failure:
        window.process.kill()
        window.wait()
        raise Failure(f"{failure}; the launcher said: {window.said() or 'nothing'}") from None
    check(window.wait() == 0, "the launcher did not end after its window closed")
    print(f"update in the window: start held back while running ({running['status']}); "
          f"cancelled; finished by the next window ({finished['status']})")
    return 0


OFFLINE_GAME = "断网的游戏"


def offline_window(options, env, work, cli, published):
    """A server gone since the last start: the window shows the list kept
    then, says it was not refreshed, runs no update and lets the game start."""
    folder = f"{work}/offline"
    os.makedirs(f"{folder}/bin")
    exe = f"{folder}/{OFFLINE_GAME}.exe"
    with NginxServer() as gone:
        gone.put("ServerInfo.txt", published)
        edit(cli, folder, "launcher", "--client", CLIENT, OFFLINE_GAME, gone.url("ServerInfo.txt"))
        status, _, complained = launcher_run(options.wine, exe, env, "/list")
        check(status == 0, f"/list while the server was there: status {status}: {complained}")
    shutil.copy(options.client, f"{folder}/bin/game.exe")
    window = WindowRun(options.wine, exe, env)
    try:
        shown = drive(options.wine, options.driver, env, "show", title=OFFLINE_GAME).split("\n")
        said = state("\n".join(shown[2:]))
        check(shown[0].startswith("rows 3 "), f"the kept list's window holds {shown[0]}, not its 3 groups")
        check("未能刷新" in said["status"] and "上次" in said["status"],
              f"the status line does not say the list is the kept one: {said['status']}")
        check(said["start"] == "1", f"the game cannot be started from the kept list: {said}")
        drive(options.wine, options.driver, env, "close", title=OFFLINE_GAME)
    except Failure as failure:
        window.process.kill()
        window.wait()
        raise Failure(f"{failure}; the launcher said: {window.said() or 'nothing'}") from None
    check(window.wait() == 0, "the launcher did not end after its window closed")
    check(not os.path.exists(f"{folder}/Data"), "the kept list's update ran")
    print(f"offline window: the kept list shown, the game can start ({said['status'][:80]})")
    return 0


NEW_GAME = "新传奇"


def self_update_in_window(options, env, work, cli, web, folder, exe):
    """The operator ships a new launcher through the update list: the window
    that fetched it closes, and the new launcher, in its place, opens the
    window again with the list."""
    os.makedirs(f"{work}/new", exist_ok=True)
    edit(cli, f"{work}/new", "launcher", "--client", CLIENT, NEW_GAME, web.url("ServerInfo.txt"))
    with open(f"{work}/new/{NEW_GAME}.exe", "rb") as f:
        new = f.read()
    web.put("new-launcher.exe", new)
    digest = hashlib.md5(new).hexdigest()
    edit(cli, f"{work}/list", "update", "add", "--hint", "登录器", "--url", web.url("new-launcher.exe"),
         "--save-name", f"{GAME}.exe", "--save-dir", ".\\", "--check", "md5", "--md5", digest, "--down-md5", digest)
    edit(cli, f"{work}/list", "serverinfo")
    with open(f"{work}/list/ServerInfo.txt", "rb") as f:
        web.put("ServerInfo.txt", f.read())
    window = WindowRun(options.wine, exe, env)
    status = window.wait(120)
    check(status == 0, f"the old launcher's window did not end after the update (status {status}): {window.said()}")
    try:
        shown = drive(options.wine, options.driver, env, "show", title=NEW_GAME).split("\n")
        check(shown[0] == "rows 3 2 2", f"the new launcher's window holds {shown[0]}")
        drive(options.wine, options.driver, env, "close", title=NEW_GAME)
    except Failure:
        raise Failure(f"no window of the new launcher; the old one said: {window.said() or 'nothing'}") from None
    with open(exe, "rb") as f:
        check(f.read() == new, "the launcher's file is not the new launcher")
    left = [n for n in os.listdir(folder) if n.startswith(f"{GAME}.exe.")]
    check(not left, f"files left beside the launcher: {left}")
    print(f"self-update in the window: the new launcher ({NEW_GAME}) opened in the old one's place")
    return 0


if __name__ == "__main__":
    run_script(main)
