#!/usr/bin/env python3
"""What players download: the built launcher image needs only DLLs that
every Windows has, stays within its size, and carries the empty room for the
operator's public keys that tarnwick-cli stamps.

    launcher_image_check.py LoginData.exe
"""
import sys

try:
    import pefile
except ImportError:
    print("SKIPPED: python3-pefile is not installed ('make deps' installs it)")
    sys.exit(77)

MOST_BYTES = 3 << 20
# Windows' own DLLs; bcrypt.dll checks the list's signatures (CNG).
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll", "version.dll",
               "wininet.dll", "msvcrt.dll", "bcrypt.dll"}
KEY_ROOM_BYTES = 160

image = pefile.PE(sys.argv[1])
failures = []
size = len(image.__data__)
if size > MOST_BYTES:
    failures.append(f"{size} bytes, more than {MOST_BYTES}")
imports = sorted(entry.dll.decode().lower() for entry in image.DIRECTORY_ENTRY_IMPORT)
if set(imports) - SYSTEM_DLLS:
    failures.append(f"imports {sorted(set(imports) - SYSTEM_DLLS)}, which Windows does not have")
rooms = [language.data.struct for kind in image.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == 10
         for name in kind.directory.entries if str(name.name) == "TRUSTEDKEYS"
         for language in name.directory.entries]
if len(rooms) != 1:
    failures.append(f"{len(rooms)} TRUSTEDKEYS resources, not one")
else:
    room = image.get_data(rooms[0].OffsetToData, rooms[0].Size)
    # As built it trusts no key: the magic, a count of 0 and zeros.
    if room != b"Tarnwick keys v1" + bytes(KEY_ROOM_BYTES - 16):
        failures.append(f"TRUSTEDKEYS holds {room[:24]!r}… ({len(room)} bytes), not an empty room")
for failure in failures:
    print(f"FAILED: {failure}")
if not failures:
    print(f"{size} bytes; imports {' '.join(imports)}; an empty TRUSTEDKEYS room")
sys.exit(1 if failures else 0)
