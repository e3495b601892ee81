#!/bin/sh
# The window's translation file, resources/translations/tarnwick_en.ts.
#   tools/translations.sh update   collects the texts of the layouts and the code
#                                  into it (new ones unfinished, gone ones dropped)
#   tools/translations.sh check    fails when collecting would change it: a text
#                                  without its English, or English for a text gone
# The texts are written in Chinese: in the layouts, in the window's code
# (QCoreApplication::translate) and in the toolkit-free layers (QT_TRANSLATE_NOOP).
set -eu
[ $# -eq 1 ] || { echo "usage: $0 update|check" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
[ -x "$lupdate" ] || { echo "lupdate is missing (Debian's package qt6-l10n-tools)" >&2; exit 1; }
ts=$source/resources/translations/tarnwick_en.ts
collect() {
    (cd "$source" && "$lupdate" -silent -locations none -source-language zh_CN -target-language en \
        src/ui src/edit src/launcher resources/ui -ts "$1")
}
case $1 in
update)
    collect "$ts"
    # Texts no longer in the sources go, rather than stay as obsolete.
    (cd "$source" && "$lupdate" -silent -locations none -no-obsolete -source-language zh_CN -target-language en \
        src/ui src/edit src/launcher resources/ui -ts "$ts")
    ;;
check)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp "$ts" "$work/tarnwick_en.ts"
    collect "$work/tarnwick_en.ts"
    python3 - "$work/tarnwick_en.ts" <<'PYTHON'
import sys, xml.etree.ElementTree as ET
faults = []
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    for message in context.iter("message"):
        kind = message.find("translation").get("type")
        if kind in ("unfinished", "obsolete", "vanished"):
            what = "has no English" if kind == "unfinished" else "is no longer in the sources"
            faults.append(f"{context.findtext('name')}: {message.findtext('source')!r} {what}")
        elif not (message.findtext("translation") or "").strip():
            faults.append(f"{context.findtext('name')}: {message.findtext('source')!r} has an empty English")
for fault in faults:
    print(fault)
if faults:
    print(f"{len(faults)} entries of tarnwick_en.ts to mend: run tools/translations.sh update, then translate")
    sys.exit(1)
print("tarnwick_en.ts: every text translated, none obsolete")
PYTHON
    ;;
*)
    echo "usage: $0 update|check" >&2
    exit 2
    ;;
esac
