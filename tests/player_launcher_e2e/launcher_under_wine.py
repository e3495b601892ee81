"""Generated launchers run under Wine: made by this machine's tarnwick-cli,
started headless, and asked whether they can fetch a list at all."""
import os
import shutil
import subprocess
import tempfile
import time

# Longer than any wait of a working launcher (connect and read timeouts, one
# retry, Wine's start): a run that takes this long has hung.
RUN_LIMIT_SECONDS = 120


def find_wine():
    return shutil.which("wine64") or shutil.which("wine") or (
        "/usr/lib/wine/wine64" if os.access("/usr/lib/wine/wine64", os.X_OK) else None)


def make_launcher(cli, folder, game, url):
    """GAME.exe in folder, stamped with the list address url."""
    os.makedirs(folder, exist_ok=True)
    done = subprocess.run([cli, "-C", folder, "launcher", game, url], capture_output=True)
    if done.returncode != 0:
        raise RuntimeError(f"tarnwick-cli launcher {game} {url}: {done.stderr.decode(errors='replace')}")
    return os.path.join(folder, game + ".exe")


class Run:
    def __init__(self, status, out, err, seconds):
        self.status, self.out, self.err, self.seconds = status, out, err, seconds

    def text(self, stream):
        return stream.decode("utf-8", errors="backslashreplace")


class Wine:
    """Runs Windows programs with the given wine loader and the caller's prefix (WINEPREFIX)."""

    def __init__(self, program):
        self.program = program
        # No display: a launcher that opened a window or a message box in
        # headless mode fails at once instead of waiting for a click.
        self.env = dict(os.environ, DISPLAY="", WINEDEBUG="-all")

    def run(self, exe, *arguments, limit=RUN_LIMIT_SECONDS):
        """Status, output and time until the program ended. Output goes to files,
        not pipes: a helper that Wine starts for a windowed program (its desktop
        process) inherits them and would hold a pipe open after the program ends."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            started = time.monotonic()
            try:
                status = subprocess.run([self.program, exe, *arguments], cwd=os.path.dirname(exe) or None,
                                        env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                        timeout=limit).returncode
                seconds = time.monotonic() - started
            except subprocess.TimeoutExpired:
                status, seconds = None, limit
            out.seek(0)
            err.seek(0)
            printed, said = out.read(), err.read()
        if status is None:
            said += f"\n[still running after {limit} s: stopped]".encode()
        return Run(status, printed, said, seconds)


def list_support(wine, exe, url):
    """(True, why) when the image is a launcher that fetches lists, else (False, why).

    The image carried before the real launcher shows its stamped strings only
    (/print) and answers anything else with a message box. /list fetches over
    WinINet, so an image that never names wininet.dll nor the switch cannot
    have it; such an image is never started with /list.
    """
    printed = wine.run(exe, "/print")
    if printed.status != 0 or url.encode() not in printed.out:
        raise RuntimeError(f"{exe} /print did not show its stamped strings (status {printed.status}): "
                           f"{printed.text(printed.out)} {printed.text(printed.err)}")
    with open(exe, "rb") as f:
        image = f.read().lower()
    names = [marker for marker in ("wininet", "/list")
             if marker.encode("ascii") in image or marker.encode("utf-16-le") in image]
    shown = printed.text(printed.out).replace("\r", "").strip().replace("\n", "; ")
    if names:
        return True, f"the image names {' and '.join(names)} ({os.path.getsize(exe)} bytes)"
    return False, (f"the carried launcher image ({os.path.getsize(exe)} bytes) names neither wininet.dll nor /list: "
                   f"it is the stub that only shows its stamped strings (/print: {shown})")
