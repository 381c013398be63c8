# Install layout (GNU directories under the prefix):
#   bin/xlsdb, bin/xlsdb-cli                      (install() lines in src/app/*/CMakeLists.txt)
#   share/applications/ID.desktop                 menu entry of the screens
#   share/metainfo/ID.metainfo.xml                AppStream description
#   share/icons/hicolor/{scalable,NxN}/apps/ID.*  icon, drawn in data/icons/xlsdb.svg
#   share/man/man1, share/man/ja/man1             manual pages, English and Japanese
#   share/doc/xlsdb                               README, third-party notices and licences
#   share/xlsdb/examples                          sample design documents, layouts, type words
# ID is the application's reverse-DNS name; it follows the project page's domain.
set(XLSDB_APP_ID org.example.xlsdb)
set(XLSDB_HOMEPAGE https://xlsdb.example.org/)

# The release date in the changelog's form (RFC 2822).
execute_process(COMMAND date -u -R -d "${XLSDB_RELEASE_DATE} 00:00:00" OUTPUT_VARIABLE XLSDB_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE)

set(_data ${CMAKE_CURRENT_SOURCE_DIR}/data)
set(_out ${CMAKE_BINARY_DIR}/install-data)

# Files that need only the version and the names.
if(XLSDB_BUILD_GUI)
  configure_file(${_data}/xlsdb.desktop.in ${_out}/${XLSDB_APP_ID}.desktop @ONLY)
  configure_file(${_data}/xlsdb.metainfo.xml.in ${_out}/${XLSDB_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${_out}/${XLSDB_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_out}/${XLSDB_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${_data}/icons/xlsdb.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${XLSDB_APP_ID}.svg)
  # Rendered from the SVG by scripts/render-icons.sh.
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${_data}/icons/xlsdb-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${XLSDB_APP_ID}.png)
  endforeach()
endif()

# Files that name the install prefix are filled in by the install itself, so that
# `cmake --install build --prefix P` and the package (prefix /usr) each get their own paths.
function(xlsdb_install_configured template destination name gzip)
  install(CODE "
    set(XLSDB_TEMPLATE \"${template}\")
    set(XLSDB_DESTINATION \"${destination}\")
    set(XLSDB_NAME \"${name}\")
    set(XLSDB_GZIP ${gzip})
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    set(XLSDB_RELEASE_DATE \"${XLSDB_RELEASE_DATE}\")
    set(XLSDB_CHANGELOG_DATE \"${XLSDB_CHANGELOG_DATE}\")
    set(XLSDB_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
    include(\"${CMAKE_CURRENT_SOURCE_DIR}/cmake/ConfigureAtInstall.cmake\")")
endfunction()

set(_pages xlsdb-cli)
if(XLSDB_BUILD_GUI)
  list(APPEND _pages xlsdb)
endif()
foreach(page IN LISTS _pages)
  xlsdb_install_configured(${_data}/man/${page}.1.in ${CMAKE_INSTALL_MANDIR}/man1 ${page}.1 ON)
  xlsdb_install_configured(${_data}/man/ja/${page}.1.in ${CMAKE_INSTALL_MANDIR}/ja/man1 ${page}.1 ON)
endforeach()

# Documents. The package's copyright and changelog are the Debian forms of the same facts.
install(FILES README.md THIRD_PARTY_NOTICES.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES third_party/jackcess/LICENSE third_party/jackcess/NOTICE DESTINATION ${CMAKE_INSTALL_DOCDIR}/third_party/jackcess)
install(FILES ${_data}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
xlsdb_install_configured(${_data}/debian/changelog.in ${CMAKE_INSTALL_DOCDIR} changelog ON)

install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/xlsdb/examples)
