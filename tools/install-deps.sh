#!/bin/sh
# Installs the missing Debian packages of a list in tools/ (default: debian-packages.txt).
set -eu
list="$(dirname "$0")/${1:-debian-packages.txt}"
missing=""
for pkg in $(grep -v '^#' "$list"); do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $pkg"
    fi
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
    echo "Run 'make deps' as root (or install:$missing)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
# shellcheck disable=SC2086
apt-get install -y --no-install-recommends $missing
