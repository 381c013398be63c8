// The words real design documents use, in one place: header labels of the field columns, labels
// beside a table name, mark words meaning yes and no, words that mark a primary key inside another
// column, names of sheets that hold no table, and the dictionary of database type names. The
// reader, the type mapping and the layout detection all take their words from here.
#pragma once

#include <string>
#include <vector>

#include "clsAccessFieldAttr.h"

// The parts of a field line that a header label can name.
enum class HeaderPart { Name, Type, Size, PrimaryKey, Null, Decimals, Remarks };
inline constexpr int kHeaderPartCount = 7;

namespace designwords {

// A word as it is compared: letters folded to lower case (full-width Latin too), blanks, tabs
// and line breaks removed, full-width parentheses made ASCII. "NOT　NULL" and "not null" compare
// equal, as do "ＰＫ" and "pk".
std::string normal(const std::string& strText);

// Splits a word list written "a|b|c" (the form kept in definition files); blank items dropped.
std::vector<std::string> splitWords(const std::string& strList);
std::string joinWords(const std::vector<std::string>& colWords);

// Header labels of each part, Japanese and English forms.
const std::vector<std::string>& headerLabels(HeaderPart enmPart);
// Null-column headers that mean "not null / required" (the others mean "may be null").
const std::vector<std::string>& notNullHeaders();
// Labels written beside (or above) a table name.
const std::vector<std::string>& tableNameLabels();
// Marks meaning yes and no in a key or null column.
const std::vector<std::string>& yesWords();
const std::vector<std::string>& noWords();
// Words that mark a primary key inside another column ("Yes (PK)", "PRIMARY KEY").
const std::vector<std::string>& keyWords();
// Words in the names of sheets that hold no table (cover, history, lists, diagrams).
const std::vector<std::string>& nonTableSheetWords();

// True when the normal form of strText equals the normal form of one of the words.
bool isOneOf(const std::string& strText, const std::vector<std::string>& colWords);

// How a cell reads against lists of yes-words and no-words: Yes or No when a word decides (the
// whole text first, else the longest word found in it as a word of its own), Unknown otherwise.
enum class MarkReading { Blank, Yes, No, Unknown };
MarkReading readMark(const std::string& strText, const std::vector<std::string>& colYes,
                     const std::vector<std::string>& colNo);
// True when one of the words stands in the text as a word of its own ("PK" in "Yes (PK)").
bool containsWord(const std::string& strText, const std::vector<std::string>& colWords);

// The built-in dictionary of database type names. A word either names one Access type, or is a
// number word (NUMBER, NUMERIC, DECIMAL, 数値) whose type follows its precision and scale.
struct DictionaryEntry {
    const char* strWord;
    AccessFieldType enmType;
    bool blnByPrecision;  // the type follows the size (precision) and decimal places
};
const std::vector<DictionaryEntry>& typeDictionary();
// The entry for a word (compared in normal form), or null.
const DictionaryEntry* findInDictionary(const std::string& strWord);

}  // namespace designwords
