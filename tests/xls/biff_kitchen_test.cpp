// The .xls reader over real files: the kitchen-sink workbook as each writer saved it, sheet
// types, the 1904 date system, and files that must be refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "biff_workbook.h"
#include "cell.h"
#include "workbook.h"

using xls::Cell;
using xls::CellKind;

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/xls/";

// What each kitchen-sink cell holds (cases.py), read through the cell-to-text rules.
struct Case {
    int row, col;
    CellKind kind;
    std::string text;
    bool isDate = false;
    bool formula = false;  // the value is a formula's cached result
};

std::string longAscii() {
    std::string s;
    for (int i = 0; i < 300; ++i) s.push_back(char('a' + i % 26));
    return s;
}

std::string longJapanese() {
    const std::u32string unit = U"あいうえお漢字カタカナ";
    std::string s;
    for (int i = 0; i < 5000; ++i) {
        const char32_t c = unit[i % unit.size()];
        s.push_back(char(0xE0 | (c >> 12)));
        s.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        s.push_back(char(0x80 | (c & 0x3F)));
    }
    return s;
}

std::vector<Case> kitchenCases() {
    using K = CellKind;
    return {
        {1, 1, K::Text, "項目名"},
        {1, 2, K::Text, "Field Name"},
        {1, 10, K::Text, "J1"},
        {2, 1, K::Number, "10"},
        {2, 2, K::Text, "x"},
        {3, 1, K::Number, "1.5"},
        {4, 1, K::Number, "1000000000000000"},
        {5, 1, K::Number, "-42"},
        {6, 1, K::Number, "-0.25"},
        {7, 1, K::Number, "10"},
        {8, 1, K::Number, "1234.5"},
        {9, 1, K::Number, "2024/03/15", true},
        {10, 1, K::Boolean, "True"},
        {11, 1, K::Number, "30", false, true},
        {12, 1, K::Error, "#DIV/0!"},
        {13, 1, K::Text, "  padded  "},
        {14, 1, K::Text, "\u3000"},
        {15, 1, K::Text, "日本語テキスト"},
        {16, 1, K::Empty, ""},
        {17, 1, K::Empty, ""},
        {18, 1, K::Empty, ""},
        {19, 1, K::Text, "after gap"},
        {20, 1, K::Number, "0.1"},
        {21, 1, K::Number, "3000000000"},
        {22, 1, K::Number, "123456789"},
        {23, 1, K::Text, "00010"},
        {24, 1, K::Text, longAscii()},
        {25, 1, K::Text, longJapanese()},
        {26, 1, K::Text, "line1\nline2"},
        {27, 1, K::Text, "\U00020BB7野家"},
        {28, 1, K::Number, "2024/03/15 13:45:30", true},
        {29, 1, K::Number, "13:45:30", true},
        {30, 1, K::Boolean, "False"},
        {31, 1, K::Text, "abcdef", false, true},
        {32, 1, K::Boolean, "True", false, true},
        {33, 1, K::Number, "0.0000001"},
        {34, 1, K::Number, "0.3", false, true},
        {35, 1, K::Number, "0.25"},
        {36, 1, K::Empty, ""},
        {37, 1, K::Number, "2.5"},
        {38, 1, K::Number, "7"},
        {39, 1, K::Error, "#DIV/0!", false, true},
        {40, 1, K::Text, "＝全角"},
        {41, 1, K::Text, "赤い太字text"},
        {42, 1, K::Empty, ""},
        {999, 99, K::Text, "corner"},
    };
}

// Replaces every character outside ASCII by "?" (what a writer does for characters its code
// page lacks).
std::string nonAsciiAsQuestionMarks(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(char(c));
        } else if ((c & 0xC0) != 0x80) {
            out.push_back('?');
        }
    }
    return out;
}

// Long texts are compared without printing 15000 bytes on failure.
void expectSameText(const std::string& got, const std::string& want) {
    if (got.size() < 200 && want.size() < 200) {
        EXPECT_EQ(got, want);
        return;
    }
    std::size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    EXPECT_TRUE(got == want) << "lengths " << got.size() << " / " << want.size() << ", first difference at byte " << i;
}

struct Writer {
    std::string file;
    std::vector<std::string> sheets;
    bool cachedResults = true;  // xlwt stores no formula results ("" for every formula)
    std::function<std::string(const Case&)> expectText = nullptr;  // code-page losses
    bool longStrings = true;
};

void PrintTo(const Writer& w, std::ostream* os) { *os << w.file; }

class Kitchen : public ::testing::TestWithParam<Writer> {};

TEST_P(Kitchen, EveryCellReadsAsStored) {
    const Writer& w = GetParam();
    auto book = xls::openBiffWorkbook(kData + w.file);
    ASSERT_EQ(book->sheetCount(), int(w.sheets.size()));
    for (int i = 0; i < book->sheetCount(); ++i) EXPECT_EQ(book->sheetName(i), w.sheets[i]) << i;

    for (const Case& c : kitchenCases()) {
        SCOPED_TRACE("row " + std::to_string(c.row) + " col " + std::to_string(c.col));
        const Cell cell = book->cell(0, c.row, c.col);
        CellKind kind = c.kind;
        std::string text = c.text;
        bool isDate = c.isDate;
        if (c.formula && !w.cachedResults) {
            kind = CellKind::Text;
            text = "";
            isDate = false;
        }
        if (!w.longStrings && (c.row == 24 || c.row == 25)) {
            kind = CellKind::Empty;
            text = "";
        }
        if (w.expectText) text = w.expectText(Case{c.row, c.col, kind, text});
        if (c.kind == CellKind::Empty && c.row == 42) {
            // xlwt writes a BLANK record, the others nothing; both read as an empty cell.
            EXPECT_EQ(cell.kind, CellKind::Empty);
            continue;
        }
        EXPECT_EQ(cell.kind, kind);
        expectSameText(xls::cellText(cell), text);
        if (kind == CellKind::Number) {
            EXPECT_EQ(cell.isDate, isDate);
            EXPECT_FALSE(cell.date1904);
        }
    }
    // The second sheet holds one text, the third nothing.
    EXPECT_EQ(xls::cellText(book->cell(1, 1, 1)), w.expectText ? w.expectText(Case{1, 1, CellKind::Text, "hidden content"}) : "hidden content");
}

std::string cp932Losses(const Case& c) {
    // U+20BB7 has no Shift_JIS code: the writer stored "?".
    if (c.row == 27) return "?野家";
    return c.text;
}

std::string cp1252Losses(const Case& c) { return nonAsciiAsQuestionMarks(c.text); }

const std::vector<std::string> kLoSheets = {"テーブル定義", "隠しシート", "空シート", "Data"};

INSTANTIATE_TEST_SUITE_P(
    Writers, Kitchen,
    ::testing::Values(
        Writer{"lo_kitchen.xls", kLoSheets},
        // saved after the two long strings were cleared
        Writer{"lo_chart_embedded.xls", kLoSheets, true, nullptr, false},
        Writer{"gnm_biff8.xls", kLoSheets},
        Writer{"xlwt_kitchen.xls", {"テーブル定義", "隠しシート", "空シート", "Data", "VeryHidden"}, false},
        Writer{"gnm_biff7_cp932.xls", kLoSheets, true, cp932Losses, false},
        Writer{"gnm_biff7_cp932_longlabel.xls", kLoSheets, true, cp932Losses},
        Writer{"gnm_biff7_cp1252.xls", {"??????", "?????", "????", "Data"}, true, cp1252Losses}),
    [](const ::testing::TestParamInfo<Writer>& info) {
        std::string n = info.param.file.substr(0, info.param.file.find('.'));
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(KitchenData, DataSheetHoldsTextAndNumbersByWriter) {
    for (const char* file : {"lo_kitchen.xls", "xlwt_kitchen.xls", "gnm_biff8.xls", "gnm_biff7_cp932.xls"}) {
        SCOPED_TRACE(file);
        auto book = xls::openBiffWorkbook(kData + file);
        for (int r = 1; r <= 5; ++r) {
            EXPECT_EQ(xls::cellText(book->cell(3, r, 1)), "r" + std::to_string(r) + "c1");
            EXPECT_EQ(book->cell(3, r, 2).kind, CellKind::Number);
            EXPECT_EQ(xls::cellText(book->cell(3, r, 2)), std::to_string((r - 1) * 10));
            EXPECT_EQ(xls::cellText(book->cell(3, r, 3)), "r" + std::to_string(r) + "c3");
        }
        EXPECT_EQ(book->cell(3, 6, 1).kind, CellKind::Empty);
        // Going back to an earlier sheet reads it again.
        EXPECT_EQ(xls::cellText(book->cell(0, 1, 1)), "項目名");
    }
}

TEST(KitchenBounds, CellsOutsideTheWindowReadEmpty) {
    auto book = xls::openBiffWorkbook(kData + "lo_kitchen.xls");
    EXPECT_EQ(xls::cellText(book->cell(0, 999, 99)), "corner");
    EXPECT_EQ(book->cell(0, 1000, 99).kind, CellKind::Empty);
    EXPECT_EQ(book->cell(0, 999, 100).kind, CellKind::Empty);
    EXPECT_EQ(book->cell(0, 0, 1).kind, CellKind::Empty);
    EXPECT_EQ(book->cell(0, 1, 0).kind, CellKind::Empty);
    EXPECT_EQ(book->cell(0, -5, -5).kind, CellKind::Empty);
    EXPECT_EQ(book->cell(-1, 1, 1).kind, CellKind::Empty);
    EXPECT_EQ(book->cell(4, 1, 1).kind, CellKind::Empty);
    EXPECT_EQ(book->sheetName(4), "");

    xls::OpenOptions small;
    small.maxRow = 41;
    small.maxCol = 9;
    auto narrow = xls::openBiffWorkbook(kData + "lo_kitchen.xls", small);
    EXPECT_EQ(xls::cellText(narrow->cell(0, 41, 1)), "赤い太字text");
    EXPECT_EQ(narrow->cell(0, 1, 10).kind, CellKind::Empty);
    EXPECT_EQ(narrow->cell(0, 999, 99).kind, CellKind::Empty);
}

TEST(SheetTypes, ChartAndMacroSheetsCountInTabOrderWithoutCells) {
    auto book = xls::openBiffWorkbook(kData + "sheettypes.xls");
    ASSERT_EQ(book->sheetCount(), 4);
    EXPECT_EQ(book->sheetName(0), "Alpha");
    EXPECT_EQ(book->sheetName(1), "ChartSheet");
    EXPECT_EQ(book->sheetName(2), "Beta");
    EXPECT_EQ(book->sheetName(3), "MacroSheet");
    EXPECT_EQ(xls::cellText(book->cell(0, 1, 1)), "alpha A1");
    EXPECT_EQ(book->cell(1, 1, 1).kind, CellKind::Empty);
    EXPECT_EQ(xls::cellText(book->cell(2, 1, 1)), "beta A1");
    // The macro sheet's substream still carries a worksheet cell: it must not show.
    EXPECT_EQ(book->cell(3, 1, 1).kind, CellKind::Empty);
}

TEST(SheetTypes, GnumericChartSheetWorkbookListsAllSheets) {
    auto book = xls::openBiffWorkbook(kData + "gnm_chartsheet.xls");
    ASSERT_EQ(book->sheetCount(), 6);
    EXPECT_EQ(book->sheetName(3), "グラフ");
    EXPECT_EQ(book->sheetName(5), "VeryHidden");
    EXPECT_EQ(xls::cellText(book->cell(0, 1, 1)), "項目名");
}

TEST(Dates, Workbook1904CountsFromJanuaryFirst1904) {
    auto book = xls::openBiffWorkbook(kData + "xlwt_1904.xls");
    const Cell a1 = book->cell(0, 1, 1);
    EXPECT_TRUE(a1.isDate);
    EXPECT_TRUE(a1.date1904);
    EXPECT_EQ(xls::cellText(a1), "2024/03/15");
    EXPECT_EQ(xls::cellText(book->cell(0, 2, 1)), "2024/03/15 13:45:30");
    EXPECT_EQ(xls::cellText(book->cell(0, 3, 1)), "1904/01/01");
    EXPECT_DOUBLE_EQ(book->cell(0, 3, 1).number, 0.0);
}

// Refusals: the reason must be in the message, and nothing may be returned.
struct Refusal {
    std::string file;
    xls::Error::Kind kind;
    std::string reason;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.file; }

class Refused : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refused, WithItsReason) {
    const Refusal& r = GetParam();
    // Files that are no compound file at all go to the other reader through the dispatch (a
    // renamed .xlsx is even read there): only compound files are checked both ways.
    const bool compoundFile = r.kind != xls::Error::Kind::NotWorkbook && r.kind != xls::Error::Kind::Empty;
    for (int viaDispatch = 0; viaDispatch < (compoundFile ? 2 : 1); ++viaDispatch) {
        try {
            if (viaDispatch)
                xls::openWorkbook(kData + r.file);
            else
                xls::openBiffWorkbook(kData + r.file);
            ADD_FAILURE() << r.file << " was opened";
        } catch (const xls::Error& e) {
            const std::string what = e.what();
            const std::string name = r.file.substr(r.file.rfind('/') + 1);
            EXPECT_EQ(e.kind(), r.kind) << what;
            EXPECT_NE(e.reason().find(r.reason), std::string::npos) << what;
            // what() names the file for a log; the reason leaves that to whoever shows it.
            EXPECT_NE(what.find(name), std::string::npos) << what;
            EXPECT_EQ(e.reason().find(name), std::string::npos) << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Refused,
    ::testing::Values(Refusal{"lo_password.xls", xls::Error::Kind::Encrypted, "パスワードで保護（暗号化）"},
                      Refusal{"broken/trunc_512.xls", xls::Error::Kind::Truncated, "ファイルが途中で切れています"},
                      Refusal{"broken/trunc_8k.xls", xls::Error::Kind::Truncated, "ファイルが途中で切れています"},
                      Refusal{"broken/trunc_half.xls", xls::Error::Kind::Truncated, "ファイルが途中で切れています"},
                      Refusal{"broken/trunc_last_sector.xls", xls::Error::Kind::Truncated, "ファイルが途中で切れています"},
                      Refusal{"broken/corrupt_mid.xls", xls::Error::Kind::Damaged, "ファイルが壊れています（"},
                      Refusal{"broken/empty.xls", xls::Error::Kind::Empty, "ファイルが空です"},
                      Refusal{"broken/text.xls", xls::Error::Kind::NotWorkbook, "複合ファイルの署名がありません"},
                      Refusal{"broken/xlsx_renamed.xls", xls::Error::Kind::NotWorkbook, "複合ファイルの署名がありません"},
                      Refusal{"broken/ods_renamed.xls", xls::Error::Kind::NotWorkbook, "複合ファイルの署名がありません"}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
        std::string n = info.param.file;
        n = n.substr(n.rfind('/') + 1);
        n = n.substr(0, n.find('.'));
        return n;
    });

TEST(Refused, MissingFileAndDirectory) {
    EXPECT_THROW(xls::openBiffWorkbook(kData + "no_such_file.xls"), xls::Error);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "biff_dir_test.xls";
    std::filesystem::create_directories(dir);
    EXPECT_THROW(xls::openBiffWorkbook(dir.string()), xls::Error);
    std::filesystem::remove(dir);
}

}  // namespace
