# Installation layout beyond the two programs, and the Debian package made by CPack.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_CONTACT "Veltrane maintainers <veltrane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Installs routes, scenarios and rolling stock from an add-on package folder into the \
game folder of Rail Simulator. Copy the veltrane program beside a package's marker files \
and start it from there; veltrane-serz converts the game's serialised files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The platform plugins are loaded at run time, so no library scan finds them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Windows programs and batch files of a package run under Wine when it is there.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
find_program(VELTRANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELTRANE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4)")
endif()

include(CPack)
