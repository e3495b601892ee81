#!/usr/bin/env python3
"""The Windows release under Wine, as an operator meets it: the checksums
hold; the portable archive holds both programs, the read-me and the licence
and nothing else, and its tarnwick-cli.exe runs; the licence carries Qt's
terms; the relink kit links a tarnwick.exe that starts; the installer runs silently
(/S) without administrator rights, puts the programs, a Start-menu entry that
starts the window in the user's own folder, and an entry in the list of
programs; the installed tarnwick-cli.exe answers; the silent uninstaller
removes all of that and keeps the operator's working folder.

    release_under_wine.py --packages DIR --version VERSION --work DIR --qt QT_PREFIX

Run it through tools/wine-session.sh with WINEPREFIX set to a prefix of its
own ('make test-windows-release' does).
"""
import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import time
import zipfile

PROGRAMS = ("tarnwick.exe", "tarnwick-cli.exe")
INSTALLED = PROGRAMS + ("README.txt", "LICENSE.txt", "uninstall.exe")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wine_program():
    return shutil.which("wine64") or shutil.which("wine") or "/usr/lib/wine/wine64"


def run(*command, cwd=None):
    done = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True, timeout=300,
                          env=dict(os.environ, WINEDEBUG="-all", DISPLAY=""))
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


def query_key(wine, key):
    """(found, what reg.exe printed) for a registry key. Wine now and then
    fails to start a program of its own: its loader then hands the name to
    start.exe, which says "ShellExecuteEx failed". That is no answer about the
    key, so it is asked again; only reg.exe's own answer counts."""
    for _ in range(3):
        status, out, err = run(wine, "reg", "query", key)
        if "ShellExecuteEx failed" in out + err:
            print(f"note     Wine could not start reg.exe ({(out + err).strip()!r}); asking again")
            time.sleep(1)
            continue
        if status == 0:
            return True, out
        check("Unable to find" in out + err, f"reg query {key} ended with {status}: {out} {err}")
        return False, out + err
    raise Failure(f"Wine could not start reg.exe three times for {key}")


def shell_link(path):
    """(target, arguments, working folder) of a .lnk file (the shell link format)."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:4] == b"\x4c\x00\x00\x00", f"{path} is no shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & 0x1:  # HasLinkTargetIDList
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = ""
    if flags & 0x2:  # HasLinkInfo
        size, _, _, _, base = struct.unpack_from("<IIIII", data, at)  # size, header, flags, volume, base path
        end = data.index(b"\0", at + base)
        target = data[at + base:end].decode("mbcs" if os.name == "nt" else "latin-1")
        at += size
    strings = {}
    unicode = bool(flags & 0x80)
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "working"), (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            at += 2
            width = 2 if unicode else 1
            raw = data[at:at + count * width]
            strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            at += count * width
    return target, strings.get("arguments", ""), strings.get("working", "")


def check_sums(packages, version):
    names = [f"tarnwick-{version}-windows-x64.zip", f"tarnwick-{version}-setup.exe",
             f"tarnwick-{version}-relink-kit.zip"]
    with open(os.path.join(packages, "SHA256SUMS")) as f:
        sums = dict(reversed(line.split()) for line in f if line.strip())
    check(sorted(sums) == sorted(names), f"SHA256SUMS names {sorted(sums)}")
    for name in names:
        with open(os.path.join(packages, name), "rb") as f:
            check(hashlib.sha256(f.read()).hexdigest() == sums[name], f"{name} does not match SHA256SUMS")
    print("passed   SHA256SUMS: all three packages")


def check_portable(packages, version, work, wine):
    name = f"tarnwick-{version}-windows-x64"
    with zipfile.ZipFile(os.path.join(packages, name + ".zip")) as archive:
        entries = sorted(archive.namelist())
        wanted = sorted(f"{name}/{entry}" for entry in PROGRAMS + ("README.txt", "LICENSE.txt"))
        check(entries == wanted, f"the archive holds {entries}, not {wanted}")
        archive.extractall(os.path.join(work, "portable"))
    folder = os.path.join(work, "portable", name)
    status, out, err = run(wine, os.path.join(folder, "tarnwick-cli.exe"), "--version")
    check(status == 0 and version in out, f"the portable tarnwick-cli.exe --version: {status} {out} {err}")
    with open(os.path.join(folder, "README.txt"), "rb") as f:
        readme = f.read().decode("utf-8")
    check("运营者" in readme and "operators" in readme and version in readme, "the read-me lacks Chinese, English or the version")
    with open(os.path.join(folder, "LICENSE.txt"), "rb") as f:
        licence = f.read().decode("utf-8")
    # Qt is linked statically: its notice, those of the code it carries, the LGPL 3 and the GPL 3.
    for part in ("Qt is used under the GNU Lesser General Public License version 3", "PCRE2", "HarfBuzz",
                 "GNU LESSER GENERAL PUBLIC LICENSE", "GNU GENERAL PUBLIC LICENSE", f"tarnwick-{version}-relink-kit.zip"):
        check(part in licence, f"LICENSE.txt lacks {part!r}")
    print(f"passed   portable archive: {len(entries)} files, tarnwick-cli.exe --version says {out.strip()}")


def check_relink(packages, version, work, qt, wine):
    """The relink kit links a tarnwick.exe that starts, from the kit alone and the Qt it was made with."""
    name = f"tarnwick-{version}-relink-kit"
    with zipfile.ZipFile(os.path.join(packages, name + ".zip")) as kit:
        kit.extractall(os.path.join(work, "relink"))
    folder = os.path.join(work, "relink", name)
    done = subprocess.run(["sh", "relink.sh"], cwd=folder, capture_output=True, timeout=300,
                          env=dict(os.environ, QT=os.path.abspath(qt)))
    check(done.returncode == 0, f"relink.sh failed: {done.stderr.decode(errors='replace')[-2000:]}")
    status, out, err = run(wine, os.path.join(folder, "tarnwick.exe"), "--version")
    check(status == 0 and version in out, f"the relinked tarnwick.exe --version: {status} {out} {err}")
    print(f"passed   relink kit: tarnwick.exe linked again, --version says {out.strip()}")


def windows_folders(prefix):
    users = os.path.join(prefix, "drive_c", "users")
    user = next(name for name in sorted(os.listdir(users)) if name not in ("Public", "public"))
    home = os.path.join(users, user)
    return {
        "home": home,
        "programs": os.path.join(home, "AppData", "Local", "Programs", "Tarnwick"),
        "menu": os.path.join(home, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                             "Tarnwick.lnk"),
        "documents": os.path.join(home, "Documents"),
        "windows_documents": f"C:\\users\\{user}\\Documents",
        "windows_programs": f"C:\\users\\{user}\\AppData\\Local\\Programs\\Tarnwick",
    }


def check_install(packages, version, work, wine):
    prefix = os.environ["WINEPREFIX"]
    places = windows_folders(prefix)
    check(not os.path.exists(places["programs"]), f"{places['programs']} exists before the install")
    setup = os.path.join(packages, f"tarnwick-{version}-setup.exe")
    status, out, err = run(wine, setup, "/S")
    check(status == 0, f"the silent install ended with {status}: {err}")
    present = sorted(os.listdir(places["programs"]))
    check(present == sorted(INSTALLED), f"installed: {present}")
    check(os.path.exists(places["menu"]), "no Start-menu entry")
    target, arguments, working = shell_link(places["menu"])
    check(target.lower() == (places["windows_programs"] + "\\tarnwick.exe").lower(),
          f"the Start-menu entry starts {target!r}")
    check(arguments == "--own-folder", f"the Start-menu entry's arguments are {arguments!r}")
    check(working.lower() == places["windows_documents"].lower(), f"the Start-menu entry works in {working!r}")
    found, out = query_key(wine, UNINSTALL_KEY)
    check(found and version in out and "uninstall.exe" in out, f"no entry in the list of programs: {out}")
    cli = os.path.join(places["programs"], "tarnwick-cli.exe")
    status, said, err = run(wine, cli, "--version")
    check(status == 0 and version in said, f"the installed tarnwick-cli.exe --version: {status} {said} {err}")
    # The window's own folder on Windows is the documents folder's Tarnwick.
    status, usage, err = run(wine, os.path.join(places["programs"], "tarnwick.exe"), "--help")
    check(status == 0 and (places["windows_documents"] + "\\Tarnwick").lower() in usage.lower(),
          f"tarnwick.exe --help does not name Documents\\Tarnwick as its own folder: {status} {usage} {err}")
    print(f"passed   install: {', '.join(present)} in {places['windows_programs']}; Start menu: {target} "
          f"{arguments} in {working}; tarnwick-cli.exe --version says {said.strip()}")

    # The operator's working folder, as the window's first start makes it.
    own = os.path.join(places["documents"], "Tarnwick")
    os.makedirs(own, exist_ok=True)
    status, _, err = run(wine, cli, "group", "add", "华东一区", cwd=own)
    check(status == 0, f"tarnwick-cli.exe in the working folder: {err}")
    with open(os.path.join(own, "Tarnwick.xml"), "rb") as f:
        kept = f.read()

    uninstaller = os.path.join(places["programs"], "uninstall.exe")
    status, _, err = run(wine, uninstaller, "/S")
    check(status == 0, f"the silent uninstall ended with {status}: {err}")
    # The uninstaller runs a copy of itself from the temporary folder and returns at once.
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and os.path.exists(places["programs"]):
        time.sleep(0.2)
    left = os.listdir(places["programs"]) if os.path.exists(places["programs"]) else None
    check(left is None, f"left after uninstalling: {left}")
    check(not os.path.exists(places["menu"]), "the Start-menu entry is left after uninstalling")
    found, _ = query_key(wine, UNINSTALL_KEY)
    check(not found, "the entry in the list of programs is left after uninstalling")
    with open(os.path.join(own, "Tarnwick.xml"), "rb") as f:
        check(f.read() == kept, "uninstalling changed the operator's Tarnwick.xml")
    print("passed   uninstall: programs, Start-menu entry and list entry gone; Documents\\Tarnwick kept")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--packages", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--qt", required=True, help="the Qt prefix that tarnwick.exe was linked with")
    options = parser.parse_args()
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    wine = wine_program()
    try:
        check_sums(options.packages, options.version)
        check_portable(options.packages, options.version, work, wine)
        check_relink(options.packages, options.version, work, options.qt, wine)
        check_install(options.packages, options.version, work, wine)
    except Failure as failure:
        print(f"FAILED: {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
