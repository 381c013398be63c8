#include "name_rules.h"

#include "bytes.h"
#include "jet_error.h"

namespace jet {

namespace {
bool isForbidden(char16_t c) { return c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']'; }
}  // namespace

void validateObjectName(const std::u16string& name, const std::string& what) {
    std::string shown = utf16ToUtf8(name);
    if (name.empty()) throw JetError(errInvalidName, what + "の名前が空です。");
    if (name.size() > 64)
        throw JetError(errInvalidName, what + "名『" + shown + "』が長すぎます（64 文字まで）。");
    if (name[0] == u' ') throw JetError(errInvalidName, what + "名『" + shown + "』の先頭に空白は使えません。");
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F)
            throw JetError(errInvalidName, what + "名『" + shown + "』に制御文字は使えません。");
        if (isForbidden(c))
            throw JetError(errInvalidName, what + "名『" + shown + "』に使えない文字『" +
                                               std::string(1, static_cast<char>(c)) + "』が含まれています（. ! ` [ ] は使えません）。");
    }
}

std::u16string foldNameCase(std::u16string u) {
    for (auto& c : u) {
        if ((c >= u'a' && c <= u'z') || (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) ||
            (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) || (c >= 0x0430 && c <= 0x044F))
            c = static_cast<char16_t>(c - 32);
        else if (c >= 0xFF21 && c <= 0xFF3A)
            c = static_cast<char16_t>(c - 0xFF21 + u'A');
        else if (c >= 0xFF41 && c <= 0xFF5A)
            c = static_cast<char16_t>(c - 0xFF41 + u'A');
        else if (c >= 0x0450 && c <= 0x045F)
            c = static_cast<char16_t>(c - 0x50);
    }
    return u;
}

std::string foldNameCaseUtf8(const std::string& name) { return utf16ToUtf8(foldNameCase(utf8ToUtf16(name))); }

}  // namespace jet
