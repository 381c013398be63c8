// Workbook access: opening, sheet positions, cell bounds and cell text.
#include <gtest/gtest.h>

#include <stdexcept>

#include "clsExcel.h"

namespace {
const std::string kData = std::string(XLSDB_TEST_DATA);
const std::string kEdge = kData + "/reading/edge_cases.xlsx";
const std::string kHand = kData + "/xlsx/hand_edge.xlsx";
}  // namespace

TEST(ExcelOpen, OnlyAReadableWorkbookFileOpens) {
    clsExcel x;
    EXPECT_FALSE(x.fnOpenBook(""));
    EXPECT_FALSE(x.fnOpenBook("   "));
    EXPECT_EQ(x.getBookPath(), "   ");  // kept as given, before any check
    EXPECT_EQ(x.getLastError(), "ブックのファイル名が指定されていません。");
    // The reasons leave the path to the caller, who shows it beside them.
    EXPECT_FALSE(x.fnOpenBook(kData + "/reading/no_such.xlsx"));
    EXPECT_EQ(x.getLastError(), "ファイルが見つかりません。");
    EXPECT_FALSE(x.fnOpenBook(kData + "/reading"));  // a folder
    EXPECT_EQ(x.getLastError(), "ファイルではなくフォルダーなどです。");
    EXPECT_FALSE(x.fnOpenBook(kData + "/xlsx/text.xls"));
    EXPECT_EQ(x.getLastError().rfind("Excel のブックではありません（", 0), 0u) << x.getLastError();
    EXPECT_FALSE(x.fnOpenBook(kData + "/xlsx/encrypted.xlsx"));
    EXPECT_EQ(x.getLastError().rfind("パスワードで保護（暗号化）されたブックは読み込めません。", 0), 0u) << x.getLastError();
    EXPECT_EQ(x.getLastError().find("encrypted.xlsx"), std::string::npos);
    EXPECT_EQ(x.getSheetCount(), 0);

    EXPECT_TRUE(x.fnOpenBook(kEdge));
    EXPECT_EQ(x.getLastError(), "");
    EXPECT_EQ(x.getSheetCount(), 8);  // seven worksheets and a chart sheet
    x.CloseBook();
    EXPECT_EQ(x.getSheetCount(), 8);  // kept after closing
    EXPECT_FALSE(x.fnOpenSheet(1));   // but no sheet can be made current
}

TEST(ExcelSheets, PositionsOutsideTheWorkbookAreRefused) {
    clsExcel x;
    ASSERT_TRUE(x.fnOpenBook(kEdge));
    EXPECT_FALSE(x.fnOpenSheet(0));
    EXPECT_FALSE(x.fnOpenSheet(-1));
    EXPECT_FALSE(x.fnOpenSheet(9));
    EXPECT_EQ(x.SheetName(), "");
    EXPECT_TRUE(x.fnOpenSheet(8));
    EXPECT_EQ(x.SheetName(), "グラフ");
    EXPECT_EQ(x.Cells(3, 3), "");  // a chart sheet has no cells
    EXPECT_TRUE(x.fnOpenSheet(1));
    EXPECT_EQ(x.SheetName(), "Main");
    x.CloseSheet();
    EXPECT_EQ(x.SheetName(), "");
    EXPECT_THROW(x.Cells(1, 1), std::logic_error);
}

TEST(ExcelCells, BoundsAndText) {
    clsExcel x;
    ASSERT_TRUE(x.fnOpenBook(kHand));
    ASSERT_TRUE(x.fnOpenSheet(1));
    EXPECT_EQ(x.Cells(999, 99), "corner");
    EXPECT_EQ(x.Cells(1000, 1), "");
    EXPECT_EQ(x.Cells(1, 100), "");
    EXPECT_EQ(x.Cells(1048576, 16384), "");  // XFD1048576 holds 1, but lies beyond the bounds
    EXPECT_EQ(x.Cells(1, 5), "  sp  ");      // spaces kept
    EXPECT_EQ(x.Cells(3, 1), "10");
    EXPECT_EQ(x.Cells(3, 6), "10");          // "00000" format: the stored value counts
    EXPECT_EQ(x.Cells(4, 1), "True");
    EXPECT_EQ(x.Cells(7, 1), "");            // formatted, but empty
    EXPECT_EQ(x.Cells(50, 50), "");
    ASSERT_TRUE(x.fnOpenSheet(3));
    EXPECT_EQ(x.Cells(1, 1), "first sheet file, third tab");
}

TEST(ExcelCells, ErrorValuesAndPositionsBelowOneFailNamingSheetAndCell) {
    clsExcel x;
    ASSERT_TRUE(x.fnOpenBook(kHand));
    ASSERT_TRUE(x.fnOpenSheet(1));
    try {
        x.Cells(4, 3);
        FAIL() << "an error value has no text";
    } catch (const clsExcelReadError& e) {
        EXPECT_EQ(e.getSheetNo(), 1);
        EXPECT_EQ(e.getSheetName(), "二番目");
        EXPECT_EQ(e.getRow(), 4);
        EXPECT_EQ(e.getCol(), 3);
        const std::string what = e.what();
        EXPECT_NE(what.find("C4"), std::string::npos) << what;
        EXPECT_NE(what.find("二番目"), std::string::npos) << what;
        EXPECT_NE(what.find("#DIV/0!"), std::string::npos) << what;
    }
    try {
        x.Cells(0, 5);
        FAIL() << "row 0 does not exist";
    } catch (const clsExcelReadError& e) {
        EXPECT_EQ(e.getRow(), 0);
        EXPECT_EQ(e.getCol(), 5);
        EXPECT_NE(std::string(e.what()).find("二番目"), std::string::npos);
    }
    EXPECT_THROW(x.Cells(5, -3), clsExcelReadError);
    // The workbook stays usable after such a failure.
    EXPECT_EQ(x.Cells(1, 1), "plain");
}

TEST(ExcelCells, DamagedSheetDataFailsNamingTheSheet) {
    clsExcel x;
    ASSERT_TRUE(x.fnOpenBook(kData + "/xlsx/bad_crc.xlsx"));
    ASSERT_TRUE(x.fnOpenSheet(1));
    // Past row 999 or column 99 the sheet is not looked at, so its damage does not show; the
    // bounds come before the check for positions below 1.
    EXPECT_EQ(x.Cells(1000, 1), "");
    EXPECT_EQ(x.Cells(1, 100), "");
    EXPECT_EQ(x.Cells(0, 100), "");
    EXPECT_EQ(x.Cells(1000, -5), "");
    try {
        x.Cells(1, 1);
        FAIL() << "the sheet's data is damaged";
    } catch (const clsExcelReadError& e) {
        EXPECT_EQ(e.getSheetNo(), 1);
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("シート1「二番目」を読み込めません。ファイルが壊れています（", 0), 0u) << what;
        EXPECT_NE(what.find("CRC"), std::string::npos) << what;
        EXPECT_EQ(what.find("bad_crc.xlsx"), std::string::npos) << what;  // the caller names the file
    }
}
