// The workbook-stream records one by one, in hand-made streams: shared strings split over
// CONTINUE records, rich text and phonetic blocks, RK encodings, formula results, error and
// boolean cells, date formats, BIFF5 code pages, and damaged or encrypted streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "biff_workbook.h"
#include "cell.h"

using xls::Cell;
using xls::CellKind;
using Bytes = std::vector<std::uint8_t>;

namespace {

void put16(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putF64(Bytes& b, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i) b.push_back(std::uint8_t(bits >> (8 * i)));
}
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes record(unsigned type, const Bytes& data) {
    Bytes r;
    put16(r, type);
    put16(r, unsigned(data.size()));
    append(r, data);
    return r;
}

Bytes utf16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) put16(b, c);
    return b;
}

// BIFF8 XLUnicodeString with a 16-bit count, uncompressed.
Bytes xlString(const std::u16string& s) {
    Bytes b;
    put16(b, unsigned(s.size()));
    b.push_back(1);
    append(b, utf16(s));
    return b;
}

Bytes cellHead(unsigned row0, unsigned col0, unsigned xf) {
    Bytes b;
    put16(b, row0);
    put16(b, col0);
    put16(b, xf);
    return b;
}

// A workbook stream: globals (BOF, the given records, BOUNDSHEETs, EOF), then one substream
// per sheet. Offsets in the BOUNDSHEET records are filled in.
struct StreamBuilder {
    bool biff8 = true;
    Bytes globals;
    struct Sheet {
        Sheet(std::string n, std::uint8_t t = 0, unsigned bt = 0x0010) : name(std::move(n)), type(t), bofType(bt) {}
        std::string name;  // BIFF8: ASCII; BIFF5: bytes as given
        std::uint8_t type;
        unsigned bofType;
        Bytes body;
    };
    std::vector<Sheet> sheets;

    Bytes bof(unsigned dt) const {
        Bytes d;
        put16(d, biff8 ? 0x0600 : 0x0500);
        put16(d, dt);
        put16(d, 0);
        put16(d, 0);
        if (biff8) {
            put32(d, 0);
            put32(d, 0);
        }
        return record(0x0809, d);
    }

    Bytes boundSheet(const Sheet& s, std::uint32_t offset) const {
        Bytes d;
        put32(d, offset);
        d.push_back(0);
        d.push_back(s.type);
        d.push_back(std::uint8_t(s.name.size()));
        if (biff8) d.push_back(0);
        d.insert(d.end(), s.name.begin(), s.name.end());
        return record(0x0085, d);
    }

    Bytes build() const {
        Bytes head = bof(0x0005);
        append(head, globals);
        std::size_t size = head.size() + 4;  // + EOF
        for (const Sheet& s : sheets) size += boundSheet(s, 0).size();
        Bytes out = head;
        std::size_t offset = size;
        std::vector<Bytes> subs;
        for (const Sheet& s : sheets) {
            Bytes sub = bof(s.bofType);
            append(sub, s.body);
            append(sub, record(0x000A, {}));
            append(out, boundSheet(s, std::uint32_t(offset)));
            offset += sub.size();
            subs.push_back(sub);
        }
        append(out, record(0x000A, {}));
        for (const Bytes& sub : subs) append(out, sub);
        return out;
    }
};

Bytes xfRecord(unsigned formatIndex) {
    Bytes d;
    put16(d, 0);
    put16(d, formatIndex);
    d.resize(20, 0);
    return record(0x00E0, d);
}

Bytes formatRecord(unsigned index, const std::u16string& code) {
    Bytes d;
    put16(d, index);
    append(d, xlString(code));
    return record(0x041E, d);
}

std::string text(xls::Workbook& b, int row, int col, int sheet = 0) {
    return xls::cellText(b.cell(sheet, row, col));
}

std::string refusal(const Bytes& stream) {
    try {
        auto book = xls::openBiffStream(stream);
        for (int s = 0; s < book->sheetCount(); ++s) book->cell(s, 1, 1);
    } catch (const xls::Error& e) {
        return e.what();
    }
    return "";
}

TEST(SharedStrings, SplitInsideAStringWithTheFlagRestated) {
    // String 0: "ABC" compressed in the SST record, "あいう" uncompressed in the CONTINUE.
    // String 1: rich text, its runs split over the next CONTINUE boundary.
    // String 2: uncompressed "日本" continued compressed as "xyz", then a phonetic block.
    // String 3: its header starts a CONTINUE record.
    Bytes sst;
    put32(sst, 4);
    put32(sst, 4);
    put16(sst, 6);
    sst.push_back(0);
    sst.insert(sst.end(), {'A', 'B', 'C'});
    Bytes c1;
    c1.push_back(1);
    append(c1, utf16(u"あいう"));
    put16(c1, 5);  // string 1: 5 chars, rich, 2 runs
    c1.push_back(0x08);
    put16(c1, 2);
    c1.insert(c1.end(), {'r', 'i', 'c', 'h', '!'});
    put32(c1, 0x00010000);  // first run, whole
    put16(c1, 3);           // second run, half of it
    Bytes c2;
    put16(c2, 1);  // rest of the second run: no flag byte, runs are not characters
    put16(c2, 5);  // string 2: 5 chars, uncompressed, phonetic block of 10 bytes
    c2.push_back(0x05);
    put32(c2, 10);
    append(c2, utf16(u"日本"));
    Bytes c3;
    c3.push_back(0);  // restated flag: compressed from here on
    c3.insert(c3.end(), {'x', 'y', 'z'});
    c3.insert(c3.end(), 10, 0xAB);  // phonetic block, skipped
    Bytes c4;
    put16(c4, 2);
    c4.push_back(0);
    c4.insert(c4.end(), {'o', 'k'});

    StreamBuilder sb;
    append(sb.globals, record(0x00FC, sst));
    append(sb.globals, record(0x003C, c1));
    append(sb.globals, record(0x003C, c2));
    append(sb.globals, record(0x003C, c3));
    append(sb.globals, record(0x003C, c4));
    StreamBuilder::Sheet sh{"S"};
    for (unsigned i = 0; i < 4; ++i) {
        Bytes d = cellHead(i, 0, 0);
        put32(d, i);
        append(sh.body, record(0x00FD, d));
    }
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    EXPECT_EQ(text(*book, 1, 1), "ABCあいう");
    EXPECT_EQ(text(*book, 2, 1), "rich!");
    EXPECT_EQ(text(*book, 3, 1), "日本xyz");
    EXPECT_EQ(text(*book, 4, 1), "ok");
}

TEST(SharedStrings, DamagedTableOrReferenceIsRefused) {
    // A string that claims more characters than the records hold.
    StreamBuilder cut;
    Bytes sst;
    put32(sst, 1);
    put32(sst, 1);
    put16(sst, 50);
    sst.push_back(0);
    sst.insert(sst.end(), {'s', 'h', 'o', 'r', 't'});
    append(cut.globals, record(0x00FC, sst));
    EXPECT_NE(refusal(cut.build()).find("damaged"), std::string::npos);

    // A cell that refers to string 5 of a table of one.
    StreamBuilder ref;
    Bytes one;
    put32(one, 1);
    put32(one, 1);
    put16(one, 1);
    one.push_back(0);
    one.push_back('a');
    append(ref.globals, record(0x00FC, one));
    StreamBuilder::Sheet sh{"Refs"};
    Bytes d = cellHead(0, 0, 0);
    put32(d, 5);
    append(sh.body, record(0x00FD, d));
    ref.sheets.push_back(sh);
    const std::string why = refusal(ref.build());
    EXPECT_NE(why.find("shared string"), std::string::npos) << why;
    EXPECT_NE(why.find("Refs"), std::string::npos) << why;
}

TEST(NumberCells, RkEncodingsAndMulRk) {
    auto rkInt = [](std::int32_t v, bool x100) { return (std::uint32_t(v) << 2) | 2u | (x100 ? 1u : 0u); };
    auto rkFloat = [](double d, bool x100) {
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        return (std::uint32_t(bits >> 32) & 0xFFFFFFFCu) | (x100 ? 1u : 0u);
    };
    StreamBuilder sb;
    StreamBuilder::Sheet sh{"N"};
    Bytes rk = cellHead(0, 0, 0);
    put32(rk, rkInt(-42, false));
    append(sh.body, record(0x027E, rk));
    Bytes mul;
    put16(mul, 1);  // row 2
    put16(mul, 0);  // from column A
    for (std::uint32_t v : {rkInt(1234, true), rkFloat(1.5, false), rkFloat(-2.5, false), rkInt(123456789, false)}) {
        put16(mul, 0);
        put32(mul, v);
    }
    put16(mul, 3);
    append(sh.body, record(0x00BD, mul));
    Bytes num = cellHead(2, 0, 0);
    putF64(num, 3000000000.0);
    append(sh.body, record(0x0203, num));
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    EXPECT_EQ(text(*book, 1, 1), "-42");
    EXPECT_EQ(text(*book, 2, 1), "12.34");
    EXPECT_EQ(text(*book, 2, 2), "1.5");
    EXPECT_EQ(text(*book, 2, 3), "-2.5");
    EXPECT_EQ(text(*book, 2, 4), "123456789");
    EXPECT_EQ(book->cell(0, 2, 5).kind, CellKind::Empty);
    EXPECT_EQ(text(*book, 3, 1), "3000000000");
}

TEST(BoolErrCells, BooleansAndErrorsStayDistinct) {
    StreamBuilder sb;
    StreamBuilder::Sheet sh{"B"};
    const std::vector<std::pair<int, int>> values = {{1, 0}, {0, 0}, {0x2A, 1}, {0x07, 1}, {0x00, 1}, {0x17, 1}};
    for (unsigned i = 0; i < values.size(); ++i) {
        Bytes d = cellHead(i, 0, 0);
        d.push_back(std::uint8_t(values[i].first));
        d.push_back(std::uint8_t(values[i].second));
        append(sh.body, record(0x0205, d));
    }
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    EXPECT_EQ(book->cell(0, 1, 1).kind, CellKind::Boolean);
    EXPECT_EQ(text(*book, 1, 1), "True");
    EXPECT_EQ(text(*book, 2, 1), "False");
    // An error whose code byte is 0x2A must not read as TRUE, nor #NULL! (code 0) as FALSE.
    for (int row : {3, 4, 5, 6}) EXPECT_EQ(book->cell(0, row, 1).kind, CellKind::Error) << row;
    EXPECT_EQ(book->cell(0, 3, 1).text, "#N/A");
    EXPECT_EQ(book->cell(0, 4, 1).text, "#DIV/0!");
    EXPECT_EQ(book->cell(0, 5, 1).text, "#NULL!");
    EXPECT_EQ(book->cell(0, 6, 1).text, "#REF!");
}

Bytes formula(unsigned row0, unsigned col0, unsigned xf, const Bytes& value8) {
    Bytes d = cellHead(row0, col0, xf);
    append(d, value8);
    put16(d, 0);
    put32(d, 0);
    put16(d, 0);  // empty token array
    return record(0x0006, d);
}

Bytes special(std::uint8_t kind, std::uint8_t value) {
    return Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF};
}

TEST(FormulaCells, CachedResultsOfEveryKind) {
    StreamBuilder sb;
    append(sb.globals, xfRecord(0));
    append(sb.globals, xfRecord(14));
    StreamBuilder::Sheet sh{"F"};
    Bytes v;
    putF64(v, 30);
    append(sh.body, formula(0, 0, 0, v));
    // A text result: the STRING record follows (here after a shared-formula record), and
    // itself goes on in a CONTINUE record with the flag restated.
    append(sh.body, formula(1, 0, 0, special(0, 0)));
    append(sh.body, record(0x04BC, Bytes(8, 0)));
    Bytes str;
    put16(str, 6);
    str.push_back(0);
    str.insert(str.end(), {'a', 'b', 'c'});
    append(sh.body, record(0x0207, str));
    Bytes more{1};
    append(more, utf16(u"表示す"));
    append(sh.body, record(0x003C, more));
    append(sh.body, formula(2, 0, 0, special(1, 1)));
    append(sh.body, formula(3, 0, 0, special(1, 0)));
    append(sh.body, formula(4, 0, 0, special(2, 0x07)));
    append(sh.body, formula(5, 0, 0, special(3, 0)));
    Bytes day;
    putF64(day, 45366);
    append(sh.body, formula(6, 0, 1, day));
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    EXPECT_EQ(book->cell(0, 1, 1).kind, CellKind::Number);
    EXPECT_EQ(text(*book, 1, 1), "30");
    EXPECT_EQ(book->cell(0, 2, 1).kind, CellKind::Text);
    EXPECT_EQ(text(*book, 2, 1), "abc表示す");
    EXPECT_EQ(book->cell(0, 3, 1).kind, CellKind::Boolean);
    EXPECT_EQ(text(*book, 3, 1), "True");
    EXPECT_EQ(text(*book, 4, 1), "False");
    EXPECT_EQ(book->cell(0, 5, 1).kind, CellKind::Error);
    EXPECT_EQ(book->cell(0, 5, 1).text, "#DIV/0!");
    EXPECT_EQ(book->cell(0, 6, 1).kind, CellKind::Text);
    EXPECT_EQ(text(*book, 6, 1), "");
    EXPECT_TRUE(book->cell(0, 7, 1).isDate);
    EXPECT_EQ(text(*book, 7, 1), "2024/03/15");
}

TEST(DateFormats, ChosenThroughTheCellFormat) {
    StreamBuilder sb;
    append(sb.globals, record(0x0022, Bytes{1, 0}));  // 1904 date system
    append(sb.globals, formatRecord(164, u"yyyy\"年\"m\"月\"d\"日\""));
    append(sb.globals, formatRecord(165, u"0\" mmdd\""));
    append(sb.globals, formatRecord(166, u"[Red]#,##0"));
    append(sb.globals, formatRecord(14, u"0.00"));  // a FORMAT record redefines a built-in index
    for (unsigned f : {0u, 164u, 165u, 166u, 14u, 22u, 49u}) append(sb.globals, xfRecord(f));
    StreamBuilder::Sheet sh{"D"};
    for (unsigned xf = 0; xf < 8; ++xf) {
        Bytes d = cellHead(xf, 0, xf);
        putF64(d, 100);
        append(sh.body, record(0x0203, d));
    }
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    const std::vector<bool> dates = {false, true, false, false, false, true, false, false};
    for (int xf = 0; xf < 8; ++xf) {
        const Cell c = book->cell(0, xf + 1, 1);
        EXPECT_EQ(c.isDate, dates[xf]) << "xf " << xf;
        EXPECT_EQ(c.date1904, bool(dates[xf])) << "xf " << xf;
    }
    EXPECT_EQ(text(*book, 2, 1), "1904/04/10");  // day 100 of the 1904 system
}

TEST(Sheets, NestedChartSubstreamDoesNotLeakCells) {
    StreamBuilder sb;
    StreamBuilder::Sheet sh{"WithChart"};
    Bytes a1 = cellHead(0, 0, 0);
    putF64(a1, 1);
    append(sh.body, record(0x0203, a1));
    // An embedded chart: BOF (chart) ... EOF inside the worksheet; its records are not cells.
    append(sh.body, sb.bof(0x0020));
    Bytes inner = cellHead(1, 0, 0);
    putF64(inner, 99);
    append(sh.body, record(0x0203, inner));
    append(sh.body, record(0x000A, {}));
    Bytes a3 = cellHead(2, 0, 0);
    putF64(a3, 3);
    append(sh.body, record(0x0203, a3));
    sb.sheets.push_back(sh);
    StreamBuilder::Sheet chart{"Chart", 2, 0x0020};
    append(chart.body, record(0x0203, a1));
    sb.sheets.push_back(chart);
    auto book = xls::openBiffStream(sb.build());
    ASSERT_EQ(book->sheetCount(), 2);
    EXPECT_EQ(text(*book, 1, 1), "1");
    EXPECT_EQ(book->cell(0, 2, 1).kind, CellKind::Empty);
    EXPECT_EQ(text(*book, 3, 1), "3");
    EXPECT_EQ(book->sheetName(1), "Chart");
    EXPECT_EQ(book->cell(1, 1, 1).kind, CellKind::Empty);
}

TEST(Sheets, CellsBeyondTheWindowAreNotKept) {
    StreamBuilder sb;
    StreamBuilder::Sheet sh{"Big"};
    Bytes far = cellHead(65535, 255, 0);
    putF64(far, 7);
    append(sh.body, record(0x0203, far));
    Bytes edge = cellHead(998, 98, 0);
    putF64(edge, 8);
    append(sh.body, record(0x0203, edge));
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    EXPECT_EQ(book->cell(0, 65536, 256).kind, CellKind::Empty);
    EXPECT_EQ(text(*book, 999, 99), "8");
    xls::OpenOptions wide;
    wide.maxRow = 70000;
    wide.maxCol = 300;
    auto all = xls::openBiffStream(sb.build(), wide);
    EXPECT_EQ(text(*all, 65536, 256), "7");
}

TEST(Biff5, CodePageDecodesTextAndSheetNames) {
    StreamBuilder sb;
    sb.biff8 = false;
    append(sb.globals, record(0x0042, Bytes{0xA4, 0x03}));  // code page 932
    // FORMAT in BIFF5: index, 8-bit count, bytes.
    Bytes fmt;
    put16(fmt, 164);
    const std::string code = "yyyy/mm/dd";
    fmt.push_back(std::uint8_t(code.size()));
    fmt.insert(fmt.end(), code.begin(), code.end());
    append(sb.globals, record(0x041E, fmt));
    append(sb.globals, xfRecord(0));
    append(sb.globals, xfRecord(164));
    StreamBuilder::Sheet sh{"\x83\x65\x81\x5B\x83\x75\x83\x8B"};  // テーブル in Shift_JIS
    const Bytes sjis = {0x8D, 0x80, 0x96, 0xDA, 0x96, 0xBC, ' ', 'x'};  // 項目名 x
    Bytes label = cellHead(0, 0, 0);
    put16(label, unsigned(sjis.size()));
    append(label, sjis);
    append(sh.body, record(0x0204, label));
    // A long label split over a CONTINUE record in the middle of a double-byte character.
    Bytes longLabel = cellHead(1, 0, 0);
    put16(longLabel, 4);
    longLabel.insert(longLabel.end(), {0x93, 0xFA, 0x96});
    append(sh.body, record(0x0204, longLabel));
    append(sh.body, record(0x003C, Bytes{0x7B}));
    Bytes day = cellHead(2, 0, 1);
    putF64(day, 45366);
    append(sh.body, record(0x0203, day));
    sb.sheets.push_back(sh);
    auto book = xls::openBiffStream(sb.build());
    EXPECT_EQ(book->sheetName(0), "テーブル");
    EXPECT_EQ(text(*book, 1, 1), "項目名 x");
    EXPECT_EQ(text(*book, 2, 1), "日本");
    EXPECT_EQ(text(*book, 3, 1), "2024/03/15");
}

TEST(Refusals, EncryptedOldOrDamagedStreams) {
    StreamBuilder enc;
    append(enc.globals, record(0x002F, Bytes(54, 0)));
    EXPECT_NE(refusal(enc.build()).find("encrypted"), std::string::npos);

    Bytes old = record(0x0409, Bytes{0, 0, 0x10, 0});
    EXPECT_NE(refusal(old).find("older than Excel 95"), std::string::npos);

    EXPECT_NE(refusal(Bytes{'h', 'e', 'l', 'l', 'o'}).find("BOF"), std::string::npos);
    EXPECT_NE(refusal(Bytes{}).find("BOF"), std::string::npos);

    StreamBuilder noEof;
    Bytes s = noEof.build();
    s.resize(s.size() - 4);  // drop the globals' EOF
    EXPECT_NE(refusal(s).find("EOF"), std::string::npos);

    // A record claiming more bytes than the stream has.
    StreamBuilder over;
    StreamBuilder::Sheet sh{"Over"};
    sh.body = Bytes{0x03, 0x02, 0xFF, 0x7F, 0, 0};
    over.sheets.push_back(sh);
    const std::string why = refusal(over.build());
    EXPECT_NE(why.find("past the end"), std::string::npos) << why;

    // A sheet list whose entries point at the same substream.
    StreamBuilder twice;
    twice.sheets.push_back({"A"});
    twice.sheets.push_back({"B"});
    Bytes t = twice.build();
    // Point the second BOUNDSHEET at the first sheet's offset.
    std::size_t first = 0, second = 0;
    for (std::size_t p = 0; p + 4 <= t.size();) {
        const unsigned type = t[p] | (t[p + 1] << 8), len = t[p + 2] | (t[p + 3] << 8);
        if (type == 0x0085) (first ? second : first) = p + 4;
        if (type == 0x000A) break;
        p += 4 + len;
    }
    ASSERT_TRUE(first && second);
    std::memcpy(&t[second], &t[first], 4);
    EXPECT_NE(refusal(t).find("overlap"), std::string::npos);
}

}  // namespace
