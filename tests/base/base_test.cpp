// The base helpers at their edges: UTF-8 sequences at each length boundary, broken sequences,
// surrogates; calendar days across leap rules and 400-year eras; errno texts.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "civil_date.h"
#include "system_error_text.h"
#include "utf_codec.h"

namespace {

std::string hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

TEST(Utf8, CodePointsAtEachLengthBoundaryGoThereAndBack) {
    const struct {
        char32_t cp;
        std::size_t bytes;
    } cases[] = {{0x00, 1}, {0x7F, 1}, {0x80, 2}, {0x7FF, 2}, {0x800, 3}, {0xD7FF, 3}, {0xE000, 3},
                 {0xFFFF, 3}, {0x10000, 4}, {0x20BB7, 4}, {0x10FFFF, 4}};
    for (const auto& c : cases) {
        std::string s;
        base::appendUtf8(s, c.cp);
        ASSERT_EQ(s.size(), c.bytes) << std::hex << c.cp;
        std::size_t pos = 0;
        char32_t back = 0;
        ASSERT_TRUE(base::decodeUtf8(s, pos, back)) << hex(s);
        EXPECT_EQ(back, c.cp);
        EXPECT_EQ(pos, c.bytes);
    }
    std::string s;
    base::appendUtf8(s, U'\U00020BB7');
    base::appendUtf8(s, U'あ');
    EXPECT_EQ(s, "\xF0\xA0\xAE\xB7" "あ");
}

TEST(Utf8, BrokenSequencesAreRefusedWithoutMoving) {
    // Truncated, overlong, surrogates encoded in UTF-8, above U+10FFFF, stray continuation bytes,
    // impossible lead bytes, a continuation byte replaced by ASCII.
    for (const std::string bad : {"\xF0\xA0\xAE", "\xE3\x81", "\xE3\x80", "\xC3", "\xC0\x80", "\xC1\xBF",
                                  "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
                                  "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\x80", "\xBF",
                                  "\xF8\x88\x80\x80\x80", "\xFF", "\xE3\x41\x81"}) {
        std::size_t pos = 0;
        char32_t cp = 0;
        EXPECT_FALSE(base::decodeUtf8(bad, pos, cp)) << hex(bad);
        EXPECT_EQ(pos, 0u) << hex(bad);
        std::u16string out;
        EXPECT_FALSE(base::utf8ToUtf16("ok" + bad, out)) << hex(bad);
    }
    std::size_t pos = 3;
    char32_t cp = 0;
    EXPECT_FALSE(base::decodeUtf8("abc", pos, cp));  // at the end
}

TEST(Utf8, InvalidCodePointsAreWrittenAsTheReplacementCharacter) {
    for (char32_t cp : {char32_t(0xD800), char32_t(0xDBFF), char32_t(0xDC00), char32_t(0xDFFF),
                        char32_t(0x110000), char32_t(0xFFFFFFFF)}) {
        std::string s;
        base::appendUtf8(s, cp);
        EXPECT_EQ(s, "\xEF\xBF\xBD") << std::hex << cp;
    }
}

TEST(Utf16, SurrogatePairsAndLoneSurrogates) {
    std::u16string out;
    ASSERT_TRUE(base::utf8ToUtf16("a社𠮷\U0010FFFF", out));
    EXPECT_EQ(out, std::u16string(u"a社\U00020BB7\U0010FFFF"));
    EXPECT_EQ(out.size(), 6u);
    EXPECT_EQ(base::utf16ToUtf8(out), "a社𠮷\U0010FFFF");

    const std::string fffd = "\xEF\xBF\xBD";
    const char16_t high = 0xD842, low = 0xDFB7;
    EXPECT_EQ(base::utf16ToUtf8(std::u16string{high}), fffd);             // high at the end
    EXPECT_EQ(base::utf16ToUtf8(std::u16string{high, u'a'}), fffd + "a");  // high before no low
    EXPECT_EQ(base::utf16ToUtf8(std::u16string{low, high}), fffd + fffd);  // the wrong order
    EXPECT_EQ(base::utf16ToUtf8(std::u16string{high, high, low}), fffd + "𠮷");
    std::string appended = "x";
    base::appendUtf16AsUtf8(appended, std::u16string{u'y', low});
    EXPECT_EQ(appended, "xy" + fffd);
}

TEST(CivilDate, DayCountsFollowTheGregorianLeapRules) {
    EXPECT_EQ(base::daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(base::kOleDateEpoch, -25569);  // 1899-12-30
    EXPECT_EQ(base::daysFromCivil(1904, 1, 1), -24107);
    EXPECT_EQ(base::daysFromCivil(2000, 3, 1) - base::daysFromCivil(2000, 2, 28), 2);  // divisible by 400
    EXPECT_EQ(base::daysFromCivil(1900, 3, 1) - base::daysFromCivil(1900, 2, 28), 1);  // by 100 only
    EXPECT_EQ(base::daysFromCivil(2100, 3, 1) - base::daysFromCivil(2100, 2, 28), 1);
    EXPECT_EQ(base::daysFromCivil(2024, 3, 1) - base::daysFromCivil(2024, 2, 28), 2);
    EXPECT_EQ(base::daysFromCivil(2024, 1, 1) - base::daysFromCivil(2023, 12, 31), 1);
    EXPECT_EQ(base::daysFromCivil(10000, 1, 1) - base::daysFromCivil(9999, 12, 31), 1);
    EXPECT_EQ(base::daysFromCivil(0, 3, 1) - base::daysFromCivil(0, 2, 28), 2);   // year 0 is a leap year
    EXPECT_EQ(base::daysFromCivil(-1, 3, 1) - base::daysFromCivil(-1, 2, 28), 1);

    // Every day from 1600 to 2400 and some far ones: a date and its count go there and back,
    // and consecutive counts are consecutive days.
    const long long first = base::daysFromCivil(1600, 1, 1), last = base::daysFromCivil(2400, 12, 31);
    base::CivilDate previous = base::civilFromDays(first - 1);
    for (long long d = first; d <= last; ++d) {
        const base::CivilDate c = base::civilFromDays(d);
        ASSERT_EQ(base::daysFromCivil(c.year, c.month, c.day), d);
        const bool nextDay = c.year == previous.year && c.month == previous.month && c.day == previous.day + 1;
        const bool nextMonth = c.day == 1 && ((c.year == previous.year && c.month == previous.month + 1) ||
                                              (c.year == previous.year + 1 && c.month == 1 && previous.month == 12));
        ASSERT_TRUE(nextDay || nextMonth) << c.year << "-" << c.month << "-" << c.day;
        ASSERT_LE(c.day, 31u);
        previous = c;
    }
    for (long long d : {-1000000LL, -146097LL, -719468LL, -719469LL, 2932896LL, 5000000LL}) {
        const base::CivilDate c = base::civilFromDays(d);
        EXPECT_EQ(base::daysFromCivil(c.year, c.month, c.day), d) << d;
    }
    const base::CivilDate last9999 = base::civilFromDays(base::kOleDateEpoch + 2958465);
    EXPECT_EQ(last9999.year, 9999);
    EXPECT_EQ(last9999.month, 12u);
    EXPECT_EQ(last9999.day, 31u);
}

TEST(CivilDate, OleDatesCountDaysFrom1899_12_30WithTheTimeAsFraction) {
    std::tm t{};
    t.tm_year = 1899 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 30;
    EXPECT_EQ(base::oleDateFromLocalTime(t), 0.0);
    t.tm_year = 2024 - 1900;  // 2024-03-15 13:45:30.5
    t.tm_mon = 2;
    t.tm_mday = 15;
    t.tm_hour = 13;
    t.tm_min = 45;
    t.tm_sec = 30;
    EXPECT_DOUBLE_EQ(base::oleDateFromLocalTime(t, 0.5), 45366 + (13 * 3600 + 45 * 60 + 30.5) / 86400.0);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const double before = base::oleDateFromLocalTime(local);
    const double ole = base::oleDateNow();
    EXPECT_GE(ole, before);
    EXPECT_LT(ole, before + 1);  // the same day or, at midnight, the next
}

TEST(SystemErrorText, CommonErrorsReadAsJapaneseAndRareOnesKeepTheirNumber) {
    auto hasAsciiLetters = [](const std::string& text) {
        for (unsigned char c : text)
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
        return false;
    };
    for (int err : {ENOENT, ENOTDIR, EACCES, EPERM, EROFS, ENOSPC, EDQUOT, EEXIST, EISDIR, ENAMETOOLONG, ELOOP,
                    EBUSY, ETXTBSY, EIO, EMFILE, ENFILE, ENOMEM, EINTR, EFBIG, EOVERFLOW, EOPNOTSUPP, 0})
        EXPECT_FALSE(hasAsciiLetters(base::systemErrorText(err))) << err << ": " << base::systemErrorText(err);
    for (int err = 1; err < 134; ++err) {
        const std::string text = base::systemErrorText(err);
        EXPECT_EQ(text.find("。"), std::string::npos) << text;
        if (!hasAsciiLetters(text)) continue;
        EXPECT_EQ(text.rfind("システムエラー（errno " + std::to_string(err) + ": ", 0), 0u) << text;
    }
}

}  // namespace
