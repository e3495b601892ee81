#!/bin/sh
# Builds the static MinGW-w64 libraries that Debian ships no Windows build of,
# libxml2, minizip, mbedtls, libssh2, libcurl and GoogleTest, from Debian's own
# sources (and adds the header-only nlohmann-json of the Linux build beside
# them): libxml2, minizip, mbedtls, libssh2 and curl from their source packages
# (the versions installed for the Linux build; mbedtls's, when its -dev package
# is not installed, the release's), GoogleTest from /usr/src/googletest.
# libssh2 does its cryptography with mbedtls (CNG in libssh2 1.10 offers no
# host key but ssh-rsa with SHA-1 and ssh-dss, which current OpenSSH servers
# refuse); libcurl's TLS is Schannel's, and curl gets one fix of ours
# (curl-tls-buffered-data.patch). They go into a cache outside the source tree,
# which is reused while the versions, this script and the fix are unchanged.
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
ssh2_source=$(dpkg-query -W -f='${source:Package}' libssh2-1-dev)
ssh2_version=$(dpkg-query -W -f='${source:Version}' libssh2-1-dev)
# mbedtls is no dependency of the Linux build: without its -dev package
# installed, the version the release offers (apt-cache's candidate) is built.
if [ "$(dpkg-query -W -f='${db:Status-Status}' libmbedtls-dev 2>/dev/null)" = installed ]; then
    mbed_source=$(dpkg-query -W -f='${source:Package}' libmbedtls-dev)
    mbed_version=$(dpkg-query -W -f='${source:Version}' libmbedtls-dev)
else
    # "Source: NAME" or, when it differs from the binary's, "Source: NAME (VERSION)".
    read -r mbed_source mbed_version <<MBED
$(apt-cache show --no-all-versions libmbedtls-dev 2>/dev/null | awk '
    /^Version: / { version = $2 }
    /^Source: / { source = $2; if (NF > 2) { own = $3; gsub(/[()]/, "", own) } }
    END { if (version != "") print (source != "" ? source : "libmbedtls-dev"), (own != "" ? own : version) }')
MBED
    [ -n "${mbed_version:-}" ] || { echo "no version of libmbedtls-dev is known to apt (apt-get update, or install it)" >&2; exit 1; }
fi
curl_source=$(dpkg-query -W -f='${source:Package}' libcurl4-openssl-dev)
curl_version=$(dpkg-query -W -f='${source:Version}' libcurl4-openssl-dev)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
json_version=$(dpkg-query -W -f='${Version}' nlohmann-json3-dev)
compiler_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
curl_patch="$here/curl-tls-buffered-data.patch"
script_sum=$(cat "$0" "$toolchain" "$curl_patch" | md5sum | cut -c1-12)
stamp="libxml2 $xml_version; minizip from $minizip_source $minizip_version; $mbed_source $mbed_version; $ssh2_source $ssh2_version; $curl_source $curl_version; googletest $gtest_version; nlohmann-json $json_version; g++ $compiler_version; script $script_sum"
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

# mbedtls for libssh2's cryptography, configured as Debian configures it for
# threads (libssh2 keeps one random generator for every session, whatever
# thread it runs on; winpthreads is linked in). Its CryptGenRandom is the
# entropy. Only the libraries: no programs, no tests.
mkdir "$work/mbedtls-src"
sh "$(dirname "$0")/fetch-debian-source.sh" "$work" "$mbed_source=$mbed_version" "$work/mbedtls-src" "$work/apt.log"
mbed_src=$(find "$work/mbedtls-src" -mindepth 1 -maxdepth 1 -type d -name 'mbedtls-*' | head -n 1)
[ -n "$mbed_src" ] || { echo "apt-get source $mbed_source gave no source tree" >&2; exit 1; }
mbed_config="$mbed_src/include/mbedtls/config.h"
[ -f "$mbed_config" ] || mbed_config="$mbed_src/include/mbedtls/mbedtls_config.h"
python3 "$mbed_src/scripts/config.py" --file "$mbed_config" set MBEDTLS_THREADING_C
python3 "$mbed_src/scripts/config.py" --file "$mbed_config" set MBEDTLS_THREADING_PTHREAD
cmake -S "$mbed_src" -B "$work/mbedtls" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DTARNWICK_WINDOWS_DEPS="$prefix" \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$mbed_src=mbedtls -ffile-prefix-map=$work/mbedtls=mbedtls-build" \
    -DUSE_STATIC_MBEDTLS_LIBRARY=ON -DUSE_SHARED_MBEDTLS_LIBRARY=OFF -DENABLE_PROGRAMS=OFF -DENABLE_TESTING=OFF \
    -DENABLE_ZLIB_SUPPORT=OFF -DUSE_PKCS11_HELPER_LIBRARY=OFF -DMBEDTLS_FATAL_WARNINGS=OFF \
    >"$work/mbedtls.log" 2>&1 \
    || { tail -n 30 "$work/mbedtls.log"; exit 1; }
cmake --build "$work/mbedtls" -j "$jobs" >>"$work/mbedtls.log" 2>&1 && cmake --install "$work/mbedtls" >>"$work/mbedtls.log" 2>&1 \
    || { tail -n 30 "$work/mbedtls.log"; exit 1; }

# libssh2 for publishing over SFTP (and libcurl's SFTP), on mbedtls: no OpenSSL.
mkdir "$work/ssh2-src"
sh "$(dirname "$0")/fetch-debian-source.sh" "$work" "$ssh2_source=$ssh2_version" "$work/ssh2-src" "$work/apt.log"
ssh2_src=$(find "$work/ssh2-src" -mindepth 1 -maxdepth 1 -type d -name 'libssh2-*' | head -n 1)
[ -n "$ssh2_src" ] || { echo "apt-get source $ssh2_source gave no source tree" >&2; exit 1; }
cmake -S "$ssh2_src" -B "$work/libssh2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DTARNWICK_WINDOWS_DEPS="$prefix" \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$ssh2_src=libssh2 -ffile-prefix-map=$work/libssh2=libssh2-build" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DCRYPTO_BACKEND=mbedTLS -DENABLE_ZLIB_COMPRESSION=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_DEBUG_LOGGING=OFF \
    >"$work/libssh2.log" 2>&1 \
    || { tail -n 30 "$work/libssh2.log"; exit 1; }
cmake --build "$work/libssh2" -j "$jobs" >>"$work/libssh2.log" 2>&1 && cmake --install "$work/libssh2" >>"$work/libssh2.log" 2>&1 \
    || { tail -n 30 "$work/libssh2.log"; exit 1; }

# libcurl for publishing: HTTP(S) (WebDAV), FTP(S) and SFTP only, TLS from
# Schannel with Windows' certificate store (no CA file of the build machine),
# zlib from Debian's MinGW package, no other library. File names that it is
# given are UTF-8 (the Unicode build of its Win32 calls). Options of later
# versions are named too; a version that lacks one only warns.
mkdir "$work/curl-src"
sh "$(dirname "$0")/fetch-debian-source.sh" "$work" "$curl_source=$curl_version" "$work/curl-src" "$work/apt.log"
curl_src=$(find "$work/curl-src" -mindepth 1 -maxdepth 1 -type d -name 'curl-*' | head -n 1)
[ -n "$curl_src" ] || { echo "apt-get source $curl_source gave no source tree" >&2; exit 1; }
# curl 7.88 reads a transfer's data only when its socket has some: what
# Schannel took from the socket with the end of its handshake (a small FTPS
# download can come whole with it) waits there until the transfer times out
# (its KNOWN_BUGS: "FTPS with Schannel times out"). A curl that the fix does
# not fit is to be checked for the fault, and the fix dropped or made anew.
(cd "$curl_src" && patch -s -p1 -N --dry-run <"$curl_patch" >/dev/null 2>&1 && patch -s -p1 -N <"$curl_patch") \
    || { echo "$(basename "$curl_patch") does not fit $curl_source $curl_version: see tools/build-windows-deps.sh" >&2; exit 1; }
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
cmake -S "$curl_src" -B "$work/curl" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DTARNWICK_WINDOWS_DEPS="$prefix" \
    -DCMAKE_C_FLAGS="-ffile-prefix-map=$curl_src=curl -ffile-prefix-map=$work/curl=curl-build" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DBUILD_LIBCURL_DOCS=OFF -DBUILD_MISC_DOCS=OFF -DENABLE_CURL_MANUAL=OFF -DENABLE_MANUAL=OFF \
    -DCURL_USE_PKGCONFIG=OFF -DENABLE_UNICODE=ON -DCURL_ENABLE_SSL=ON -DCURL_USE_SCHANNEL=ON \
    -DCURL_USE_OPENSSL=OFF -DCURL_USE_MBEDTLS=OFF -DCURL_USE_WOLFSSL=OFF -DCURL_USE_BEARSSL=OFF \
    -DCURL_USE_GNUTLS=OFF -DCURL_USE_RUSTLS=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
    -DCURL_USE_LIBSSH2=ON -DCURL_USE_LIBSSH=OFF -DCURL_USE_WOLFSSH=OFF -DCURL_ZLIB=ON \
    -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_NGTCP2=OFF -DUSE_QUICHE=OFF -DUSE_MSH3=OFF \
    -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DCURL_USE_LIBPSL=OFF -DCURL_USE_GSSAPI=OFF -DCURL_USE_GSASL=OFF \
    -DUSE_LIBRTMP=OFF -DENABLE_ARES=OFF -DCURL_USE_LIBUV=OFF \
    -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DCURL_DISABLE_SMB=ON -DCURL_DISABLE_TELNET=ON \
    -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_MQTT=ON -DCURL_DISABLE_RTSP=ON \
    -DCURL_DISABLE_POP3=ON -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_SMTP=ON -DCURL_DISABLE_TFTP=ON \
    -DCURL_DISABLE_FILE=ON -DCURL_DISABLE_IPFS=ON -DCURL_DISABLE_WEBSOCKETS=ON \
    >"$work/curl.log" 2>&1 \
    || { tail -n 30 "$work/curl.log"; exit 1; }
cmake --build "$work/curl" -j "$jobs" >>"$work/curl.log" 2>&1 && cmake --install "$work/curl" >>"$work/curl.log" 2>&1 \
    || { tail -n 30 "$work/curl.log"; exit 1; }

# Their own CMake packages, pkg-config files and curl-config differ from one
# version to the next and do not say all that static linking needs: packages
# of the same shape for every version take their place. libcurl's users
# define CURL_STATICLIB; the system libraries are those of mbedtls's entropy
# (CryptGenRandom, BCryptGenRandom in later versions) and threads, Pageant's
# window messages, Schannel, SSPI and Winsock. libssh2 needs only mbedtls's
# cryptography library, no TLS or X.509.
ssh2_lib=$(find "$prefix/lib" -maxdepth 1 -name 'libssh2*.a' | head -n 1)
curl_lib=$(find "$prefix/lib" -maxdepth 1 -name '*curl*.a' | head -n 1)
[ -n "$ssh2_lib" ] && [ -n "$curl_lib" ] && [ -f "$prefix/lib/libmbedcrypto.a" ] \
    || { echo "mbedtls, libssh2 or libcurl installed no static library" >&2; exit 1; }
mbed_upstream=$(sed -n 's/^#define[[:space:]]*MBEDTLS_VERSION_STRING[[:space:]]*"\([0-9.]*\)".*/\1/p' "$prefix/include/mbedtls/build_info.h" \
    "$prefix/include/mbedtls/version.h" 2>/dev/null | head -n 1)
ssh2_lib=$(basename "$ssh2_lib") curl_lib=$(basename "$curl_lib")
ssh2_upstream=$(sed -n 's/^#define[[:space:]]*LIBSSH2_VERSION[[:space:]]*"\([0-9.]*\).*"/\1/p' "$prefix/include/libssh2.h")
curl_upstream=$(sed -n 's/^#define[[:space:]]*LIBCURL_VERSION[[:space:]]*"\([0-9.]*\).*"/\1/p' "$prefix/include/curl/curlver.h")
rm -rf "$prefix"/lib/cmake/*ssh2* "$prefix"/lib/cmake/*CURL* "$prefix"/lib/cmake/*curl* \
    "$prefix"/lib/pkgconfig/*ssh2* "$prefix"/lib/pkgconfig/*curl* "$prefix/bin/curl-config"
# VERSION: a package version file that takes this version for any older one asked for.
version_file() {
    cat <<VERSION
set(PACKAGE_VERSION "$1")
if(PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION)
  set(PACKAGE_VERSION_COMPATIBLE FALSE)
else()
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
  if(PACKAGE_FIND_VERSION VERSION_EQUAL PACKAGE_VERSION)
    set(PACKAGE_VERSION_EXACT TRUE)
  endif()
endif()
VERSION
}
mkdir -p "$prefix/lib/cmake/Libssh2" "$prefix/lib/cmake/CURL"
version_file "$ssh2_upstream" > "$prefix/lib/cmake/Libssh2/Libssh2ConfigVersion.cmake"
cat > "$prefix/lib/cmake/Libssh2/Libssh2Config.cmake" <<CONFIG
# libssh2 $ssh2_upstream ($ssh2_source $ssh2_version), static, on mbedtls $mbed_upstream ($mbed_source $mbed_version) (tools/build-windows-deps.sh).
get_filename_component(_libssh2_prefix "\${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET Libssh2::mbedcrypto)
  add_library(Libssh2::mbedcrypto STATIC IMPORTED)
  set_target_properties(Libssh2::mbedcrypto PROPERTIES
    IMPORTED_LOCATION "\${_libssh2_prefix}/lib/libmbedcrypto.a"
    INTERFACE_LINK_LIBRARIES "bcrypt;advapi32;pthread")
endif()
if(NOT TARGET Libssh2::libssh2)
  add_library(Libssh2::libssh2 STATIC IMPORTED)
  set_target_properties(Libssh2::libssh2 PROPERTIES
    IMPORTED_LOCATION "\${_libssh2_prefix}/lib/$ssh2_lib"
    INTERFACE_INCLUDE_DIRECTORIES "\${_libssh2_prefix}/include"
    INTERFACE_LINK_LIBRARIES "Libssh2::mbedcrypto;ws2_32;user32")
endif()
unset(_libssh2_prefix)
CONFIG
version_file "$curl_upstream" > "$prefix/lib/cmake/CURL/CURLConfigVersion.cmake"
cat > "$prefix/lib/cmake/CURL/CURLConfig.cmake" <<CONFIG
# libcurl $curl_upstream ($curl_source $curl_version), static: Schannel, libssh2, zlib (tools/build-windows-deps.sh).
include(CMakeFindDependencyMacro)
find_dependency(ZLIB)
find_dependency(Libssh2 CONFIG)
get_filename_component(_curl_prefix "\${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET CURL::libcurl)
  add_library(CURL::libcurl STATIC IMPORTED)
  set_target_properties(CURL::libcurl PROPERTIES
    IMPORTED_LOCATION "\${_curl_prefix}/lib/$curl_lib"
    INTERFACE_INCLUDE_DIRECTORIES "\${_curl_prefix}/include"
    INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
    INTERFACE_LINK_LIBRARIES "Libssh2::libssh2;ZLIB::ZLIB;ws2_32;crypt32;secur32;bcrypt;advapi32;iphlpapi")
endif()
# As CMake's FindCURL names them.
set(CURL_VERSION_STRING "$curl_upstream")
set(CURL_LIBRARIES CURL::libcurl)
set(CURL_INCLUDE_DIRS "\${_curl_prefix}/include")
unset(_curl_prefix)
CONFIG
# The packages proved: a program that uses both links with nothing more.
mkdir "$work/probe-src"
cat > "$work/probe-src/CMakeLists.txt" <<'PROBE'
cmake_minimum_required(VERSION 3.25)
project(probe C)
find_package(CURL 7.74 CONFIG REQUIRED)
find_package(Libssh2 CONFIG REQUIRED)
add_executable(probe probe.c)
target_link_libraries(probe PRIVATE CURL::libcurl Libssh2::libssh2)
PROBE
cat > "$work/probe-src/probe.c" <<'PROBE'
#include <curl/curl.h>
#include <libssh2.h>
int main(void)
{
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, "sftp://localhost/");
    int result = curl_easy_perform(curl) + (libssh2_version(0) != 0);
    curl_easy_cleanup(curl);
    return result;
}
PROBE
cmake -S "$work/probe-src" -B "$work/probe" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTARNWICK_WINDOWS_DEPS="$prefix" >"$work/probe.log" 2>&1 && cmake --build "$work/probe" >>"$work/probe.log" 2>&1 \
    || { tail -n 30 "$work/probe.log"; echo "a program cannot link libcurl and libssh2 through their packages" >&2; exit 1; }

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
