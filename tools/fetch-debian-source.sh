#!/bin/sh
# fetch-debian-source.sh WORK SOURCE=VERSION DEST LOG: unpacks Debian's source
# package into DEST. apt-get source needs deb-src entries; they are made from
# the machine's own deb entries into a private apt state under WORK, so the
# system's apt is left untouched and no package server is named here.
set -eu
work=$1 wanted=$2 dest=$3 log=$4
apt="$work/apt"
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$dest"
: > "$apt/sources.list"
[ -f /etc/apt/sources.list ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$apt/sources.list"
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" > "$apt/sources.list.d/$(basename "$f")"
done
aptopts="-o Dir::Etc::SourceList=$apt/sources.list -o Dir::Etc::SourceParts=$apt/sources.list.d \
 -o Dir::State::Lists=$apt/lists -o Dir::Cache=$apt/cache -o Debug::NoLocking=1 -o APT::Sandbox::User=root"
# shellcheck disable=SC2086
apt-get -q $aptopts update >>"$log" 2>&1 || { tail -n 30 "$log"; exit 1; }
# shellcheck disable=SC2086
(cd "$dest" && apt-get -q $aptopts source --only-source "$wanted") >>"$log" 2>&1 || { tail -n 30 "$log"; exit 1; }
