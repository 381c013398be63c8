# Run by `cmake --install` (and CPack) for files that name where xlsdb is installed: fills in the
# template XLSDB_TEMPLATE into XLSDB_OUTPUT with the prefix of this install, then compresses it
# (gzip -9n, so the same input gives the same bytes) unless XLSDB_GZIP is off.
# Set by the caller: XLSDB_TEMPLATE, XLSDB_OUTPUT, XLSDB_GZIP, PROJECT_VERSION, XLSDB_RELEASE_DATE,
# XLSDB_CHANGELOG_DATE, XLSDB_DATADIR (relative to the prefix).
set(XLSDB_EXAMPLES_DIR "${CMAKE_INSTALL_PREFIX}/${XLSDB_DATADIR}/xlsdb/examples")
configure_file("${XLSDB_TEMPLATE}" "${XLSDB_OUTPUT}" @ONLY)
if(XLSDB_GZIP)
  execute_process(COMMAND gzip -9nf "${XLSDB_OUTPUT}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${XLSDB_OUTPUT}")
  endif()
endif()
