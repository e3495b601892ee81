#!/bin/sh
# Usage: tools/install.sh BUILD_DIR PREFIX
# Installs a build under PREFIX and leaves nothing half-installed: the files are
# staged with 'cmake --install' first, every destination is checked for
# writing, the files are copied beside their destinations under temporary names
# (all removed again if one copy fails), and only then renamed into place.
set -eu
build=$1
prefix=$2
case $prefix in
    /*) ;;
    *) echo "install: PREFIX must be an absolute folder, not '$prefix'" >&2; exit 1 ;;
esac
prefix=${prefix%/}

refuse() {
    echo "install: cannot write to $1 ($2)." >&2
    echo "Nothing was installed. Run it as root (sudo make install PREFIX=$prefix)," >&2
    echo "or install for yourself: make install PREFIX=\$HOME/.local" >&2
    exit 1
}

# The nearest folder that exists on the way to $1.
existing() {
    dir=$1
    while [ ! -e "$dir" ]; do dir=$(dirname "$dir"); done
    echo "$dir"
}

# The common refusal comes before any work.
top=$(existing "$prefix")
[ -d "$top" ] || refuse "$top" "not a folder"
[ -w "$top" ] || refuse "$top" "read-only or not yours"

stage=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-stage.XXXXXX")
copied="$stage.copied"
made="$stage.made"
trap 'rm -rf "$stage" "$copied" "$made"' EXIT
: >"$copied"
: >"$made"
DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null
files=$(cd "$stage$prefix" && find . ! -type d | sed 's|^\./||' | sort)

# Then every folder that receives a file.
echo "$files" | while IFS= read -r file; do
    dir=$(existing "$(dirname "$prefix/$file")")
    [ -d "$dir" ] || refuse "$dir" "not a folder"
    [ -w "$dir" ] || refuse "$dir" "read-only or not yours"
done

undo() {
    while IFS= read -r temporary; do rm -f "$temporary" 2>/dev/null || true; done <"$copied"
    # Deepest first; only the folders this run made, and only when empty.
    sort -r "$made" | while IFS= read -r dir; do rmdir "$dir" 2>/dev/null || true; done
    echo "install: copying failed; nothing was installed under $prefix." >&2
    exit 1
}

if ! echo "$files" | while IFS= read -r file; do
    target="$prefix/$file"
    dir=$(dirname "$target")
    if [ ! -d "$dir" ]; then
        missing=$dir
        while [ ! -e "$missing" ]; do echo "$missing" >>"$made"; missing=$(dirname "$missing"); done
        mkdir -p "$dir" || exit 1
    fi
    echo "$target.tarnwick-new" >>"$copied"
    cp -PT "$stage$prefix/$file" "$target.tarnwick-new" || exit 1
done; then
    undo
fi

echo "$files" | while IFS= read -r file; do
    mv -f "$prefix/$file.tarnwick-new" "$prefix/$file"
done
echo "Installed $(echo "$files" | wc -l) files under $prefix."
