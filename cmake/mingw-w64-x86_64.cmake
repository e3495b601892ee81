# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers. The -posix
# variants: the default (win32) thread model of GCC 12 has no std::mutex, and
# GoogleTest needs it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNWICK_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_HOST}-windres)

# Libraries Debian has no MinGW build of (tools/build-windows-deps.sh) and Qt
# (tools/build-windows-qt.sh) are built into caches outside the source tree,
# under the same defaults as those scripts: the environment's TARNWICK_WINDOWS_*,
# else the user's cache folder.
if(DEFINED ENV{XDG_CACHE_HOME})
  set(TARNWICK_CACHE_HOME "$ENV{XDG_CACHE_HOME}/tarnwick")
else()
  set(TARNWICK_CACHE_HOME "$ENV{HOME}/.cache/tarnwick")
endif()
if(NOT TARNWICK_WINDOWS_DEPS)
  if(DEFINED ENV{TARNWICK_WINDOWS_DEPS})
    set(TARNWICK_WINDOWS_DEPS "$ENV{TARNWICK_WINDOWS_DEPS}")
  else()
    set(TARNWICK_WINDOWS_DEPS "${TARNWICK_CACHE_HOME}/mingw-w64")
  endif()
endif()
set(TARNWICK_WINDOWS_DEPS "${TARNWICK_WINDOWS_DEPS}" CACHE PATH "Prefix of the static MinGW-w64 dependencies")

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_HOST} ${TARNWICK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable that needs only the DLLs every Windows has: the C++ runtime,
# libgcc, winpthreads and zlib are linked in.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
