#!/usr/bin/env python3
"""The notices of the code that Qt's base module carries from elsewhere
(PCRE2, HarfBuzz, libpng, double-conversion, hash functions, ...), from the
qt_attribution.json files of its source, with their licence texts: the release
for Windows links Qt statically, so they travel in its LICENSE.txt.

    qt-notices.py QT_SOURCE OUTPUT
"""
import json
import os
import sys

# Parts of the source that the Windows build leaves out (features off, other
# platforms, build helpers).
LEFT_OUT = {"opengl", "vulkan", "network", "testlib", "dbus", "cocoa", "xcb", "wasm", "android", "gradle",
            "libpsl", "libjpeg", "md4c", "freetype", "VulkanMemoryAllocator", "forkfd"}


def entries(source):
    for folder, subfolders, files in os.walk(os.path.join(source, "src")):
        subfolders[:] = sorted(d for d in subfolders if d not in LEFT_OUT)
        if "qt_attribution.json" not in files:
            continue
        with open(os.path.join(folder, "qt_attribution.json"), encoding="utf-8") as f:
            found = json.loads(f.read(), strict=False)  # some hold raw line breaks
        for entry in found if isinstance(found, list) else [found]:
            yield folder, entry


def main():
    source, output = sys.argv[1:3]
    parts = []
    for folder, entry in sorted(entries(source), key=lambda item: item[1].get("Name", "")):
        lines = [f"{entry.get('Name', entry.get('Id', '?'))} {entry.get('Version', '')}".rstrip(),
                 f"Licence: {entry.get('License', '?')}"]
        copyright = entry.get("Copyright", "")
        if isinstance(copyright, list):
            copyright = "\n".join(copyright)
        lines.append(copyright.strip())
        names = entry.get("LicenseFile") or entry.get("LicenseFiles") or []
        for name in [names] if isinstance(names, str) else names:
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                lines.append("\n" + f.read().strip())
        parts.append("\n".join(line for line in lines if line))
    rule = "\n\n" + "-" * 72 + "\n\n"
    with open(output + ".part", "w", encoding="utf-8") as out:
        out.write(rule.join(parts) + "\n")
    os.replace(output + ".part", output)


if __name__ == "__main__":
    main()
