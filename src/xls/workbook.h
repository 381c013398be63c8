// A workbook file opened for reading: its sheets in tab order and their cells.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "cell.h"

namespace xls {

// Why a workbook could not be read. what() is a readable sentence for the user.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OpenOptions {
    // Only cells in rows 1..maxRow and columns 1..maxCol are kept; anything beyond reads as empty.
    // This keeps memory flat whatever size a sheet claims to have.
    int maxRow = 999;
    int maxCol = 99;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    // Every sheet in tab order: worksheets, chart sheets, macro sheets alike.
    virtual int sheetCount() const = 0;
    // sheet is 0-based.
    virtual std::string sheetName(int sheet) const = 0;
    // sheet is 0-based; row and col are 1-based (column A is 1). Out of range -> empty cell.
    // Chart and macro sheets have no cells. May throw Error if the sheet's data turns out corrupt.
    virtual Cell cell(int sheet, int row, int col) = 0;
};

// Opens a .xls (BIFF8, BIFF5) or .xlsx workbook; the format is chosen by the file's first bytes,
// not by its name. Throws Error with the reason: missing, unreadable, encrypted, truncated,
// corrupt, or not a workbook.
std::unique_ptr<Workbook> openWorkbook(const std::string& path, const OpenOptions& options = {});

}  // namespace xls
