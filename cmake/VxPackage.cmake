# The Debian package: `cpack -G DEB` in the build folder (scripts/build-package.sh does it
# and checks the result). The package holds everything `cmake --install` installs with the
# prefix /usr; its dependencies on shared libraries are computed by dpkg-shlibdeps from the
# programs themselves, and only what the programs load without linking it is named here.

# The package's own documents, compressed as Debian wants them (gzip -n: no name or time in
# the header, so the same sources give the same package).
set(VX_PACKAGE_NAME vellumdex-system-down)
set(VX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${VX_PACKAGE_NAME})
set(VX_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${VX_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/packaging/debian/changelog' > '${VX_CHANGELOG_GZ}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(vx_package_docs ALL DEPENDS ${VX_CHANGELOG_GZ})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${VX_CHANGELOG_GZ} DESTINATION ${VX_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vellumdex Project")
set(CPACK_PACKAGE_CONTACT "The Vellumdex Project <maintainers@vellumdex.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "circulation desk recorder for library database outages")
set(CPACK_PACKAGE_DESCRIPTION
    "While the central library database cannot be reached, the librarian scans a
borrower's barcode and then the items the borrower takes, and each pair goes
into a local workfile. When the database is back, the librarian logs on,
chooses the library unit, and the program posts every line as a loan, returns
items still on loan first, logs each outcome, shows a report and keeps only
the rejected lines for a later try.
.
The windows speak Norwegian, Swedish, Danish and English. The package also
holds the administrator's tools: vximport posts a workfile from the command
line, vxdb creates a library database, vxsql runs SQL against one, mldc
compiles the dictionary and vxver shows a program's version information.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vellumdex.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so dpkg-shlibdeps cannot see them: the platform plugins (a desk's
# X11 or Wayland display) and the toolkit's own translations of its buttons and dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
