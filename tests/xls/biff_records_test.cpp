// Workbook-stream records in hand-made streams: shared strings split over CONTINUE records,
// text formula results continued, errors against booleans, date formats, BIFF5 code pages,
// damaged or encrypted streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "biff_workbook.h"
#include "cell.h"

using xls::CellKind;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes& operator+=(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
    return b;
}
Bytes operator+(Bytes a, const Bytes& b) { return a += b; }
Bytes u16(unsigned v) { return {std::uint8_t(v), std::uint8_t(v >> 8)}; }
Bytes u32(std::uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }
Bytes f64(double d) {
    Bytes b(8);
    std::memcpy(b.data(), &d, 8);  // little-endian host
    return b;
}
Bytes ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes utf16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) b += u16(c);
    return b;
}
Bytes rec(unsigned type, const Bytes& data) { return u16(type) + u16(unsigned(data.size())) + data; }
Bytes cellAt(unsigned row0, unsigned col0, unsigned xf) { return u16(row0) + u16(col0) + u16(xf); }
Bytes bof(bool biff8, unsigned dt) { return rec(0x0809, u16(biff8 ? 0x0600 : 0x0500) + u16(dt) + Bytes(biff8 ? 12 : 4, 0)); }
const Bytes kEof = rec(0x000A, {});

// Globals, one BOUNDSHEET per sheet body (offsets filled in), then the sheets' substreams.
Bytes workbook(const Bytes& globals, const std::vector<Bytes>& sheets, bool biff8 = true,
               const std::vector<std::string>& names = {}) {
    std::vector<Bytes> bounds;
    std::size_t size = bof(biff8, 5).size() + globals.size() + kEof.size();
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string name = i < names.size() ? names[i] : "S" + std::to_string(i);
        bounds.push_back(Bytes{0, 0, std::uint8_t(name.size())} + (biff8 ? Bytes{0} : Bytes{}) + ascii(name));
        size += 4 + 4 + bounds.back().size();
    }
    Bytes out = bof(biff8, 5) + globals;
    Bytes subs;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        out += rec(0x0085, u32(std::uint32_t(size + subs.size())) + bounds[i]);
        subs += bof(biff8, 0x10) + sheets[i] + kEof;
    }
    return out + kEof + subs;
}

Bytes xf(unsigned format) { return rec(0x00E0, Bytes{0, 0} + u16(format) + Bytes(16, 0)); }
Bytes format(unsigned index, const std::u16string& code) {
    return rec(0x041E, u16(index) + u16(unsigned(code.size())) + Bytes{1} + utf16(code));
}
Bytes labelSst(unsigned row0, std::uint32_t index) { return rec(0x00FD, cellAt(row0, 0, 0) + u32(index)); }

std::string refusal(const Bytes& stream) {
    try {
        auto book = xls::openBiffStream(stream);
        for (int s = 0; s < book->sheetCount(); ++s) book->cell(s, 1, 1);
    } catch (const xls::Error& e) {
        return e.what();
    }
    return "(read)";
}

TEST(SharedStrings, SplitInsideStringsWithTheFlagRestated) {
    // 0: "ABC" one byte per character, then "あいう" two bytes in the CONTINUE (flag restated).
    // 1: rich text whose runs straddle the next boundary (runs get no flag byte).
    // 2: two-byte "日本" with a phonetic block, continued one-byte "xyz", then the block.
    // 3: header at the start of a CONTINUE record.
    const Bytes sst = u32(4) + u32(4) + u16(6) + Bytes{0} + ascii("ABC");
    const Bytes c1 = Bytes{1} + utf16(u"あいう") + u16(5) + Bytes{0x08} + u16(2) + ascii("rich!") + u32(0) + u16(3);
    const Bytes c2 = u16(1) + u16(5) + Bytes{0x05} + u32(10) + utf16(u"日本");
    const Bytes c3 = Bytes{0} + ascii("xyz") + Bytes(10, 0xAB);
    const Bytes c4 = u16(2) + Bytes{0} + ascii("ok");
    const Bytes globals = rec(0x00FC, sst) + rec(0x003C, c1) + rec(0x003C, c2) + rec(0x003C, c3) + rec(0x003C, c4);
    auto book = xls::openBiffStream(workbook(globals, {labelSst(0, 0) + labelSst(1, 1) + labelSst(2, 2) + labelSst(3, 3)}));
    EXPECT_EQ(xls::cellText(book->cell(0, 1, 1)), "ABCあいう");
    EXPECT_EQ(xls::cellText(book->cell(0, 2, 1)), "rich!");
    EXPECT_EQ(xls::cellText(book->cell(0, 3, 1)), "日本xyz");
    EXPECT_EQ(xls::cellText(book->cell(0, 4, 1)), "ok");
}

TEST(SharedStrings, ShortTableOrBadReferenceIsRefused) {
    const Bytes cut = rec(0x00FC, u32(1) + u32(1) + u16(50) + Bytes{0} + ascii("short"));
    EXPECT_NE(refusal(workbook(cut, {})).find("ファイルが壊れています"), std::string::npos);
    const Bytes one = rec(0x00FC, u32(1) + u32(1) + u16(1) + Bytes{0} + ascii("a"));
    const std::string why = refusal(workbook(one, {labelSst(0, 5)}, true, {"Refs"}));
    EXPECT_NE(why.find("存在しない共有文字列"), std::string::npos) << why;
    EXPECT_NE(why.find("シート1「Refs」"), std::string::npos) << why;  // names the sheet
}

Bytes formula(unsigned row0, unsigned xfIndex, const Bytes& value8) {
    return rec(0x0006, cellAt(row0, 0, xfIndex) + value8 + u16(0) + u32(0) + u16(0));
}
Bytes nonNumeric(std::uint8_t kind, std::uint8_t value) { return {kind, 0, value, 0, 0, 0, 0xFF, 0xFF}; }

TEST(Cells, FormulaResultsErrorsAndBooleans) {
    Bytes sheet = formula(0, 0, f64(30));
    // Text result: STRING follows after a shared-formula record, continued with the flag restated.
    sheet += formula(1, 0, nonNumeric(0, 0)) + rec(0x04BC, Bytes(8, 0));
    sheet += rec(0x0207, u16(6) + Bytes{0} + ascii("abc")) + rec(0x003C, Bytes{1} + utf16(u"表示す"));
    sheet += formula(2, 0, nonNumeric(1, 1)) + formula(3, 0, nonNumeric(2, 0x2A)) + formula(4, 0, nonNumeric(3, 0));
    sheet += formula(5, 1, f64(45366));
    // BOOLERR: an error's code byte must not read as a boolean, nor #NULL! (0) as FALSE.
    sheet += rec(0x0205, cellAt(6, 0, 0) + Bytes{0x2A, 1}) + rec(0x0205, cellAt(7, 0, 0) + Bytes{0, 1});
    sheet += rec(0x0205, cellAt(8, 0, 0) + Bytes{0, 0});
    auto book = xls::openBiffStream(workbook(xf(0) + xf(14), {sheet}));
    auto cell = [&](int row) { return book->cell(0, row, 1); };
    EXPECT_EQ(xls::cellText(cell(1)), "30");
    EXPECT_EQ(cell(2).kind, CellKind::Text);
    EXPECT_EQ(cell(2).text, "abc表示す");
    EXPECT_EQ(cell(3).kind, CellKind::Boolean);
    EXPECT_EQ(xls::cellText(cell(3)), "True");
    EXPECT_EQ(cell(4).kind, CellKind::Error);
    EXPECT_EQ(cell(4).text, "#N/A");
    EXPECT_EQ(cell(5).kind, CellKind::Text);
    EXPECT_EQ(xls::cellText(cell(6)), "2024/03/15");
    EXPECT_EQ(cell(7).kind, CellKind::Error);
    EXPECT_EQ(cell(7).text, "#N/A");
    EXPECT_EQ(cell(8).kind, CellKind::Error);
    EXPECT_EQ(cell(8).text, "#NULL!");
    EXPECT_EQ(cell(9).kind, CellKind::Boolean);
    EXPECT_EQ(xls::cellText(cell(9)), "False");
}

TEST(Cells, DateFormatsFollowFormatRecordsAndDateMode) {
    Bytes globals = rec(0x0022, u16(1));  // 1904 date system
    globals += format(164, u"yyyy\"年\"m\"月\"d\"日\"") + format(165, u"0\" mmdd\"") + format(14, u"0.00");
    for (unsigned f : {0u, 164u, 165u, 14u, 22u, 49u}) globals += xf(f);
    Bytes sheet;
    for (unsigned i = 0; i < 6; ++i) sheet += rec(0x0203, cellAt(i, 0, i) + f64(100));
    auto book = xls::openBiffStream(workbook(globals, {sheet}));
    const bool dates[] = {false, true, false, false, true, false};  // 14 redefined as "0.00"
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(book->cell(0, i + 1, 1).isDate, dates[i]) << i;
        EXPECT_EQ(book->cell(0, i + 1, 1).date1904, dates[i]) << i;
    }
    EXPECT_EQ(xls::cellText(book->cell(0, 2, 1)), "1904/04/10");
}

TEST(Cells, OnlyTheWindowIsKept) {
    const Bytes sheet = rec(0x0203, cellAt(65535, 255, 0) + f64(7)) + rec(0x0203, cellAt(998, 98, 0) + f64(8));
    auto book = xls::openBiffStream(workbook({}, {sheet}));
    EXPECT_EQ(book->cell(0, 65536, 256).kind, CellKind::Empty);
    EXPECT_EQ(xls::cellText(book->cell(0, 999, 99)), "8");
    auto wide = xls::openBiffStream(workbook({}, {sheet}), xls::OpenOptions{70000, 300});
    EXPECT_EQ(xls::cellText(wide->cell(0, 65536, 256)), "7");
}

TEST(Cells, ColumnsPastTheLastDoNotLandInTheNextRow) {
    // A damaged MULRK runs from column 65536 on, read with bounds wider than any sheet.
    const Bytes rk9 = u16(0) + u32((9u << 2) | 2);
    const Bytes sheet = rec(0x0203, cellAt(1, 0, 0) + f64(7)) + rec(0x00BD, u16(0) + u16(65535) + rk9 + rk9 + u16(0));
    auto book = xls::openBiffStream(workbook({}, {sheet}), xls::OpenOptions{70000, 70000});
    EXPECT_EQ(xls::cellText(book->cell(0, 2, 1)), "7");
}

TEST(Biff5, CodePageTextSplitInsideADoubleByteCharacter) {
    const Bytes globals = rec(0x0042, u16(932)) + xf(0);
    // 日本 in Shift_JIS is 93 FA 96 7B: the record ends after 96, the CONTINUE holds 7B.
    const Bytes sheet = rec(0x0204, cellAt(0, 0, 0) + u16(4) + Bytes{0x93, 0xFA, 0x96}) + rec(0x003C, Bytes{0x7B});
    auto book = xls::openBiffStream(workbook(globals, {sheet}, false, {"\x83\x65\x81\x5B\x83\x75\x83\x8B"}));
    EXPECT_EQ(book->sheetName(0), "テーブル");
    EXPECT_EQ(xls::cellText(book->cell(0, 1, 1)), "日本");
}

TEST(Refusals, EncryptedOldOrDamagedStreams) {
    EXPECT_NE(refusal(workbook(rec(0x002F, Bytes(54, 0)), {})).find("パスワードで保護（暗号化）"), std::string::npos);
    EXPECT_NE(refusal(rec(0x0409, Bytes{0, 0, 0x10, 0})).find("Excel 5.0/95 より前の形式"), std::string::npos);
    EXPECT_NE(refusal(ascii("hello")).find("Excel のブックではありません（ブックのストリームが BOF"), std::string::npos);
    EXPECT_NE(refusal({}).find("BOF"), std::string::npos);
    Bytes noEof = workbook({}, {});
    noEof.resize(noEof.size() - 4);
    EXPECT_NE(refusal(noEof).find("EOF"), std::string::npos);
    EXPECT_NE(refusal(workbook({}, {Bytes{0x03, 0x02, 0xFF, 0x7F, 0, 0}})).find("ストリームの終わりを越えて"), std::string::npos);
    // Two sheets pointing at one substream: overlapping records would make reading quadratic.
    Bytes twice = workbook({}, {{}, {}});
    const std::size_t firstOffset = bof(true, 5).size() + 4;
    std::memcpy(&twice[firstOffset + 10 + 4], &twice[firstOffset], 4);  // next BOUNDSHEET: 10 data bytes on
    EXPECT_NE(refusal(twice).find("シート2「S1」: ファイルが壊れています（シートのレコードがほかのレコードと重なっています）"),
              std::string::npos)
        << refusal(twice);
}

}  // namespace
