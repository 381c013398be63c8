// Access to one workbook: open it by path, make one sheet current by its position in tab order,
// read single cells of that sheet as text, close it. The workbook file is read by our own readers
// (src/xls); it is never changed.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "user_error.h"
#include "workbook.h"

// "E12" for row 12, column 5; empty when the position has no such name (below 1, beyond XFD).
std::string cellReference(std::int32_t lngRow, std::int32_t lngCol);

// A failure in the middle of a reading: a cell holding an error value, a position below 1, or
// sheet data found to be damaged. what() is a sentence for the user naming the sheet (number and
// name) and, when one is concerned, the cell. A base::UserError (base::errCellRead) whose subject
// is the sheet (its name) and the cell.
class clsExcelReadError : public base::UserError {
public:
    clsExcelReadError(const std::string& strMessage, std::int32_t lngSheetNo, std::string strSheetName,
                      std::int32_t lngRow, std::int32_t lngCol)
        : base::UserError(base::errCellRead, strMessage,
                          base::Subject{std::string(), std::string(), strSheetName, cellReference(lngRow, lngCol)}),
          molngSheetNo(lngSheetNo), mostrSheetName(std::move(strSheetName)), molngRow(lngRow), molngCol(lngCol) {}
    std::int32_t getSheetNo() const { return molngSheetNo; }   // 1-based, tab order
    const std::string& getSheetName() const { return mostrSheetName; }
    std::int32_t getRow() const { return molngRow; }           // 0 when no cell is concerned
    std::int32_t getCol() const { return molngCol; }

private:
    std::int32_t molngSheetNo;
    std::string mostrSheetName;
    std::int32_t molngRow;
    std::int32_t molngCol;
};

// The sentence that tells the user why a reading failed, for any failure that escapes it: the
// workbook reader's reason (without the path, which the caller names), a clsExcelReadError's text,
// or a short Japanese sentence for anything else.
std::string readFailureReason(const std::exception& objErr);

class clsExcel {
public:
    // Name of the current sheet; empty when none is current.
    std::string SheetName() const;

    // Opens the workbook at strPath. False, without reading anything, for a blank path or when no
    // regular readable file is there; false too when the file is not a workbook we can read.
    // getLastError() then tells why, as a Japanese sentence without the path. Never throws.
    bool fnOpenBook(const std::string& strPath);

    // Closes the open workbook, if any. The sheet count read at opening is kept.
    void CloseBook();

    // Text of the cell at lngRow, lngCol (1-based) of the current sheet: see xls::cellText.
    // Beyond row 999 or column 99: empty text, without looking at the workbook.
    // Throws clsExcelReadError for a cell holding an error value, a row or column below 1, or sheet
    // data that turns out to be damaged; std::logic_error when no sheet is current.
    std::string Cells(std::int32_t lngRow, std::int32_t lngCol);
    // The same cell as a search for labels and headers sees it: a cell holding an error value
    // reads as blank (it is no label). Damaged sheet data still throws.
    std::string SearchCells(std::int32_t lngRow, std::int32_t lngCol);
    // Row lngRow as the search sees it: colRow[c] for columns 1 .. kMaxCol (colRow[0] unused).
    // False when every cell of it is blank.
    bool SearchRow(std::int32_t lngRow, std::vector<std::string>& colRow);

    // Makes the sheet at 1-based position lngSheetNo (tab order, all kinds of sheet) current;
    // false when no workbook is open or the position is outside 1 .. sheet count.
    bool fnOpenSheet(std::int32_t lngSheetNo);

    // Forgets the current sheet.
    void CloseSheet();

    std::int32_t getSheetCount() const { return molngSheetCount; }
    const std::string& getBookPath() const { return mostrBookPath; }
    // Why the last fnOpenBook returned false (e.g. "ファイルが見つかりません。"); empty after a success.
    const std::string& getLastError() const { return mostrLastError; }

    static constexpr std::int32_t kMaxRow = 999;
    static constexpr std::int32_t kMaxCol = 99;

private:
    std::unique_ptr<xls::Workbook> moobjBook;
    std::int32_t molngSheet = 0;  // current sheet, 1-based; 0 when none
    std::string mostrBookPath;
    std::int32_t molngSheetCount = 0;
    std::string mostrLastError;
};
