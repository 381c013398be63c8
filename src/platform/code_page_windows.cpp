#include "code_page.h"

#include <windows.h>

#include "windows_text.h"

namespace platform {

struct CodePageConverter::State {
    int to = 0;
    int from = 0;
    bool ok = false;
};

namespace {

// Bytes in the UTF-8 character that starts at s[i] (1 for a byte that starts none).
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return i + n <= s.size() ? n : 1;
}

bool toWide(int codePage, std::string_view in, std::wstring& out) {
    out.clear();
    if (in.empty()) return true;
    const int n = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, in.data(),
                                      static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                               out.data(), n) == n;
}

// Exactly: a character without a form of its own in the code page fails (no '?', no look-alike).
bool fromWide(int codePage, const std::wstring& in, std::string& out) {
    out.clear();
    if (in.empty()) return true;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, in.data(),
                                      static_cast<int>(in.size()), nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.resize(static_cast<std::size_t>(n));
    return WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, in.data(), static_cast<int>(in.size()),
                               out.data(), n, nullptr, &usedDefault) == n &&
           !usedDefault;
}

bool convert(int to, int from, std::string_view in, std::string& out) {
    std::wstring wide;
    if (!toWide(from, in, wide)) return false;
    if (to == kUtf8) {
        out = windows::narrow(wide);
        return true;
    }
    return fromWide(to, wide, out);
}

}  // namespace

namespace {
// 367 is what workbooks call US-ASCII; Windows numbers it 20127.
int windowsNumber(int codePage) { return codePage == 367 ? 20127 : codePage; }
}  // namespace

CodePageConverter::CodePageConverter(int toCodePage, int fromCodePage) : state_(new State) {
    toCodePage = windowsNumber(toCodePage);
    fromCodePage = windowsNumber(fromCodePage);
    state_->to = toCodePage;
    state_->from = fromCodePage;
    const int other = toCodePage == kUtf8 ? fromCodePage : toCodePage;
    state_->ok = (toCodePage == kUtf8 || fromCodePage == kUtf8) && IsValidCodePage(static_cast<UINT>(other));
}

CodePageConverter::~CodePageConverter() = default;

bool CodePageConverter::ok() const { return state_->ok; }

bool CodePageConverter::run(std::string_view in, std::string& out, std::size_t& stopAt) {
    if (!ok()) {
        stopAt = 0;
        return in.empty();
    }
    std::string part;
    // Windows gives the bytes CP932 leaves unassigned (0x80, 0xA0, 0xFD-0xFF) characters of their
    // own; they are no text, as elsewhere.
    if (state_->from == 932) {
        for (std::size_t i = 0; i < in.size(); ++i) {
            const unsigned char b = static_cast<unsigned char>(in[i]);
            if (b == 0x80 || b == 0xA0 || b >= 0xFD) {
                std::size_t stop = 0;
                const bool whole = run(in.substr(0, i), out, stop);
                stopAt = whole ? i : stop;
                return false;
            }
            if (IsDBCSLeadByteEx(932, b)) ++i;
        }
    }
    if (convert(state_->to, state_->from, in, part)) {
        out += part;
        return true;
    }
    // Character by character up to the first one that does not convert.
    const UINT source = static_cast<UINT>(state_->from);
    std::size_t i = 0;
    while (i < in.size()) {
        std::size_t n = 1;
        if (state_->from == kUtf8) n = utf8Length(in, i);
        else if (IsDBCSLeadByteEx(source, static_cast<BYTE>(in[i])) && i + 1 < in.size()) n = 2;
        if (!convert(state_->to, state_->from, in.substr(i, n), part)) break;
        out += part;
        i += n;
    }
    stopAt = i;
    return false;
}

}  // namespace platform
