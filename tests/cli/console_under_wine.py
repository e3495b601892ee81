#!/usr/bin/env python3
"""tarnwick-cli.exe's Chinese on a Windows console and in files, under Wine.

    console_under_wine.py --cli tarnwick-cli.exe --wine WINE --work DIR

A console shows bytes in its code page (437 here, 936 on Chinese Windows),
so the program must write it wide characters; a pipe or a file must get the
UTF-8 bytes unchanged. `script` gives Wine a terminal, for which Wine makes
a console whose code page is 437: UTF-8 bytes written to it come out
garbled, wide characters come out right. The console's code page must be the
same after the program as before it.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

GROUP = "华东一区"
MISSING = "不存在"
# The refusal of MISSING, in Chinese whatever Wine's locale.
REFUSAL = f"没有名为“{MISSING}”的分组"


def fail(message):
    print(f"FAILED: {message}")
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    if shutil.which("script") is None:
        print("SKIPPED: script (util-linux) is not installed")
        return 77
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    env = dict(os.environ, WINEDEBUG="-all", DISPLAY="", LC_ALL="C.UTF-8")
    cli = os.path.abspath(options.cli)

    def run(*arguments, **kwargs):
        return subprocess.run([options.wine, cli, "--language", "zh_CN", *arguments], cwd=work, env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120, **kwargs)

    added = run("group", "add", GROUP)
    if added.returncode != 0:
        fail(f"group add: {added.stderr.decode(errors='replace')}")

    # A pipe gets UTF-8 bytes, a file too.
    piped = run("group", "list")
    if GROUP.encode("utf-8") not in piped.stdout:
        fail(f"the piped output lacks the UTF-8 bytes of {GROUP}: {piped.stdout!r}")
    refused = run("group", "delete", MISSING)
    if REFUSAL.encode("utf-8") not in refused.stderr:
        fail(f"the piped error lacks the UTF-8 bytes of {REFUSAL}: {refused.stderr!r}")
    listing = os.path.join(work, "list.txt")
    with open(listing, "wb") as out:
        subprocess.run([options.wine, cli, "--language", "zh_CN", "group", "list"], cwd=work, env=env,
                       stdin=subprocess.DEVNULL, stdout=out, timeout=120, check=True)
    with open(listing, "rb") as f:
        if f.read() != piped.stdout:
            fail("the output redirected to a file differs from the piped one")
    print(f"passed   pipe and file: UTF-8 bytes ({GROUP}, {REFUSAL})")

    # A console, between two looks at its code page.
    # A copy in the working folder, called without a path: quotes around a
    # path would reach cmd escaped.
    shutil.copy(cli, os.path.join(work, "tarnwick-cli.exe"))
    batch = (f'chcp & tarnwick-cli.exe --language zh_CN group list & '
             f'tarnwick-cli.exe --language zh_CN group delete {MISSING} & chcp')
    shown = subprocess.run(["script", "-qec", f"{options.wine} cmd /c '{batch}'", "/dev/null"], cwd=work, env=env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    text = re.sub(r"\x1b\[[?0-9;]*[A-Za-z]", "", shown.stdout.decode("utf-8", errors="replace"))
    pages = re.findall(r"code page: (\d+)", text)
    if len(pages) != 2 or pages[0] != pages[1]:
        fail(f"the console's code page changed or was not shown: {pages}; the console showed {text!r}")
    for word in (GROUP, REFUSAL):
        if word not in text:
            fail(f"the console does not show {word} (code page {pages[0]}): {text!r}")
    print(f"passed   console: {GROUP} and {REFUSAL} shown whole, code page {pages[0]} before and after")
    return 0


if __name__ == "__main__":
    sys.exit(main())
