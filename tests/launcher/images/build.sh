#!/bin/sh
# Rebuilds the test images in ../data from the sources here. Needs Debian's
# MinGW-w64 cross compiler (package mingw-w64); the tests use the committed files.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../data"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$data"

# image TRIPLET RC OUTPUT [LINKER OPTIONS...]
image() {
    triplet=$1 rc=$2 out=$3
    shift 3
    # 32-bit symbols carry a leading underscore.
    entry=entry
    [ "$triplet" = i686-w64-mingw32 ] && entry=_entry
    "$triplet-windres" --input-format=rc -O coff -I "$here" "$here/$rc" "$tmp/res.o"
    "$triplet-gcc" -nostdlib -e "$entry" -s -Wl,--no-insert-timestamp "$@" \
        -o "$data/$out" "$here/entry.c" "$tmp/res.o"
}

# Without a relocation section the resource section is the last one.
last="-Wl,--disable-dynamicbase -Wl,--disable-reloc-section"
image x86_64-w64-mingw32 version.rc version64.exe $last
image i686-w64-mingw32 version.rc version32.exe $last
image x86_64-w64-mingw32 noversion.rc noversion.exe $last
image x86_64-w64-mingw32 otherlang.rc otherlang.exe $last
image x86_64-w64-mingw32 secondtable.rc secondtable.exe $last
image x86_64-w64-mingw32 notranslation.rc notranslation.exe $last
# A relocation section goes after .rsrc.
image x86_64-w64-mingw32 version.rc notlast.exe -Wl,--dynamicbase -Wl,--enable-reloc-section
# No resources at all.
"x86_64-w64-mingw32-gcc" -nostdlib -e entry -s -Wl,--no-insert-timestamp $last \
    -o "$data/noresources.exe" "$here/entry.c"
ls -l "$data"
