// A workbook file opened for reading: its sheets in tab order and their cells.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "cell.h"
#include "user_error.h"

namespace xls {

// Why a workbook could not be read: a kind, the technical detail, and where (file, sheet).
// reason() is the Japanese sentence for the user: the kind's sentence with the detail in
// parentheses, e.g. "ファイルが壊れています（シートが EOF レコードなしで終わっています）。". what() puts the
// file and the sheet, when known, before it: "/x/a.xls: シート2「売上」: ファイルが壊れています（…）。".
// A base::UserError: number() is the kind's (base::errWorkbookNotFound ...), subject() names the
// file and the sheet.
class Error : public base::UserError {
public:
    enum class Kind {
        NotFound,      // no file at the path
        NotAFile,      // a folder, a device...
        CannotOpen,    // exists but cannot be opened or read (permissions, I/O error)
        Empty,         // a file of no bytes
        NotWorkbook,   // some other kind of file
        TooOld,        // Excel 2.x-4.x formats (BIFF2-4)
        Encrypted,     // protected by a password
        Truncated,     // cut short: data the file announces is missing
        Damaged,       // inconsistent structure or data
    };

    explicit Error(Kind kind, std::string detail = std::string());

    Kind kind() const { return kind_; }
    const std::string& detail() const { return detail_; }
    const std::string& path() const { return subject().file; }    // empty when not known here
    const std::string& sheet() const { return subject().sheet; }  // e.g. "シート2「売上」"; empty for the whole file

    // The same error, naming the file or the sheet it concerns (one already named is kept).
    Error inFile(const std::string& path) const;
    Error inSheet(int sheetIndex, const std::string& sheetName) const;  // sheetIndex 0-based

    // The sentence of a kind, with the detail in parentheses when there is one.
    static std::string reasonText(Kind kind, const std::string& detail = std::string());

private:
    Error(Kind kind, std::string detail, std::string path, std::string sheet);
    Kind kind_;
    std::string detail_;
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

// Why the system refused to open or read a file (errno), for Error::Kind::CannotOpen: a short
// Japanese phrase (base::systemErrorText, a refused read named as such); empty for 0 (no reason known).
std::string systemReason(int error);

// Opens a .xls (BIFF8, BIFF5) or .xlsx workbook; the format is chosen by the file's first bytes,
// not by its name. Throws Error with the reason: missing, unreadable, encrypted, truncated,
// corrupt, or not a workbook.
std::unique_ptr<Workbook> openWorkbook(const std::string& path, const OpenOptions& options = {});

}  // namespace xls
