// Whether a number format shows a date or a time: decides how a number cell reads as text.
#pragma once

#include <string>

namespace xls::biff {

// Built-in number formats (by index) that show a date or time: 14-22 and 45-47, plus the
// East Asian locale dates 27-36 and 50-58, used when no FORMAT record redefines the index.
bool isBuiltinDateFormat(int index);

// A custom format code (UTF-8) shows a date or time when its first section holds a date or time
// token (y, m, d, h, s, or an elapsed [h]/[m]/[s]) and no digit placeholder. Quoted text, escaped
// characters, [colour]/[$-locale]/[condition] brackets and the _x / *x spacing pairs do not count.
bool isDateFormatCode(const std::string& code);

}  // namespace xls::biff
