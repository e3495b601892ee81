#!/bin/sh
# Usage, as root: tools/check-package.sh build/packages/tarnwick_VERSION_ARCH.deb
# Installs the package with apt-get on a fresh minimal Debian root, as an operator
# would, and checks that both programs run: --version of each, the window started
# on a virtual X display (its screenshot is kept beside the package), and lintian.
# The minimal root is made once with debootstrap under ${TMPDIR:-/tmp} and copied
# afresh for every check; CHECK_SUITE picks the release (default bookworm).
# Takes about five minutes, two or three more when the root must be made first.
set -eu
deb=$(realpath "$1")
suite=${CHECK_SUITE:-bookworm}
base="${TMPDIR:-/tmp}/tarnwick-check-$suite"
root="$base.run"
shot="${deb%.deb}-$suite.png"

[ "$(id -u)" -eq 0 ] || { echo "check-package: run it as root (it uses chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { apt-get update -q >/dev/null; apt-get install -y -q debootstrap >/dev/null; }
# The archive is the one this machine's apt uses.
mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '/^deb / { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || { echo "check-package: cannot find a Debian archive in apt's sources" >&2; exit 1; }

if [ ! -f "$base/.ready" ]; then
    echo "Making a minimal Debian $suite root (once)..."
    rm -rf "$base"
    debootstrap --variant=minbase "$suite" "$base" "$mirror" >"$base.log" 2>&1 || { tail -5 "$base.log"; exit 1; }
    touch "$base/.ready"
fi
rm -rf "$root"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
cleanup() {
    for mount in dev/pts dev proc; do umount "$root/$mount" 2>/dev/null || umount -l "$root/$mount" 2>/dev/null || true; done
}
trap cleanup EXIT
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"

inside() {
    chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive sh -euc "$1"
}

echo "== apt-get install ./$(basename "$deb")"
inside "apt-get update -q >/dev/null && apt-get install -y -q ./tmp/$(basename "$deb") >/tmp/install.log 2>&1 || { tail -20 /tmp/install.log; exit 1; }"
version=$(dpkg-deb -f "$deb" Version)
echo "== --version"
inside "test \"\$(tarnwick-cli --version)\" = 'tarnwick-cli $version' && test \"\$(tarnwick --version)\" = 'tarnwick $version'"
inside "tarnwick-cli --version; tarnwick --version"

echo "== the window, from the menu entry's command line, on a virtual display"
inside "apt-get install -y -q --no-install-recommends xvfb >/dev/null 2>&1"
inside '
    mkdir -p /tmp/fb
    # Xvfb picks a free display and names it; X sockets are seen across the chroot.
    Xvfb -displayfd 3 -screen 0 800x600x24 -fbdir /tmp/fb -nolisten tcp 3>/tmp/display >/tmp/xvfb.log 2>&1 &
    xvfb=$!
    trap "kill $xvfb 2>/dev/null || true" EXIT
    sleep 2
    test -s /tmp/display || { cat /tmp/xvfb.log; exit 1; }
    command=$(sed -n "s/^Exec=//p" /usr/share/applications/org.tarnwick.tarnwick.desktop)
    cd /root
    DISPLAY=:$(cat /tmp/display) $command >/tmp/tarnwick.log 2>&1 &
    tarnwick=$!
    sleep 10
    # Xvfb keeps its screen as an XWD file; take it while the window is up.
    cp /tmp/fb/Xvfb_screen0 /tmp/screen.xwd
    running=yes
    kill $tarnwick 2>/dev/null || running=no
    cat /tmp/tarnwick.log
    test $running = yes || { echo "tarnwick did not stay up"; exit 1; }
    test -d /root/.local/share/tarnwick || { echo "no own folder made"; exit 1; }
    test -z "$(ls /root)" || { echo "files left in the home folder: $(ls /root)"; exit 1; }'
# The screen as a PNG, made on this side: the fresh root has no Python.
python3 - "$root/tmp/screen.xwd" "$shot" <<'PYTHON'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
fields = struct.unpack(">25I", data[:100])
header_size, width, height, bytes_per_line, ncolors = fields[0], fields[4], fields[5], fields[12], fields[19]
pixels = data[header_size + 12 * ncolors:]
rows, colours = b"", set()
for y in range(height):
    line = pixels[y * bytes_per_line:y * bytes_per_line + 4 * width]
    rgb = bytearray()
    for x in range(width):
        b, g, r = line[4 * x:4 * x + 3]
        rgb += bytes((r, g, b))
    colours.update(bytes(rgb[i:i + 3]) for i in range(0, len(rgb), 3 * 7))
    rows += b"\0" + bytes(rgb)
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
open(sys.argv[2], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                              + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
# An empty screen has one colour; a window with text has many.
sys.exit(0 if len(colours) > 20 else "the screen shows no window")
PYTHON
echo "screenshot: $shot"

echo "== lintian"
inside "apt-get install -y -q --no-install-recommends lintian >/dev/null 2>&1"
inside "lintian --fail-on error --suppress-tags-from-file /dev/null /tmp/$(basename "$deb")"
echo "check-package: $(basename "$deb") installs and runs on Debian $suite"
