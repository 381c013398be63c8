// The workbook globals of a BIFF stream: the substream from the stream's first BOF to its EOF.
// They give the BIFF version, the code page of byte strings, the date system, which cell formats
// (XF) show dates, the sheet list (BOUNDSHEET) and the shared strings (SST). An encrypted
// workbook (FILEPASS) is refused here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "biff_record.h"

namespace xls::biff {

// The kind of sheet a BOUNDSHEET record names.
constexpr std::uint8_t kSheetWorksheet = 0;  // also dialog sheets
constexpr std::uint8_t kSheetMacro = 1;
constexpr std::uint8_t kSheetChart = 2;
constexpr std::uint8_t kSheetModule = 6;     // a VBA module

struct SheetInfo {
    std::string name;
    std::uint32_t offset = 0;  // of the sheet's BOF record in the stream
    std::uint8_t type = kSheetWorksheet;
};

struct Globals {
    TextForm text;
    bool date1904 = false;
    std::size_t end = 0;                // where the records after the globals' EOF begin
    std::vector<SheetInfo> sheets;      // in tab order
    std::vector<std::string> sst;       // shared strings, by index
    std::vector<bool> xfIsDate;         // by XF index: numbers in that format are dates
};

// Reads the globals at the start of the stream. hintVersion (8 or 5, from the stream's name)
// decides the version when the BOF record does not. Throws Error: NotWorkbook when the stream
// does not start with the globals' BOF, TooOld for BIFF2-4, Encrypted, Damaged.
Globals readGlobals(const std::vector<std::uint8_t>& stream, int hintVersion);

}  // namespace xls::biff
