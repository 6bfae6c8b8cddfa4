# `cpack -G DEB` in the build folder: analisis-socios_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME analisis-socios)
set(CPACK_PACKAGE_VENDOR "Departamento de credito")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Analisis de balances de prestamos de los socios de la cooperativa")
set(CPACK_PACKAGE_INSTALL_DIRECTORY analisis-socios)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Soporte tecnico <soporte@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# dpkg-shlibdeps finds the Qt and C++ libraries the binaries link; the
# client library is loaded at run time and Qt's window-system plugins are
# plugins, so neither shows up there. Nor does the client's embedded engine
# (libEngine12.so, in firebird3.0-server-core): without it a bare path in
# db.ini is quietly tried on a server at localhost instead of opened.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2, firebird3.0-server-core, qt6-qpa-plugins, qt6-translations-l10n, libxlsxwriter4")
include(CPack)
