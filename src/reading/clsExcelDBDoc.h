// Reads a design document (one table per sheet) into a database model, following a layout
// definition: which sheets, the table-name cell, the first field row and the five field columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clsDBInfo.h"
#include "clsExcelDBDocInfo.h"

class clsExcel;

class clsExcelDBDoc {
public:
    // The model read so far (empty before a reading). The same object on every call.
    DBInfoPtr getDBInfo();

    // Takes a copy of the ten layout values; later changes to clsDocInfo do not reach this reader.
    void sbSetDocInfo(const clsExcelDBDocInfo& clsDocInfo);

    // Reads the workbook at strFilePath and appends its tables to the model.
    // - False when the workbook cannot be opened (blank path, no such file, not a workbook,
    //   damaged, encrypted); getLastError() tells why; the model is unchanged.
    // - Throws clsExcelReadError when a cell whose text is used holds an error value, when a layout
    //   row or column below 1 is used, or when sheet data is damaged. The workbook is closed and
    //   the model is unchanged (no table of this reading is kept).
    // - Otherwise true, even when no table was found.
    bool fnReadDBDoc(const std::string& strFilePath);

    const std::string& getLastError() const { return mostrLastError; }

private:
    void sbReadSheet(clsExcel& objExcel, std::int32_t lngSheetNo, std::vector<TableInfoPtr>& colTables);

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
    std::string mostrLastError;
};
