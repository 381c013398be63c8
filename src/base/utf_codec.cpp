#include "utf_codec.h"

namespace base {

bool decodeUtf8(std::string_view s, std::size_t& pos, char32_t& cp) {
    if (pos >= s.size()) return false;
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        cp = lead;
        ++pos;
        return true;
    }
    std::size_t more;
    char32_t c;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        more = 1; c = lead & 0x1F; least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2; c = lead & 0x0F; least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3; c = lead & 0x07; least = 0x10000;
    } else {
        return false;
    }
    if (more >= s.size() - pos) return false;
    for (std::size_t k = 1; k <= more; ++k) {
        const auto b = static_cast<unsigned char>(s[pos + k]);
        if ((b & 0xC0) != 0x80) return false;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || isSurrogate(c)) return false;
    cp = c;
    pos += 1 + more;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || isSurrogate(cp)) cp = kReplacementChar;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendUtf16AsUtf8(std::string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (isHighSurrogate(cp) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            cp = combineSurrogates(cp, text[i + 1]);
            ++i;
        }
        appendUtf8(out, cp);  // a lone surrogate becomes U+FFFD
    }
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    appendUtf16AsUtf8(out, text);
    return out;
}

bool utf8ToUtf16(std::string_view text, std::u16string& out) {
    out.clear();
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp;
        if (!decodeUtf8(text, pos, cp)) return false;
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
    }
    return true;
}

}  // namespace base
