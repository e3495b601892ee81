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

# Debian wants a changelog with the release's date in RFC 2822 form, weekday
# and all; the weekday comes from TARNWICK_RELEASE_DATE (Sakamoto's method).
string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" release_date "${TARNWICK_RELEASE_DATE}")
if(NOT release_date)
  message(FATAL_ERROR "TARNWICK_RELEASE_DATE must read YYYY-MM-DD, not '${TARNWICK_RELEASE_DATE}'")
endif()
math(EXPR year "${CMAKE_MATCH_1}")
math(EXPR month "1${CMAKE_MATCH_2} - 100")
math(EXPR day "1${CMAKE_MATCH_3} - 100")
set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR month_index "${month} - 1")
list(GET month_offsets ${month_index} offset)
set(y ${year})
if(month LESS 3)
  math(EXPR y "${year} - 1")
endif()
math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
set(weekday_names Sun Mon Tue Wed Thu Fri Sat)
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET weekday_names ${weekday} weekday_name)
list(GET month_names ${month_index} month_name)
set(TARNWICK_RELEASE_DATE_RFC2822 "${weekday_name}, ${CMAKE_MATCH_3} ${month_name} ${year} 12:00:00 +0000")
configure_file(${PROJECT_SOURCE_DIR}/doc/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND gzip -9nkf changelog
  DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/doc VERBATIM)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwick)

include(CPack)
