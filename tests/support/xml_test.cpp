#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "TempDir.h"
#include "clsHash.h"
#include "clsXML.h"

namespace {

// Reads raw file bytes with a fresh reader.
clsXML readerOf(const TempDir& dir, const std::string& strBytes) {
    const std::string p = dir.file("in.txt");
    writeBytes(p, strBytes);
    clsXML x;
    EXPECT_TRUE(x.fnReadFile(p)) << x.getErrMsg();
    return x;
}

}  // namespace

TEST(TagFile, WrittenAndReadBack) {
    TempDir dir;
    clsHash h;
    h.Add("A", "1");
    h.Add("B", "x");
    ASSERT_TRUE(h.fnSaveFileAsXml(dir.file("t.txt")));
    EXPECT_EQ(readBytes(dir.file("t.txt")), "<A>1</A>\r\n<B>x</B>\r\n");
    clsXML x;
    ASSERT_TRUE(x.fnReadFile(dir.file("t.txt")));
    EXPECT_EQ(x.fnTagData("<A>", "</A>"), "1");
    EXPECT_EQ(x.fnTagData("<B>", "</B>"), "x");
    EXPECT_EQ(x.fnTagData("<C>", "</C>"), "");
    EXPECT_EQ(x.fnTagData("<A>", "</A>"), "1");  // asked again
}

TEST(TagFile, CommasAndJapaneseSurvive) {
    TempDir dir;
    clsHash h;
    h.Add("Text", "a,b");
    h.Add("Date", "日付,時刻, ");
    h.Add("Q", "\"quoted\"");
    ASSERT_TRUE(h.fnSaveFileAsXml(dir.file("t.txt")));
    clsXML x;
    ASSERT_TRUE(x.fnReadFile(dir.file("t.txt")));
    EXPECT_EQ(x.fnTagData("<Text>", "</Text>"), "a,b");
    EXPECT_EQ(x.fnTagData("<Date>", "</Date>"), "日付,時刻, ");
    EXPECT_EQ(x.fnTagData("<Q>", "</Q>"), "\"quoted\"");
}

TEST(TagFile, HandEditedFiles) {
    TempDir dir;
    const clsXML x = readerOf(dir,
                              "just a comment\r\n"
                              "\r\n"
                              "  before <startsheetno>7</STARTSHEETNO> after\r\n"
                              "<Dup>first</Dup>\r\n"
                              "<Dup>second</Dup>\n"
                              "<Split>one\r\n"
                              "two\r\n"
                              "three</Split>\r\n"
                              "<Last>no line end</Last>");
    EXPECT_EQ(x.fnTagData("<StartSheetNo>", "</StartSheetNo>"), "7");
    EXPECT_EQ(x.fnTagData("<dup>", "</dup>"), "first");
    EXPECT_EQ(x.fnTagData("<Split>", "</Split>"), "onetwothree");
    EXPECT_EQ(x.fnTagData("<Last>", "</Last>"), "no line end");
    EXPECT_EQ(x.fnTagData("<comment>", "</comment>"), "");
}

TEST(TagFile, UnclosedValuesAreEmpty) {
    TempDir dir;
    EXPECT_EQ(readerOf(dir, "<A>1\r\n<B>2</B>\r\n").fnTagData("<A>", "</A>"), "");
    EXPECT_EQ(readerOf(dir, "<B>2</B>\r\n<A>1").fnTagData("<A>", "</A>"), "");
    // A second start tag while a value is open starts the value again.
    EXPECT_EQ(readerOf(dir, "<A>lost\r\n<A>kept\r\nmore</A>\r\n").fnTagData("<A>", "</A>"),
              "keptmore");
    // An end tag before the start tag closes nothing.
    EXPECT_EQ(readerOf(dir, "</A>x<A>\r\n").fnTagData("<A>", "</A>"), "");
    EXPECT_EQ(readerOf(dir, "</A>x<A>y</A>\r\n").fnTagData("<A>", "</A>"), "y");
    EXPECT_EQ(readerOf(dir, "<A></A>\r\n").fnTagData("<A>", "</A>"), "");
}

TEST(TagFile, EmptyFileAndNoRead) {
    TempDir dir;
    clsXML fresh;
    EXPECT_EQ(fresh.fnTagData("<A>", "</A>"), "");
    EXPECT_EQ(readerOf(dir, "").fnTagData("<A>", "</A>"), "");
}

TEST(TagFile, ReadFailuresGiveFalseAndForgetEarlierLines) {
    TempDir dir;
    writeBytes(dir.file("ok.txt"), "<A>1</A>\r\n");
    clsXML x;
    ASSERT_TRUE(x.fnReadFile(dir.file("ok.txt")));
    EXPECT_FALSE(x.fnReadFile(dir.file("missing.txt")));
    EXPECT_EQ(x.getErrNo(), 53);
    EXPECT_EQ(x.getErrReason(), "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(x.fnTagData("<A>", "</A>"), "");

    writeBytes(dir.file("bad.txt"), "<A>1</A>\r\n<B>\x81</B>\r\n");
    EXPECT_FALSE(x.fnReadFile(dir.file("bad.txt")));
    EXPECT_NE(x.getErrMsg(), "");
    EXPECT_EQ(x.fnTagData("<A>", "</A>"), "");
    EXPECT_FALSE(x.fnReadFile(dir.path().string()));

    // A huge file is not a tag file (sparse, so the test stays small on disk).
    writeBytes(dir.file("huge.txt"), "<A>1</A>\r\n");
    std::filesystem::resize_file(dir.file("huge.txt"), 17u * 1024 * 1024);
    EXPECT_FALSE(x.fnReadFile(dir.file("huge.txt")));
    EXPECT_EQ(x.getErrMsg(), "ファイルが大きすぎるため読み込めません: " + dir.file("huge.txt"));
    EXPECT_EQ(x.getErrReason(), "ファイルが大きすぎるため読み込めません");

#ifndef _WIN32
    // A pipe nobody writes to, or a device without end, is refused instead of read.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(x.fnReadFile(dir.file("fifo")));
    EXPECT_EQ(x.getErrNo(), 75);
    EXPECT_EQ(x.getErrReason(), "通常のファイルではないため読み込めません");
    EXPECT_FALSE(x.fnReadFile("/dev/zero"));
#endif
    // A good read forgets the reason.
    ASSERT_TRUE(x.fnReadFile(dir.file("ok.txt")));
    EXPECT_EQ(x.getErrReason(), "");
}
