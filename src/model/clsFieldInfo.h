// One field row of a design document: name, type word, size and NULL mark, kept exactly as read,
// and where they were read (the row, and the column of each part).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The parts of a field line, each read from a cell of the field's row.
enum class FieldPart { Name, Type, Size, PrimaryKey, Null, Decimals, Remarks };
inline constexpr int kFieldPartCount = 7;

class clsFieldInfo {
public:
    void setName(const std::string& strName) { mostrName = strName; }
    void setAttr(const std::string& strAttr) { mostrAttr = strAttr; }
    void setSize(const std::string& strSize) { mostrSize = strSize; }
    void setNull(bool blnNull) { moblnNull = blnNull; }

    const std::string& getName() const { return mostrName; }
    const std::string& getAttr() const { return mostrAttr; }
    const std::string& getSize() const { return mostrSize; }
    bool getNull() const { return moblnNull; }

    // Decimal places, as read from a column of their own; empty when the layout has none.
    void setDecimals(const std::string& strDecimals) { mostrDecimals = strDecimals; }
    const std::string& getDecimals() const { return mostrDecimals; }

    // Where the field was read: its row, and the column each part came from (0: not read from a
    // cell, e.g. a field made by hand or a layout without that column). The sheet is the table's.
    void setRow(std::int32_t lngRow) { molngRow = lngRow; }
    std::int32_t getRow() const { return molngRow; }
    void setCol(FieldPart enmPart, std::int32_t lngCol) { molngCols[static_cast<int>(enmPart)] = lngCol; }
    std::int32_t getCol(FieldPart enmPart) const { return molngCols[static_cast<int>(enmPart)]; }
    // "E7": the cell a part was read from; empty when it was not read from a cell.
    std::string getCellA1(FieldPart enmPart) const;

private:
    std::string mostrName;
    std::string mostrAttr;
    std::string mostrSize;
    bool moblnNull = false;  // true: the document lets the field hold NULL
    std::string mostrDecimals;
    std::int32_t molngRow = 0;
    std::int32_t molngCols[kFieldPartCount] = {0, 0, 0, 0, 0, 0, 0};
};

using FieldInfoPtr = std::shared_ptr<clsFieldInfo>;
