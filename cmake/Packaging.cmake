# The Debian package: what `cmake --install` puts under /usr. Its dependencies are worked out
# by dpkg-shlibdeps from the libraries the viewer and the plug-ins actually link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME selvarin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Selvarin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer whose behaviour is programmed in Lua")
set(CPACK_PACKAGE_DESCRIPTION "Selvarin shows pictures (JPEG, BMP, PNG, GIF, WebP, TIFF and more through
image plug-ins) and the pictures inside zip, rar, 7z and tar archives. A start-up script in
Lua decides what the viewer does; the default script makes a complete viewer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Selvarin developers")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libselvarin-spi comes with the package itself; dpkg-shlibdeps is told where it lies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
# Not linked but needed for a pleasant first start: Qt's Japanese button texts and the console font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic")
include(CPack)
