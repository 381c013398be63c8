// Which Access field type a field's type cell stands for, through a type notation map: the
// notations (trimmed, letter case ignored, the first in map order wins), then the map's more words,
// then, when switched on, the built-in dictionary; and, when switched on, a type cell of the form
// WORD(N) or WORD(N, M) read as the word with size N and decimal places M.
#pragma once

#include <string>

#include "clsAccessFieldAttr.h"

struct ResolvedType {
    bool blnFound = false;
    AccessFieldType enmType = AccessFieldType::Text;
    std::string strSize;      // the size to use: the size cell's text, or N from WORD(N)
    bool blnSizeFromType = false;  // the size came from the type cell
    std::string strWord;      // the word that decided
    bool blnFromDictionary = false;
};

// strAttr, strSize and strDecimals as read from the design document.
ResolvedType resolveFieldType(const clsAccessFieldAttr& objMap, const std::string& strAttr,
                              const std::string& strSize, const std::string& strDecimals = std::string());
