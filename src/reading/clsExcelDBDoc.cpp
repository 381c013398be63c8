#include "clsExcelDBDoc.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "DesignWords.h"
#include "SourcePlace.h"
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
    moOptions = clsDocInfo.getOptions();
}

bool clsExcelDBDoc::fnReadDBDoc(const std::string& strFilePath) {
    mostrLastError.clear();
    moblnCancelled = false;
    mocolSkipped.clear();
    mocolNotes.clear();
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
    if (!moOptions.isClassic()) {
        sbReadSheetWithOptions(objExcel, lngSheetNo, colTables);
        objExcel.CloseSheet();
        return;
    }

    const std::string strTableName = objExcel.Cells(molngRowTableName, molngColTableName);
    if (isBlank(strTableName)) {
        const std::string strCell = cellReference(molngRowTableName, molngColTableName);
        sbSkip(lngSheetNo, objExcel.SheetName(),
               strCell.empty() ? "テーブル名がありません" : "テーブル名のセル" + strCell + "が空です");
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

void clsExcelDBDoc::sbSkip(std::int32_t lngSheetNo, const std::string& strSheetName, const std::string& strReason) {
    std::string strText = strReason;
    if (designwords::containsWord(strSheetName, designwords::nonTableSheetWords()))
        strText += "（表紙・履歴・一覧などのシートと見られます）";
    mocolSkipped.push_back({lngSheetNo, strSheetName, strText});
}

namespace {

// Where one table stands on a sheet. Header and label searches read cells through
// clsExcel::SearchCells, the cells of a field line as usual.
struct Placement {
    std::string strName;
    std::int32_t lngNameRow = 0, lngNameCol = 0;
    std::int32_t lngFirstRow = 0, lngLastRow = 0;
    std::int32_t lngCols[kFieldPartCount] = {0, 0, 0, 0, 0, 0, 0};
};

// The words of a list kept in a layout, or the built-in ones when the layout keeps none.
std::vector<std::string> wordsOr(const std::string& strList, const std::vector<std::string>& colBuiltIn) {
    std::vector<std::string> colWords = designwords::splitWords(strList);
    return colWords.empty() ? colBuiltIn : colWords;
}

// The table name beside a label in row lngRow: the first cell to the right of the label that is
// not blank and not a label itself; else the cell below the label. False when the row has no label.
bool nameBesideLabel(clsExcel& objExcel, std::int32_t lngRow, const std::vector<std::string>& colLabels,
                     Placement& p) {
    for (std::int32_t c = 1; c <= clsExcel::kMaxCol; ++c) {
        if (!designwords::isOneOf(objExcel.SearchCells(lngRow, c), colLabels)) continue;
        for (std::int32_t d = c + 1; d <= clsExcel::kMaxCol; ++d) {
            const std::string s = objExcel.SearchCells(lngRow, d);
            if (isBlank(s)) continue;
            p.strName = s;
            p.lngNameRow = lngRow;
            p.lngNameCol = d;
            return true;
        }
        const std::string strBelow = objExcel.SearchCells(lngRow + 1, c);
        if (!isBlank(strBelow)) {
            p.strName = strBelow;
            p.lngNameRow = lngRow + 1;
            p.lngNameCol = c;
            return true;
        }
    }
    return false;
}

}  // namespace

void clsExcelDBDoc::sbReadSheetWithOptions(clsExcel& objExcel, std::int32_t lngSheetNo,
                                           std::vector<TableInfoPtr>& colTables) {
    const std::string strSheetName = objExcel.SheetName();
    const LayoutOptions& o = moOptions;
    const std::vector<std::string> colNameLabels = wordsOr(o.strTableNameLabels, designwords::tableNameLabels());
    std::vector<Placement> colPlaces;

    if (o.isHeaderAnchored()) {
        // Every row holding a name label and (when the layout names them) a type label is a header.
        std::vector<std::vector<std::string>> colPartLabels;
        for (int i = 0; i < kHeaderPartCount; ++i) colPartLabels.push_back(designwords::splitWords(o.strHeaderLabels[i]));
        const auto& colTypeLabels = colPartLabels[static_cast<int>(HeaderPart::Type)];
        for (std::int32_t r = 1; r <= clsExcel::kMaxRow; ++r) {
            std::vector<std::string> colRow;
            if (!objExcel.SearchRow(r, colRow)) continue;
            Placement p;
            // For each part, its labels in the layout's order: the first label found decides.
            for (int i = 0; i < kHeaderPartCount; ++i) {
                for (const std::string& strLabel : colPartLabels[i]) {
                    for (std::int32_t c = 1; c <= clsExcel::kMaxCol && p.lngCols[i] == 0; ++c) {
                        bool blnTaken = false;
                        for (int k = 0; k < i; ++k) blnTaken = blnTaken || p.lngCols[k] == c;
                        if (!blnTaken && designwords::normal(colRow[c]) == designwords::normal(strLabel)) p.lngCols[i] = c;
                    }
                    if (p.lngCols[i] != 0) break;
                }
            }
            if (p.lngCols[0] == 0 || (!colTypeLabels.empty() && p.lngCols[static_cast<int>(HeaderPart::Type)] == 0))
                continue;
            p.lngFirstRow = r + 1;
            colPlaces.push_back(p);
        }
        if (colPlaces.empty()) {
            sbSkip(lngSheetNo, strSheetName, "見出し行（" + designwords::splitWords(o.strHeaderLabels[0]).front() + " など）が見つかりません");
            return;
        }
        for (std::size_t i = 0; i < colPlaces.size(); ++i) {
            Placement& p = colPlaces[i];
            p.lngLastRow = i + 1 < colPlaces.size() ? colPlaces[i + 1].lngFirstRow - 2 : clsExcel::kMaxRow;
            const std::int32_t lngTop = i == 0 ? 1 : colPlaces[i - 1].lngFirstRow;
            if (o.enmTableName == TableNameSource::Label) {
                // The nearest table-name label above the header, below the previous table's header.
                for (std::int32_t r = p.lngFirstRow - 2; r >= lngTop && !nameBesideLabel(objExcel, r, colNameLabels, p); --r) {
                }
            }
        }
    } else {
        Placement p;
        p.lngFirstRow = molngStartRowFieldDef;
        p.lngLastRow = kLastFieldRow;
        const std::int32_t cols[kFieldPartCount] = {molngColFieldName, molngColFieldType, molngColFieldSize,
                                                    molngColPrimaryKey, molngColNULL, o.lngColDecimals, o.lngColRemarks};
        std::copy(cols, cols + kFieldPartCount, p.lngCols);
        if (o.enmTableName == TableNameSource::Label) {
            for (std::int32_t r = 1; r < molngStartRowFieldDef && r <= clsExcel::kMaxRow; ++r) {
                if (nameBesideLabel(objExcel, r, colNameLabels, p)) break;
            }
        }
        colPlaces.push_back(p);
    }

    const std::vector<std::string> colYes = designwords::splitWords(o.strYesWords);
    const std::vector<std::string> colNo = designwords::splitWords(o.strNoWords);
    const std::vector<std::string> colKeyWords = wordsOr(o.strKeyWords, designwords::keyWords());
    // A mark: any text that is not blank, or where the layout lists mark words, a yes-word.
    auto fnMark = [&](const std::string& strText, std::int32_t lngRow, std::int32_t lngCol) {
        if (colYes.empty()) return !isBlank(strText);
        const designwords::MarkReading m = designwords::readMark(strText, colYes, colNo);
        if (m == designwords::MarkReading::Unknown) {
            mocolNotes.push_back({lngSheetNo, strSheetName,
                                  sheetWords(lngSheetNo, strSheetName) + "のセル" + cellReference(lngRow, lngCol) + "の「" +
                                      strText + "」は印の言葉のどれにも当たらないため、印なしとして読みました"});
        }
        return m == designwords::MarkReading::Yes;
    };
    auto fnCell = [&](std::int32_t r, std::int32_t c) { return c > 0 ? objExcel.Cells(r, c) : std::string(); };

    for (Placement& p : colPlaces) {
        if (o.enmTableName == TableNameSource::SheetName) {
            p.strName = strSheetName;
            p.lngNameRow = p.lngNameCol = 0;
        } else if (o.enmTableName == TableNameSource::Cell) {
            p.lngNameRow = molngRowTableName;
            p.lngNameCol = molngColTableName;
            p.strName = objExcel.Cells(molngRowTableName, molngColTableName);
        }
        if (isBlank(p.strName)) {
            const std::string strCell = cellReference(p.lngNameRow, p.lngNameCol);
            sbSkip(lngSheetNo, strSheetName,
                   o.enmTableName == TableNameSource::Label ? "テーブル名のラベル（" + colNameLabels.front() + " など）が見つかりません"
                   : strCell.empty()                       ? std::string("テーブル名がありません")
                                                           : "テーブル名のセル" + strCell + "が空です");
            continue;
        }
        auto objTable = std::make_shared<clsTableInfo>();
        objTable->setName(p.strName);
        objTable->setSheet(lngSheetNo, strSheetName);
        objTable->setNameCell(p.lngNameRow, p.lngNameCol);
        auto col = [&p](FieldPart e) { return p.lngCols[static_cast<int>(e)]; };
        for (std::int32_t r = p.lngFirstRow; r <= p.lngLastRow; ++r) {
            const std::string strName = objExcel.Cells(r, col(FieldPart::Name));
            if (isBlank(strName)) break;
            const std::string strType = fnCell(r, col(FieldPart::Type));
            const std::string strSize = fnCell(r, col(FieldPart::Size));
            const std::string strPKey = fnCell(r, col(FieldPart::PrimaryKey));
            const std::string strNull = fnCell(r, col(FieldPart::Null));
            const std::string strDecimals = fnCell(r, col(FieldPart::Decimals));
            const std::string strRemarks = fnCell(r, col(FieldPart::Remarks));

            auto objField = std::make_shared<clsFieldInfo>();
            objField->setName(strName);
            objField->setAttr(strType);
            objField->setSize(strSize);
            objField->setDecimals(strDecimals);
            objField->setRow(r);
            for (int i = 0; i < kFieldPartCount; ++i) objField->setCol(static_cast<FieldPart>(i), p.lngCols[i]);
            const bool blnNullMark = col(FieldPart::Null) > 0 && fnMark(strNull, r, col(FieldPart::Null));
            objField->setNull(o.enmNullMeaning == NullMeaning::MayBeNull ? blnNullMark : !blnNullMark);
            bool blnKey = col(FieldPart::PrimaryKey) > 0 && fnMark(strPKey, r, col(FieldPart::PrimaryKey));
            if (!blnKey && o.enmKeyAlsoIn != KeyAlsoIn::None) {
                const FieldPart enmAlso = o.enmKeyAlsoIn == KeyAlsoIn::NullColumn ? FieldPart::Null : FieldPart::Remarks;
                if (designwords::containsWord(enmAlso == FieldPart::Null ? strNull : strRemarks, colKeyWords)) {
                    blnKey = true;
                    objField->setCol(FieldPart::PrimaryKey, col(enmAlso));
                }
            }
            if (blnKey) objTable->sbAddPKey(strName);
            objTable->setField(objField);
        }
        colTables.push_back(objTable);
    }
}
