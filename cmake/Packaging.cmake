# Installation layout beyond the two programs, and the Debian package made by CPack.
include(GNUInstallDirs)

set(VELTRANE_MAINTAINER "Veltrane developers <veltrane-dev@lists.veltrane.org>")
# Raised when the package changes while the program's version does not.
set(VELTRANE_DEBIAN_RELEASE 1)

if(UNIX AND NOT APPLE)
  set(VELTRANE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/veltrane)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.veltrane.Veltrane.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.veltrane.Veltrane.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltrane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${VELTRANE_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME veltrane)
  # The manual pages and the changelog are made when installing: veltrane.1 comes from the
  # built program's --help, and a build that is only tested needs neither help2man nor gzip.
  install(CODE "
    set(VELTRANE_SOURCE_DIR [[${PROJECT_SOURCE_DIR}]])
    set(VELTRANE_WORK_DIR [[${PROJECT_BINARY_DIR}/packaging]])
    set(VELTRANE_PROGRAM [[$<TARGET_FILE:veltrane>]])
    set(VELTRANE_MANDIR [[${CMAKE_INSTALL_MANDIR}]])
    set(VELTRANE_DOCDIR [[${VELTRANE_DOCDIR}]])
    set(VELTRANE_MAINTAINER [[${VELTRANE_MAINTAINER}]])
    set(PROJECT_VERSION [[${PROJECT_VERSION}]])
    set(VELTRANE_DEBIAN_VERSION [[${PROJECT_VERSION}-${VELTRANE_DEBIAN_RELEASE}]])")
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallDocumentation.cmake)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_CONTACT "${VELTRANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Debian shows the lines as they are: each under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "Veltrane installs routes, scenarios and assets from an add-on package into"
       "the game folder of the train simulation Rail Simulator, which runs under"
       "Wine. Copied beside a package's marker files it installs that package;"
       "started from the menu it asks for a package folder or archive."
       ""
       "Every install keeps a journal in the game folder and can be undone, also"
       "from the command line without a window. veltrane-serz converts the game's"
       "serialised files to XML and back.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELTRANE_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A umask that lets the group write must not reach the package's folders and control files.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
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
