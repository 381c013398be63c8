#include <gtest/gtest.h>

#include <limits>

#include "TextRules.h"

namespace {

ConversionError::Kind failureOf32(const std::string& s) {
    try {
        toInt32(s);
    } catch (const ConversionError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "\"" << s << "\" converted";
    return ConversionError::Kind::TypeMismatch;
}

ConversionError::Kind failureOf16(const std::string& s) {
    try {
        toInt16(s);
    } catch (const ConversionError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "\"" << s << "\" converted";
    return ConversionError::Kind::TypeMismatch;
}

}  // namespace

TEST(Blank, AsciiAndIdeographicSpacesCount) {
    EXPECT_TRUE(isBlank(""));
    EXPECT_TRUE(isBlank("   "));
    EXPECT_TRUE(isBlank("\u3000"));
    EXPECT_TRUE(isBlank(" \u3000 \u3000"));
    EXPECT_FALSE(isBlank(" a "));
    EXPECT_FALSE(isBlank("\t"));  // only spaces are blanks
    EXPECT_FALSE(isBlank("\u3001"));
}

TEST(Blank, TrimRemovesOnlyOuterSpaces) {
    EXPECT_EQ(trimBlanks("  ab c  "), "ab c");
    EXPECT_EQ(trimBlanks("\u3000名前\u3000 "), "名前");
    EXPECT_EQ(trimBlanks("a\u3000b"), "a\u3000b");
    EXPECT_EQ(trimBlanks(" \u3000 "), "");
    // U+3000 shares its lead byte with other characters: they are not blanks.
    EXPECT_EQ(trimBlanks("\u3001x\u3002"), "\u3001x\u3002");
}

TEST(Number, PlainAndSignedIntegers) {
    EXPECT_EQ(toInt32("0"), 0);
    EXPECT_EQ(toInt32("42"), 42);
    EXPECT_EQ(toInt32("+7"), 7);
    EXPECT_EQ(toInt32("-15"), -15);
    EXPECT_EQ(toInt32("007"), 7);
    EXPECT_EQ(toInt32("  12 "), 12);
    EXPECT_EQ(toInt32("\u300012\u3000"), 12);
    EXPECT_EQ(toInt32("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(toInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
}

TEST(Number, FullWidthDigitsSignAndPoint) {
    EXPECT_EQ(toInt32("１２３"), 123);
    EXPECT_EQ(toInt32("－４"), -4);
    EXPECT_EQ(toInt32("＋４"), 4);
    EXPECT_EQ(toInt32("２．５"), 2);
    EXPECT_EQ(toInt32("1２"), 12);
}

TEST(Number, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(toInt32("2.5"), 2);
    EXPECT_EQ(toInt32("3.5"), 4);
    EXPECT_EQ(toInt32(".5"), 0);
    EXPECT_EQ(toInt32("1.5"), 2);
    EXPECT_EQ(toInt32("-2.5"), -2);
    EXPECT_EQ(toInt32("-3.5"), -4);
    EXPECT_EQ(toInt32("1."), 1);
    EXPECT_EQ(toInt32("2.50000"), 2);
    EXPECT_EQ(toInt32("2.500001"), 3);
    EXPECT_EQ(toInt32("2.4999999"), 2);
    EXPECT_EQ(toInt32("2.6"), 3);
    EXPECT_EQ(toInt32("-0.4"), 0);
    EXPECT_EQ(toInt32("2147483646.5"), 2147483646);
    EXPECT_EQ(toInt32("-2147483648.5"), std::numeric_limits<std::int32_t>::min());
}

TEST(Number, TypeMismatch) {
    for (const char* s : {"", "   ", "\u3000", "abc", "1a", "1 2", "1.2.3", ".", "-", "+", "- 1",
                          "+-1", "1e3", "0x10", "1,000", "\t1", "１,０"}) {
        EXPECT_EQ(failureOf32(s), ConversionError::Kind::TypeMismatch) << s;
    }
}

TEST(Number, OverflowAtTheRangeEnds) {
    EXPECT_EQ(failureOf32("2147483648"), ConversionError::Kind::Overflow);
    EXPECT_EQ(failureOf32("-2147483649"), ConversionError::Kind::Overflow);
    EXPECT_EQ(failureOf32("2147483647.5"), ConversionError::Kind::Overflow);
    EXPECT_EQ(failureOf32("99999999999999999999999999"), ConversionError::Kind::Overflow);
    EXPECT_EQ(toInt16("32767"), 32767);
    EXPECT_EQ(toInt16("-32768"), -32768);
    EXPECT_EQ(toInt16("32766.5"), 32766);
    EXPECT_EQ(failureOf16("32768"), ConversionError::Kind::Overflow);
    EXPECT_EQ(failureOf16("32767.5"), ConversionError::Kind::Overflow);
    EXPECT_EQ(failureOf16("-32769"), ConversionError::Kind::Overflow);
    EXPECT_EQ(failureOf16("x"), ConversionError::Kind::TypeMismatch);
}

TEST(Number, ErrorsCarryAJapaneseDescriptionAndTheInput) {
    try {
        toInt32("abc");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_NE(std::string(e.what()).find("型が一致しません"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("abc"), std::string::npos);
        EXPECT_EQ(e.input(), "abc");
    }
    try {
        toInt16("40000");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_NE(std::string(e.what()).find("オーバーフロー"), std::string::npos);
    }
}

TEST(Number, NonThrowingFormsLeaveTheTargetAlone) {
    std::int32_t lng = 99;
    EXPECT_TRUE(tryToInt32(" 3.5 ", lng));
    EXPECT_EQ(lng, 4);
    lng = 99;
    EXPECT_FALSE(tryToInt32("x", lng));
    EXPECT_FALSE(tryToInt32("3000000000", lng));
    EXPECT_EQ(lng, 99);
    std::int16_t n = 5;
    EXPECT_FALSE(tryToInt16("70000", n));
    EXPECT_EQ(n, 5);
    EXPECT_TRUE(tryToInt16("２５５", n));
    EXPECT_EQ(n, 255);
}

TEST(Number, IntegerToText) {
    EXPECT_EQ(intToText(0), "0");
    EXPECT_EQ(intToText(9), "9");
    EXPECT_EQ(intToText(-12), "-12");
    EXPECT_EQ(intToText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(toInt32(intToText(-2147483647)), -2147483647);
}

TEST(LetterCase, LowerCaseAndSearch) {
    EXPECT_EQ(lowerAscii("AbC日本Z"), "abc日本z");
    EXPECT_EQ(lowerCaseText("TEXT Ｔｅｘｔ ÄÖ"), "text ｔｅｘｔ äö");
    EXPECT_EQ(lowerCaseText("テキスト"), "テキスト");
    EXPECT_EQ(findIgnoreAsciiCase("xx<startsheetno>", "<StartSheetNo>"), 2u);
    EXPECT_EQ(findIgnoreAsciiCase("abcABC", "abc", 1), 3u);
    EXPECT_EQ(findIgnoreAsciiCase("abc", ""), std::string::npos);
    EXPECT_EQ(findIgnoreAsciiCase("ab", "abc"), std::string::npos);
}
