// One table of a design document: its name, its fields in row order and its primary-key field
// names, and where it was read (the sheet, and the cell of its name).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clsFieldInfo.h"

class clsTableInfo {
public:
    void setName(const std::string& strTableName) { mostrName = strTableName; }
    const std::string& getName() const { return mostrName; }

    // Appends the field itself (shared, not copied).
    void setField(FieldInfoPtr objField) { mocolFields.push_back(std::move(objField)); }
    const std::vector<FieldInfoPtr>& getFields() const { return mocolFields; }

    // Appends a primary-key field name; nothing ties it to the field list.
    void sbAddPKey(const std::string& strField) { mocolPrimaryKeys.push_back(strField); }
    const std::vector<std::string>& getPrimaryKeys() const { return mocolPrimaryKeys; }

    // The sheet the table was read from: 1-based position in tab order (0: not read from a
    // workbook) and the sheet's name.
    void setSheet(std::int32_t lngSheetNo, const std::string& strSheetName) {
        molngSheetNo = lngSheetNo;
        mostrSheetName = strSheetName;
    }
    std::int32_t getSheetNo() const { return molngSheetNo; }
    const std::string& getSheetName() const { return mostrSheetName; }

    // The cell the name was read from; (0, 0) when the name is the sheet's name or was not read.
    void setNameCell(std::int32_t lngRow, std::int32_t lngCol) {
        molngNameRow = lngRow;
        molngNameCol = lngCol;
    }
    std::int32_t getNameRow() const { return molngNameRow; }
    std::int32_t getNameCol() const { return molngNameCol; }
    std::string getNameCellA1() const;

    // The first field of that name (exact, untrimmed), or null.
    FieldInfoPtr getField(const std::string& strFieldName) const;

    // Where the table stands, for a message: "シート2「顧客」のセルC3", "シート2「顧客」" when the
    // name has no cell; empty when the table was not read from a workbook.
    std::string getPlace() const;
    // Where one part of a field stands: "シート2「顧客」のセルE7"; falls back to the sheet alone.
    std::string getPlace(const clsFieldInfo& objField, FieldPart enmPart) const;

private:
    std::string mostrName;
    std::vector<FieldInfoPtr> mocolFields;
    std::vector<std::string> mocolPrimaryKeys;
    std::int32_t molngSheetNo = 0;
    std::string mostrSheetName;
    std::int32_t molngNameRow = 0;
    std::int32_t molngNameCol = 0;
};

using TableInfoPtr = std::shared_ptr<clsTableInfo>;
