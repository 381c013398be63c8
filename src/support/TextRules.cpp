#include "TextRules.h"

#include <limits>

bool isBlankChar(char32_t ch) { return ch == U' ' || ch == U'\u3000'; }

namespace {

// Length in bytes of a blank starting at nPos, or 0.
std::size_t blankAt(std::string_view s, std::size_t nPos) {
    if (nPos < s.size() && s[nPos] == ' ') return 1;
    if (s.substr(nPos, 3) == "\xE3\x80\x80") return 3;
    return 0;
}

// Length in bytes of a blank ending just before nEnd, or 0.
std::size_t blankBefore(std::string_view s, std::size_t nEnd) {
    if (nEnd >= 1 && s[nEnd - 1] == ' ') return 1;
    if (nEnd >= 3 && s.substr(nEnd - 3, 3) == "\xE3\x80\x80") return 3;
    return 0;
}

}  // namespace

std::string trimBlanks(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (std::size_t n = blankAt(s, b)) b += n;
    while (e > b) {
        const std::size_t n = blankBefore(s, e);
        if (n == 0) break;
        e -= n;
    }
    return std::string(s.substr(b, e - b));
}

bool isBlank(std::string_view s) {
    std::size_t b = 0;
    while (std::size_t n = blankAt(s, b)) b += n;
    return b == s.size();
}

namespace {

struct ParseResult {
    bool blnOk = false;
    bool blnOverflow = false;
    std::int64_t lngValue = 0;
};

// Digit value of an ASCII or full-width digit, or -1.
int digitValue(char32_t ch) {
    if (ch >= U'0' && ch <= U'9') return static_cast<int>(ch - U'0');
    if (ch >= U'\uFF10' && ch <= U'\uFF19') return static_cast<int>(ch - U'\uFF10');
    return -1;
}

// Parses the number and rounds it; values beyond +-2^40 are reported as overflow
// (far outside every range we convert to).
ParseResult parseNumber(std::string_view s) {
    ParseResult r;
    std::size_t p = 0;
    while (std::size_t n = blankAt(s, p)) p += n;
    std::size_t e = s.size();
    while (e > p) {
        const std::size_t n = blankBefore(s, e);
        if (n == 0) break;
        e -= n;
    }
    const std::string_view body = s.substr(p, e - p);
    std::size_t i = 0;
    bool blnNegative = false;
    char32_t ch = 0;
    {
        std::size_t j = 0;
        if (decodeUtf8(body, j, ch)) {
            if (ch == U'+' || ch == U'\uFF0B') {
                i = j;
            } else if (ch == U'-' || ch == U'\uFF0D') {
                blnNegative = true;
                i = j;
            }
        }
    }
    constexpr std::int64_t kLimit = std::int64_t(1) << 40;
    std::int64_t lngInt = 0;
    bool blnBig = false;
    int nDigits = 0;
    bool blnPoint = false;
    // Rounding state from the fraction: first digit, and whether anything non-zero follows.
    int nFirstFrac = -1;
    bool blnRestNonZero = false;
    while (i < body.size()) {
        if (!decodeUtf8(body, i, ch)) return r;
        const int d = digitValue(ch);
        if (d >= 0) {
            ++nDigits;
            if (!blnPoint) {
                if (!blnBig) {
                    lngInt = lngInt * 10 + d;
                    if (lngInt > kLimit) blnBig = true;
                }
            } else if (nFirstFrac < 0) {
                nFirstFrac = d;
            } else if (d != 0) {
                blnRestNonZero = true;
            }
        } else if ((ch == U'.' || ch == U'\uFF0E') && !blnPoint) {
            blnPoint = true;
        } else {
            return r;
        }
    }
    if (nDigits == 0) return r;
    r.blnOk = true;
    if (blnBig) {
        r.blnOverflow = true;
        return r;
    }
    bool blnUp = false;
    if (nFirstFrac > 5 || (nFirstFrac == 5 && blnRestNonZero)) {
        blnUp = true;
    } else if (nFirstFrac == 5) {
        blnUp = (lngInt % 2) != 0;  // exact half: to the even neighbour
    }
    if (blnUp) ++lngInt;
    r.lngValue = blnNegative ? -lngInt : lngInt;
    return r;
}

template <typename T>
bool convert(std::string_view s, T& out, ConversionError::Kind* pKind) {
    const ParseResult r = parseNumber(s);
    if (!r.blnOk) {
        if (pKind) *pKind = ConversionError::Kind::TypeMismatch;
        return false;
    }
    if (r.blnOverflow || r.lngValue < std::numeric_limits<T>::min() ||
        r.lngValue > std::numeric_limits<T>::max()) {
        if (pKind) *pKind = ConversionError::Kind::Overflow;
        return false;
    }
    out = static_cast<T>(r.lngValue);
    return true;
}

[[noreturn]] void raise(std::string_view s, ConversionError::Kind kind, const char* pszRange) {
    std::string strMsg;
    if (kind == ConversionError::Kind::TypeMismatch) {
        strMsg = s.empty() ? "型が一致しません。（値が空です）"
                           : "型が一致しません。（\"" + std::string(s) + "\" は数値ではありません）";
    } else {
        strMsg = "オーバーフローしました。（\"" + std::string(s) + "\" は " + pszRange +
                 " の範囲を超えています）";
    }
    throw ConversionError(kind, std::string(s), strMsg);
}

}  // namespace

std::int32_t toInt32(std::string_view s) {
    std::int32_t v = 0;
    ConversionError::Kind kind{};
    if (!convert(s, v, &kind)) raise(s, kind, "-2147483648～2147483647");
    return v;
}

std::int16_t toInt16(std::string_view s) {
    std::int16_t v = 0;
    ConversionError::Kind kind{};
    if (!convert(s, v, &kind)) raise(s, kind, "-32768～32767");
    return v;
}

bool tryToInt32(std::string_view s, std::int32_t& out) { return convert(s, out, nullptr); }
bool tryToInt16(std::string_view s, std::int16_t& out) { return convert(s, out, nullptr); }

std::string intToText(std::int64_t v) { return std::to_string(v); }

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string lowerCaseText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t ch;
        const std::size_t nStart = i;
        if (!decodeUtf8(s, i, ch)) {
            out += s[nStart];
            i = nStart + 1;
            continue;
        }
        if (ch >= U'A' && ch <= U'Z') {
            ch += 0x20;
        } else if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) {
            ch += 0x20;  // Latin-1 capitals
        } else if (ch >= 0x391 && ch <= 0x3AB && ch != 0x3A2) {
            ch += 0x20;  // Greek capitals
        } else if (ch >= 0x410 && ch <= 0x42F) {
            ch += 0x20;  // Cyrillic capitals
        } else if (ch >= 0x400 && ch <= 0x40F) {
            ch += 0x50;
        } else if (ch >= 0xFF21 && ch <= 0xFF3A) {
            ch += 0x20;  // full-width Latin capitals
        }
        appendUtf8(out, ch);
    }
    return out;
}

std::size_t findIgnoreAsciiCase(std::string_view s, std::string_view needle, std::size_t nFrom) {
    if (needle.empty() || nFrom > s.size() || needle.size() > s.size() - nFrom)
        return std::string::npos;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    for (std::size_t p = nFrom; p + needle.size() <= s.size(); ++p) {
        std::size_t k = 0;
        while (k < needle.size() && lower(s[p + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return p;
    }
    return std::string::npos;
}
