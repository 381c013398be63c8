#include "bytes.h"

namespace jet {

void corrupt(const std::string& what) {
    throw JetError(errCorrupt, "データベースファイルが壊れています（" + what + "）。");
}

std::u16string utf8ToUtf16(const std::string& s) {
    std::u16string out;
    if (!base::utf8ToUtf16(s, out))
        throw JetError(errInvalidName, "名前に不正な文字コード（UTF-8 でないバイト列）が含まれています。");
    return out;
}

std::u16string utf16FromLe(const uint8_t* p, size_t bytes) {
    std::u16string s;
    for (size_t i = 0; i + 1 < bytes; i += 2) s.push_back(static_cast<char16_t>(le16(p + i)));
    return s;
}

Bytes utf16ToLe(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) append16(b, c);
    return b;
}

}  // namespace jet
