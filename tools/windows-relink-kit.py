#!/usr/bin/env python3
"""tarnwick-VERSION-relink-kit.zip: what a user needs to link tarnwick.exe
again with a Qt of their own (the release links Qt statically, and Qt's
licence, the LGPL 3, gives users that right): the program's own object files
and libraries, the other libraries it links, and relink.sh, the link command
with every Qt file named under $QT.

    windows-relink-kit.py BUILD QT_PREFIX VERSION OUTPUT
BUILD is the Ninja build folder that made BUILD/bin/tarnwick.exe.
"""
import os
import shlex
import subprocess
import sys
import zipfile

FIXED_TIME = (2026, 1, 1, 0, 0, 0)  # the same files give the same archive


def link_command(build):
    commands = subprocess.run(["ninja", "-C", build, "-t", "commands", "bin/tarnwick.exe"], check=True,
                              capture_output=True, text=True).stdout.splitlines()
    words = shlex.split(commands[-1])
    # Ninja wraps it as ": && COMMAND && :".
    while words and words[0] in (":", "&&"):
        words.pop(0)
    while words and words[-1] in (":", "&&"):
        words.pop()
    return words


def main():
    build, qt, version, output = sys.argv[1:5]
    build, qt = os.path.abspath(build), os.path.realpath(qt)
    name = f"tarnwick-{version}-relink-kit"
    words = link_command(build)
    # The compiler by its name, as PATH finds it.
    command, files = [os.path.basename(words.pop(0))], {}
    skip_next = False
    for word in words:
        if skip_next:
            skip_next = False
            continue
        if word == "-o":
            command += ["-o", "tarnwick.exe"]
            skip_next = True
            continue
        if word.startswith("-Wl,--out-implib"):
            continue
        path = word if os.path.isabs(word) else os.path.join(build, word)
        if word.startswith("-") or not os.path.isfile(path):
            command.append(shlex.quote(word))
            continue
        real = os.path.realpath(path)
        if real.startswith(qt + os.sep):
            command.append('"$QT"/' + shlex.quote(os.path.relpath(real, qt)))
            continue
        # The program's own files and the other static libraries, in one
        # folder; the CMake folder names tell apart files of the same name.
        if real not in files:
            kept = "objects/" + os.path.basename(real)
            if kept in files.values():
                kept = "objects/" + os.path.relpath(real, build).replace(os.sep, "_")
            files[real] = kept
        kept = files[real]
        command.append(shlex.quote(kept))
    script = f"""#!/bin/sh
# Links tarnwick.exe {version} again, with the Qt 6 base module (static, for
# 64-bit Windows, built with MinGW-w64) installed under $QT. Run it in this
# folder; the compiler is Debian's g++-mingw-w64-x86-64-posix.
set -eu
: "${{QT:?set QT to the prefix of your Qt build}}"
cd "$(dirname "$0")"
{' '.join(command)}
echo "tarnwick.exe written"
"""
    readme = f"""Tarnwick {version}: relinking tarnwick.exe with another Qt

tarnwick.exe holds the Qt toolkit's base module (Qt Core, Qt Gui, Qt Widgets,
the Windows platform plugin), linked statically and used under the GNU Lesser
General Public License version 3. This kit lets you link the program again
with a modified Qt of the same version:

1. Build Qt's base module statically for 64-bit Windows with MinGW-w64, with
   the options of tools/build-windows-qt.sh, and install it under a prefix.
2. QT=/that/prefix sh relink.sh

objects/ holds the program's own object files and libraries and the other
static libraries it links (libxml2, zlib, under their own licences).
"""
    with zipfile.ZipFile(output + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as kit:
        def add(entry, data, mode=0o644):
            info = zipfile.ZipInfo(f"{name}/{entry}", FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = mode << 16
            kit.writestr(info, data)
        add("relink.sh", script, 0o755)
        add("README.txt", readme.replace("\n", "\r\n"))
        for real, kept in sorted(files.items(), key=lambda item: item[1]):
            with open(real, "rb") as f:
                add(kept, f.read())
    os.replace(output + ".part", output)


if __name__ == "__main__":
    main()
