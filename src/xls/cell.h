// One cell's stored value, as a workbook file holds it.
#pragma once

#include <cstdint>
#include <string>

namespace xls {

enum class CellKind {
    Empty,    // no value (also: blank cells that only carry formatting)
    Text,     // text, UTF-8, exactly as stored (rich-text runs joined, phonetic runs dropped)
    Number,   // a number; isDate tells whether its number format shows a date or time
    Boolean,  // TRUE / FALSE
    Error,    // an error value (#N/A, #DIV/0!, ...)
};

struct Cell {
    CellKind kind = CellKind::Empty;
    std::string text;        // Text: the value; Error: the error's name, e.g. "#N/A"
    double number = 0.0;     // Number: the value (a date is a serial day number)
    bool boolean = false;    // Boolean: the value
    bool isDate = false;     // Number: the cell's number format is a date and/or time format
    bool date1904 = false;   // Number with isDate: the workbook counts days from 1904-01-01
};

// The cell as text: empty -> ""; text as stored; numbers as plain decimal text with at most
// 15 significant digits and no exponent; booleans "True"/"False"; dates "yyyy/mm/dd", with
// " h:mm:ss" when there is a time part, a time alone "h:mm:ss". Error cells have no text:
// callers check the kind first (this returns the error's name for them).
std::string cellText(const Cell& cell);

}  // namespace xls
