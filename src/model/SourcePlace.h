// Where something of a design document was read: cell names in A1 notation, and the words that
// tell the user where a table or one of its fields stands in the workbook.
#pragma once

#include <cstdint>
#include <string>

// "E12" for row 12, column 5; empty when the position has no such name (below 1, beyond XFD1048576).
std::string cellA1(std::int32_t lngRow, std::int32_t lngCol);

// "シート2「顧客」": the sheet by its position in tab order and its name; empty for position 0.
std::string sheetWords(std::int32_t lngSheetNo, const std::string& strSheetName);
