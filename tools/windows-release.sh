#!/bin/sh
# make windows-release: what a Windows operator downloads, under BUILD/packages:
#   tarnwick-VERSION-windows-x64.zip   both programs, a read-me, the licence
#   tarnwick-VERSION-setup.exe         the per-user installer (NSIS)
#   SHA256SUMS                         for both
#
#   tools/windows-release.sh BUILD VERSION
# BUILD/bin holds tarnwick.exe and tarnwick-cli.exe. Text files get Windows
# line ends; the archive's entries carry one fixed time, so that the same
# programs give the same archive.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 BUILD VERSION" >&2; exit 2; }
build=$(cd "$1" && pwd) # makensis reads paths from the script's folder: all of them absolute
version=$2
source=$(cd "$(dirname "$0")/.." && pwd)
out=$build/packages
name=tarnwick-$version-windows-x64
for program in tarnwick.exe tarnwick-cli.exe; do
    [ -f "$build/bin/$program" ] || { echo "$build/bin/$program is missing: run 'make windows-gui' first" >&2; exit 1; }
done
command -v makensis >/dev/null || { echo "makensis is missing (Debian's package nsis; 'make windows-release' installs it)" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name" "$out"
cp "$build/bin/tarnwick.exe" "$build/bin/tarnwick-cli.exe" "$stage/$name/"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$source/resources/windows/README.txt" > "$stage/$name/README.txt"
sed -e 's/$/\r/' "$source/doc/copyright" > "$stage/$name/LICENSE.txt"

rm -f "$out/$name.zip" "$out/tarnwick-$version-setup.exe" "$out/SHA256SUMS"
python3 - "$stage" "$name" "$out/$name.zip" <<'PYTHON'
import os, sys, zipfile
stage, name, target = sys.argv[1:]
with zipfile.ZipFile(target + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for entry in ("tarnwick.exe", "tarnwick-cli.exe", "README.txt", "LICENSE.txt"):
        info = zipfile.ZipInfo(f"{name}/{entry}", (2026, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(stage, name, entry), "rb") as f:
            archive.writestr(info, f.read())
os.replace(target + ".part", target)
PYTHON

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage/$name" \
    -DOUTFILE="$out/tarnwick-$version-setup.exe.part" "$source/resources/windows/tarnwick.nsi"
mv "$out/tarnwick-$version-setup.exe.part" "$out/tarnwick-$version-setup.exe"

(cd "$out" && sha256sum "$name.zip" "tarnwick-$version-setup.exe" > SHA256SUMS)
ls -l "$out"
