#!/bin/sh
# Usage: validate_desktop_files.sh DESKTOP_FILE METAINFO_FILE
# Any complaint of either validator fails, warnings included.
set -eu
status=0
out=$(desktop-file-validate "$1" 2>&1) || status=1
[ -z "$out" ] || { echo "$out"; status=1; }
appstreamcli validate --no-net --pedantic "$2" || status=1
exit $status
