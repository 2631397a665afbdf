# Run by `cmake --install` and so by CPack: makes the manual pages and the Debian changelog
# and installs them compressed, as Debian wants them. The variables are set just before, in
# cmake/Packaging.cmake. Dates follow SOURCE_DATE_EPOCH when it is set.

find_program(VELTRANE_HELP2MAN help2man)
if(NOT VELTRANE_HELP2MAN)
  message(FATAL_ERROR "help2man is needed to make the manual page of veltrane from its --help "
                      "(Debian: apt-get install help2man).")
endif()
find_program(VELTRANE_GZIP gzip REQUIRED)

string(TIMESTAMP VELTRANE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP VELTRANE_RELEASE_MONTH "%B %Y" UTC)
file(MAKE_DIRECTORY ${VELTRANE_WORK_DIR})
configure_file(${VELTRANE_SOURCE_DIR}/packaging/changelog.Debian.in
               ${VELTRANE_WORK_DIR}/changelog.Debian @ONLY)
configure_file(${VELTRANE_SOURCE_DIR}/packaging/veltrane-serz.1.in
               ${VELTRANE_WORK_DIR}/veltrane-serz.1 @ONLY)
execute_process(
  COMMAND ${VELTRANE_HELP2MAN} --no-info "--name=install Rail Simulator add-on packages"
          --include=${VELTRANE_SOURCE_DIR}/packaging/veltrane.h2m
          --output=${VELTRANE_WORK_DIR}/veltrane.1 ${VELTRANE_PROGRAM}
  COMMAND_ERROR_IS_FATAL ANY)

foreach(file veltrane.1 veltrane-serz.1 changelog.Debian)
  # -n leaves the name and time out, so the same text gives the same bytes.
  execute_process(COMMAND ${VELTRANE_GZIP} -9n -c ${VELTRANE_WORK_DIR}/${file}
                  OUTPUT_FILE ${VELTRANE_WORK_DIR}/${file}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(permissions PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL ${VELTRANE_WORK_DIR}/veltrane.1.gz ${VELTRANE_WORK_DIR}/veltrane-serz.1.gz
     DESTINATION ${CMAKE_INSTALL_PREFIX}/${VELTRANE_MANDIR}/man1 ${permissions})
file(INSTALL ${VELTRANE_WORK_DIR}/changelog.Debian.gz
     DESTINATION ${CMAKE_INSTALL_PREFIX}/${VELTRANE_DOCDIR} ${permissions})
