#include "clsExcel.h"

#include <sys/stat.h>
#include <unistd.h>

#include "TextRules.h"

std::string cellReference(std::int32_t lngRow, std::int32_t lngCol) {
    if (lngRow < 1 || lngCol < 1 || lngRow > 1048576 || lngCol > 16384) return std::string();
    std::string letters;
    for (std::int32_t c = lngCol; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(lngRow);
}

std::string clsExcel::SheetName() const {
    if (!moobjBook || molngSheet < 1) return std::string();
    return moobjBook->sheetName(molngSheet - 1);
}

bool clsExcel::fnOpenBook(const std::string& strPath) {
    mostrBookPath = strPath;
    mostrLastError.clear();
    if (isBlank(strPath)) {
        mostrLastError = "no workbook path given";
        return false;
    }
    // A regular file we may read; a folder, a device or a file without read permission is not one.
    struct stat st;
    if (::stat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(strPath.c_str(), R_OK) != 0) {
        mostrLastError = strPath + ": no such readable file";
        return false;
    }
    CloseBook();
    try {
        xls::OpenOptions options;
        options.maxRow = kMaxRow;
        options.maxCol = kMaxCol;
        moobjBook = xls::openWorkbook(mostrBookPath, options);
        molngSheetCount = moobjBook->sheetCount();
    } catch (const std::exception& e) {
        moobjBook.reset();
        mostrLastError = e.what();
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
        throw clsExcelReadError(where() + "を読み込めません（" + e.what() + "）。", molngSheet, SheetName(), 0, 0);
    }
    if (objCell.kind == xls::CellKind::Error)
        throw clsExcelReadError(where() + "のセル" + cellReference(lngRow, lngCol) + "はエラー値（" + objCell.text +
                                    "）のため読み込めません。",
                                molngSheet, SheetName(), lngRow, lngCol);
    return xls::cellText(objCell);
}
