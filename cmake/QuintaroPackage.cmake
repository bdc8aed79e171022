# The Debian package (`make package`, or `cpack -G DEB` in a build folder):
# everything cmake/QuintaroInstall.cmake installs, under /usr, plus the
# copyright file and the Debian changelog that Debian wants beside every
# package's documentation. Include after QuintaroInstall.cmake.

set(QUINTARO_MAINTAINER "Quintaro developers <quintaro@example.org>")
set(QUINTARO_DEB_RELEASE 1)
set(QUINTARO_DEB_VERSION ${PROJECT_VERSION}-${QUINTARO_DEB_RELEASE})

# Both files belong to the package alone: the "debian" component is left out
# of a plain install and installed only by CPack (CPACK_INSTALL_CMAKE_PROJECTS).
execute_process(COMMAND date -u -R -d ${QUINTARO_RELEASE_DATE}
                OUTPUT_VARIABLE QUINTARO_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
quintaro_configure_gzip(${PROJECT_SOURCE_DIR}/data/debian/changelog.in
                        ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian)
set(_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/quintaro)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright
              ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian.gz
        DESTINATION ${_doc} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quintaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quintaro developers")
set(CPACK_PACKAGE_CONTACT ${QUINTARO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "collect the APRS weather stations heard by a packet engine")
set(CPACK_PACKAGE_DESCRIPTION
    "Quintaro is a small desktop program for amateur-radio stations that use
APRS. It connects over TCP to an AGWPE-compatible packet engine, such as
Direwolf on port 8000, switches on monitoring and picks the APRS weather
stations out of the monitored frames.

It keeps their calls in a station list and starts one weather display per
station: quintaro-weather, which comes with it, shows a station's last
values and graphs from the weather history Quintaro records. Station lists
can be saved and loaded as text files, and a batch file can start every
display later.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};Quintaro;ALL;/"
    "${PROJECT_BINARY_DIR};Quintaro;debian;/")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUINTARO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUINTARO_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugins and its SQL drivers at run time, so no
# library lookup sees them: without qt6-qpa-plugins the program cannot open a
# window on X11, without libqt6sql6-sqlite it keeps no weather history.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "direwolf")

include(CPack)
