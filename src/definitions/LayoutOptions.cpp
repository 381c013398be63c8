#include "LayoutOptions.h"

#include "TextRules.h"

const char* const kLayoutOptionKeys[kLayoutOptionKeyCount] = {
    "NullMeans",     "MarkYes",         "MarkNo",        "KeyAlsoIn",      "KeyWords",
    "ColRemarks",    "ColDecimals",     "TableNameFrom", "TableNameLabels", "HeaderName",
    "HeaderType",    "HeaderSize",      "HeaderPrimaryKey", "HeaderNull",  "HeaderDecimals",
    "HeaderRemarks"};

bool LayoutOptions::operator==(const LayoutOptions& o) const {
    for (int i = 0; i < kLayoutOptionKeyCount; ++i) {
        if (layoutOptionText(*this, i) != layoutOptionText(o, i)) return false;
    }
    return true;
}

bool LayoutOptions::isClassic() const { return *this == LayoutOptions(); }

namespace {
std::string numberText(std::int32_t n) { return n == 0 ? std::string() : intToText(n); }
}  // namespace

std::string layoutOptionText(const LayoutOptions& o, int nKey) {
    switch (nKey) {
    case 0: return o.enmNullMeaning == NullMeaning::NotNull ? "notnull" : "";
    case 1: return o.strYesWords;
    case 2: return o.strNoWords;
    case 3: return o.enmKeyAlsoIn == KeyAlsoIn::NullColumn ? "null" : o.enmKeyAlsoIn == KeyAlsoIn::Remarks ? "remarks" : "";
    case 4: return o.strKeyWords;
    case 5: return numberText(o.lngColRemarks);
    case 6: return numberText(o.lngColDecimals);
    case 7: return o.enmTableName == TableNameSource::SheetName ? "sheet" : o.enmTableName == TableNameSource::Label ? "label" : "";
    case 8: return o.strTableNameLabels;
    default:
        if (nKey >= 9 && nKey < kLayoutOptionKeyCount) return o.strHeaderLabels[nKey - 9];
        return std::string();
    }
}

bool setLayoutOption(LayoutOptions& o, int nKey, const std::string& strText) {
    const std::string s = trimBlanks(strText);
    const std::string w = lowerAscii(s);
    switch (nKey) {
    case 0:
        if (w.empty() || w == "nullable") o.enmNullMeaning = NullMeaning::MayBeNull;
        else if (w == "notnull") o.enmNullMeaning = NullMeaning::NotNull;
        else return false;
        return true;
    case 1: o.strYesWords = s; return true;
    case 2: o.strNoWords = s; return true;
    case 3:
        if (w.empty() || w == "none") o.enmKeyAlsoIn = KeyAlsoIn::None;
        else if (w == "null") o.enmKeyAlsoIn = KeyAlsoIn::NullColumn;
        else if (w == "remarks") o.enmKeyAlsoIn = KeyAlsoIn::Remarks;
        else return false;
        return true;
    case 4: o.strKeyWords = s; return true;
    case 5:
    case 6: {
        std::int32_t n = 0;
        if (!w.empty() && (!tryToInt32(s, n) || n < 0)) return false;
        (nKey == 5 ? o.lngColRemarks : o.lngColDecimals) = n;
        return true;
    }
    case 7:
        if (w.empty() || w == "cell") o.enmTableName = TableNameSource::Cell;
        else if (w == "sheet") o.enmTableName = TableNameSource::SheetName;
        else if (w == "label") o.enmTableName = TableNameSource::Label;
        else return false;
        return true;
    case 8: o.strTableNameLabels = s; return true;
    default:
        if (nKey >= 9 && nKey < kLayoutOptionKeyCount) {
            o.strHeaderLabels[nKey - 9] = s;
            return true;
        }
        return false;
    }
}
