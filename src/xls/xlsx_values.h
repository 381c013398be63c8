// The text forms of SpreadsheetML values: numbers, unsigned integers, cell references ("B7"),
// ISO 8601 dates, and the trimming and letter-case rules they are compared with.
#pragma once

#include <string>

namespace xls {
namespace xlsx {

// ASCII letter case ignored.
bool equalsNoCase(const std::string& a, const char* b);

// Without leading and trailing spaces, tabs and line breaks.
std::string trimmed(const std::string& s);

// A number as SpreadsheetML writes it ("10", "1.5", "1E-7", "-0.25"); false if it is not one.
// Does not depend on the process locale.
bool parseNumber(const std::string& text, double& out);

// Decimal digits only (surrounding white space allowed), at most 18 of them.
bool parseUnsigned(const std::string& text, long long& out);

// "CU999" -> row 999, column 99 (1-based). False for anything else.
bool parseCellRef(const std::string& ref, long long& row, long long& col);

// A t="d" cell: ISO 8601 "2024-03-15", "2024-03-15T13:45:30(.5)(Z)" or a time "13:45:30".
// Gives the serial day number in the workbook's date system; false when the text is no such
// date or the date system cannot place it.
bool parseIsoDate(const std::string& text, bool date1904, double& serial);

}  // namespace xlsx
}  // namespace xls
