// The words of the design document that stand for the eight Access field types
// (the type notation map). Notations are stored exactly as given: not trimmed,
// not case-folded, not checked; empty and duplicate notations are allowed.
#pragma once

#include <memory>
#include <string>

#include "DefFileFailure.h"

// The field types, in map order (the order of the .afa lines and of matching). The first eight
// are the classic ones; Yes/No and Memo follow, and are unused until a notation or a word is given
// for them (their notations start empty).
enum class AccessFieldType { Text, AutoNumber, Date, Integer, Long, Single, Double, Currency, YesNo, Memo };

inline constexpr int kAccessFieldTypeCount = 8;
inline constexpr int kAccessFieldTypeCountAll = 10;

// The type's own name: "Text", "AutoNumber", ... "YesNo", "Memo". It is the key of its line in a
// .afa file, and for the first eight the default notation.
const char* accessFieldTypeName(AccessFieldType enmType);

// The type at a map position 0..9.
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

    void setYesNo(const std::string& strFieldExp) { set(AccessFieldType::YesNo, strFieldExp); }
    void setMemo(const std::string& strFieldExp) { set(AccessFieldType::Memo, strFieldExp); }
    const std::string& getYesNo() const { return get(AccessFieldType::YesNo); }
    const std::string& getMemo() const { return get(AccessFieldType::Memo); }

    // Access by type, for loops over the types in map order.
    void set(AccessFieldType enmType, const std::string& strFieldExp);
    const std::string& get(AccessFieldType enmType) const;

    // More words for a type besides its notation, written "varchar|char" (compared trimmed and
    // without letter case, after every notation). Empty: none.
    void setMoreWords(AccessFieldType enmType, const std::string& strWords);
    const std::string& getMoreWords(AccessFieldType enmType) const;

    // The built-in dictionary of database type names (DesignWords.h), tried after the notations
    // and the more words. Off unless switched on.
    void setDictionary(bool blnOn) { moblnDictionary = blnOn; }
    bool getDictionary() const { return moblnDictionary; }

    // A type cell of the form WORD(N) or WORD(N, M) gives the word, and the size and decimal
    // places where their own cells are empty. Off unless switched on.
    void setSizeInType(bool blnOn) { moblnSizeInType = blnOn; }
    bool getSizeInType() const { return moblnSizeInType; }

    // True when nothing beyond the eight classic notations is in use (such a map is saved
    // exactly as the classic eight lines).
    bool isClassic() const;

private:
    std::string mostrNotations[kAccessFieldTypeCountAll] = {
        "Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency", "", ""};
    std::string mostrMoreWords[kAccessFieldTypeCountAll];
    bool moblnDictionary = false;
    bool moblnSizeInType = false;
};

using AccessFieldAttrPtr = std::shared_ptr<clsAccessFieldAttr>;

class clsXML;

// Writes the map as a .afa file: eight lines "<Type>notation</Type>" in map order, then only
// for what is in use: "<YesNo>", "<Memo>", "<TextWords>" ... (more words), "<Dictionary>1",
// "<SizeInType>1"; CP932 with CR LF, replacing an existing file. False when the file cannot be written
// or a notation holds a character CP932 cannot represent (pstrErrMsg, when given,
// receives the message naming the file, pobjFailure the file and the reason apart; an
// existing file is then left as it was).
bool fnSaveAttrFile(const clsAccessFieldAttr& objAttr, const std::string& strPath,
                    std::string* pstrErrMsg = nullptr, DefFileFailure* pobjFailure = nullptr);

// Stores the eight notations found by a reader that has read a .afa file into the
// map, unchanged. A type the file does not hold gets an empty notation. The optional lines
// (Yes/No, Memo, more words, dictionary, size in type) are taken when present and otherwise
// reset to unused.
void sbReadAttrFile(const clsXML& objXML, clsAccessFieldAttr& objAttr);

// Reads a .afa file into the map. False (map untouched) when the file is missing,
// unreadable or not CP932; pstrErrMsg, when given, receives the message naming the file,
// pobjFailure the file and the reason apart.
bool fnReadAttrFile(const std::string& strPath, clsAccessFieldAttr& objAttr,
                    std::string* pstrErrMsg = nullptr, DefFileFailure* pobjFailure = nullptr);
