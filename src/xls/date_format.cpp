#include "date_format.h"

#include <cctype>

namespace xls {

bool isBuiltinDateFormat(long long id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

namespace {

bool isDateLetter(char c) {
    switch (c) {
        case 'y': case 'Y': case 'm': case 'M': case 'd': case 'D':
        case 'h': case 'H': case 's': case 'S':
            return true;
        default:
            return false;
    }
}

bool startsWithNoCase(const std::string& s, std::size_t pos, const char* word) {
    for (std::size_t i = 0; word[i]; ++i) {
        if (pos + i >= s.size()) return false;
        if (std::tolower(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
    }
    return true;
}

}  // namespace

bool isDateFormatCode(const std::string& code) {
    bool dateToken = false;
    bool digitToken = false;
    bool afterSeconds = false;  // "ss.000": zeros after seconds are fractions of a second
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == ';') break;  // only the first section (positive numbers) decides
        if (c == '"') {
            const std::size_t end = code.find('"', i + 1);
            if (end == std::string::npos) break;
            i = end;
            afterSeconds = false;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            ++i;  // the next character is literal text or padding
            afterSeconds = false;
            continue;
        }
        if (c == '[') {
            const std::size_t end = code.find(']', i + 1);
            if (end == std::string::npos) break;
            const std::string inner = code.substr(i + 1, end - i - 1);
            bool elapsed = !inner.empty();
            for (char k : inner) {
                const char l = char(std::tolower(static_cast<unsigned char>(k)));
                if (l != inner[0] && l != std::tolower(static_cast<unsigned char>(inner[0]))) elapsed = false;
                if (l != 'h' && l != 'm' && l != 's') elapsed = false;
            }
            if (elapsed) dateToken = true;
            i = end;
            continue;
        }
        if (startsWithNoCase(code, i, "general")) {
            i += 6;
            continue;
        }
        if (isDateLetter(c)) {
            dateToken = true;
            afterSeconds = (c == 's' || c == 'S');
            continue;
        }
        if (c == '.' && afterSeconds) continue;
        if (c == '0' && afterSeconds) continue;
        if (c == '0' || c == '#' || c == '?' || c == '@') digitToken = true;
        afterSeconds = false;
    }
    return dateToken && !digitToken;
}

}  // namespace xls
