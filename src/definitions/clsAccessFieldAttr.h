// The words of the design document that stand for the eight Access field types
// (the type notation map). Notations are stored exactly as given: not trimmed,
// not case-folded, not checked; empty and duplicate notations are allowed.
#pragma once

#include <memory>
#include <string>

#include "DefFileFailure.h"

// The eight field types, in map order (the order of the .afa lines and of matching).
enum class AccessFieldType { Text, AutoNumber, Date, Integer, Long, Single, Double, Currency };

inline constexpr int kAccessFieldTypeCount = 8;

// The type's own name: "Text", "AutoNumber", ... It is the default notation and the
// key of its line in a .afa file.
const char* accessFieldTypeName(AccessFieldType enmType);

// The type at a map position 0..7.
AccessFieldType accessFieldTypeAt(int nIndex);

class clsAccessFieldAttr {
public:
    void setText(const std::string& strFieldExp) { set(AccessFieldType::Text, strFieldExp); }
    void setAutoNumber(const std::string& strFieldExp) { set(AccessFieldType::AutoNumber, strFieldExp); }
    void setDate(const std::string& strFieldExp) { set(AccessFieldType::Date, strFieldExp); }
    void setInteger(const std::string& strFieldExp) { set(AccessFieldType::Integer, strFieldExp); }
    void setLong(const std::string& strFieldExp) { set(AccessFieldType::Long, strFieldExp); }
    void setSingle(const std::string& strFieldExp) { set(AccessFieldType::Single, strFieldExp); }
    void setDouble(const std::string& strFieldExp) { set(AccessFieldType::Double, strFieldExp); }
    void setCurrency(const std::string& strFieldExp) { set(AccessFieldType::Currency, strFieldExp); }

    const std::string& getText() const { return get(AccessFieldType::Text); }
    const std::string& getAutoNumber() const { return get(AccessFieldType::AutoNumber); }
    const std::string& getDate() const { return get(AccessFieldType::Date); }
    const std::string& getInteger() const { return get(AccessFieldType::Integer); }
    const std::string& getLong() const { return get(AccessFieldType::Long); }
    const std::string& getSingle() const { return get(AccessFieldType::Single); }
    const std::string& getDouble() const { return get(AccessFieldType::Double); }
    const std::string& getCurrency() const { return get(AccessFieldType::Currency); }

    // Access by type, for loops over the eight types in map order.
    void set(AccessFieldType enmType, const std::string& strFieldExp);
    const std::string& get(AccessFieldType enmType) const;

private:
    std::string mostrNotations[kAccessFieldTypeCount] = {
        "Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency"};
};

using AccessFieldAttrPtr = std::shared_ptr<clsAccessFieldAttr>;

class clsXML;

// Writes the map as a .afa file: eight lines "<Type>notation</Type>" in map order,
// CP932 with CR LF, replacing an existing file. False when the file cannot be written
// or a notation holds a character CP932 cannot represent (pstrErrMsg, when given,
// receives the message naming the file, pobjFailure the file and the reason apart; an
// existing file is then left as it was).
bool fnSaveAttrFile(const clsAccessFieldAttr& objAttr, const std::string& strPath,
                    std::string* pstrErrMsg = nullptr, DefFileFailure* pobjFailure = nullptr);

// Stores the eight notations found by a reader that has read a .afa file into the
// map, unchanged. A type the file does not hold gets an empty notation.
void sbReadAttrFile(const clsXML& objXML, clsAccessFieldAttr& objAttr);

// Reads a .afa file into the map. False (map untouched) when the file is missing,
// unreadable or not CP932; pstrErrMsg, when given, receives the message naming the file,
// pobjFailure the file and the reason apart.
bool fnReadAttrFile(const std::string& strPath, clsAccessFieldAttr& objAttr,
                    std::string* pstrErrMsg = nullptr, DefFileFailure* pobjFailure = nullptr);
