// Text index keys. This first cut keys only ASCII letters, digits, space and '_'
// and refuses every other character, so nothing is ever keyed approximately.
#include "text_key.h"

namespace jet {
namespace {

// Primary weights of A..Z (a..z fold onto them).
const uint8_t kLetterWeights[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                    0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                    0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};

std::string describe(char16_t c) {
    static const char* hex = "0123456789ABCDEF";
    std::string s = "U+";
    for (int shift = 12; shift >= 0; shift -= 4) s += hex[(c >> shift) & 0xF];
    return s;
}

}  // namespace

TextKey encodeTextKey(const std::u16string& text, SortOrder order) {
    TextKey key;
    if (order != SortOrder::General && order != SortOrder::Japanese) {
        key.reason = "この並べ替え順序の索引キーは計算できません。";
        return key;
    }
    std::u16string t = text.substr(0, 255);
    while (!t.empty() && t.back() == u' ') t.pop_back();
    for (char16_t c : t) {
        if (c >= u'A' && c <= u'Z') {
            key.bytes.push_back(kLetterWeights[c - u'A']);
        } else if (c >= u'a' && c <= u'z') {
            key.bytes.push_back(kLetterWeights[c - u'a']);
        } else if (c >= u'0' && c <= u'9') {
            key.bytes.push_back(static_cast<uint8_t>(0x36 + 2 * (c - u'0')));
        } else if (c == u' ') {
            key.bytes.push_back(0x07);
        } else if (c == u'_') {
            key.bytes.push_back(0x2B);
            key.bytes.push_back(0x03);
        } else {
            key.bytes.clear();
            key.reason = "文字 " + describe(c) + " の索引キーはまだ正確に計算できません。";
            return key;
        }
    }
    key.bytes.push_back(0x01);
    key.bytes.push_back(0x00);
    key.ok = true;
    return key;
}

}  // namespace jet
