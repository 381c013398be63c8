#include "TerminalText.h"

#include <cstdio>

namespace {

// Length of the UTF-8 sequence at s[i], or 0 when the bytes there are not one; cp gets its
// code point.
std::size_t utf8Length(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// Characters that are not control characters but change how the text around them shows: the
// bidirectional marks, embeddings, overrides and isolates, invisible separators, and the
// line and paragraph separators.
bool isFormatCharacter(char32_t cp) {
    return (cp >= 0x200B && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x2069) ||
           cp == 0xFEFF || cp == 0x061C;
}

}  // namespace

std::string terminalText(std::string_view s, bool blnKeepLineEnds) {
    std::string out;
    out.reserve(s.size());
    char buf[16];
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const std::size_t n = utf8Length(s, i, cp);
        if (n == 0) {  // not UTF-8: the byte by its value
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(static_cast<unsigned char>(s[i])));
            out += buf;
            ++i;
            continue;
        }
        if (cp == '\n' && blnKeepLineEnds) {
            out += '\n';
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp < 0x20 || cp == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(cp));
            out += buf;
        } else if ((cp >= 0x80 && cp <= 0x9F) || isFormatCharacter(cp)) {
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
            out += buf;
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    return out;
}

clsTerminalBuf::~clsTerminalBuf() {
    sbPass(true, true);
    moTarget->pubsync();
}

clsTerminalBuf::int_type clsTerminalBuf::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    xsputn(&c, 1);
    return ch;
}

std::streamsize clsTerminalBuf::xsputn(const char* s, std::streamsize n) {
    mostrPending.append(s, static_cast<std::size_t>(n));
    // Whole lines go at once; the rest waits for the line end or a flush.
    if (mostrPending.find('\n') != std::string::npos) sbPass(false);
    return n;
}

int clsTerminalBuf::sync() {
    sbPass(true);
    return moTarget->pubsync();
}

void clsTerminalBuf::sbPass(bool blnAll, bool blnFinal) {
    std::size_t nEnd = mostrPending.size();
    if (!blnAll) {
        nEnd = mostrPending.rfind('\n') + 1;
    } else if (!blnFinal) {
        // Hold back the start of a UTF-8 sequence whose last bytes have not come yet.
        for (std::size_t k = 1; k <= 3 && k <= mostrPending.size(); ++k) {
            const auto b = static_cast<unsigned char>(mostrPending[mostrPending.size() - k]);
            if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
            const std::size_t nNeed = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            if (b >= 0xC2 && b <= 0xF4 && nNeed > k) nEnd = mostrPending.size() - k;
            break;
        }
    }
    if (nEnd == 0) return;
    const std::string strOut = terminalText(std::string_view(mostrPending).substr(0, nEnd), true);
    moTarget->sputn(strOut.data(), static_cast<std::streamsize>(strOut.size()));
    mostrPending.erase(0, nEnd);
}
