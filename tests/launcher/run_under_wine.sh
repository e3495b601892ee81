#!/bin/sh
# Runs a generated launcher under Wine, so that Windows' own version functions
# read the stamped values. Usage: run_under_wine.sh TARNWICK_CLI. Exits 77 (skipped) without wine.
set -eu
command -v wine >/dev/null 2>&1 || { echo "wine is not installed"; exit 77; }
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$cli" launcher "Velmora" "http://list.example.net:8888/ServerInfo.txt"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
output=$(wine ./Velmora.exe /print | tr -d '\r')
expected=$(printf 'GameName: Velmora\nServerList: http://list.example.net:8888/ServerInfo.txt')
[ "$output" = "$expected" ] || { echo "unexpected output: $output"; exit 1; }
