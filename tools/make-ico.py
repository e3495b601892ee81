"""Packs PNG images into one Windows icon file, each stored as PNG (Windows
Vista and later read these at every size).

Usage: make-ico.py OUTPUT.ico IMAGE.png...
"""
import struct
import sys

out, images = sys.argv[1], sys.argv[2:]
entries, blobs = [], []
offset = 6 + 16 * len(images)
for path in images:
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit(f"{path}: not a PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if width > 256 or height > 256:
        sys.exit(f"{path}: {width}x{height} is larger than an icon may be")
    # 256 is written as 0; planes 1, 32 bits per pixel.
    entries.append(struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset))
    blobs.append(data)
    offset += len(data)
with open(out, "wb") as f:
    f.write(struct.pack("<HHH", 0, 1, len(images)))
    f.writelines(entries)
    f.writelines(blobs)
