# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh does it), installed
# under /usr. The libraries' packages (Qt 6, libzip, pugixml) are found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME xlsdb)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The xlsdb developers")
set(CPACK_PACKAGE_CONTACT "The xlsdb developers <maintainers@xlsdb.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Access tables and HTML documentation from Excel table designs")
set(CPACK_PACKAGE_DESCRIPTION
    "xlsdb reads database table designs kept in an Excel workbook\n\
(.xls or .xlsx), one table per worksheet, and creates those tables in a\n\
Microsoft Access database (.mdb, Jet 4 format) and linked HTML pages\n\
that describe them. Workbooks are read and databases written by xlsdb\n\
itself: no spreadsheet program or database engine is needed.\n\
.\n\
The package holds the screens (xlsdb, in Japanese) and the command-line\n\
program xlsdb-cli, with manual pages in English and Japanese and sample\n\
design documents.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${XLSDB_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
if(XLSDB_BUILD_GUI)
  # Qt needs a platform plugin to open any window; Japanese texts in Qt's own dialogs and a
  # Japanese font are wanted but not needed.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont-gothic")
endif()
include(CPack)
