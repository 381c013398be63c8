#include <gtest/gtest.h>

#include "TempDir.h"
#include "clsHash.h"

namespace {

// "key=item;key=item" in position order.
std::string dump(const clsHash& h) {
    std::string s;
    for (std::int32_t p = 1; p <= h.getCount(); ++p) {
        if (p > 1) s += ";";
        s += h.getKey2(p) + "=" + h.getItem2(p);
    }
    return s;
}

}  // namespace

TEST(HashAdd, AppendsInOrderAndReplacesInPlace) {
    clsHash h;
    EXPECT_EQ(h.getCount(), 0);
    h.Add("A", "1");
    h.Add("B", "2");
    h.Add("C", "3");
    h.Add("B", "two");
    EXPECT_EQ(h.getCount(), 3);
    EXPECT_EQ(dump(h), "A=1;B=two;C=3");
    EXPECT_EQ(h.getItem("B"), "two");
}

TEST(HashAdd, BlankRules) {
    clsHash h;
    h.Add(" ", "x");  // blank key, non-blank item: kept
    h.Add("k", "");   // the reverse: kept
    h.Add("  ", "\u3000");  // both blank (full-width space too): refused
    h.Add("", "");
    EXPECT_EQ(dump(h), " =x;k=");
    EXPECT_TRUE(h.Exists(" "));
    EXPECT_FALSE(h.Exists("  "));
}

TEST(HashAdd, AddKeyEmptiesAnExistingItem) {
    clsHash h;
    h.Add("A", "1");
    h.AddKey("A");
    h.AddKey("B");
    h.AddKey(" ");
    EXPECT_EQ(dump(h), "A=;B=");
}

TEST(HashAdd, AddItemGeneratesKeys) {
    clsHash h;
    h.AddItem("x");
    h.AddItem("y");
    h.AddItem("   ");
    EXPECT_EQ(dump(h), "1=x;2=y");

    // With keys "2" and "3" only, the entry "3" goes and the new item takes key "2" again.
    clsHash g;
    g.Add("2", "b");
    g.Add("3", "c");
    g.AddItem("new");
    EXPECT_EQ(dump(g), "2=b;2=new");
    EXPECT_EQ(g.getItem("2"), "b");
}

TEST(HashLookup, ExactCaseSensitiveFirstMatch) {
    clsHash h;
    h.Add("Text", "テキスト");
    h.Add("Date", "テキスト");
    EXPECT_TRUE(h.Exists("Text"));
    EXPECT_FALSE(h.Exists("text"));
    EXPECT_FALSE(h.Exists("Text "));
    EXPECT_EQ(h.getItem("TEXT"), "");
    EXPECT_EQ(h.getKey("テキスト"), "Text");
    EXPECT_EQ(h.getKey("nothing"), "");
    EXPECT_EQ(h.getKey2(0), "");
    EXPECT_EQ(h.getKey2(3), "");
    EXPECT_EQ(h.getKey2(-1), "");
    EXPECT_EQ(h.getItem2(2), "テキスト");
    EXPECT_EQ(h.getItem2(3), "");
}

TEST(HashRemove, ClosesTheGap) {
    clsHash h;
    for (const char* k : {"a", "b", "c", "d", "e"}) h.Add(k, std::string(k) + k);
    h.Remove("a");
    EXPECT_EQ(dump(h), "b=bb;c=cc;d=dd;e=ee");
    h.Remove("c");
    EXPECT_EQ(dump(h), "b=bb;d=dd;e=ee");
    h.Remove("e");
    EXPECT_EQ(dump(h), "b=bb;d=dd");
    h.Remove("zz");
    EXPECT_EQ(h.getCount(), 2);
    h.RemoveAll();
    EXPECT_EQ(h.getCount(), 0);
    EXPECT_EQ(h.getItem("b"), "");
    h.Add("x", "1");
    EXPECT_EQ(dump(h), "x=1");
}

TEST(HashSplit, PiecesAndEmptyPieces) {
    clsHash h;
    h.Split(",", "a,b,,c");
    EXPECT_EQ(dump(h), "1=a;2=b;3=;4=c");
    EXPECT_EQ(h.GetAllKeys(","), "1,2,3,4");
    EXPECT_EQ(h.GetAllItems("|"), "a|b||c");
    h.Split(",", ",a");
    EXPECT_EQ(dump(h), "1=;2=a");
    h.Split(",", "a,");
    EXPECT_EQ(dump(h), "1=a");
    h.Split(",", " a b ");
    EXPECT_EQ(dump(h), "1= a b ");
    h.Split("", "a,b");
    EXPECT_EQ(dump(h), "1=a,b");
    h.Split(",", "");
    EXPECT_EQ(h.getCount(), 0);
    h.Add("keep", "me");
    h.Split(",", " \u3000 ");
    EXPECT_EQ(h.getCount(), 0);  // always emptied first
}

TEST(HashSplit, SeparatorIgnoresLetterCaseAndIsDroppedWhole) {
    clsHash h;
    h.Split("x", "1X2x3");
    EXPECT_EQ(dump(h), "1=1;2=2;3=3");
    h.Split("::", "a::b::::c");
    EXPECT_EQ(dump(h), "1=a;2=b;3=;4=c");
    h.Split("AND", "x and y AND z");
    EXPECT_EQ(h.GetAllItems("|"), "x | y | z");
    h.Split("、", "テキスト、日付");
    EXPECT_EQ(dump(h), "1=テキスト;2=日付");
}

TEST(HashJoin, EmptyCollectionGivesEmptyText) {
    clsHash h;
    EXPECT_EQ(h.GetAllItems(","), "");
    EXPECT_EQ(h.GetAllKeys(", "), "");
    h.Add("only", "one");
    EXPECT_EQ(h.GetAllKeys(", "), "only");
}

TEST(HashSave, WritesTagLinesInCp932) {
    TempDir dir;
    clsHash h;
    h.Add("A", "1");
    h.Add("B", "x");
    h.Add("Text", "テキスト");
    h.Add("Raw", "a<b>&\"c\",d");
    ASSERT_TRUE(h.fnSaveFileAsXml(dir.file("t.edf")));
    EXPECT_EQ(readBytes(dir.file("t.edf")),
              "<A>1</A>\r\n<B>x</B>\r\n<Text>\x83\x65\x83\x4C\x83\x58\x83\x67</Text>\r\n"
              "<Raw>a<b>&\"c\",d</Raw>\r\n");
    EXPECT_EQ(h.getErrNo(), 0);
    EXPECT_EQ(h.getErrMsg(), "");

    clsHash empty;
    ASSERT_TRUE(empty.fnSaveFileAsXml(dir.file("e.edf")));
    EXPECT_EQ(readBytes(dir.file("e.edf")), "");
}

TEST(HashSave, FailuresAreRecordedNotThrown) {
    TempDir dir;
    clsHash h;
    h.Add("A", "1");
    EXPECT_FALSE(h.fnSaveFileAsXml(dir.file("missing/x.edf")));
    EXPECT_EQ(h.getErrNo(), 76);
    EXPECT_NE(h.getErrMsg(), "");
    EXPECT_EQ(h.getErrReason(), "ファイルまたはフォルダが見つかりません");
    // A later success clears the record.
    EXPECT_TRUE(h.fnSaveFileAsXml(dir.file("x.edf")));
    EXPECT_EQ(h.getErrNo(), 0);
    EXPECT_EQ(h.getErrMsg(), "");
    EXPECT_EQ(h.getErrReason(), "");

    // A character CP932 cannot hold fails the save and keeps the old file.
    writeBytes(dir.file("old.afa"), "<Text>old</Text>\r\n");
    h.Add("Text", "\U00020BB7");
    EXPECT_FALSE(h.fnSaveFileAsXml(dir.file("old.afa")));
    EXPECT_EQ(h.getErrNo(), 5);
    EXPECT_NE(h.getErrMsg().find("U+20BB7"), std::string::npos);
    EXPECT_EQ(h.getErrReason(), h.getErrMsg());
    EXPECT_EQ(readBytes(dir.file("old.afa")), "<Text>old</Text>\r\n");
    EXPECT_EQ(h.getCount(), 2);  // entries untouched
}
