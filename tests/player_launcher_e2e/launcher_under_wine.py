"""What the launcher's end-to-end scripts share: generated launchers run under
Wine, made by this machine's tarnwick-cli, with the operator's side (editing,
publishing, signing keys) and the checks on players' folders."""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# Longer than any wait of a working launcher (connect and read timeouts, one
# retry, Wine's start): a run that takes this long has hung.
RUN_LIMIT_SECONDS = 120


class Failure(Exception):
    pass


def run_script(main):
    """Exits with main()'s status; a failure that ends the script early is
    said as the checks say theirs."""
    try:
        sys.exit(main())
    except (Failure, RuntimeError) as failure:
        print(f"FAILED: {failure}")
        sys.exit(1)


def run_scenarios(scenarios, *arguments):
    """Runs each scenario with the arguments; one that fails is said, and the
    others still run. The status: 1 when any failed."""
    failed = False
    for scenario in scenarios:
        try:
            scenario(*arguments)
        except Failure as failure:
            failed = True
            print(f"FAILED: {scenario.__name__}: {failure}")
    return 1 if failed else 0


def check(condition, message):
    if not condition:
        raise Failure(message)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def md5(data):
    return hashlib.md5(data).hexdigest()


def snapshot(top, leave_out=None):
    """Every file and folder below top (but not below leave_out), with its contents."""
    seen = {}
    for folder, dirs, files in os.walk(top):
        if leave_out and os.path.abspath(folder) == os.path.abspath(leave_out):
            dirs[:] = []
            continue
        seen[os.path.relpath(folder, top)] = None
        for name in files:
            path = os.path.join(folder, name)
            seen[os.path.relpath(path, top)] = read(path)
    return seen


def cli_environment(settings):
    """tarnwick-cli's environment with its settings folder (where signing keys
    live) in `settings`: a test never reads nor writes the user's own keys."""
    if not settings:
        raise ValueError("tarnwick-cli needs a settings folder of the test's own")
    return dict(os.environ, XDG_CONFIG_HOME=os.path.abspath(settings))


def settings_of_environment():
    """The settings folder CTest gave the script; refuses to run on the user's."""
    settings = os.environ.get("XDG_CONFIG_HOME")
    if not settings:
        raise RuntimeError("XDG_CONFIG_HOME is not set: the test would use the user's signing keys")
    return settings


def find_wine():
    return shutil.which("wine64") or shutil.which("wine") or (
        "/usr/lib/wine/wine64" if os.access("/usr/lib/wine/wine64", os.X_OK) else None)


def make_launcher(cli, folder, game, url, client=None, settings=None):
    """GAME.exe in folder, stamped with the list address url (and the client's
    command), trusting the keys in the settings folder given, if any."""
    os.makedirs(folder, exist_ok=True)
    command = [cli, "-C", folder, "launcher", *(["--client", client] if client else []), game, url]
    done = subprocess.run(command, capture_output=True, env=cli_environment(settings or settings_of_environment()))
    if done.returncode != 0:
        raise RuntimeError(f"tarnwick-cli launcher {game} {url}: {done.stderr.decode(errors='replace')}")
    return os.path.join(folder, game + ".exe")


class Operator:
    """An operator's folder: the update list edited with tarnwick-cli and
    published to nginx as NAME.txt, with its signature NAME.txt.sig when the
    settings folder holds a signing key."""

    def __init__(self, cli, folder, web, name, settings=None):
        self.cli, self.folder, self.web, self.name = cli, folder, web, name
        self.env = cli_environment(settings or settings_of_environment())
        os.makedirs(folder, exist_ok=True)

    def run(self, *arguments, data=None):
        return subprocess.run([self.cli, "-C", self.folder, *arguments], input=data, capture_output=True,
                              env=self.env)

    def edit(self, *arguments, data=None):
        done = self.run(*arguments, data=data)
        check(done.returncode == 0, f"tarnwick-cli {' '.join(arguments)}: {done.stderr.decode(errors='replace')}")
        return done

    def add(self, hint, url, name, *options, save_dir=".\\Data\\"):
        self.edit("update", "add", "--hint", hint, "--url", url, "--save-name", name, "--save-dir", save_dir, *options)

    def publish(self):
        self.edit("serverinfo")
        self.web.put(self.name + ".txt", read(os.path.join(self.folder, "ServerInfo.txt")))
        signature = os.path.join(self.folder, "ServerInfo.txt.sig")
        if os.path.exists(signature):
            self.web.put(self.name + ".txt.sig", read(signature))
        return self.web.url(self.name + ".txt")


class Player:
    """A player's folder with a launcher stamped with the operator's list (and
    the keys of the settings folder given, if any)."""

    def __init__(self, cli, wine, folder, game, url, client=None, settings=None):
        self.wine, self.folder = wine, folder
        self.exe = make_launcher(cli, folder, game, url, client=client, settings=settings)

    def path(self, relative):
        return os.path.join(self.folder, *relative.split("/"))

    def update(self, status):
        run = self.wine.run(self.exe, "/update")
        out, err = run.text(run.out), run.text(run.err)
        check(run.status == status, f"/update exited {run.status}, not {status}:\n{out}{err}")
        lines = {}
        for line in out.splitlines():
            found = re.match(r"\[\d+\] (\S+?)：(\S+)", line)
            check(found is not None, f"/update printed a line of another form: {line!r}")
            lines[found.group(2).split("（")[0]] = (found.group(1), line)
        return lines

    def popen(self):
        return subprocess.Popen([self.wine.program, self.exe, "/update"], cwd=self.folder, env=self.wine.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def expect(lines, hint, outcome, contains=""):
    check(hint in lines, f"no line for {hint}: {sorted(lines)}")
    said, line = lines[hint]
    check(said == outcome and contains in line, f"{hint}: {line!r}, expected {outcome} with {contains!r}")


class WineSession:
    """A wineserver for the prefix in env (WINEPREFIX), up before the first
    program and stopped after the last: for a prefix of the script's own."""

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
