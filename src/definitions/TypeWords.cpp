#include "TypeWords.h"

#include "DesignWords.h"
#include "TextRules.h"

namespace {

// The type a number word (NUMBER, DECIMAL, 数値) stands for: with decimal places a Double; without,
// the smallest integer type that holds the precision; without a precision a Double.
AccessFieldType byPrecision(const std::string& strSize, const std::string& strDecimals) {
    std::int32_t lngScale = 0;
    if (!isBlank(strDecimals) && (!tryToInt32(strDecimals, lngScale) || lngScale != 0)) return AccessFieldType::Double;
    std::int32_t lngPrecision = 0;
    if (!tryToInt32(strSize, lngPrecision) || lngPrecision < 1) return AccessFieldType::Double;
    if (lngPrecision <= 4) return AccessFieldType::Integer;
    if (lngPrecision <= 9) return AccessFieldType::Long;
    return AccessFieldType::Double;
}

// The word alone, without the size part: notations, more words, dictionary.
ResolvedType resolveWord(const clsAccessFieldAttr& objMap, const std::string& strWord, const std::string& strSize,
                         const std::string& strDecimals) {
    ResolvedType r;
    r.strSize = strSize;
    r.strWord = strWord;
    const std::string strKey = lowerCaseText(trimBlanks(strWord));
    if (strKey.empty()) return r;
    for (int i = 0; i < kAccessFieldTypeCountAll; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        if (strKey == lowerCaseText(objMap.get(enmType))) {
            r.blnFound = true;
            r.enmType = enmType;
            return r;
        }
    }
    for (int i = 0; i < kAccessFieldTypeCountAll; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        for (const std::string& w : designwords::splitWords(objMap.getMoreWords(enmType))) {
            if (strKey == lowerCaseText(w)) {
                r.blnFound = true;
                r.enmType = enmType;
                return r;
            }
        }
    }
    if (objMap.getDictionary()) {
        if (const designwords::DictionaryEntry* e = designwords::findInDictionary(strWord)) {
            r.blnFound = true;
            r.blnFromDictionary = true;
            r.enmType = e->blnByPrecision ? byPrecision(strSize, strDecimals) : e->enmType;
            // Text longer than a Text field can hold is long text.
            std::int32_t lngSize = 0;
            if (r.enmType == AccessFieldType::Text && tryToInt32(strSize, lngSize) && lngSize > 255)
                r.enmType = AccessFieldType::Memo;
        }
    }
    return r;
}

// "VARCHAR(20)" -> VARCHAR, 20; "NUMBER(5, 2)" -> NUMBER, 5, 2. False when the text has no such form.
bool splitSizedWord(const std::string& strAttr, std::string& strWord, std::string& strN, std::string& strM) {
    std::string s = trimBlanks(strAttr);
    // Full-width parentheses and comma are written as often as ASCII ones.
    for (const auto& [strFrom, strTo] : {std::pair<std::string, std::string>{"（", "("}, {"）", ")"}, {"，", ","}, {"、", ","}}) {
        for (std::size_t n; (n = s.find(strFrom)) != std::string::npos;) s.replace(n, strFrom.size(), strTo);
    }
    const std::size_t nOpen = s.find('(');
    if (nOpen == std::string::npos || s.empty() || s.back() != ')' || s.find('(', nOpen + 1) != std::string::npos) return false;
    strWord = trimBlanks(s.substr(0, nOpen));
    const std::string strInside = s.substr(nOpen + 1, s.size() - nOpen - 2);
    const std::size_t nComma = strInside.find(',');
    strN = trimBlanks(strInside.substr(0, nComma));
    strM = nComma == std::string::npos ? std::string() : trimBlanks(strInside.substr(nComma + 1));
    std::int32_t lngValue = 0;
    if (strWord.empty() || !tryToInt32(strN, lngValue)) return false;
    if (nComma != std::string::npos && !tryToInt32(strM, lngValue)) return false;
    return true;
}

}  // namespace

ResolvedType resolveFieldType(const clsAccessFieldAttr& objMap, const std::string& strAttr, const std::string& strSize,
                              const std::string& strDecimals) {
    ResolvedType r = resolveWord(objMap, strAttr, strSize, strDecimals);
    if (r.blnFound || !objMap.getSizeInType()) return r;
    std::string strWord, strN, strM;
    if (!splitSizedWord(strAttr, strWord, strN, strM)) return r;
    // The size cell, when filled, wins over the size written in the type cell.
    const bool blnSizeCell = !isBlank(strSize);
    ResolvedType s = resolveWord(objMap, strWord, blnSizeCell ? strSize : strN,
                                 isBlank(strDecimals) ? strM : strDecimals);
    if (!s.blnFound) return r;
    s.blnSizeFromType = !blnSizeCell;
    return s;
}
