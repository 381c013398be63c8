// Text rules shared by every part of xlsdb: blanks, trimming, number conversion,
// letter case. Text in memory is UTF-8.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "user_error.h"
#include "utf_codec.h"

// A text that does not convert to the wanted integer type; number() is 13 (type mismatch) or
// 6 (overflow).
class ConversionError : public base::UserError {
public:
    enum class Kind {
        TypeMismatch,  // empty, or not a number
        Overflow       // a number outside the target's range
    };
    ConversionError(Kind kind, std::string strInput, const std::string& strMessage)
        : base::UserError(kind == Kind::Overflow ? base::errOverflow : base::errTypeMismatch, strMessage),
          moKind(kind), mostrInput(std::move(strInput)) {}
    Kind kind() const { return moKind; }
    // The text that failed to convert, as given.
    const std::string& input() const { return mostrInput; }

private:
    Kind moKind;
    std::string mostrInput;
};

// Blank characters are the ASCII space and the ideographic space U+3000.
bool isBlankChar(char32_t ch);

// True when the text is empty after removing blanks at both ends.
bool isBlank(std::string_view strText);

// The text without leading and trailing blanks (ASCII space, U+3000). Invalid UTF-8
// bytes are kept as they are.
std::string trimBlanks(std::string_view strText);

// Text to signed 32-bit / 16-bit integer. Accepted: blanks around, an optional sign,
// digits, at most one decimal point (at least one digit in all); the full-width
// digits, signs and point are accepted as well. A fraction goes to the nearest
// integer, an exact half to the even neighbour (2.5 -> 2, 3.5 -> 4, .5 -> 0, 1. -> 1).
// Throws ConversionError: TypeMismatch for empty or non-numeric text,
// Overflow for a value outside the range.
std::int32_t toInt32(std::string_view strText);
std::int16_t toInt16(std::string_view strText);

// Non-throwing variants: false (and lngOut untouched) when the text does not convert.
bool tryToInt32(std::string_view strText, std::int32_t& lngOut);
bool tryToInt16(std::string_view strText, std::int16_t& intOut);

// Integer to text: an optional minus sign and the decimal digits, nothing else.
std::string intToText(std::int64_t lngValue);

// Letter case. The ASCII-only forms serve tags and separators; lowerCaseText also
// folds Latin-1, Greek, Cyrillic and full-width Latin letters (used where two words
// are compared with letter case ignored).
std::string lowerAscii(std::string_view strText);
std::string lowerCaseText(std::string_view strText);

// Byte position of the first occurrence of strNeedle in strText, letters A-Z compared
// without regard to case; std::string::npos when absent (also for an empty needle).
std::size_t findIgnoreAsciiCase(std::string_view strText, std::string_view strNeedle,
                                std::size_t nFrom = 0);

// UTF-8 helpers (utf_codec.h). decodeUtf8 reads one code point at nPos and advances nPos; on an
// invalid sequence it returns false and leaves nPos unchanged.
using base::appendUtf8;
using base::decodeUtf8;
