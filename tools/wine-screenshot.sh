#!/bin/sh
# Runs the Windows program as an operator would and looks at what it did:
#  1. tarnwick.exe imports only DLLs that Windows itself has (Wine's built-in
#     ones and API sets stand for them) and carries its version resource
#     and icon;
#  2. under Wine, on a private Xvfb display, in a folder holding the sample
#     Tarnwick.xml, its main window appears and is saved as a PNG image;
#  3. the window is closed (WM_CLOSE, as from its close button), the program
#     ends, and Tarnwick.xml is unchanged byte for byte.
# Chinese captions need a CJK font, which a fresh Wine prefix lacks: Debian's
# WenQuanYi Micro Hei is linked into the prefix's Fonts folder and named as the
# replacement for the families the window asks for (宋体, SimSun, NSimSun).
# Not Zen Hei: Wine draws its embedded 12-pixel bitmaps, which lose strokes.
#   Usage: tools/wine-screenshot.sh TARNWICK_EXE SAMPLE_XML OUTPUT_DIR VERSION
set -eu
[ $# -eq 4 ] || { echo "usage: $0 TARNWICK_EXE SAMPLE_XML OUTPUT_DIR VERSION" >&2; exit 2; }
exe=$(realpath "$1")
sample=$(realpath "$2")
mkdir -p "$3"
out=$(realpath "$3")
version=$4

fail() { echo "wine-screenshot: $*" >&2; exit 1; }
for tool in Xvfb xdotool xwd xwdtopnm pnmtopng fc-match x86_64-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null || fail "$tool is missing ('make deps' installs it)"
done
wine=$(command -v wine64 || command -v wine || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || true)
[ -n "$wine" ] || fail "wine is missing ('make deps' installs it)"
wineserver=$(command -v wineserver || echo "$(dirname "$(realpath "$wine")")/wineserver")
wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

# 1. Only system DLLs, and the version resource.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
for dll in $imports; do
    case "$dll" in
        api-ms-win-*) continue ;; # API sets: names that Windows' loader resolves itself
    esac
    [ -e "$wine_dlls/$(echo "$dll" | tr 'A-Z' 'a-z')" ] || fail "tarnwick.exe needs $dll, which Windows does not have"
done
echo "imports only system DLLs: $(echo $imports)"
# Debian's Python, which has python3-pefile (not one that PATH may put first).
/usr/bin/python3 - "$exe" "$version" <<'EOF'
import sys
try:
    import pefile
except ImportError:
    print("python3-pefile is missing: version resource not checked")
    sys.exit(0)
exe, version = sys.argv[1:3]
pe = pefile.PE(exe)
strings = {}
for info in getattr(pe, "FileInfo", []) or []:
    for part in info:
        for table in getattr(part, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
fixed = pe.VS_FIXEDFILEINFO[0]
numbers = (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF, fixed.ProductVersionLS >> 16)
want = {"ProductName": "Tarnwick", "ProductVersion": version, "FileVersion": version}
wrong = {k: strings.get(k) for k, v in want.items() if strings.get(k) != v}
if wrong or ".".join(map(str, numbers)) != version:
    sys.exit(f"version resource: expected {want} and {version}, found {strings} and {numbers}")
icons = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"]]
if not icons:
    sys.exit("no icon resource")
print(f"version resource: {strings['ProductName']} {strings['ProductVersion']}; an icon")
EOF

# 2. The window under Wine.
work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")" WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko installer dialogs: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
timeout 300 "$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
cjk_font=$(fc-match -f '%{file}' 'WenQuanYi Micro Hei')
case "$cjk_font" in
    *wqy-microhei*) ;;
    *) fail "WenQuanYi Micro Hei is not installed (fonts-wqy-microhei)" ;;
esac
ln -s "$cjk_font" "$WINEPREFIX/drive_c/windows/Fonts/"
for family in 宋体 SimSun NSimSun; do
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$family" /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
# Windows smooths font edges by default, Wine does not: at 12 pixels, Chinese
# glyphs drawn without smoothing lose strokes.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothing /d 2 /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType /t REG_DWORD /d 1 /f >/dev/null 2>&1
"$wineserver" -w

mkdir "$work/run"
cp "$sample" "$work/run/Tarnwick.xml"
cp "$exe" "$work/run/tarnwick.exe"
(cd "$work/run" && exec "$wine" tarnwick.exe) >"$work/tarnwick.log" 2>&1 &
program=$!
window=""
for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --classname tarnwick.exe 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || { cat "$work/tarnwick.log"; fail "tarnwick.exe ended before showing a window"; }
    sleep 1
done
[ -n "$window" ] || fail "no window of tarnwick.exe appeared within two minutes"
sleep 3 # first paint and font loading
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng > "$out/tarnwick-main.png"
echo "main window \"$(xdotool getwindowname "$window")\": $out/tarnwick-main.png"

# 3. Close it and check the working copy.
"$wine" taskkill /im tarnwick.exe >/dev/null 2>&1 || fail "taskkill could not reach tarnwick.exe"
for _ in $(seq 60); do
    kill -0 "$program" 2>/dev/null || break
    sleep 1
done
if kill -0 "$program" 2>/dev/null; then
    fail "tarnwick.exe did not end within a minute of its window being closed"
fi
wait "$program" || fail "tarnwick.exe ended with status $?"
cmp -s "$sample" "$work/run/Tarnwick.xml" || fail "Tarnwick.xml changed"
echo "window closed; Tarnwick.xml unchanged"
