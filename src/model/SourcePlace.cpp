#include "SourcePlace.h"

std::string cellA1(std::int32_t lngRow, std::int32_t lngCol) {
    if (lngRow < 1 || lngCol < 1 || lngRow > 1048576 || lngCol > 16384) return std::string();
    std::string strLetters;
    for (std::int32_t c = lngCol; c > 0; c = (c - 1) / 26)
        strLetters.insert(strLetters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return strLetters + std::to_string(lngRow);
}

std::string sheetWords(std::int32_t lngSheetNo, const std::string& strSheetName) {
    if (lngSheetNo < 1) return std::string();
    return "シート" + std::to_string(lngSheetNo) + "「" + strSheetName + "」";
}
