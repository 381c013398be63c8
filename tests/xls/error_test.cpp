// Refusal reasons: where a failure is named, and files the system will not let us read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "workbook.h"

using xls::Error;

TEST(ErrorPlace, TheInnermostFileAndSheetAreKept) {
    // A part's parser knows neither; the sheet reader adds the sheet, the file reader the path.
    const Error inner(Error::Kind::Damaged, "xl/worksheets/sheet1.xml: セル参照「A0」が正しくありません");
    const Error named = inner.inSheet(1, "売上").inFile("/data/a.xlsx");
    EXPECT_EQ(named.kind(), Error::Kind::Damaged);
    EXPECT_EQ(named.sheet(), "シート2「売上」");
    EXPECT_EQ(named.path(), "/data/a.xlsx");
    EXPECT_EQ(named.reason(), "ファイルが壊れています（xl/worksheets/sheet1.xml: セル参照「A0」が正しくありません）。");
    EXPECT_EQ(std::string(named.what()), "/data/a.xlsx: シート2「売上」: " + named.reason());

    // Wrapping again further up must not rename what was already named.
    const Error again = named.inSheet(5, "別").inFile("/other.xls");
    EXPECT_EQ(again.sheet(), "シート2「売上」");
    EXPECT_EQ(again.path(), "/data/a.xlsx");
    EXPECT_STREQ(again.what(), named.what());

    // Without a detail there are no empty parentheses.
    EXPECT_EQ(Error(Error::Kind::NotFound).reason(), "ファイルが見つかりません。");
}

TEST(ErrorPlace, AFileWeMayNotReadIsRefusedAsSuch) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
    const std::string path = ::testing::TempDir() + "xlsdb_locked.xls";
    { std::ofstream(path) << "whatever"; }
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    try {
        xls::openWorkbook(path);
        ADD_FAILURE() << "a file without read permission was opened";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), Error::Kind::CannotOpen) << e.what();
        EXPECT_EQ(e.reason(), "ファイルを開けません（読み取りの権限がありません）。");
    }
    std::remove(path.c_str());
}
