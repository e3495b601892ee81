#!/bin/sh
# Installs the missing Debian packages of the lists named (files in tools/;
# default debian-packages.txt). The names are those of Debian 12 and 13 alike;
# where a release names a versioned package (clang-14, clang-19), the lists use
# the metapackage that picks the release's own.
# As root it installs what is missing; otherwise it prints the apt-get line to
# run and stops. On a system without dpkg it says what to install and lets the
# build go on, so that CMake reports anything still missing.
set -eu
here=$(dirname "$0")
[ $# -gt 0 ] || set -- debian-packages.txt

if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
    cat >&2 <<'TEXT'
Not a Debian system (no dpkg-query or apt-get), so the packages cannot be checked.
Install what README.md lists under "Other systems" (CMake 3.25 or later, Ninja, a
C++20 compiler, Qt 6.4 or later, libxml2, zlib, nlohmann-json, GoogleTest) with your package
manager; the build goes on and CMake names anything still missing.
TEXT
    exit 0
fi

wanted=""
for list in "$@"; do
    wanted="$wanted $(sed -e 's/#.*//' "$here/$list")"
done
missing=""
for pkg in $wanted; do
    case " $missing " in *" $pkg "*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $pkg"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages:$missing" >&2
    echo "Install them as root, then run make again:" >&2
    echo "  sudo apt-get install --no-install-recommends$missing" >&2
    exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
if ! apt-get install -y -q --no-install-recommends $missing; then
    echo "Could not install:$missing" >&2
    echo "Check that apt's sources reach a Debian 12 or 13 archive (apt-get update above)," >&2
    echo "or install equivalents by hand as README.md's \"Other systems\" describes." >&2
    exit 1
fi
