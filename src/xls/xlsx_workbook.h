// Reader of Office Open XML workbooks (.xlsx, .xlsm): a zip package of XML parts.
#pragma once

#include <memory>
#include <string>

#include "workbook.h"

namespace xls {

// Opens the package at path and reads its workbook part, styles, shared strings and the list of
// sheets. Sheet data is read when a sheet is first asked for; only cells inside options' bounds are
// kept. Throws Error with the reason when the file is not a readable workbook package.
std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path, const OpenOptions& options);

// Why the zip layer refused to open or read a package, as a Japanese phrase: zipError is libzip's
// error code (ZIP_ER_*), systemError the errno or zlib code that goes with it (0 when none).
// The phrase is what the reader puts in its Error details.
std::string zipErrorReason(int zipError, int systemError);

}  // namespace xls
