#!/bin/sh
# Cross-builds Qt's base module for 64-bit Windows from Debian's own qt6-base
# source package (the version of the host's Qt), static and cut down to what
# the window uses: Core, Gui, Widgets, the Windows platform plugin, PNG and ICO.
# The host's Qt serves as host tools (moc, uic, rcc, syncqt), so none are
# built. The result goes into a cache outside the source tree, reused while
# the Qt version, the compiler and the configure options are unchanged.
#   Usage: tools/build-windows-qt.sh [--check] [PREFIX]
#   --check only answers whether the cache is current (exit 0) or not (1).
#   PREFIX defaults to $TARNWICK_WINDOWS_QT, else ~/.cache/tarnwick/qt6-mingw-w64
#   (CMakeLists.txt looks there too, as TARNWICK_WINDOWS_QT).
#   TARNWICK_QT_WORK keeps the source and build trees in that folder instead
#   of a temporary one, so that a failed build can resume; JOBS sets the
#   parallelism. A cold build takes about 16 minutes (Qt 6.4, Debian 12) or
#   19 (Qt 6.8, Debian 13) on two idle cores, and several times that when other
#   builds share them.
set -eu
check=false
if [ "${1:-}" = "--check" ]; then
    check=true
    shift
fi
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:-${TARNWICK_WINDOWS_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/tarnwick/qt6-mingw-w64}}
toolchain=${TARNWICK_TOOLCHAIN:-$here/../cmake/mingw-w64-x86_64.cmake}
jobs=${JOBS:-2}

# Bundled copies stand in for libraries Debian has no MinGW build of (libpng,
# PCRE2, HarfBuzz, double-conversion); zlib is Debian's MinGW one, the same
# that the program links. pkg-config is off: it would answer for Linux.
# Fonts come from Windows itself, so no FreeType.
options="-DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
 -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
 -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
 -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF -DFEATURE_pkg_config=OFF
 -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_testlib=OFF
 -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
 -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
 -DFEATURE_system_zlib=ON -DFEATURE_png=ON -DFEATURE_system_png=OFF
 -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=ON
 -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF -DFEATURE_freetype=OFF
 -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
 -DFEATURE_icu=OFF -DFEATURE_zstd=OFF
 -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
 -DFEATURE_mimetype_database=OFF -DFEATURE_optimize_size=ON"
# Every function and datum in a section of its own, so that the program's link
# drops what it does not reach (-Wl,--gc-sections). With -Os and without the
# MIME database (the window asks no file types) the program is a quarter smaller.
section_flags="-ffunction-sections -fdata-sections"

qt_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
compiler_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
# Qt 6.8's Gui builds only with Direct2D on whenever DirectWrite is (its font
# loader is declared with one and defined with both), and no longer without
# DirectWrite. Without Direct2D 1.1 the Direct2D platform plugin is not built.
if dpkg --compare-versions "$qt_version" ge 6.8~; then
    options="$options -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF"
fi
# The Windows platform plugin is trimmed where this build lacks what it uses:
# - Wintab: Debian's source package leaves out its header (its licence forbids
#   changes), so no Wintab tablets and no pen input; Gui keeps tablet events.
# - The DirectWrite font database: Qt 6.4 builds it into Gui only with Direct2D,
#   which is off there, yet the plugin refers to it. GDI's database serves
#   with every Qt version, so the window looks the same from either.
plugin_patch='s/QT_CONFIG(tabletevent)/0/g; s/CONDITION QT_FEATURE_tabletevent/CONDITION FALSE/; s/QT_CONFIG(directwrite3)/0/g'
plugin_files="qwindowscontext.cpp qwindowspointerhandler.cpp qwindowspointerhandler.h qwindowsintegration.cpp CMakeLists.txt"

# The version of what the prefix holds besides Qt itself (its notices).
layout=2
options_sum=$(printf '%s\n%s\n%s\n%s' "$options" "$section_flags" "$plugin_patch" "$layout" | md5sum | cut -c1-12)
stamp="qt6-base $qt_version; g++ $compiler_version; options $options_sum"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    exit 0
fi
$check && exit 1
echo "Building Qt for Windows into $prefix ($stamp)"
started=$(date +%s)

if [ -n "${TARNWICK_QT_WORK:-}" ]; then
    work=$TARNWICK_QT_WORK
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
log="$work/qt.log"
echo "Log: $log"

qt_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n 1)
if [ -z "$qt_src" ]; then
    rm -rf "$work/src"
    sh "$(dirname "$0")/fetch-debian-source.sh" "$work" "qt6-base=$qt_version" "$work/src" "$log"
    qt_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
    [ -n "$qt_src" ] || { echo "apt-get source qt6-base gave no source tree" >&2; exit 1; }
fi

for f in $plugin_files; do
    sed -i "$plugin_patch" "$qt_src/src/plugins/platforms/windows/$f"
done

# shellcheck disable=SC2086
cmake -S "$qt_src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_C_FLAGS="$section_flags" -DCMAKE_CXX_FLAGS="$section_flags" \
    $options >>"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
cmake --build "$work/build" -j "$jobs" >>"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
rm -rf "$prefix"
cmake --install "$work/build" >>"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
# A program linked with this Qt carries its notices (make windows-release).
python3 "$here/qt-notices.py" "$qt_src" "$prefix/third-party-notices.txt"

echo "$stamp" > "$prefix/.stamp"
echo "Qt for Windows built in $(( ($(date +%s) - started) / 60 )) min; $(du -sh "$prefix" | cut -f1) in $prefix"
