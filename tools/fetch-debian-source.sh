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
if (cd "$dest" && apt-get -q $aptopts source --only-source "$wanted") >>"$log" 2>&1; then
    exit 0
fi

# A mirror may lack the .dsc (a partial mirror of the security archive does)
# while it has the archives it names. apt checked each one it fetched against
# the hashes of the sources index; they are checked here again and unpacked as
# dpkg-source unpacks a "3.0 (quilt)" package: the upstream archive, Debian's
# folder over it, Debian's patches in the order of their series.
source=${wanted%%=*} version=${wanted#*=}
upstream=${version#*:}
upstream=${upstream%-*}
# shellcheck disable=SC2086
apt-cache $aptopts showsrc --only-source "$source" 2>>"$log" | awk -v version="$version" '
    /^$/ { stanza = 0 }
    /^Version: / { stanza = ($2 == version) }
    stanza && /^Checksums-Sha256:/ { sums = 1; next }
    stanza && sums && /^ / { print $1 "  " $3; next }
    { sums = 0 }' | grep -v '\.dsc$' > "$work/$source.sha256" || true
orig=$(find "$dest" -maxdepth 1 -name "${source}_$upstream.orig.tar.*" ! -name '*.asc' | head -n 1)
debian=$(find "$dest" -maxdepth 1 -name "${source}_$version.debian.tar.*" | head -n 1)
if [ -n "$(find "$dest" -maxdepth 1 -name '*.dsc')" ] || [ -z "$orig" ] || [ -z "$debian" ] \
    || ! grep -q "  $(basename "$orig")\$" "$work/$source.sha256" \
    || ! grep -q "  $(basename "$debian")\$" "$work/$source.sha256" \
    || ! (cd "$dest" && sha256sum --quiet --ignore-missing -c "$work/$source.sha256") >>"$log" 2>&1; then
    tail -n 30 "$log"
    exit 1
fi
echo "fetch-debian-source.sh: the mirror has no .dsc of $source $version: unpacking its checked archives" >&2
tree="$dest/$source-$upstream"
mkdir "$tree"
tar -xf "$orig" -C "$tree" --strip-components=1
tar -xf "$debian" -C "$tree"
if [ -f "$tree/debian/patches/series" ]; then
    sed -e 's/#.*//' "$tree/debian/patches/series" | while read -r patch options; do
        [ -n "$patch" ] || continue
        (cd "$tree" && patch -s -N -f ${options:--p1} < "debian/patches/$patch") >>"$log" 2>&1 \
            || { echo "Debian's patch $patch does not apply to $source $version" >&2; tail -n 30 "$log"; exit 1; }
    done
fi
