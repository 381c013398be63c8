// Refusal reasons: where a failure is named, and files the system will not let us read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    // As every error the user reads: a number and the subject, caught without knowing the reader.
    const base::UserError& user = named;
    EXPECT_EQ(user.number(), base::errWorkbookDamaged);
    EXPECT_EQ(user.subject().file, "/data/a.xlsx");
    EXPECT_EQ(user.subject().sheet, "シート2「売上」");
    EXPECT_EQ(Error(Error::Kind::NotFound).inFile("/x.xls").number(), base::errWorkbookNotFound);

    // Wrapping again further up must not rename what was already named.
    const Error again = named.inSheet(5, "別").inFile("/other.xls");
    EXPECT_EQ(again.sheet(), "シート2「売上」");
    EXPECT_EQ(again.path(), "/data/a.xlsx");
    EXPECT_STREQ(again.what(), named.what());

    // Without a detail there are no empty parentheses.
    EXPECT_EQ(Error(Error::Kind::NotFound).reason(), "ファイルが見つかりません。");
}

namespace {

// The reason openWorkbook gives for the path; empty when it opened.
std::string openReason(const std::string& path, Error::Kind* kind = nullptr) {
    try {
        xls::openWorkbook(path);
    } catch (const Error& e) {
        if (kind) *kind = e.kind();
        return e.reason();
    }
    return std::string();
}

// A write-only attribute of the kernel's file system: not even the superuser may read it.
#ifndef _WIN32  // POSIX permissions and the kernel's file systems
std::string unreadableSystemFile() {
    for (const char* candidate : {"/sys/bus/pci/rescan", "/sys/kernel/uevent_helper", "/sys/power/wakeup_count"}) {
        struct stat st {};
        if (::stat(candidate, &st) != 0 || !S_ISREG(st.st_mode)) continue;
        std::ifstream in(candidate);
        if (!in && (errno == EACCES || errno == EPERM)) return candidate;
    }
    return std::string();
}
#endif

}  // namespace

#ifndef _WIN32  // POSIX permissions
TEST(ErrorPlace, AFileWeMayNotReadIsRefusedAsSuch) {
    std::string path = ::testing::TempDir() + "xlsdb_locked.xls";
    if (::geteuid() == 0) {
        path = unreadableSystemFile();
        if (path.empty()) GTEST_SKIP() << "the superuser reads every file here";
    } else {
        { std::ofstream(path) << "whatever"; }
        ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    }
    try {
        xls::openWorkbook(path);
        ADD_FAILURE() << "a file without read permission was opened";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), Error::Kind::CannotOpen) << e.what();
        EXPECT_EQ(e.reason(), "ファイルを開けません（読み取りの権限がありません）。");
    }
    if (::geteuid() != 0) std::remove(path.c_str());
}
#endif

TEST(ErrorPlace, WhatTheSystemRefusesIsExplainedInJapanese) {
    const std::string dir = ::testing::TempDir();
    Error::Kind kind{};
    EXPECT_EQ(openReason(dir + "xlsdb_no_such_folder/a.xls", &kind), "ファイルが見つかりません。");
    EXPECT_EQ(kind, Error::Kind::NotFound);

    const std::string plain = dir + "xlsdb_plain.txt";
    { std::ofstream(plain) << "x"; }
    EXPECT_EQ(openReason(plain + "/a.xls", &kind), "ファイルが見つかりません。");  // a file where a folder should be
    EXPECT_EQ(kind, Error::Kind::NotFound);

#ifndef _WIN32
    const std::string loop = dir + "xlsdb_loop.xls";
    std::remove(loop.c_str());
    ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
    EXPECT_EQ(openReason(loop, &kind), "ファイルを開けません（シンボリックリンクが多すぎるか、循環しています）。");
    EXPECT_EQ(kind, Error::Kind::CannotOpen);
#endif

#ifndef _WIN32  // Windows says "not found" of a name longer than it takes
    EXPECT_EQ(openReason(dir + std::string(300, 'a') + ".xls", &kind), "ファイルを開けません（ファイル名またはパスが長すぎます）。");
    EXPECT_EQ(kind, Error::Kind::CannotOpen);
#endif

    // Rare values keep the system's text, with the number; nothing is left unexplained.
    EXPECT_EQ(xls::systemReason(EXDEV).rfind("システムエラー（errno " + std::to_string(EXDEV) + ": ", 0), 0u);
    EXPECT_EQ(Error(Error::Kind::CannotOpen, xls::systemReason(0)).reason(), "ファイルを開けません。");
#ifndef _WIN32
    std::remove(loop.c_str());
#endif
    std::remove(plain.c_str());
}
