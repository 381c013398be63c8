// Where the tables stand in a design document: the range of sheets and the cells of
// the table name and of the field columns. Sheets, rows and columns are 1-based
// numbers (column A is 1). Values are stored exactly as given; nothing is checked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DefFileFailure.h"
#include "LayoutOptions.h"

class clsExcelDBDocInfo {
public:
    void setStartPage(std::int32_t lngSheetNo) { molngStartPage = lngSheetNo; }
    void setEndPage(std::int32_t lngSheetNo) { molngEndPage = lngSheetNo; }
    void setStartRowFieldDef(std::int32_t lngRowNo) { molngStartRowFieldDef = lngRowNo; }
    void setRowTableName(std::int32_t lngRowNo) { molngRowTableName = lngRowNo; }
    void setColTableName(std::int32_t lngColNo) { molngColTableName = lngColNo; }
    void setColFieldName(std::int32_t lngColNo) { molngColFieldName = lngColNo; }
    void setColFieldType(std::int32_t lngColNo) { molngColFieldType = lngColNo; }
    void setColFieldSize(std::int32_t lngColNo) { molngColFieldSize = lngColNo; }
    void setColPrimaryKey(std::int32_t lngColNo) { molngColPrimaryKey = lngColNo; }
    void setColNULL(std::int32_t lngColNo) { molngColNULL = lngColNo; }

    std::int32_t getStartPage() const { return molngStartPage; }
    std::int32_t getEndPage() const { return molngEndPage; }
    std::int32_t getStartRowFieldDef() const { return molngStartRowFieldDef; }
    std::int32_t getRowTableName() const { return molngRowTableName; }
    std::int32_t getColTableName() const { return molngColTableName; }
    std::int32_t getColFieldName() const { return molngColFieldName; }
    std::int32_t getColFieldType() const { return molngColFieldType; }
    std::int32_t getColFieldSize() const { return molngColFieldSize; }
    std::int32_t getColPrimaryKey() const { return molngColPrimaryKey; }
    std::int32_t getColNULL() const { return molngColNULL; }

    // StartPage, then EndPage.
    void sbSetPage(std::int32_t lngStartSheetNo, std::int32_t lngEndSheetNo);
    // RowTableName, then ColTableName.
    void sbSetTableNmPos(std::int32_t lngRowNo, std::int32_t lngColNo);
    // StartRowFieldDef only.
    void sbSetFieldPos(std::int32_t lngStartRow);
    // ColFieldName, ColFieldType, ColFieldSize, ColPrimaryKey, ColNULL.
    void sbSetFieldDefPos(std::int32_t lngNmCol, std::int32_t lngAttrCol, std::int32_t lngSizeCol,
                          std::int32_t lngPKeyCol, std::int32_t lngNullCol);

    // The optional parts (LayoutOptions.h); the classic reading by default.
    const LayoutOptions& getOptions() const { return moOptions; }
    void setOptions(const LayoutOptions& objOptions) { moOptions = objOptions; }

    // Loads the ten values from a layout definition file (.edf), then the optional parts: a
    // file without them gives the classic reading. An optional value that is not one of its
    // key's values fails like a value that is not a number, after the ten values were taken.
    // - File missing, unreadable or not CP932: returns false, nothing changed
    //   (pstrErrMsg, when given, receives the message naming the file, pobjFailure the
    //   file and the reason apart).
    // - A key missing or holding text that is not a 32-bit number: throws
    //   ConversionError (TextRules.h) naming the file and the key; pobjFailure, when
    //   given, receives the file, the key and the reason apart before the throw. The keys
    //   before it, in file-key order (StartSheetNo ... ColNull), keep their newly read values.
    // - Otherwise true.
    bool fnReadFile(const std::string& strPath, std::string* pstrErrMsg = nullptr,
                    DefFileFailure* pobjFailure = nullptr);

private:
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
};

using ExcelDBDocInfoPtr = std::shared_ptr<clsExcelDBDocInfo>;

// The file keys of a layout definition file, in the order they are written.
inline constexpr const char* kDBDefFileKeys[10] = {
    "StartSheetNo", "EndSheetNo",   "StartRowFieldDef", "RowTableName",  "ColTableName",
    "ColFieldName", "ColFieldType", "ColFieldSize",     "ColPrimarykey", "ColNull"};

// Writes the layout definition as a .edf file: ten lines "<Key>value</Key>" in the
// order of kDBDefFileKeys, then one line for each optional part in use (kLayoutOptionKeys; a
// character CP932 cannot hold, such as the mark ✓, written as "&#x2713;", which reading turns
// back), CP932 with CR LF, replacing an existing file. False when
// the file cannot be written (pstrErrMsg, when given, receives the message naming the
// file, pobjFailure the file and the reason apart).
bool fnSaveDBDefFile(const clsExcelDBDocInfo& objDocInfo, const std::string& strPath,
                     std::string* pstrErrMsg = nullptr, DefFileFailure* pobjFailure = nullptr);
