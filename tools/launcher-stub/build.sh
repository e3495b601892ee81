#!/bin/sh
# Rebuilds resources/LoginData.exe from this folder's sources. Needs Debian's
# MinGW-w64 cross compiler (package mingw-w64); a normal build does not.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../../resources/LoginData.exe"}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
x86_64-w64-mingw32-windres --input-format=rc -O coff "$here/launcher_stub.rc" "$tmp/resources.o"
# -s: no symbol table to carry around. Without a relocation section the resource
# section is the last one, so a grown version resource can extend the file.
# --no-insert-timestamp keeps rebuilds byte-identical.
x86_64-w64-mingw32-gcc -std=c11 -O2 -Wall -Wextra -municode -mwindows -s \
    -Wl,--no-insert-timestamp -Wl,--disable-dynamicbase -Wl,--disable-reloc-section \
    -o "$tmp/LoginData.exe" "$here/launcher_stub.c" "$tmp/resources.o" -lversion
mkdir -p "$(dirname "$out")"
cp "$tmp/LoginData.exe" "$out"
echo "wrote $out"
