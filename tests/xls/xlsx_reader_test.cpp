// The .xlsx reader over workbooks written by LibreOffice, gnumeric, openpyxl and by hand, and over
// damaged packages.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "cell.h"
#include "workbook.h"

using xls::CellKind;

namespace {

const std::string kDir = std::string(XLSDB_TEST_DATA) + "/xlsx/";

struct Expect {
    int row, col;
    CellKind kind;
    std::string text;  // cellText of the cell
};

std::string repeatAscii() {
    std::string s;
    for (int i = 0; i < 300; ++i) s += static_cast<char>('a' + i % 26);
    return s;
}

std::string longJapanese() {
    const std::u32string unit = U"あいうえお漢字カタカナ";
    std::string out;
    for (int i = 0; i < 5000; ++i) {
        const char32_t c = unit[static_cast<size_t>(i) % unit.size()];
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The kitchen-sink sheet as a writer with cached formula results stores it.
std::vector<Expect> kitchenCells() {
    return {
        {1, 1, CellKind::Text, "項目名"},          {1, 2, CellKind::Text, "Field Name"},
        {1, 10, CellKind::Text, "J1"},             {2, 1, CellKind::Number, "10"},
        {2, 2, CellKind::Text, "x"},               {3, 1, CellKind::Number, "1.5"},
        {4, 1, CellKind::Number, "1000000000000000"}, {5, 1, CellKind::Number, "-42"},
        {6, 1, CellKind::Number, "-0.25"},         {7, 1, CellKind::Number, "10"},
        {8, 1, CellKind::Number, "1234.5"},        {9, 1, CellKind::Number, "2024/03/15"},
        {10, 1, CellKind::Boolean, "True"},        {11, 1, CellKind::Number, "30"},
        {12, 1, CellKind::Error, "#DIV/0!"},       {13, 1, CellKind::Text, "  padded  "},
        {14, 1, CellKind::Text, "\u3000"},         {15, 1, CellKind::Text, "日本語テキスト"},
        {16, 1, CellKind::Empty, ""},              {18, 1, CellKind::Empty, ""},
        {19, 1, CellKind::Text, "after gap"},      {20, 1, CellKind::Number, "0.1"},
        {21, 1, CellKind::Number, "3000000000"},   {22, 1, CellKind::Number, "123456789"},
        {23, 1, CellKind::Text, "00010"},          {24, 1, CellKind::Text, repeatAscii()},
        {25, 1, CellKind::Text, longJapanese()},   {26, 1, CellKind::Text, "line1\nline2"},
        {27, 1, CellKind::Text, "\U00020BB7野家"}, {28, 1, CellKind::Number, "2024/03/15 13:45:30"},
        {29, 1, CellKind::Number, "13:45:30"},     {30, 1, CellKind::Boolean, "False"},
        {31, 1, CellKind::Text, "abcdef"},         {32, 1, CellKind::Boolean, "True"},
        {33, 1, CellKind::Number, "0.0000001"},    {34, 1, CellKind::Number, "0.3"},
        {35, 1, CellKind::Number, "0.25"},         {36, 1, CellKind::Empty, ""},
        {37, 1, CellKind::Number, "2.5"},          {38, 1, CellKind::Number, "7"},
        {39, 1, CellKind::Error, "#DIV/0!"},       {40, 1, CellKind::Text, "＝全角"},
        {41, 1, CellKind::Text, "赤い太字text"},   {42, 1, CellKind::Empty, ""},
        {999, 99, CellKind::Empty, ""},  // replaced below: "corner"
    };
}

struct Writer {
    const char* file;
    std::set<int> emptyRows;  // rows this writer leaves without a value
    std::vector<std::string> sheets;
};

void checkKitchen(const Writer& w) {
    SCOPED_TRACE(w.file);
    auto wb = xls::openWorkbook(kDir + w.file);
    ASSERT_EQ(wb->sheetCount(), static_cast<int>(w.sheets.size()));
    for (size_t i = 0; i < w.sheets.size(); ++i) EXPECT_EQ(wb->sheetName(static_cast<int>(i)), w.sheets[i]);
    for (Expect e : kitchenCells()) {
        if (e.row == 999) e = {999, 99, CellKind::Text, "corner"};
        if (w.emptyRows.count(e.row)) e = {e.row, e.col, CellKind::Empty, ""};
        const xls::Cell c = wb->cell(0, e.row, e.col);
        EXPECT_EQ(c.kind, e.kind) << "row " << e.row;
        EXPECT_EQ(xls::cellText(c), e.text) << "row " << e.row;
    }
    // The date cells carry their format; the numbers with other formats do not.
    EXPECT_TRUE(wb->cell(0, 9, 1).isDate);
    EXPECT_FALSE(wb->cell(0, 7, 1).isDate);   // 00000
    EXPECT_FALSE(wb->cell(0, 37, 1).isDate);  // 0" days"
    EXPECT_FALSE(wb->cell(0, 38, 1).isDate);  // 0" mmdd"
}

}  // namespace

TEST(XlsxKitchen, EveryCellOfEveryWriter) {
    const std::vector<std::string> four = {"テーブル定義", "隠しシート", "空シート", "Data"};
    checkKitchen({"lo_kitchen.xlsx", {}, four});
    checkKitchen({"gnm_kitchen.xlsx", {}, four});
    // Embedded chart on "Data"; this workbook was written without the two long strings.
    checkKitchen({"lo_chart_embedded.xlsx", {24, 25}, four});
    // openpyxl stores no cached formula results; its chart sheet counts in tab order.
    checkKitchen({"opx_kitchen.xlsx", {11, 31, 32, 34, 39},
                  {"テーブル定義", "隠しシート", "Data", "グラフ", "空シート", "VeryHidden"}});
}

TEST(XlsxKitchen, OtherSheetsChartSheetsAndHiddenSheets) {
    auto wb = xls::openWorkbook(kDir + "opx_kitchen.xlsx");
    EXPECT_EQ(xls::cellText(wb->cell(1, 1, 1)), "hidden content");
    EXPECT_EQ(xls::cellText(wb->cell(2, 5, 2)), "40");
    EXPECT_EQ(xls::cellText(wb->cell(2, 5, 3)), "r5c3");
    EXPECT_EQ(wb->cell(3, 1, 1).kind, CellKind::Empty);  // chart sheet
    EXPECT_EQ(wb->cell(4, 1, 1).kind, CellKind::Empty);
    EXPECT_EQ(xls::cellText(wb->cell(5, 1, 1)), "very hidden content");
    // Going back to a sheet read before gives the same cells.
    EXPECT_EQ(xls::cellText(wb->cell(0, 1, 1)), "項目名");
    EXPECT_EQ(wb->cell(6, 1, 1).kind, CellKind::Empty);  // no such sheet
    EXPECT_EQ(wb->sheetName(6), "");
}

TEST(XlsxHandMade, SheetOrderEscapesRunsAnd1904Dates) {
    auto wb = xls::openWorkbook(kDir + "hand_edge.xlsx");
    ASSERT_EQ(wb->sheetCount(), 4);
    EXPECT_EQ(wb->sheetName(0), "二番目");
    EXPECT_EQ(wb->sheetName(1), "グラフ");
    EXPECT_EQ(wb->sheetName(2), "First");
    EXPECT_EQ(wb->sheetName(3), "Hidden");
    EXPECT_EQ(xls::cellText(wb->cell(2, 1, 1)), "first sheet file, third tab");
    EXPECT_EQ(xls::cellText(wb->cell(3, 1, 1)), "hidden");
    EXPECT_EQ(wb->cell(1, 1, 1).kind, CellKind::Empty);

    const std::map<std::string, std::string> expected = {
        {"A1", "plain"}, {"B1", "赤太字"}, {"C1", "漢字"}, {"D1", "a\r\nb"}, {"E1", "  sp  "}, {"F1", ""},
        {"A2", "inline"}, {"B2", "inrich"}, {"A3", "10"}, {"B3", "1.5"}, {"C3", "0.0000001"},
        {"D3", "1000000000000000"}, {"E6", "0.3"}, {"E3", "-0.25"}, {"F3", "10"}, {"A4", "True"},
        {"B4", "False"}, {"C4", "#DIV/0!"}, {"D4", "#DIV/0!"}, {"A5", "30"}, {"B5", "abc"}, {"C5", "True"},
        {"D5", ""}, {"A6", "1904/01/01"}, {"B6", "2027/03/16 12:00:00"}, {"C6", "2024/03/15"}, {"A7", ""},
        {"A8", "x1"}, {"B8", "x2"}, {"E8", "5"}, {"F8", "6"}, {"C8", ""}, {"D8", ""},
    };
    for (const auto& [ref, text] : expected) {
        const int col = ref[0] - 'A' + 1;
        const int row = std::stoi(ref.substr(1));
        EXPECT_EQ(xls::cellText(wb->cell(0, row, col)), text) << ref;
    }
    EXPECT_EQ(wb->cell(0, 4, 3).kind, CellKind::Error);
    EXPECT_EQ(wb->cell(0, 5, 4).kind, CellKind::Empty);  // formula without a cached result
    EXPECT_TRUE(wb->cell(0, 6, 1).date1904);
    EXPECT_EQ(xls::cellText(wb->cell(0, 999, 99)), "corner");
    // XFD1048576 holds 1 but lies outside the default bounds: not kept.
    EXPECT_EQ(wb->cell(0, 1048576, 16384).kind, CellKind::Empty);
}

TEST(XlsxBounds, OnlyCellsInsideTheOptionsAreKept) {
    xls::OpenOptions small;
    small.maxRow = 5;
    small.maxCol = 3;
    auto wb = xls::openWorkbook(kDir + "hand_edge.xlsx", small);
    EXPECT_EQ(xls::cellText(wb->cell(0, 3, 3)), "0.0000001");
    EXPECT_EQ(wb->cell(0, 3, 4).kind, CellKind::Empty);
    EXPECT_EQ(wb->cell(0, 6, 1).kind, CellKind::Empty);
    EXPECT_EQ(wb->cell(0, 999, 99).kind, CellKind::Empty);
    // Positions below 1 are simply empty.
    EXPECT_EQ(wb->cell(0, 0, 1).kind, CellKind::Empty);
    EXPECT_EQ(wb->cell(0, 1, 0).kind, CellKind::Empty);
}

TEST(XlsxMarkup, DoctypeEntitiesAreNeverExpandedAndCdataIsText) {
    auto wb = xls::openWorkbook(kDir + "doctype.xlsx");
    EXPECT_EQ(xls::cellText(wb->cell(2, 1, 1)), "&b;");
    EXPECT_EQ(xls::cellText(wb->cell(2, 1, 2)), "x]]>y<z>");
}

namespace {

std::string openError(const std::string& file) {
    try {
        xls::openWorkbook(kDir + file);
    } catch (const xls::Error& e) {
        return e.what();
    }
    return "(opened)";
}

std::string cellError(const std::string& file, int sheet) {
    auto wb = xls::openWorkbook(kDir + file);
    try {
        wb->cell(sheet, 1, 1);
    } catch (const xls::Error& e) {
        return e.what();
    }
    return "(read)";
}

}  // namespace

TEST(XlsxRefusals, EachFileIsRefusedWithItsReason) {
    EXPECT_NE(openError("encrypted.xlsx").find("パスワードで保護（暗号化）されたブックは読み込めません。"), std::string::npos);
    EXPECT_NE(openError("trunc_xlsx.xlsx").find("ファイルが途中で切れています（zip"), std::string::npos);
    EXPECT_NE(openError("missing_part.xlsx").find("ファイルが壊れています（シート「Hidden」のパーツがありません）。"),
              std::string::npos);
    EXPECT_NE(openError("no_workbook.zip").find("Excel のブックではありません（ブックのパーツがない zip"), std::string::npos);
    EXPECT_NE(openError("ods_renamed.xls").find("Excel のブックではありません（OpenDocument"), std::string::npos);
    EXPECT_NE(openError("text.xls").find("Excel のブックではありません（.xls とも .xlsx とも"), std::string::npos);
    EXPECT_NE(openError("empty.xls").find("ファイルが空です"), std::string::npos);
    EXPECT_NE(openError("no_such_file.xlsx").find("ファイルが見つかりません。"), std::string::npos);
    EXPECT_NE(openError("").find("ファイルではなくフォルダーなどです。"), std::string::npos);  // the folder itself
}

TEST(XlsxRefusals, DamagedSheetDataFailsWhenTheSheetIsRead) {
    EXPECT_NE(cellError("bad_crc.xlsx", 0).find("CRC"), std::string::npos);
    EXPECT_NE(cellError("bad_sst_index.xlsx", 2).find("シート3「"), std::string::npos);
    EXPECT_NE(cellError("bad_sst_index.xlsx", 2).find("共有文字列の番号「"), std::string::npos);
    EXPECT_NE(cellError("malformed_sheet.xlsx", 0).find("XML の形式が正しくありません"), std::string::npos);
    // The sheets that are sound still read.
    auto wb = xls::openWorkbook(kDir + "bad_sst_index.xlsx");
    EXPECT_EQ(xls::cellText(wb->cell(0, 1, 1)), "plain");
}

TEST(XlsxDispatch, TheFirstBytesChooseTheReaderNotTheName) {
    auto wb = xls::openWorkbook(kDir + "xlsx_renamed.xls");
    EXPECT_EQ(xls::cellText(wb->cell(0, 1, 1)), "項目名");
}
