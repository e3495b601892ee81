#!/bin/sh
# Usage: install_test.sh SOURCE_DIR BUILD_DIR GUI(ON|OFF)
# tools/install.sh puts everything in place, and a failing install leaves the
# prefix as it found it: midway through copying, and on a prefix it may not write.
set -eu
source_dir=$1
build=$2
gui=$3
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
install="$source_dir/tools/install.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
sh "$install" "$build" "$prefix" >/dev/null
expected="bin/tarnwick-cli
share/bash-completion/completions/tarnwick-cli
share/doc/tarnwick/copyright
share/man/man1/tarnwick-cli.1.gz"
if [ "$gui" = ON ]; then
    expected="$expected
bin/tarnwick
share/applications/org.tarnwick.tarnwick.desktop
share/icons/hicolor/16x16/apps/org.tarnwick.tarnwick.png
share/icons/hicolor/256x256/apps/org.tarnwick.tarnwick.png
share/icons/hicolor/scalable/apps/org.tarnwick.tarnwick.svg
share/man/man1/tarnwick.1.gz
share/metainfo/org.tarnwick.tarnwick.metainfo.xml"
fi
echo "$expected" | while IFS= read -r file; do
    [ -f "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/bin/tarnwick-cli" ] || fail "tarnwick-cli is not executable"
[ -z "$(find "$prefix" -name '*.tarnwick-new')" ] || fail "temporary files left"
bash -n "$prefix/share/bash-completion/completions/tarnwick-cli" || fail "completion is not valid bash"
gzip -t "$prefix/share/man/man1/tarnwick-cli.1.gz" || fail "manual page is not gzip"

# A folder in the way of a late copy makes it fail after others are in place.
blocked="$work/blocked"
obstacle=share/man/man1/tarnwick-cli.1.gz.tarnwick-new
mkdir -p "$blocked/$obstacle"
if sh "$install" "$build" "$blocked" 2>"$work/error"; then fail "installed past a failed copy"; fi
grep -q "nothing was installed" "$work/error" || fail "no message: $(cat "$work/error")"
left=$(cd "$blocked" && find . ! -type d; find . -mindepth 1 -type d ! -path "./share" ! -path "./share/man*")
[ -z "$left" ] || fail "left behind: $left"

# A prefix that is not writable is refused before anything is copied. Root may
# write anywhere, so it runs as nobody there.
locked="$work/locked"
mkdir -p "$locked"
chmod 0555 "$locked"
chmod 0755 "$work"
if [ "$(id -u)" -eq 0 ]; then
    as_other="setpriv --reuid=65534 --regid=65534 --clear-groups"
else
    as_other=""
fi
if TMPDIR=/tmp $as_other sh "$install" "$build" "$locked/usr" 2>"$work/error"; then fail "installed into a read-only prefix"; fi
grep -q "cannot write to $locked (read-only or not yours)" "$work/error" || fail "no message: $(cat "$work/error")"
grep -q "make install PREFIX=\$HOME/.local" "$work/error" || fail "no advice: $(cat "$work/error")"
[ -z "$(ls -A "$locked")" ] || fail "wrote into a read-only prefix"
echo "ok"
