#!/bin/sh
# Builds the static MinGW-w64 libraries that Debian ships no Windows build of,
# libxml2, minizip and GoogleTest, from Debian's own sources (and adds the header-only
# nlohmann-json of the Linux build beside them): libxml2 from its source
# package (the version installed for the Linux build), GoogleTest from
# /usr/src/googletest. They go into a cache outside the source tree, which is
# reused while the versions and this script are unchanged.
#   Usage: tools/build-windows-deps.sh [PREFIX]
#   PREFIX defaults to $TARNWICK_WINDOWS_DEPS, else ~/.cache/tarnwick/mingw-w64
#   (the toolchain file cmake/mingw-w64-x86_64.cmake looks there too).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:-${TARNWICK_WINDOWS_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/tarnwick/mingw-w64}}
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
jobs=${JOBS:-2}

xml_version=$(dpkg-query -W -f='${source:Version}' libxml2-dev)
# Debian 12 builds minizip from a source package of its own, later releases
# from zlib's: whichever built the installed package is fetched.
minizip_source=$(dpkg-query -W -f='${source:Package}' libminizip-dev)
minizip_version=$(dpkg-query -W -f='${source:Version}' libminizip-dev)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
json_version=$(dpkg-query -W -f='${Version}' nlohmann-json3-dev)
compiler_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
script_sum=$(cat "$0" "$toolchain" | md5sum | cut -c1-12)
stamp="libxml2 $xml_version; minizip from $minizip_source $minizip_version; googletest $gtest_version; nlohmann-json $json_version; g++ $compiler_version; script $script_sum"
if [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
    exit 0
fi
echo "Building the Windows dependencies into $prefix ($stamp)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix"

mkdir "$work/src"
sh "$(dirname "$0")/fetch-debian-source.sh" "$work" "libxml2=$xml_version" "$work/src" "$work/apt.log"
xml_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)
[ -n "$xml_src" ] || { echo "apt-get source libxml2 gave no source tree" >&2; exit 1; }

# Only what the loader uses: the SAX parser on UTF-8 text it decoded itself
# (no catalogs, inclusions, XPath, schemas, readers or writers: each one more
# thing that hostile input could reach, and size in the launcher image).
# The library names its source files (__FILE__ in messages); the source's
# folder is a fresh temporary one, so it is named the same on every build,
# and the launcher image that carries it stays the same byte for byte.
cmake -S "$xml_src" -B "$work/libxml2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$xml_src=libxml2 -ffile-prefix-map=$work/libxml2=libxml2-build" \
    -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF \
    -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_PROGRAMS=OFF \
    -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_LEGACY=OFF \
    -DLIBXML2_WITH_CATALOG=OFF -DLIBXML2_WITH_XINCLUDE=OFF -DLIBXML2_WITH_HTML=OFF -DLIBXML2_WITH_C14N=OFF \
    -DLIBXML2_WITH_XPATH=OFF -DLIBXML2_WITH_XPTR=OFF -DLIBXML2_WITH_SCHEMAS=OFF -DLIBXML2_WITH_SCHEMATRON=OFF \
    -DLIBXML2_WITH_READER=OFF -DLIBXML2_WITH_WRITER=OFF -DLIBXML2_WITH_PATTERN=OFF -DLIBXML2_WITH_REGEXPS=OFF \
    >"$work/libxml2.log" 2>&1 \
    || { tail -n 30 "$work/libxml2.log"; exit 1; }
cmake --build "$work/libxml2" -j "$jobs" >>"$work/libxml2.log" 2>&1 && cmake --install "$work/libxml2" >>"$work/libxml2.log" 2>&1 \
    || { tail -n 30 "$work/libxml2.log"; exit 1; }

# minizip, as Debian patched it: the launcher unpacks with it, the tests
# pack their archives with it.
mkdir "$work/minizip-src"
sh "$(dirname "$0")/fetch-debian-source.sh" "$work" "$minizip_source=$minizip_version" "$work/minizip-src" "$work/apt.log"
minizip_unzip=$(find "$work/minizip-src" -name unzip.c -path '*minizip*' | head -n 1)
[ -n "$minizip_unzip" ] || { echo "apt-get source $minizip_source gave no minizip sources" >&2; exit 1; }
minizip_src=$(dirname "$minizip_unzip")
mkdir -p "$work/minizip" "$prefix/lib" "$prefix/include/minizip"
for unit in ioapi unzip zip; do
    x86_64-w64-mingw32-gcc-posix -O2 -DNDEBUG -ffile-prefix-map="$minizip_src"=minizip -I"$minizip_src" \
        -c "$minizip_src/$unit.c" -o "$work/minizip/$unit.o" >>"$work/minizip.log" 2>&1 \
        || { tail -n 30 "$work/minizip.log"; exit 1; }
done
x86_64-w64-mingw32-ar rcsD "$prefix/lib/libminizip.a" "$work/minizip/ioapi.o" "$work/minizip/unzip.o" "$work/minizip/zip.o"
cp "$minizip_src/ioapi.h" "$minizip_src/unzip.h" "$minizip_src/zip.h" "$prefix/include/minizip/"

cmake -S /usr/src/googletest -B "$work/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=OFF \
    >"$work/googletest.log" 2>&1 || { tail -n 30 "$work/googletest.log"; exit 1; }
cmake --build "$work/googletest" -j "$jobs" >>"$work/googletest.log" 2>&1 && cmake --install "$work/googletest" >>"$work/googletest.log" 2>&1 \
    || { tail -n 30 "$work/googletest.log"; exit 1; }

# Headers only, the same for every target; its package files find them
# relative to their own place, so the copy points at the copied headers.
mkdir -p "$prefix/include" "$prefix/lib/cmake"
cp -r /usr/include/nlohmann "$prefix/include/"
cp -r /usr/share/cmake/nlohmann_json "$prefix/lib/cmake/"

# Manuals and HTML documentation are of no use to the build.
rm -rf "$prefix/share"
echo "$stamp" > "$prefix/.stamp"
