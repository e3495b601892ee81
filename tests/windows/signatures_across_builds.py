#!/usr/bin/env python3
"""Signatures across the two builds: keys made and lists signed by
tarnwick-cli.exe under Wine (CNG, the private halves kept with DPAPI) verify
with this machine's tarnwick-cli (OpenSSL), and keys and lists of this
machine's verify under Wine. Each side keeps its keys in a settings folder of
the test's own: XDG_CONFIG_HOME on Linux, and on Windows a Wine prefix of the
test's own (Wine sets %APPDATA% from the prefix's profile, whatever the
caller's environment says).

    signatures_across_builds.py --cli tarnwick-cli.exe --host-cli tarnwick-cli --wine WINE
        --document Tarnwick.xml --work DIR
"""
import argparse
import glob
import json
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "player_launcher_e2e"))
from launcher_under_wine import Failure, WineSession, check, cli_environment, read, write  # noqa: E402


class Side:
    """One build's tarnwick-cli with its own keys, run in a folder of the work."""

    def __init__(self, name, command, env, key_folder):
        self.name, self.command, self.env, self.key_folder = name, command, env, key_folder

    def run(self, folder, *arguments, status=0):
        done = subprocess.run([*self.command, "--language", "en", *arguments], cwd=folder, env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        said = (done.stdout + done.stderr).decode(errors="replace").strip()
        check(done.returncode == status, f"{self.name}: {' '.join(arguments)} exited {done.returncode}, "
                                         f"not {status}: {said}")
        return said

    def ids(self, folder):
        return json.loads(self.run(folder, "key", "show", "--json"))

    def key_file(self):
        return read(os.path.join(self.key_folder(), "signing-keys.txt")).decode()


def tampered(signature):
    """The signature file with one digit of its signature changed."""
    at = signature.index(b"signature: ") + len(b"signature: ") + 10
    return signature[:at] + (b"1" if signature[at:at + 1] != b"1" else b"2") + signature[at + 1:]


def across(signer, verifier, document, folder):
    """The signer makes keys and signs a list; the verifier imports the
    exported keys and finds the list's signature good, and bad once changed."""
    os.makedirs(folder)
    shutil.copy(document, folder)
    signer.run(folder, "key", "new")
    signer.run(folder, "serverinfo")
    signer.run(folder, "key", "export", "keys.txt")
    signed = signer.ids(folder)
    # Not yet the verifier's keys: launchers made with its keys would refuse the list.
    verifier.run(folder, "verify", status=1)
    verifier.run(folder, "key", "import", "keys.txt")
    check(verifier.ids(folder)["signing"] == signed["signing"] and verifier.ids(folder)["backup"] == signed["backup"],
          f"{verifier.name} imported other keys than {signer.name} exported")
    said = verifier.run(folder, "verify")
    check(signed["signing"] in said, f"{verifier.name}'s verify does not name the key {signed['signing']}: {said}")
    signature = read(os.path.join(folder, "ServerInfo.txt.sig"))
    write(os.path.join(folder, "ServerInfo.txt.sig"), tampered(signature))
    verifier.run(folder, "verify", status=1)
    write(os.path.join(folder, "ServerInfo.txt.sig"), signature)
    print(f"passed   {signer.name} signed with key {signed['signing']}; {verifier.name} verified it, "
          f"and refused it with one digit changed")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True, help="tarnwick-cli.exe")
    parser.add_argument("--host-cli", required=True, help="tarnwick-cli built for this machine")
    parser.add_argument("--wine", required=True)
    parser.add_argument("--document", required=True, help="a Tarnwick.xml to publish")
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    document = os.path.abspath(options.document)

    prefix = os.path.join(work, "prefix")
    wine_env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8", DISPLAY="")

    def wine_keys():
        found = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "Tarnwick"))
        check(len(found) == 1, f"the Wine prefix holds {len(found)} settings folders: {found}")
        return found[0]

    windows = Side("tarnwick-cli.exe", [options.wine, os.path.abspath(options.cli)], wine_env, wine_keys)
    failures = []
    try:
        with WineSession(options.wine, wine_env):
            for number, (signer_is_windows, name) in enumerate(((True, "from Windows"), (False, "to Windows"))):
                settings = os.path.join(work, f"settings-{number}")
                linux = Side("tarnwick-cli", [os.path.abspath(options.host_cli)], cli_environment(settings),
                             lambda settings=settings: os.path.join(settings, "tarnwick"))
                signer, verifier = (windows, linux) if signer_is_windows else (linux, windows)
                try:
                    across(signer, verifier, document, os.path.join(work, name.replace(" ", "-")))
                    # Kept for the user on Windows, readable on Linux only by its owner.
                    check("signing-private: dpapi:" in windows.key_file(),
                          f"tarnwick-cli.exe keeps its private key unprotected:\n{windows.key_file()}")
                    check("signing-private: none:" in linux.key_file(), "tarnwick-cli keeps another protection")
                except Failure as failure:
                    failures.append(f"{name}: {failure}")
                    print(f"FAILED: {name}: {failure}")
                # The next direction starts with no keys on Windows.
                for folder in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                                     "Tarnwick")):
                    shutil.rmtree(folder)
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (Failure, RuntimeError, subprocess.SubprocessError) as failure:
        print(f"FAILED: {failure}")
        sys.exit(1)
