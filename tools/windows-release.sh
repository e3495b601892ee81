#!/bin/sh
# make windows-release: what a Windows operator downloads, under BUILD/packages:
#   tarnwick-VERSION-windows-x64.zip   both programs, a read-me, the licence
#   tarnwick-VERSION-setup.exe         the per-user installer (NSIS)
#   tarnwick-VERSION-relink-kit.zip    tarnwick.exe's object files and link
#                                      command, for a Qt of the user's own
#   SHA256SUMS                         for all three
#
#   tools/windows-release.sh BUILD VERSION QT_PREFIX
# BUILD/bin holds tarnwick.exe and tarnwick-cli.exe; QT_PREFIX is the Qt that
# tarnwick.exe was linked with (tools/build-windows-qt.sh). Text files get Windows
# line ends; the archive's entries carry one fixed time, so that the same
# programs give the same archive.
set -eu
[ $# -eq 3 ] || { echo "usage: $0 BUILD VERSION QT_PREFIX" >&2; exit 2; }
build=$(cd "$1" && pwd) # makensis reads paths from the script's folder: all of them absolute
version=$2
qt=$3
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
# Qt is linked statically: its notice, the notices of the code it carries,
# and the texts of the LGPL 3 and the GPL 3 travel with the programs.
for file in "$qt/.stamp" "$qt/third-party-notices.txt" /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3; do
    [ -f "$file" ] || { echo "$file is missing: run 'make windows-gui' first" >&2; exit 1; }
done
qt_source=$(sed -n 's/^qt6-base \([^;]*\);.*/qt6-base_\1/p' "$qt/.stamp")
{
    cat "$source/doc/copyright"
    sed -e "s/@QT_SOURCE@/$qt_source/" -e "s/@QT_SOURCE_ARGUMENT@/$(echo "$qt_source" | tr _ =)/" \
        -e "s/@VERSION@/$version/" "$source/resources/windows/LICENSE-Qt.txt"
    cat "$qt/third-party-notices.txt"
    printf '\n%s\n\n' "------------------------------------------------------------------------"
    cat /usr/share/common-licenses/LGPL-3
    printf '\n%s\n\n' "------------------------------------------------------------------------"
    cat /usr/share/common-licenses/GPL-3
} | sed -e 's/$/\r/' > "$stage/$name/LICENSE.txt"

rm -f "$out/$name.zip" "$out/tarnwick-$version-setup.exe" "$out/tarnwick-$version-relink-kit.zip" "$out/SHA256SUMS"
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

python3 "$source/tools/windows-relink-kit.py" "$build" "$qt" "$version" "$out/tarnwick-$version-relink-kit.zip"

(cd "$out" && sha256sum "$name.zip" "tarnwick-$version-setup.exe" "tarnwick-$version-relink-kit.zip" > SHA256SUMS)
ls -l "$out"
