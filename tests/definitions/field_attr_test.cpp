#include <gtest/gtest.h>

#include <vector>

#include "ExampleDefinitions.h"
#include "TempDir.h"
#include "clsAccessFieldAttr.h"
#include "Cp932.h"
#include "clsXML.h"

namespace {

using V = std::vector<std::string>;

V notationsOf(const clsAccessFieldAttr& a) {
    return {a.getText(), a.getAutoNumber(), a.getDate(),   a.getInteger(),
            a.getLong(), a.getSingle(),     a.getDouble(), a.getCurrency()};
}

const V kDefaults{"Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency"};

const std::string kData = XLSDB_TEST_DATA;

}  // namespace

TEST(TypeNotationMap, DefaultsAndOrder) {
    EXPECT_EQ(notationsOf(clsAccessFieldAttr()), kDefaults);
    for (int i = 0; i < kAccessFieldTypeCount; ++i) {
        EXPECT_EQ(accessFieldTypeName(accessFieldTypeAt(i)), kDefaults[i]);
        EXPECT_EQ(clsAccessFieldAttr().get(accessFieldTypeAt(i)), kDefaults[i]);
    }
    // Yes/No and Memo follow the eight, unused (empty) until given.
    EXPECT_EQ(accessFieldTypeName(accessFieldTypeAt(8)), std::string("YesNo"));
    EXPECT_EQ(accessFieldTypeName(accessFieldTypeAt(9)), std::string("Memo"));
    EXPECT_EQ(clsAccessFieldAttr().getYesNo(), "");
    EXPECT_EQ(clsAccessFieldAttr().getMemo(), "");
    EXPECT_THROW(accessFieldTypeAt(10), std::out_of_range);
}

TEST(TypeNotationMap, StoresNotationsUnchanged) {
    clsAccessFieldAttr a;
    a.setText(" 文字列");
    a.setInteger("数値");
    a.setLong("数値");
    a.setSingle("");
    a.set(AccessFieldType::Currency, "ＣＵＲ ");
    EXPECT_EQ(notationsOf(a), (V{" 文字列", "AutoNumber", "Date", "数値", "数値", "", "Double", "ＣＵＲ "}));
}

TEST(TypeNotationFile, DefaultMapBytes) {
    TempDir dir;
    ASSERT_TRUE(fnSaveAttrFile(clsAccessFieldAttr(), dir.file("a.afa")));
    EXPECT_EQ(readBytes(dir.file("a.afa")),
              "<Text>Text</Text>\r\n"
              "<AutoNumber>AutoNumber</AutoNumber>\r\n"
              "<Date>Date</Date>\r\n"
              "<Integer>Integer</Integer>\r\n"
              "<Long>Long</Long>\r\n"
              "<Single>Single</Single>\r\n"
              "<Double>Double</Double>\r\n"
              "<Currency>Currency</Currency>\r\n");
}

TEST(TypeNotationFile, EmptyNotationKeepsItsLine) {
    TempDir dir;
    clsAccessFieldAttr a;
    a.setSingle("");
    ASSERT_TRUE(fnSaveAttrFile(a, dir.file("a.afa")));
    const V lines = readCp932Lines(dir.file("a.afa"));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5], "<Single></Single>");
    clsAccessFieldAttr r;
    ASSERT_TRUE(fnReadAttrFile(dir.file("a.afa"), r));
    EXPECT_EQ(r.getSingle(), "");
}

TEST(TypeNotationFile, JapaneseNotationsMatchTheSampleAndReadBack) {
    TempDir dir;
    ASSERT_TRUE(fnSaveAttrFile(exampleJapaneseNotations(), dir.file("ja.afa")));
    EXPECT_EQ(readBytes(dir.file("ja.afa")), readBytes(kData + "/definitions/hr_design_ja.afa"));
    clsAccessFieldAttr r;
    ASSERT_TRUE(fnReadAttrFile(dir.file("ja.afa"), r));
    EXPECT_EQ(notationsOf(r), notationsOf(exampleJapaneseNotations()));
    EXPECT_EQ(r.getDate(), "日付/時刻");
}

TEST(TypeNotationFile, CommasAndSpacesSurvive) {
    TempDir dir;
    clsAccessFieldAttr a;
    a.setText("a,b");
    a.setDate(" 日付, 時刻 ");
    a.setCurrency("\"通貨\"");
    ASSERT_TRUE(fnSaveAttrFile(a, dir.file("a.afa")));
    clsAccessFieldAttr r;
    ASSERT_TRUE(fnReadAttrFile(dir.file("a.afa"), r));
    EXPECT_EQ(notationsOf(r), notationsOf(a));
}

TEST(TypeNotationFile, HandEditedFile) {
    TempDir dir;
    // Other order, other letter case, a duplicate, a missing Date, text around tags.
    writeBytes(dir.file("h.afa"),
               "<Currency>\x92\xCA\x89\xDD</Currency>\r\n"  // 通貨
               "<double>D</DOUBLE>\r\n"
               "<Single>S</Single>\r\n"
               "x <Long>L</Long> y\r\n"
               "<Integer>I</Integer>\r\n"
               "<Integer>second</Integer>\r\n"
               "<AutoNumber>A</AutoNumber>\r\n"
               "<Text>T</Text>\r\n");
    clsAccessFieldAttr r;
    ASSERT_TRUE(fnReadAttrFile(dir.file("h.afa"), r));
    EXPECT_EQ(notationsOf(r), (V{"T", "A", "", "I", "L", "S", "D", "通貨"}));
}

TEST(TypeNotationFile, ReaderAndMapAreSeparateSteps) {
    TempDir dir;
    writeBytes(dir.file("x.afa"), "<Text>T</Text>\r\n");
    clsXML x;
    ASSERT_TRUE(x.fnReadFile(dir.file("x.afa")));
    clsAccessFieldAttr a;
    sbReadAttrFile(x, a);
    EXPECT_EQ(notationsOf(a), (V{"T", "", "", "", "", "", "", ""}));
}

TEST(TypeNotationFile, FailedReadLeavesTheMap) {
    TempDir dir;
    clsAccessFieldAttr a = exampleJapaneseNotations();
    std::string strErr;
    EXPECT_FALSE(fnReadAttrFile(dir.file("none.afa"), a, &strErr));
    EXPECT_NE(strErr, "");
    writeBytes(dir.file("utf8.afa"), "<Text>\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88</Text>\r\n");
    EXPECT_FALSE(fnReadAttrFile(dir.file("utf8.afa"), a));
    EXPECT_EQ(notationsOf(a), notationsOf(exampleJapaneseNotations()));
}

TEST(TypeNotationFile, UnrepresentableNotationIsNotWritten) {
    TempDir dir;
    ASSERT_TRUE(fnSaveAttrFile(clsAccessFieldAttr(), dir.file("a.afa")));
    const std::string strOld = readBytes(dir.file("a.afa"));
    clsAccessFieldAttr a;
    a.setLong("\U00020BB7整数");
    std::string strErr;
    EXPECT_FALSE(fnSaveAttrFile(a, dir.file("a.afa"), &strErr));
    EXPECT_NE(strErr.find("U+20BB7"), std::string::npos) << strErr;
    EXPECT_EQ(readBytes(dir.file("a.afa")), strOld);
    EXPECT_FALSE(fnSaveAttrFile(a, dir.file("missing/a.afa"), &strErr));
    // A wave dash would be written as the code of the full-width tilde and read back
    // as that: refused too, so what is saved is always what comes back.
    a.setLong("0〜9");
    EXPECT_FALSE(fnSaveAttrFile(a, dir.file("a.afa"), &strErr));
    EXPECT_NE(strErr.find("U+301C"), std::string::npos) << strErr;
    EXPECT_EQ(readBytes(dir.file("a.afa")), strOld);
    a.setLong("0～9");
    ASSERT_TRUE(fnSaveAttrFile(a, dir.file("a.afa")));
    clsAccessFieldAttr r;
    ASSERT_TRUE(fnReadAttrFile(dir.file("a.afa"), r));
    EXPECT_EQ(r.getLong(), "0～9");
}

TEST(Examples, FilesAreWhatTheCodeWrites) {
    const std::string strExamples = XLSDB_EXAMPLES_DIR;
    TempDir dir;
    ASSERT_TRUE(fnSaveDBDefFile(exampleDefaultLayout(), dir.file("1")));
    ASSERT_TRUE(fnSaveDBDefFile(exampleLayoutWithCover(), dir.file("2")));
    ASSERT_TRUE(fnSaveAttrFile(exampleJapaneseNotations(), dir.file("3")));
    EXPECT_EQ(readBytes(strExamples + "/" + kExampleDefaultLayoutFile), readBytes(dir.file("1")));
    EXPECT_EQ(readBytes(strExamples + "/" + kExampleLayoutWithCoverFile), readBytes(dir.file("2")));
    EXPECT_EQ(readBytes(strExamples + "/" + kExampleJapaneseNotationsFile), readBytes(dir.file("3")));
    clsExcelDBDocInfo d;
    ASSERT_TRUE(d.fnReadFile(strExamples + "/" + kExampleLayoutWithCoverFile));
    EXPECT_EQ(d.getStartPage(), 3);
    EXPECT_EQ(d.getEndPage(), 6);
}

TEST(TypeNotationFile, FailureIsToldInParts) {
    TempDir dir;
    const std::string strFolder = dir.file("型（旧）『控え』");
    std::filesystem::create_directory(strFolder);
    clsAccessFieldAttr a = exampleJapaneseNotations();
    DefFileFailure objFailure;

    const std::string strMissing = strFolder + "/none』.afa";
    EXPECT_FALSE(fnReadAttrFile(strMissing, a, nullptr, &objFailure));
    EXPECT_EQ(objFailure.strPath, strMissing);
    EXPECT_EQ(objFailure.strReason, "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(objFailure.lngErrNo, 53);

    const std::string strUtf8 = strFolder + "/utf8（1）.afa";
    writeBytes(strUtf8, "<Text>\xE3\x83\x86</Text>\r\n");
    EXPECT_FALSE(fnReadAttrFile(strUtf8, a, nullptr, &objFailure));
    EXPECT_EQ(objFailure.strPath, strUtf8);
    EXPECT_EQ(objFailure.strReason.rfind("CP932 として読めないバイトがあります（位置 ", 0), 0u) << objFailure.strReason;
    EXPECT_EQ(objFailure.lngErrNo, 5);
    EXPECT_EQ(notationsOf(a), notationsOf(exampleJapaneseNotations()));

    clsAccessFieldAttr w;
    w.setLong("\U00020BB7整数");
    EXPECT_FALSE(fnSaveAttrFile(w, strFolder + "/w.afa", nullptr, &objFailure));
    EXPECT_EQ(objFailure.strPath, strFolder + "/w.afa");
    EXPECT_NE(objFailure.strReason.find("U+20BB7"), std::string::npos) << objFailure.strReason;
    EXPECT_EQ(objFailure.strReason.find(strFolder), std::string::npos) << objFailure.strReason;
    EXPECT_EQ(objFailure.lngErrNo, 5);

    ASSERT_TRUE(fnSaveAttrFile(a, strFolder + "/a.afa", nullptr, &objFailure));
    EXPECT_EQ(objFailure.strReason, "");
    ASSERT_TRUE(fnReadAttrFile(strFolder + "/a.afa", a, nullptr, &objFailure));
    EXPECT_EQ(objFailure.strPath, "");
}

// Yes/No, Memo, more words per type and the two switches are written after the eight lines, only
// when in use, and read back; a file without them (every file written before) turns them off.
TEST(TypeNotationFile, OptionalLinesRoundTripAndOldFilesTurnThemOff) {
    TempDir dir;
    clsAccessFieldAttr a;
    a.setYesNo("真偽");
    a.setMoreWords(AccessFieldType::Text, "varchar|character varying");
    a.setMoreWords(AccessFieldType::Memo, "clob");
    a.setDictionary(true);
    a.setSizeInType(true);
    EXPECT_FALSE(a.isClassic());
    ASSERT_TRUE(fnSaveAttrFile(a, dir.file("x.afa")));
    const std::string text = cp932ToUtf8(readBytes(dir.file("x.afa")));
    EXPECT_NE(text.find("<Currency>Currency</Currency>\r\n<YesNo>真偽</YesNo>\r\n<TextWords>varchar|character varying"
                        "</TextWords>\r\n<MemoWords>clob</MemoWords>\r\n<Dictionary>1</Dictionary>\r\n"
                        "<SizeInType>1</SizeInType>\r\n"),
              std::string::npos)
        << text;
    clsAccessFieldAttr b;
    ASSERT_TRUE(fnReadAttrFile(dir.file("x.afa"), b));
    EXPECT_EQ(notationsOf(b), kDefaults);
    EXPECT_EQ(b.getYesNo(), "真偽");
    EXPECT_EQ(b.getMemo(), "");
    EXPECT_EQ(b.getMoreWords(AccessFieldType::Text), "varchar|character varying");
    EXPECT_TRUE(b.getDictionary() && b.getSizeInType());

    ASSERT_TRUE(fnSaveAttrFile(clsAccessFieldAttr(), dir.file("old.afa")));
    ASSERT_TRUE(fnReadAttrFile(dir.file("old.afa"), b));
    EXPECT_TRUE(b.isClassic());
}
