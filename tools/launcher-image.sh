#!/bin/sh
# resources/LoginData.exe, the launcher image that the programs carry, is
# committed so that building Tarnwick needs no cross compiler; this checks
# that it is exactly what its sources (src/player_launcher/) give, and
# replaces it with a fresh build. The image is the same byte for byte only
# with the same cross toolchain, so the toolchain that made it is recorded
# beside it (resources/LoginData.exe.toolchain).
#   tools/launcher-image.sh check BUILT_EXE DEPS    0 same, 1 different, 77 another toolchain (skipped)
#   tools/launcher-image.sh update BUILT_EXE DEPS   copy BUILT_EXE over the image and record the toolchain
# DEPS is the prefix of the MinGW libraries (tools/build-windows-deps.sh).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
image="$here/../resources/LoginData.exe"
record="$image.toolchain"
[ $# -eq 3 ] || { echo "usage: $0 check|update BUILT_EXE DEPS" >&2; exit 2; }
action=$1
built=$2
deps=$3

# The packages whose code or tools end up in the image, and the libxml2 that
# tools/build-windows-deps.sh built (its stamp names the version).
toolchain() {
    for package in g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev; do
        printf '%s %s\n' "$package" "$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || echo unknown)"
    done
    printf 'libxml2 %s\n' "$(sed -n 's/^libxml2 \([^;]*\);.*/\1/p' "$deps/.stamp" 2>/dev/null || echo unknown)"
}

[ -f "$built" ] || { echo "no launcher build at $built" >&2; exit 2; }
case "$action" in
update)
    cp "$built" "$image"
    toolchain > "$record"
    echo "resources/LoginData.exe updated ($(wc -c < "$image") bytes), made with:"
    cat "$record"
    ;;
check)
    current=$(toolchain)
    recorded=$(cat "$record" 2>/dev/null || echo "(no record: $record is missing)")
    if [ "$current" != "$recorded" ]; then
        echo "SKIPPED: resources/LoginData.exe was committed with"
        echo "$recorded" | sed 's/^/    /'
        echo "this machine has"
        echo "$current" | sed 's/^/    /'
        exit 77
    fi
    if cmp -s "$built" "$image"; then
        echo "resources/LoginData.exe is the build of its sources ($(wc -c < "$image") bytes)"
        exit 0
    fi
    echo "resources/LoginData.exe differs from the build of its sources ($built):"
    cmp "$built" "$image" || true
    echo "sizes: built $(wc -c < "$built"), committed $(wc -c < "$image")"
    echo "when the sources changed on purpose: tools/launcher-image.sh update $built $deps"
    exit 1
    ;;
*)
    echo "usage: $0 check|update BUILT_EXE DEPS" >&2
    exit 2
    ;;
esac
