# Installing the product and making its Debian package.
#
#   cmake --install build --prefix /opt/jovsec     # or the default /usr/local
#   (cd build && cpack -G DEB)                     # jovsec_<version>_<arch>.deb
#
# The folders install their own targets; this file adds the CMake package
# (find_package(JovCSSecurity) -> JovCSSecurity::JovCSSecurity), the pkg-config
# file and the package settings.
include(CMakePackageConfigHelpers)

set(JOVSEC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/JovCSSecurity)
install(EXPORT JovCSSecurityTargets NAMESPACE JovCSSecurity:: DESTINATION ${JOVSEC_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/JovCSSecurityConfig.cmake.in
  ${CMAKE_BINARY_DIR}/JovCSSecurityConfig.cmake INSTALL_DESTINATION ${JOVSEC_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/JovCSSecurityConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/JovCSSecurityConfig.cmake ${CMAKE_BINARY_DIR}/JovCSSecurityConfigVersion.cmake
  DESTINATION ${JOVSEC_CMAKE_DIR})

# The .pc file finds the prefix from its own place, so the package can move.
file(RELATIVE_PATH JOVSEC_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" JOVSEC_PC_TO_PREFIX "${JOVSEC_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/JovCSSecurity.pc.in ${CMAKE_BINARY_DIR}/JovCSSecurity.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/JovCSSecurity.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Debian package: the libraries it links come from dpkg-shlibdeps; the ones it
# loads at run time are named here.
set(CPACK_PACKAGE_NAME jovsec)
set(CPACK_PACKAGE_VENDOR "JovSec")
set(CPACK_PACKAGE_CONTACT "JovSec maintainers <jovsec@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "User, group and access-rights security for desktop database applications")
set(CPACK_PACKAGE_DESCRIPTION
  "The security component library JovCSSecurity (with its header, CMake package, pkg-config file and Qt Designer plugin) and the administration desktop SecDesk.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The Firebird driver of Qt SQL and the embedded engine are loaded at run time; the
# report fonts are named by the forms.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-ibase, firebird3.0-server-core, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-base-dev, qt6-tools-dev, designer-qt6, firebird3.0-server")
include(CPack)
