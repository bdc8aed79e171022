# What `cmake --install` (and `make install`) puts where, under
# CMAKE_INSTALL_PREFIX: the program and its weather display, its read-me, a
# desktop entry with its icon and AppStream metadata, and the manual pages. Data files live in data/.
include(GNUInstallDirs)

# The desktop entry's, the icon's and the AppStream component's id.
set(QUINTARO_APP_ID org.quintaro.Quintaro)
# The day PROJECT_VERSION was released: the AppStream release, the manual
# page and the Debian changelog carry it. Move it on with the version.
set(QUINTARO_RELEASE_DATE 2026-12-07)
# The program's own data folder, where the read-me is installed. Relative to
# the installed program it is ../share/quintaro (CMAKE_INSTALL_BINDIR and
# CMAKE_INSTALL_DATADIR both sit directly under the prefix).
set(QUINTARO_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/quintaro)

set(_data ${PROJECT_SOURCE_DIR}/data)
set(_out ${PROJECT_BINARY_DIR}/data)

# Quintaro and its weather display, which Quintaro finds in its own folder.
# The display has no menu entry: it needs a station's call.
install(TARGETS quintaro quintaro-weather RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The programs link only libraries of the system, which the loader finds by
# itself; Debian wants no run path in an installed program.
set_property(TARGET quintaro quintaro-weather PROPERTY INSTALL_RPATH "")
install(FILES ${PROJECT_SOURCE_DIR}/Leggimi_Quintaro.rtf DESTINATION ${QUINTARO_INSTALL_DATADIR})

install(FILES ${_data}/${QUINTARO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_data}/${QUINTARO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

configure_file(${_data}/${QUINTARO_APP_ID}.metainfo.xml.in ${_out}/${QUINTARO_APP_ID}.metainfo.xml
               @ONLY)
install(FILES ${_out}/${QUINTARO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page is compressed when configured, so that installing needs no
# build step beyond the program; -n keeps the name and time out of the
# archive, so the same page gives the same bytes.
find_program(QUINTARO_GZIP gzip REQUIRED)
function(quintaro_configure_gzip input output)
  configure_file(${input} ${output} @ONLY)
  execute_process(COMMAND ${QUINTARO_GZIP} -9nf ${output} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
foreach(_page quintaro quintaro-weather)
  quintaro_configure_gzip(${_data}/${_page}.1.in ${_out}/man/${_page}.1)
  install(FILES ${_out}/man/${_page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
