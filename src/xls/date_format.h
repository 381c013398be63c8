// Whether a number format shows a date or a time: decides how a number cell reads as text. One
// rule for both workbook formats, so a cell reads the same from .xls and .xlsx.
#pragma once

#include <string>

namespace xls {

// Built-in number formats (by id) that show a date or time: 14-22 and 45-47, plus the East Asian
// locale dates 27-36 and 50-58, used when the workbook does not define a format of that id.
bool isBuiltinDateFormat(long long id);

// A custom format code (UTF-8) shows a date or time when its first section holds a date or time
// token (y, m, d, h, s, or an elapsed [h]/[m]/[s]) and no digit placeholder (0 # ? @; zeros after
// seconds are fractions of a second). Quoted text, escaped characters, [colour]/[$-locale]/
// [condition] brackets and the _x / *x spacing pairs do not count. A code holding both, such as
// `0.0 h`, shows a number (as python3-xlrd reads it).
bool isDateFormatCode(const std::string& code);

}  // namespace xls
