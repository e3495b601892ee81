#!/bin/sh
# Runs generated launchers under Wine, so that Windows' own version functions
# read the stamped values. Usage: run_under_wine.sh TARNWICK_CLI. Exits 77 (skipped) without wine.
set -eu
wine=$(command -v wine64 || command -v wine || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || true)
[ -n "$wine" ] || { echo "wine is not installed"; exit 77; }
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all DISPLAY=
# check GAMENAME LISTURL [CLIENT]
check() {
    if [ $# -eq 3 ]; then
        "$cli" launcher --client "$3" "$1" "$2" >/dev/null
    else
        "$cli" launcher "$1" "$2" >/dev/null
    fi
    output=$(timeout 300 "$wine" "./$1.exe" /print 2>/dev/null | tr -d '\r')
    expected=$(printf 'GameName: %s\nServerList: %s\nGameClient: %s' "$1" "$2" "${3:-}")
    [ "$output" = "$expected" ] || { echo "unexpected output for $1: $output"; exit 1; }
}
check "Velmora" "http://list.example.net:8888/ServerInfo.txt"
# A Chinese name: the file name on disk is UTF-8, the stamped values are the same characters.
check "传奇世界" "http://list.example.net:8888/ServerInfo.txt"
check "Velmora" "http://list.example.net:8888/ServerInfo.txt" '"客户端\game.exe" -s %addr% -p %port%'
echo "the launchers show their stamped values under Wine"
