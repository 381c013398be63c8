#include "clsExcelDBDoc.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "TextRules.h"
#include "clsExcel.h"

namespace {
// Field rows are read down to this row at most.
constexpr std::int32_t kLastFieldRow = 99;
const char* const kMsgCancelled = "読み込みを中止しました。";
}  // namespace

DBInfoPtr clsExcelDBDoc::getDBInfo() {
    if (!moobjDBInfo) moobjDBInfo = std::make_shared<clsDBInfo>();
    return moobjDBInfo;
}

void clsExcelDBDoc::sbSetDocInfo(const clsExcelDBDocInfo& clsDocInfo) {
    molngStartPage = clsDocInfo.getStartPage();
    molngEndPage = clsDocInfo.getEndPage();
    molngStartRowFieldDef = clsDocInfo.getStartRowFieldDef();
    molngRowTableName = clsDocInfo.getRowTableName();
    molngColTableName = clsDocInfo.getColTableName();
    molngColFieldName = clsDocInfo.getColFieldName();
    molngColFieldType = clsDocInfo.getColFieldType();
    molngColFieldSize = clsDocInfo.getColFieldSize();
    molngColPrimaryKey = clsDocInfo.getColPrimaryKey();
    molngColNULL = clsDocInfo.getColNULL();
}

bool clsExcelDBDoc::fnReadDBDoc(const std::string& strFilePath) {
    mostrLastError.clear();
    moblnCancelled = false;
    clsExcel objExcel;
    if (!objExcel.fnOpenBook(strFilePath)) {
        mostrLastError = objExcel.getLastError();
        return false;
    }
    // Tables go to the model only when the whole reading succeeds.
    std::vector<TableInfoPtr> colTables;
    try {
        // Sheet numbers outside the workbook are skipped without effect, so only the ones inside
        // are visited (a range such as 1 .. 2147483647 would otherwise take ages).
        const std::int64_t lngFirst = std::max<std::int64_t>(molngStartPage, 1);
        const std::int64_t lngLast = std::min<std::int64_t>(molngEndPage, objExcel.getSheetCount());
        const int lngTotal = static_cast<int>(std::max<std::int64_t>(lngLast - lngFirst + 1, 0));
        auto fnGoOn = [&](int lngDone) { return !mofnProgress || mofnProgress(lngDone, lngTotal); };
        bool blnGoOn = fnGoOn(0);
        for (std::int64_t n = lngFirst; blnGoOn && n <= lngLast; ++n) {
            sbReadSheet(objExcel, static_cast<std::int32_t>(n), colTables);
            blnGoOn = fnGoOn(static_cast<int>(n - lngFirst + 1));
        }
        // Stopped before the end, even after the last sheet: what was read is not the whole list.
        if (!blnGoOn) {
            objExcel.CloseBook();
            moblnCancelled = true;
            mostrLastError = kMsgCancelled;
            return false;
        }
    } catch (...) {
        objExcel.CloseBook();
        throw;
    }
    objExcel.CloseBook();
    DBInfoPtr objDBInfo = getDBInfo();
    for (auto& objTable : colTables) objDBInfo->setTable(objTable);
    return true;
}

void clsExcelDBDoc::sbReadSheet(clsExcel& objExcel, std::int32_t lngSheetNo, std::vector<TableInfoPtr>& colTables) {
    if (!objExcel.fnOpenSheet(lngSheetNo)) return;

    const std::string strTableName = objExcel.Cells(molngRowTableName, molngColTableName);
    if (isBlank(strTableName)) {
        objExcel.CloseSheet();
        return;
    }
    auto objTable = std::make_shared<clsTableInfo>();
    objTable->setName(strTableName);
    objTable->setSheet(lngSheetNo, objExcel.SheetName());
    objTable->setNameCell(molngRowTableName, molngColTableName);

    for (std::int32_t r = molngStartRowFieldDef; r <= kLastFieldRow; ++r) {
        // The field name decides first: the other cells of the row that ends the list are never
        // used, so an error value there must not fail the reading.
        const std::string strName = objExcel.Cells(r, molngColFieldName);
        if (isBlank(strName)) break;
        const std::string strType = objExcel.Cells(r, molngColFieldType);
        const std::string strSize = objExcel.Cells(r, molngColFieldSize);
        const std::string strPKey = objExcel.Cells(r, molngColPrimaryKey);
        const std::string strNull = objExcel.Cells(r, molngColNULL);

        auto objField = std::make_shared<clsFieldInfo>();
        objField->setName(strName);
        objField->setAttr(strType);
        objField->setSize(strSize);
        objField->setNull(!isBlank(strNull));
        objField->setRow(r);
        objField->setCol(FieldPart::Name, molngColFieldName);
        objField->setCol(FieldPart::Type, molngColFieldType);
        objField->setCol(FieldPart::Size, molngColFieldSize);
        objField->setCol(FieldPart::PrimaryKey, molngColPrimaryKey);
        objField->setCol(FieldPart::Null, molngColNULL);
        if (!isBlank(strPKey)) objTable->sbAddPKey(strName);
        objTable->setField(objField);
    }
    colTables.push_back(objTable);
    objExcel.CloseSheet();
}
