#include "clsExcel.h"

#include <new>

#include "SourcePlace.h"
#include "TextRules.h"

std::string cellReference(std::int32_t lngRow, std::int32_t lngCol) { return cellA1(lngRow, lngCol); }

std::string readFailureReason(const std::exception& objErr) {
    // The workbook readers tell the reason without the path: the caller names the file itself.
    if (const auto* e = dynamic_cast<const xls::Error*>(&objErr)) return e->reason();
    if (dynamic_cast<const clsExcelReadError*>(&objErr)) return objErr.what();
    if (dynamic_cast<const std::bad_alloc*>(&objErr)) return "メモリが足りません。";
    return std::string("予期しないエラーが起きました（") + objErr.what() + "）。";
}

std::string clsExcel::SheetName() const {
    if (!moobjBook || molngSheet < 1) return std::string();
    return moobjBook->sheetName(molngSheet - 1);
}

bool clsExcel::fnOpenBook(const std::string& strPath) {
    mostrBookPath = strPath;
    mostrLastError.clear();
    if (isBlank(strPath)) {
        mostrLastError = "ブックのファイル名が指定されていません。";
        return false;
    }
    CloseBook();
    // The reader refuses a missing file, a folder or a file we may not read before reading any of it.
    try {
        xls::OpenOptions options;
        options.maxRow = kMaxRow;
        options.maxCol = kMaxCol;
        moobjBook = xls::openWorkbook(mostrBookPath, options);
        molngSheetCount = moobjBook->sheetCount();
    } catch (const std::exception& e) {
        moobjBook.reset();
        mostrLastError = readFailureReason(e);
        return false;
    }
    return true;
}

void clsExcel::CloseBook() {
    molngSheet = 0;
    moobjBook.reset();
}

bool clsExcel::fnOpenSheet(std::int32_t lngSheetNo) {
    if (!moobjBook || lngSheetNo > molngSheetCount || lngSheetNo < 1) return false;
    molngSheet = lngSheetNo;
    return true;
}

void clsExcel::CloseSheet() { molngSheet = 0; }

std::string clsExcel::SearchCells(std::int32_t lngRow, std::int32_t lngCol) {
    try {
        return Cells(lngRow, lngCol);
    } catch (const clsExcelReadError& e) {
        if (e.getRow() > 0) return std::string();
        throw;
    }
}

bool clsExcel::SearchRow(std::int32_t lngRow, std::vector<std::string>& colRow) {
    colRow.assign(kMaxCol + 1, std::string());
    bool blnAny = false;
    for (std::int32_t c = 1; c <= kMaxCol; ++c) {
        colRow[c] = SearchCells(lngRow, c);
        blnAny = blnAny || !isBlank(colRow[c]);
    }
    return blnAny;
}

std::string clsExcel::Cells(std::int32_t lngRow, std::int32_t lngCol) {
    if (lngRow > kMaxRow || lngCol > kMaxCol) return std::string();
    if (!moobjBook || molngSheet < 1) throw std::logic_error("clsExcel::Cells: no sheet is current");

    // "シート3「T_ORDER」": which sheet a failure concerns.
    auto where = [this] { return "シート" + std::to_string(molngSheet) + "「" + SheetName() + "」"; };
    if (lngRow < 1 || lngCol < 1)
        throw clsExcelReadError(where() + "の行" + std::to_string(lngRow) + "・列" + std::to_string(lngCol) +
                                    "は読み込めません。行と列は1以上で指定してください。",
                                molngSheet, SheetName(), lngRow, lngCol);
    xls::Cell objCell;
    try {
        objCell = moobjBook->cell(molngSheet - 1, lngRow, lngCol);
    } catch (const xls::Error& e) {
        throw clsExcelReadError(where() + "を読み込めません。" + e.reason(), molngSheet, SheetName(), 0, 0);
    }
    if (objCell.kind == xls::CellKind::Error)
        throw clsExcelReadError(where() + "のセル" + cellReference(lngRow, lngCol) + "はエラー値（" + objCell.text +
                                    "）のため読み込めません。",
                                molngSheet, SheetName(), lngRow, lngCol);
    return xls::cellText(objCell);
}
