#!/bin/sh
# Runs a command (CTest over the Windows build) with a persistent wineserver
# for the given Wine prefix, started here, outside the command: a wineserver
# that the command's first Windows program started would inherit its output
# pipes and keep CTest waiting after the last test.
#   Usage: tools/wine-session.sh PREFIX COMMAND...
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
server=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)
mkdir -p "$prefix"
"$server" -p </dev/null >/dev/null 2>&1
trap '"$server" -k 2>/dev/null || true' EXIT INT TERM
# Creating the prefix takes a while the first time; do it before the clock of any test starts.
# A first wineboot in a new prefix has been seen to fail once: try again, and
# show its output when that fails too.
if ! "$wine" wineboot -i </dev/null >/dev/null 2>&1; then
    "$wine" wineboot -i </dev/null >"$prefix.wineboot.log" 2>&1 || {
        echo "wine-session: wineboot failed twice for $prefix:" >&2
        tail -n 20 "$prefix.wineboot.log" >&2
        exit 1
    }
fi
"$@"
