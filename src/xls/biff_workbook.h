// Reader of Excel 97-2003 (BIFF8) and Excel 95 (BIFF5) workbooks: the compound-file container
// and the cell records of the workbook stream. Only cells inside OpenOptions' bounds are kept,
// and only for one sheet at a time, so memory stays flat whatever a sheet's size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "workbook.h"

namespace xls {

// Opens the .xls file at path. Throws Error with the reason: missing, unreadable, not a
// compound file, no workbook stream in it, encrypted, truncated or corrupt.
std::unique_ptr<Workbook> openBiffWorkbook(const std::string& path, const OpenOptions& options = {});

// The same from the file's bytes (the whole compound file).
std::unique_ptr<Workbook> openBiffWorkbookBytes(std::vector<std::uint8_t> fileBytes,
                                                const OpenOptions& options = {});

// From the bare workbook stream (the records, without the container around them).
std::unique_ptr<Workbook> openBiffStream(std::vector<std::uint8_t> stream,
                                         const OpenOptions& options = {});

}  // namespace xls
