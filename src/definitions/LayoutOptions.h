// The optional parts of a layout definition, for design documents that do not follow the classic
// one-table-per-sheet grid: what the null column means, which texts count as marks, a key marked
// inside another column, decimal places in a column of their own, where the table name comes from,
// and header labels that anchor the field columns wherever they stand on a sheet. A default
// LayoutOptions means the classic reading.
#pragma once

#include <cstdint>
#include <string>

#include "DesignWords.h"

// What a mark in the null column says.
enum class NullMeaning { MayBeNull, NotNull };
// Where a table's name comes from.
enum class TableNameSource { Cell, SheetName, Label };
// A column in which a key word ("PK", "主キー") marks the primary key as well.
enum class KeyAlsoIn { None, NullColumn, Remarks };

struct LayoutOptions {
    NullMeaning enmNullMeaning = NullMeaning::MayBeNull;
    // Marks in the key and null columns, "○|Y|Yes"; empty: any text that is not blank is a mark.
    std::string strYesWords;
    std::string strNoWords;
    KeyAlsoIn enmKeyAlsoIn = KeyAlsoIn::None;
    std::string strKeyWords;  // empty: the built-in key words
    std::int32_t lngColRemarks = 0;   // 0: none
    std::int32_t lngColDecimals = 0;  // 0: none
    TableNameSource enmTableName = TableNameSource::Cell;
    std::string strTableNameLabels;  // empty: the built-in labels
    // Header labels per part, "物理名|カラム名"; with labels for the name (and the type), each sheet
    // is searched for its header rows and the columns are found there.
    std::string strHeaderLabels[kHeaderPartCount];

    bool isClassic() const;
    bool isHeaderAnchored() const { return !strHeaderLabels[static_cast<int>(HeaderPart::Name)].empty(); }
    bool operator==(const LayoutOptions& o) const;
    bool operator!=(const LayoutOptions& o) const { return !(*this == o); }
};

// The file keys of the options and their values as text (for .edf files); the classic values give
// empty text, which is not written.
inline constexpr int kLayoutOptionKeyCount = 9 + kHeaderPartCount;
extern const char* const kLayoutOptionKeys[kLayoutOptionKeyCount];
std::string layoutOptionText(const LayoutOptions& objOptions, int nKey);
// Stores a value read from a file; false when the text is not a value of that key.
bool setLayoutOption(LayoutOptions& objOptions, int nKey, const std::string& strText);
