# 'make package': a Debian package of what the install rules install. Its
# dependencies come from the binaries (dpkg-shlibdeps), its version from project().
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_CONTACT "The Tarnwick developers <developers@tarnwick.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure the launcher of an online game server")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarnwick edits the server groups, servers, web addresses and update list that a\n"
  "game launcher offers, and writes the working copy Tarnwick.xml, the encoded\n"
  "server information file ServerInfo.txt and a branded launcher executable. It\n"
  "also computes MD5 digests of files. tarnwick-cli does the same from scripts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Captions are Chinese: without a CJK font they show as boxes. Fonts are not
# libraries, so dpkg-shlibdeps cannot find them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
