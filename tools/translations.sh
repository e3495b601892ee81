#!/bin/sh
# The translation files in resources/translations:
#   tarnwick_en.ts         the English of the texts written in Chinese: the
#                          layouts, the window's code (QCoreApplication::translate)
#                          and the toolkit-free layers (QT_TRANSLATE_NOOP)
#   tarnwick-cli_zh_CN.ts  the Chinese of the command line's own texts, written
#                          in English
#   tools/translations.sh update   collects the texts into them (new ones
#                                  unfinished, gone ones dropped)
#   tools/translations.sh check    fails when collecting would change them: a
#                                  text without its translation, or one for a text gone
set -eu
[ $# -eq 1 ] || { echo "usage: $0 update|check" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
[ -x "$lupdate" ] || { echo "lupdate is missing (Debian's package qt6-l10n-tools)" >&2; exit 1; }
folder=$source/resources/translations
# FILE FROM TO SOURCES...: the texts of SOURCES, written in FROM, into FILE.
collect() {
    file=$1 from=$2 to=$3
    shift 3
    (cd "$source" && "$lupdate" -silent -locations none -no-obsolete -source-language "$from" \
        -target-language "$to" "$@" -ts "$file")
}
collect_all() {
    collect "$1/tarnwick_en.ts" zh_CN en src/ui src/edit src/launcher src/sign src/base src/config src/app src/digest src/publish resources/ui
    collect "$1/tarnwick-cli_zh_CN.ts" en zh_CN src/cli
}
case $1 in
update)
    collect_all "$folder"
    ;;
check)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp "$folder/tarnwick_en.ts" "$folder/tarnwick-cli_zh_CN.ts" "$work/"
    collect_all "$work"
    python3 - "$folder" "$work" <<'PYTHON'
import sys, xml.etree.ElementTree as ET
folder, work = sys.argv[1], sys.argv[2]
faults = []
for name in ("tarnwick_en.ts", "tarnwick-cli_zh_CN.ts"):
    with open(f"{folder}/{name}", "rb") as a, open(f"{work}/{name}", "rb") as b:
        if a.read() != b.read():
            faults.append(f"{name}: collecting the texts changes it")
    for context in ET.parse(f"{work}/{name}").getroot().iter("context"):
        for message in context.iter("message"):
            kind = message.find("translation").get("type")
            where = f"{name}: {context.findtext('name')}: {message.findtext('source')!r}"
            if kind in ("unfinished", "obsolete", "vanished"):
                faults.append(where + (" has no translation" if kind == "unfinished" else " is no longer in the sources"))
            elif not (message.findtext("translation") or "").strip():
                faults.append(where + " has an empty translation")
for fault in faults:
    print(fault)
if faults:
    print(f"{len(faults)} faults: run tools/translations.sh update, then translate")
    sys.exit(1)
print("every text translated, none obsolete")
PYTHON
    ;;
*)
    echo "usage: $0 update|check" >&2
    exit 2
    ;;
esac
