# The vantor-pro launcher and the Debian package (`cpack -G DEB` in a release
# build; scripts/package does it all).

# The launcher finds the program and the template relative to itself.
file(RELATIVE_PATH VANTOR_LAUNCHER_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/vantor-pro/vantor)
file(RELATIVE_PATH VANTOR_LAUNCHER_TEMPLATE ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/vantor-pro/programdir)
configure_file(${PROJECT_SOURCE_DIR}/resources/vantor-pro.in ${PROJECT_BINARY_DIR}/vantor-pro @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/vantor-pro DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VANTOR_PACKAGE_MAINTAINER "The Vantor Pro developers <packages@vantor.io>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantor-pro)
set(CPACK_PACKAGE_VENDOR "The Vantor Pro developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Submit your websites to many search engines and directories at once")
# Wrapped by hand: each line becomes one line of the control file.
set(CPACK_PACKAGE_DESCRIPTION [[
Vantor Pro keeps a Project per website (address, title, description,
keywords, category, contact details) and submits the checked Projects to
every checked engine of a local engine database, many requests in
parallel, showing each answer live and writing an HTML report per Project.
It also has an import wizard, a site spider, meta-tag and doorway-page
generators, a rank checker, a database updater and proxy settings.

vantor-sandbox answers on 127.0.0.1 as the target sites, the update
service and search engines would, so every feature can be tried offline.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps; the Qt platform, JPEG and TLS
# plugins that are loaded at run time ship in libqt6gui6 and libqt6network6,
# which it finds through the libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening reports and the manual goes through the desktop's handler.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
include(CPack)
