// UTF-8 and UTF-16: decoding, encoding and converting between the two. Text in memory is
// UTF-8; the engine's files and the workbooks' strings are UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

constexpr char32_t kReplacementChar = 0xFFFD;

constexpr bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
constexpr bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
// The code point of a high and a low surrogate.
constexpr char32_t combineSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// Reads one code point at pos and advances pos past it. Returns false, leaving pos, on a
// malformed sequence: a stray continuation byte, a truncated sequence, an overlong form, a
// surrogate encoded in UTF-8 or a value above U+10FFFF.
bool decodeUtf8(std::string_view text, std::size_t& pos, char32_t& cp);

// Appends the UTF-8 form of cp; a surrogate or a value above U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

// Appends UTF-16 text as UTF-8: a surrogate pair becomes one code point, a lone surrogate U+FFFD.
void appendUtf16AsUtf8(std::string& out, std::u16string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// Decodes UTF-8 into UTF-16 (surrogate pairs above U+FFFF). Returns false on malformed
// input as decodeUtf8 defines it; out then holds the text before the fault.
bool utf8ToUtf16(std::string_view text, std::u16string& out);

}  // namespace base
