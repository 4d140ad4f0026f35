# Installing the command-line tool with its manual page, the README and docs/, and the Debian package of
# them (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvane)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvane/docs)

# The manual page is made from the tool's own help at every build of the tool, so that the two
# never disagree.
find_program(QUORVANE_HELP2MAN help2man REQUIRED)
set(QUORVANE_MANPAGE ${PROJECT_BINARY_DIR}/quorvane.1.gz)
add_custom_command(
  OUTPUT ${QUORVANE_MANPAGE}
  COMMAND ${QUORVANE_HELP2MAN} --no-info --help-option=--help-all --version-option=--version
          --name=reconcile\ two\ lists\ held\ in\ .xlsx\ workbooks
          --output=${PROJECT_BINARY_DIR}/quorvane.1 $<TARGET_FILE:quorvane>
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/quorvane.1
  DEPENDS quorvane
  COMMENT "Writing the manual page from quorvane --help-all")
add_custom_target(quorvane_manpage ALL DEPENDS ${QUORVANE_MANPAGE})
install(FILES ${QUORVANE_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reconciles two lists held in .xlsx workbooks")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <dev@quorvane.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The dependencies are the packages of the shared libraries the tool links, found by
# dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
