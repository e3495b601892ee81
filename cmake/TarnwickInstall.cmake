# What 'cmake --install' puts under the prefix: the two programs, their manual
# pages, the completion of tarnwick-cli and, with the window program, its menu
# entry, icons and AppStream metainfo.
include(GNUInstallDirs)

set(app_id org.tarnwick.tarnwick)
set(desktop_dir ${PROJECT_SOURCE_DIR}/resources/desktop)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnwick)

install(TARGETS tarnwick-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/tarnwick-cli
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/doc/copyright DESTINATION ${doc_dir})

# Manual pages carry the version and are installed compressed, as Debian wants.
set(manual_pages tarnwick-cli)
if(TARNWICK_BUILD_GUI)
  list(APPEND manual_pages tarnwick)
endif()
foreach(page IN LISTS manual_pages)
  configure_file(${PROJECT_SOURCE_DIR}/doc/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9nkf ${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man VERBATIM)
  list(APPEND compressed_pages ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARNWICK_BUILD_GUI)
  install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${desktop_dir}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  configure_file(${desktop_dir}/${app_id}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${app_id}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
  install(FILES ${desktop_dir}/${app_id}.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  # The PNG sizes are rendered from the SVG by tools/render-icons.sh and committed.
  file(GLOB icon_sizes RELATIVE ${desktop_dir}/icons ${desktop_dir}/icons/*)
  foreach(size IN LISTS icon_sizes)
    install(FILES ${desktop_dir}/icons/${size}/${app_id}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}/apps)
  endforeach()
endif()
