# Run by `cmake --install` (and CPack) for files that name where xlsdb is installed: fills in the
# template XLSDB_TEMPLATE with the prefix of this install and writes it straight into
# DESTINATION/NAME under the prefix (nothing is written into the build folder), compressed with
# gzip -9n (the same input gives the same bytes) when XLSDB_GZIP is on.
# Set by the caller: XLSDB_TEMPLATE, XLSDB_DESTINATION (relative to the prefix), XLSDB_NAME,
# XLSDB_GZIP, PROJECT_VERSION, XLSDB_RELEASE_DATE, XLSDB_CHANGELOG_DATE, XLSDB_DATADIR (relative to
# the prefix, like XLSDB_DESTINATION).
# (A folder given as an absolute path stays as it is, as install() treats it.)
foreach(_var XLSDB_DATADIR XLSDB_DESTINATION)
  if(NOT IS_ABSOLUTE "${${_var}}")
    set(${_var} "${CMAKE_INSTALL_PREFIX}/${${_var}}")
  endif()
endforeach()
set(XLSDB_EXAMPLES_DIR "${XLSDB_DATADIR}/xlsdb/examples")
set(_dir "$ENV{DESTDIR}${XLSDB_DESTINATION}")
set(_file "${_dir}/${XLSDB_NAME}")
file(MAKE_DIRECTORY "${_dir}")
configure_file("${XLSDB_TEMPLATE}" "${_file}" @ONLY NO_SOURCE_PERMISSIONS)
if(XLSDB_GZIP)
  execute_process(COMMAND gzip -9nf "${_file}" RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${_file}")
  endif()
  set(_file "${_file}.gz")
endif()
message(STATUS "Installing: ${_file}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_file}")
