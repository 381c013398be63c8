// Reads a design document (one table per sheet) into a database model, following a layout
// definition: which sheets, the table-name cell, the first field row and the five field columns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clsDBInfo.h"
#include "clsExcelDBDocInfo.h"

class clsExcel;

class clsExcelDBDoc {
public:
    // The model read so far (empty before a reading). The same object on every call.
    DBInfoPtr getDBInfo();

    // Takes a copy of the ten layout values and the optional parts; later changes to clsDocInfo do
    // not reach this reader.
    void sbSetDocInfo(const clsExcelDBDocInfo& clsDocInfo);

    // Progress of the reading: called with (0, total) once the workbook is open and the sheets
    // are about to be read, then with (n, total) after the n-th sheet, in sheet order. total is
    // the number of sheets read: those of the layout's range that exist in the workbook.
    // Returning false stops the reading: fnReadDBDoc then returns false with wasCancelled() true,
    // the workbook is closed and the model is unchanged. An empty function reports nothing.
    using ProgressFn = std::function<bool(int lngDone, int lngTotal)>;
    void sbSetProgress(ProgressFn fnProgress) { mofnProgress = std::move(fnProgress); }

    // Reads the workbook at strFilePath and appends its tables to the model.
    // - False when the workbook cannot be opened (blank path, no such file, not a workbook,
    //   damaged, encrypted) or the reading was cancelled; getLastError() tells why, as a
    //   Japanese sentence; the model is unchanged.
    // - Throws clsExcelReadError when a cell whose text is used holds an error value, when a layout
    //   row or column below 1 is used, or when sheet data is damaged. The workbook is closed and
    //   the model is unchanged (no table of this reading is kept).
    // - Otherwise true, even when no table was found.
    bool fnReadDBDoc(const std::string& strFilePath);

    const std::string& getLastError() const { return mostrLastError; }

    // Sheets of the range that gave no table, in sheet order, each with the reason in a Japanese
    // sentence ("見出し行が見つかりません", "テーブル名のセルC3が空です"), and what the reading
    // noticed on the way (a mark that is none of the layout's mark words). Filled by fnReadDBDoc.
    struct SheetNote {
        std::int32_t lngSheetNo = 0;
        std::string strSheetName;
        std::string strText;
    };
    const std::vector<SheetNote>& getSkippedSheets() const { return mocolSkipped; }
    const std::vector<SheetNote>& getNotes() const { return mocolNotes; }
    // True when the last fnReadDBDoc was stopped through the progress function.
    bool wasCancelled() const { return moblnCancelled; }

private:
    void sbReadSheet(clsExcel& objExcel, std::int32_t lngSheetNo, std::vector<TableInfoPtr>& colTables);
    // The reading with the layout's optional parts (header labels, mark words, ...).
    void sbReadSheetWithOptions(clsExcel& objExcel, std::int32_t lngSheetNo, std::vector<TableInfoPtr>& colTables);
    void sbSkip(std::int32_t lngSheetNo, const std::string& strSheetName, const std::string& strReason);

    DBInfoPtr moobjDBInfo;
    std::int32_t molngStartPage = 1;
    std::int32_t molngEndPage = 4;
    std::int32_t molngStartRowFieldDef = 6;
    std::int32_t molngRowTableName = 3;
    std::int32_t molngColTableName = 3;
    std::int32_t molngColFieldName = 4;
    std::int32_t molngColFieldType = 5;
    std::int32_t molngColFieldSize = 6;
    std::int32_t molngColPrimaryKey = 7;
    std::int32_t molngColNULL = 9;
    LayoutOptions moOptions;
    std::vector<SheetNote> mocolSkipped;
    std::vector<SheetNote> mocolNotes;
    std::string mostrLastError;
    ProgressFn mofnProgress;
    bool moblnCancelled = false;
};
