#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "TempDir.h"
#include "Cp932.h"
#include "TextRules.h"
#include "clsExcelDBDocInfo.h"

namespace {

std::vector<std::int32_t> valuesOf(const clsExcelDBDocInfo& d) {
    return {d.getStartPage(),     d.getEndPage(),       d.getStartRowFieldDef(), d.getRowTableName(),
            d.getColTableName(),  d.getColFieldName(),  d.getColFieldType(),     d.getColFieldSize(),
            d.getColPrimaryKey(), d.getColNULL()};
}

using V = std::vector<std::int32_t>;
const V kInitial{1, 4, 6, 3, 3, 4, 5, 6, 7, 9};

clsExcelDBDocInfo filled(std::int32_t lngBase) {
    clsExcelDBDocInfo d;
    d.sbSetPage(lngBase, lngBase + 1);
    d.sbSetFieldPos(lngBase + 2);
    d.sbSetTableNmPos(lngBase + 3, lngBase + 4);
    d.sbSetFieldDefPos(lngBase + 5, lngBase + 6, lngBase + 7, lngBase + 8, lngBase + 9);
    return d;
}

// Key and value lines of a .edf file, in the given order.
std::string edfText(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string s;
    for (const auto& [k, v] : pairs) s += "<" + k + ">" + v + "</" + k + ">\r\n";
    return s;
}

std::vector<std::pair<std::string, std::string>> keysWith(const V& values) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int i = 0; i < 10; ++i) pairs.emplace_back(kDBDefFileKeys[i], intToText(values[i]));
    return pairs;
}

}  // namespace

TEST(LayoutDefinition, InitialValues) {
    EXPECT_EQ(valuesOf(clsExcelDBDocInfo()), kInitial);
}

TEST(LayoutDefinition, GroupSettersSetTheirOwnValues) {
    clsExcelDBDocInfo d;
    d.sbSetTableNmPos(5, 2);
    EXPECT_EQ(valuesOf(d), (V{1, 4, 6, 5, 2, 4, 5, 6, 7, 9}));
    d.sbSetFieldPos(8);
    EXPECT_EQ(valuesOf(d), (V{1, 4, 8, 5, 2, 4, 5, 6, 7, 9}));
    d.sbSetPage(3, 1);  // stored as given, even backwards
    d.sbSetFieldDefPos(0, -1, 11, 12, 13);
    EXPECT_EQ(valuesOf(d), (V{3, 1, 8, 5, 2, 0, -1, 11, 12, 13}));
    EXPECT_EQ(valuesOf(filled(100)), (V{100, 101, 102, 103, 104, 105, 106, 107, 108, 109}));
}

TEST(LayoutFile, WritesTenKeysInOrder) {
    TempDir dir;
    ASSERT_TRUE(fnSaveDBDefFile(clsExcelDBDocInfo(), dir.file("d.edf")));
    EXPECT_EQ(readBytes(dir.file("d.edf")),
              "<StartSheetNo>1</StartSheetNo>\r\n"
              "<EndSheetNo>4</EndSheetNo>\r\n"
              "<StartRowFieldDef>6</StartRowFieldDef>\r\n"
              "<RowTableName>3</RowTableName>\r\n"
              "<ColTableName>3</ColTableName>\r\n"
              "<ColFieldName>4</ColFieldName>\r\n"
              "<ColFieldType>5</ColFieldType>\r\n"
              "<ColFieldSize>6</ColFieldSize>\r\n"
              "<ColPrimarykey>7</ColPrimarykey>\r\n"
              "<ColNull>9</ColNull>\r\n");
    // The sample layout of the sales design document is byte for byte what we write.
    clsExcelDBDocInfo s;
    s.sbSetPage(3, 6);
    ASSERT_TRUE(fnSaveDBDefFile(s, dir.file("s.edf")));
    EXPECT_EQ(readBytes(dir.file("s.edf")),
              readBytes(std::string(XLSDB_TEST_DATA) + "/definitions/sales_design.edf"));
}

TEST(LayoutFile, RoundTripWithNegativeAndLargeValues) {
    TempDir dir;
    clsExcelDBDocInfo d;
    d.sbSetPage(-2147483647 - 1, 2147483647);
    d.sbSetFieldPos(0);
    d.sbSetTableNmPos(-5, 30);
    ASSERT_TRUE(fnSaveDBDefFile(d, dir.file("d.edf")));
    EXPECT_NE(readBytes(dir.file("d.edf")).find("<StartSheetNo>-2147483648</StartSheetNo>\r\n"),
              std::string::npos);
    clsExcelDBDocInfo r = filled(50);
    ASSERT_TRUE(r.fnReadFile(dir.file("d.edf")));
    EXPECT_EQ(valuesOf(r), valuesOf(d));
}

TEST(LayoutFile, ReadsSampleFiles) {
    clsExcelDBDocInfo d;
    ASSERT_TRUE(d.fnReadFile(std::string(XLSDB_TEST_DATA) + "/definitions/sales_design.edf"));
    EXPECT_EQ(valuesOf(d), (V{3, 6, 6, 3, 3, 4, 5, 6, 7, 9}));
    ASSERT_TRUE(d.fnReadFile(std::string(XLSDB_TEST_DATA) + "/definitions/hr_design_ja.edf"));
    EXPECT_EQ(valuesOf(d), (V{1, 3, 6, 3, 3, 4, 5, 6, 7, 9}));
}

TEST(LayoutFile, HandEditedFiles) {
    TempDir dir;
    const V want{2, 5, 7, 1, 2, 3, 4, 5, 6, 8};
    auto pairs = keysWith(want);

    std::reverse(pairs.begin(), pairs.end());
    writeCp932File(dir.file("rev.edf"), edfText(pairs));
    clsExcelDBDocInfo d;
    ASSERT_TRUE(d.fnReadFile(dir.file("rev.edf")));
    EXPECT_EQ(valuesOf(d), want);

    // Other letter case, text around the tags, comments, blanks and full-width digits,
    // a value broken over two lines, a duplicate key (the first wins), LF line ends.
    const std::string text =
        "layout of the personnel workbook\n"
        "<startsheetno>７</STARTSHEETNO>\n"
        "<EndSheetNo> 9 </EndSheetNo> <EndSheetNo>1</EndSheetNo>\n"
        "<StartRowFieldDef>1\n"
        "2</StartRowFieldDef>\n"
        "  <ROWTABLENAME>\u30002</rowtablename> # row of the name\n"
        "<ColTableName>3</ColTableName><ColFieldName>4</ColFieldName>\n"
        "<ColFieldType>5</ColFieldType>\n"
        "<ColFieldSize>6</ColFieldSize>\n"
        "<ColPrimaryKey>7</ColPrimaryKey>\n"
        "<COLNULL>10</COLNULL>\n"
        "<StartSheetNo>99</StartSheetNo>\n";
    writeCp932File(dir.file("hand.edf"), text);
    ASSERT_TRUE(d.fnReadFile(dir.file("hand.edf")));
    EXPECT_EQ(valuesOf(d), (V{7, 9, 12, 2, 3, 4, 5, 6, 7, 10}));
}

TEST(LayoutFile, HalvesRoundToEven) {
    TempDir dir;
    auto pairs = keysWith(kInitial);
    pairs[1].second = "2.5";
    writeCp932File(dir.file("a.edf"), edfText(pairs));
    clsExcelDBDocInfo d;
    ASSERT_TRUE(d.fnReadFile(dir.file("a.edf")));
    EXPECT_EQ(d.getEndPage(), 2);
    pairs[1].second = "3.5";
    writeCp932File(dir.file("a.edf"), edfText(pairs));
    ASSERT_TRUE(d.fnReadFile(dir.file("a.edf")));
    EXPECT_EQ(d.getEndPage(), 4);
}

TEST(LayoutFile, MissingKeyStopsWithAConversionError) {
    TempDir dir;
    auto pairs = keysWith({11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    pairs.pop_back();  // no ColNull
    writeCp932File(dir.file("a.edf"), edfText(pairs));
    clsExcelDBDocInfo d;
    try {
        d.fnReadFile(dir.file("a.edf"));
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.kind(), ConversionError::Kind::TypeMismatch);
        EXPECT_NE(std::string(e.what()).find("ColNull"), std::string::npos) << e.what();
    }
    EXPECT_EQ(valuesOf(d), (V{11, 12, 13, 14, 15, 16, 17, 18, 19, 9}));
}

TEST(LayoutFile, BadValueChangesNothingFromItsKeyOn) {
    TempDir dir;
    auto pairs = keysWith({11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    pairs[0].second = "三";
    writeCp932File(dir.file("a.edf"), edfText(pairs));
    clsExcelDBDocInfo d;
    EXPECT_THROW(d.fnReadFile(dir.file("a.edf")), ConversionError);
    EXPECT_EQ(valuesOf(d), kInitial);

    pairs[0].second = "11";
    pairs[4].second = "3000000000";
    writeCp932File(dir.file("a.edf"), edfText(pairs));
    try {
        d.fnReadFile(dir.file("a.edf"));
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.kind(), ConversionError::Kind::Overflow);
    }
    EXPECT_EQ(valuesOf(d), (V{11, 12, 13, 14, 3, 4, 5, 6, 7, 9}));
}

TEST(LayoutFile, EmptyOrForeignFileFailsAtTheFirstKey) {
    TempDir dir;
    clsExcelDBDocInfo d = filled(20);
    writeCp932File(dir.file("empty.edf"), "");
    EXPECT_THROW(d.fnReadFile(dir.file("empty.edf")), ConversionError);
    writeCp932File(dir.file("afa.edf"), "<Text>Text</Text>\r\n<Date>Date</Date>\r\n");
    try {
        d.fnReadFile(dir.file("afa.edf"));
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_NE(std::string(e.what()).find("StartSheetNo"), std::string::npos);
    }
    EXPECT_EQ(valuesOf(d), valuesOf(filled(20)));
}

TEST(LayoutFile, UnreadableFileGivesFalseAndChangesNothing) {
    TempDir dir;
    clsExcelDBDocInfo d = filled(30);
    std::string strErr;
    EXPECT_FALSE(d.fnReadFile(dir.file("none.edf"), &strErr));
    EXPECT_NE(strErr.find("none.edf"), std::string::npos);
    EXPECT_FALSE(d.fnReadFile(dir.path().string()));
    // Not CP932: refused as a whole rather than read half.
    auto pairs = keysWith(kInitial);
    writeBytes(dir.file("bad.edf"), edfText(pairs) + "\x82\r\n");
    EXPECT_FALSE(d.fnReadFile(dir.file("bad.edf")));
    EXPECT_EQ(valuesOf(d), valuesOf(filled(30)));
}

TEST(LayoutFile, WriteFailureIsReported) {
    TempDir dir;
    std::string strErr;
    EXPECT_FALSE(fnSaveDBDefFile(clsExcelDBDocInfo(), dir.file("no/dir/x.edf"), &strErr));
    EXPECT_NE(strErr, "");
    EXPECT_TRUE(fnSaveDBDefFile(clsExcelDBDocInfo(), dir.file("x.edf"), &strErr));
    EXPECT_EQ(strErr, "");
}

// The failure in parts, for callers that name the file themselves: the reason never holds
// the path, whatever brackets or quotes the path has, and a good read clears it.
TEST(LayoutFile, FailureIsToldInParts) {
    TempDir dir;
    const std::string strFolder = dir.file("設計（旧）『控え』");
    std::filesystem::create_directory(strFolder);
    clsExcelDBDocInfo d = filled(30);
    DefFileFailure objFailure;
    std::string strErr;

    const std::string strMissing = strFolder + "/none』.edf";
    EXPECT_FALSE(d.fnReadFile(strMissing, &strErr, &objFailure));
    EXPECT_EQ(objFailure.strPath, strMissing);
    EXPECT_EQ(objFailure.strReason, "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(objFailure.strKey, "");
    EXPECT_EQ(objFailure.lngErrNo, 53);
    EXPECT_EQ(strErr, "ファイルを読み込めません: " + strMissing + "（ファイルまたはフォルダが見つかりません）");

    auto pairs = keysWith({11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    pairs[2].second = "3000000000";
    const std::string strBig = strFolder + "/big（1）.edf";
    writeCp932File(strBig, edfText(pairs));
    try {
        d.fnReadFile(strBig, nullptr, &objFailure);
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(objFailure.strPath, strBig);
        EXPECT_EQ(objFailure.strKey, "StartRowFieldDef");
        EXPECT_EQ(objFailure.strReason.rfind("<StartRowFieldDef> の値を読めません。", 0), 0u) << objFailure.strReason;
        EXPECT_EQ(objFailure.strReason.find(strFolder), std::string::npos);
        EXPECT_EQ(objFailure.lngErrNo, 6);
        EXPECT_EQ(std::string(e.what()), strBig + ": " + objFailure.strReason);
    }
    pairs[2].second = "";
    writeCp932File(strBig, edfText(pairs));
    EXPECT_THROW(d.fnReadFile(strBig, nullptr, &objFailure), ConversionError);
    EXPECT_EQ(objFailure.lngErrNo, 13);

    pairs[2].second = "13";
    writeCp932File(strBig, edfText(pairs));
    ASSERT_TRUE(d.fnReadFile(strBig, nullptr, &objFailure));
    EXPECT_EQ(objFailure.strPath, "");
    EXPECT_EQ(objFailure.strReason, "");
    EXPECT_EQ(objFailure.lngErrNo, 0);

    const std::string strNoFolder = strFolder + "/no/x.edf";
    EXPECT_FALSE(fnSaveDBDefFile(d, strNoFolder, nullptr, &objFailure));
    EXPECT_EQ(objFailure.strPath, strNoFolder);
    EXPECT_EQ(objFailure.strReason, "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(objFailure.lngErrNo, 76);
    EXPECT_TRUE(fnSaveDBDefFile(d, strFolder + "/x.edf", nullptr, &objFailure));
    EXPECT_EQ(objFailure.strReason, "");
}

// The optional parts go after the ten lines, only when in use, and come back as written; a file
// without them (every file written before) reads as the classic layout, also over an instance
// that had options.
TEST(LayoutFile, OptionalPartsRoundTripAndOldFilesMeanTheClassicLayout) {
    TempDir dir;
    clsExcelDBDocInfo d;
    LayoutOptions o;
    o.enmNullMeaning = NullMeaning::NotNull;
    o.strYesWords = "○|Yes (PK)";
    o.strNoWords = "×|-";
    o.enmKeyAlsoIn = KeyAlsoIn::Remarks;
    o.lngColRemarks = 12;
    o.lngColDecimals = 8;
    o.enmTableName = TableNameSource::Label;
    o.strTableNameLabels = "物理テーブル名";
    o.strHeaderLabels[static_cast<int>(HeaderPart::Name)] = "物理名|カラム名";
    o.strHeaderLabels[static_cast<int>(HeaderPart::Null)] = "NOT NULL";
    d.setOptions(o);
    ASSERT_TRUE(fnSaveDBDefFile(d, dir.file("o.edf")));
    const std::string text = readBytes(dir.file("o.edf"));
    EXPECT_EQ(text.rfind(edfText(keysWith(kInitial)), 0), 0u);  // the ten classic lines first
    EXPECT_NE(text.find("<NullMeans>notnull</NullMeans>\r\n<MarkYes>"), std::string::npos);
    clsExcelDBDocInfo r;
    ASSERT_TRUE(r.fnReadFile(dir.file("o.edf")));
    EXPECT_TRUE(r.getOptions() == o);
    EXPECT_EQ(valuesOf(r), kInitial);

    ASSERT_TRUE(fnSaveDBDefFile(clsExcelDBDocInfo(), dir.file("c.edf")));
    EXPECT_EQ(readBytes(dir.file("c.edf")), edfText(keysWith(kInitial)));
    ASSERT_TRUE(r.fnReadFile(dir.file("c.edf")));
    EXPECT_TRUE(r.getOptions().isClassic());

    // An optional value that is not one of its key's values fails like a number that is not one.
    writeBytes(dir.file("bad.edf"), edfText(keysWith(kInitial)) + "<TableNameFrom>title</TableNameFrom>\r\n");
    EXPECT_THROW(r.fnReadFile(dir.file("bad.edf")), ConversionError);
}
