// Design documents in the conventions real teams use (data/conventions/gen_conventions.py), read
// through hand-written layouts that use the optional parts: header labels, mark words, the null
// column meaning "not null", keys marked in another column, decimal places, table names from a
// label or the sheet's name, several tables per sheet. Each document as .xls and as .xlsx.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "DesignWords.h"
#include "TypeWords.h"
#include "clsExcel.h"
#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/conventions/";

// "TABLE@B3: NAME attr size decimals N|R, ... keys K1 K2" (N: may be null, R: required).
std::vector<std::string> summary(const clsDBInfo& db) {
    std::vector<std::string> out;
    for (const auto& t : db.getTables()) {
        std::string s = t->getName() + "@" + std::to_string(t->getSheetNo()) + t->getNameCellA1() + ":";
        for (const auto& f : t->getFields()) {
            s += " " + f->getName() + " " + f->getAttr() + " " + f->getSize() + " " + f->getDecimals() + " " +
                 (f->getNull() ? "N" : "R") + ",";
        }
        s += " keys";
        for (const auto& k : t->getPrimaryKeys()) s += " " + k;
        out.push_back(s);
    }
    return out;
}

struct Doc {
    const char* base;
    std::vector<std::string> tables;
    std::vector<std::string> skipped;  // "sheet number: reason"
};

const Doc kDocs[] = {
    {"sql_types",
     {"CUSTOMER@1C3: CUSTOMER_ID INT   R, NAME VARCHAR(40)   R, KANA varchar2 60  N, BIRTHDAY date   N,"
      " POINTS NUMBER(7)   N, RATE NUMBER(5, 2)   N, NOTE text   N, ACTIVE boolean   R, keys CUSTOMER_ID",
      "ORDERS@2C3: ORDER_NO BIGINT   R, CUSTOMER_ID INT(7)   R, ORDERED_AT timestamp   R, AMOUNT 金額   N,"
      " MEMO 文字列 200  N, QTY 数値 4  N, WEIGHT 数値 6  N, LABEL character varying(10)   N, keys ORDER_NO",
      "NOTES@3C3: NOTE_ID INT   R, BODY text   N, keys NOTE_ID BODY"},
     {}},
    {"template",
     {"m_users@3C6: user_id bigserial   R, login varchar(32)   R, display_name varchar(64)   N,"
      " created_at timestamp   R, enabled boolean   R, keys user_id",
      "t_order_lines@4C6: order_id integer   R, line_no smallint   R, unit_price numeric(10,2)   R,"
      " quantity integer   N, keys order_id line_no"},
     {"1: 見出し行（物理名 など）が見つかりません（表紙・履歴・一覧などのシートと見られます）",
      "2: 見出し行（物理名 など）が見つかりません（表紙・履歴・一覧などのシートと見られます）"}},
    {"multi",
     {"ITEM@2C2: ITEM_CD CHAR 8  N, ITEM_NAME VARCHAR 50  N, UNIT_WEIGHT DECIMAL 7 3 N, keys ITEM_CD",
      "STOCK@2C11: ITEM_CD CHAR 8  N, WAREHOUSE CHAR 3  N, QTY DECIMAL 9 0 N, keys ITEM_CD WAREHOUSE",
      "PRICE@3E5: ITEM_CD CHAR 8  N, PRICE DECIMAL 12 2 N, VALID_FROM DATE   N, keys ITEM_CD"},
     {"1: 見出し行（項目名 など）が見つかりません（表紙・履歴・一覧などのシートと見られます）"}},
    {"sheetname",
     {"DEPT@1: DEPT_ID Long   R, DEPT_NAME Text 30  R, PARENT_ID Long   N, keys DEPT_ID",
      "EMP@2: EMP_ID AutoNumber   R, DEPT_ID Long   N, SALARY Currency   N, keys EMP_ID"},
     {}},
};

}  // namespace

TEST(Conventions, EachDocumentReadsExactlyThroughItsLayout) {
    for (const Doc& d : kDocs) {
        for (const char* ext : {".xls", ".xlsx"}) {
            SCOPED_TRACE(std::string(d.base) + ext);
            clsExcelDBDocInfo info;
            ASSERT_TRUE(info.fnReadFile(kData + d.base + ".edf"));
            clsExcelDBDoc doc;
            doc.sbSetDocInfo(info);
            ASSERT_TRUE(doc.fnReadDBDoc(kData + d.base + ext)) << doc.getLastError();
            EXPECT_EQ(summary(*doc.getDBInfo()), d.tables);
            std::vector<std::string> skipped;
            for (const auto& s : doc.getSkippedSheets()) skipped.push_back(std::to_string(s.lngSheetNo) + ": " + s.strText);
            EXPECT_EQ(skipped, d.skipped);
            EXPECT_TRUE(doc.getNotes().empty());
        }
    }
}

// Where the key is marked in the null column or the remarks column, the key's place is that cell.
TEST(Conventions, KeysMarkedElsewherePointAtTheirCell) {
    clsExcelDBDocInfo info;
    ASSERT_TRUE(info.fnReadFile(kData + "template.edf"));
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    ASSERT_TRUE(doc.fnReadDBDoc(kData + "template.xlsx"));
    const auto& t = doc.getDBInfo()->getTables()[1];
    EXPECT_EQ(t->getFields()[1]->getCellA1(FieldPart::PrimaryKey), "E11");
    EXPECT_EQ(t->getFields()[1]->getCellA1(FieldPart::Type), "D11");

    ASSERT_TRUE(info.fnReadFile(kData + "multi.edf"));
    clsExcelDBDoc doc2;
    doc2.sbSetDocInfo(info);
    ASSERT_TRUE(doc2.fnReadDBDoc(kData + "multi.xls"));
    EXPECT_EQ(doc2.getDBInfo()->getTables()[2]->getFields()[0]->getCellA1(FieldPart::PrimaryKey), "H8");
}

// With mark words, a text that is none of them is no mark, and the reading says where it stood;
// without them (the classic reading) any text is a mark.
TEST(Conventions, MarksOutsideTheWordListsAreNoMarksAndAreNoted) {
    clsExcelDBDocInfo info;
    ASSERT_TRUE(info.fnReadFile(kData + "sql_types.edf"));
    LayoutOptions o = info.getOptions();
    o.strNoWords = "×";  // "-" is no longer a known word
    info.setOptions(o);
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    ASSERT_TRUE(doc.fnReadDBDoc(kData + "sql_types.xlsx"));
    ASSERT_EQ(doc.getNotes().size(), 1u);
    EXPECT_EQ(doc.getNotes()[0].strText, "シート1「CUSTOMER」のセルG8の「-」は印の言葉のどれにも当たらないため、印なしとして読みました");
    EXPECT_EQ(doc.getDBInfo()->getTables()[0]->getPrimaryKeys(), (std::vector<std::string>{"CUSTOMER_ID"}));

    clsExcelDBDocInfo classic;
    classic.sbSetPage(1, 2);
    clsExcelDBDoc doc2;
    doc2.sbSetDocInfo(classic);
    ASSERT_TRUE(doc2.fnReadDBDoc(kData + "sql_types.xlsx"));
    EXPECT_EQ(doc2.getDBInfo()->getTables()[0]->getPrimaryKeys(),
              (std::vector<std::string>{"CUSTOMER_ID", "NAME", "KANA"}));
    EXPECT_TRUE(doc2.getNotes().empty());
}

// Every word of the built-in type dictionary stands once in the dictionary document, beside the
// type it must give; the document is read and every field's type word resolved through a type
// file that switches the dictionary on and names nothing of its own.
TEST(Conventions, EveryDictionaryWordGivesItsTypeInADocument) {
    clsExcelDBDocInfo info;
    ASSERT_TRUE(info.fnReadFile(kData + "dictionary.edf"));
    clsAccessFieldAttr map;
    ASSERT_TRUE(fnReadAttrFile(kData + "dictionary.afa", map));
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    ASSERT_TRUE(doc.fnReadDBDoc(kData + "dictionary.xlsx")) << doc.getLastError();
    ASSERT_EQ(doc.getDBInfo()->getTables().size(), 1u);
    const auto& fields = doc.getDBInfo()->getTables()[0]->getFields();
    // The expected type stands in the remarks column, read with the field.
    clsExcel book;
    ASSERT_TRUE(book.fnOpenBook(kData + "dictionary.xlsx"));
    ASSERT_TRUE(book.fnOpenSheet(1));
    std::set<std::string> covered;
    for (const auto& f : fields) {
        SCOPED_TRACE(f->getAttr());
        const std::string expected = book.Cells(f->getRow(), f->getCol(FieldPart::Remarks));
        const ResolvedType r = resolveFieldType(map, f->getAttr(), f->getSize(), f->getDecimals());
        ASSERT_TRUE(r.blnFound);
        EXPECT_TRUE(r.blnFromDictionary);
        EXPECT_EQ(accessFieldTypeName(r.enmType), expected);
        covered.insert(designwords::normal(f->getAttr()));
    }
    for (const auto& e : designwords::typeDictionary()) EXPECT_TRUE(covered.count(designwords::normal(e.strWord))) << e.strWord;
}

// Every built-in header label, table-name label, mark word, key word and word of a sheet without a
// table stands in the labels documents and is read there: each document read through its
// hand-written layout (which lists the words it uses) gives every table with its key and required
// fields; the words the layouts list must cover the built-in lists. (detect finds the same layouts
// from the built-in lists alone: the command line's test.)
TEST(Conventions, EveryBuiltInLabelAndMarkWordIsReadInADocument) {
    std::set<std::string> used[kHeaderPartCount], tableLabels, yes, no, keys, skippedSheets;
    auto add = [](std::set<std::string>& to, const std::string& words) {
        for (const std::string& w : designwords::splitWords(words)) to.insert(designwords::normal(w));
    };
    for (const char* base : {"labels", "labels_remarks"}) {
        for (const char* ext : {".xls", ".xlsx"}) {
            SCOPED_TRACE(std::string(base) + ext);
            clsExcelDBDocInfo info;
            ASSERT_TRUE(info.fnReadFile(kData + base + ".edf"));
            clsExcelDBDoc doc;
            doc.sbSetDocInfo(info);
            ASSERT_TRUE(doc.fnReadDBDoc(kData + base + ext)) << doc.getLastError();
            EXPECT_TRUE(doc.getNotes().empty());
            const LayoutOptions& o = info.getOptions();
            for (int i = 0; i < kHeaderPartCount; ++i) add(used[i], o.strHeaderLabels[i]);
            add(tableLabels, o.strTableNameLabels);
            add(yes, o.strYesWords);
            add(no, o.strNoWords);
            const auto& tables = doc.getDBInfo()->getTables();
            if (std::string(base) == "labels") {
                ASSERT_EQ(tables.size(), designwords::headerLabels(HeaderPart::Name).size());
                for (std::size_t k = 0; k < tables.size(); ++k) {
                    char name[32];
                    std::snprintf(name, sizeof name, "LBL%02zu", k + 1);
                    EXPECT_EQ(summary(*doc.getDBInfo())[k],
                              std::string(name) + "@" + std::to_string(k + 1) + tables[k]->getNameCellA1() +
                                  ": ID Long   R, NAME Text 20  N, RATE Double 5 2 R, keys ID");
                }
            } else {
                ASSERT_EQ(tables.size(), designwords::headerLabels(HeaderPart::Remarks).size());
                for (const auto& t : tables) {
                    EXPECT_EQ(t->getPrimaryKeys(), std::vector<std::string>{"CODE"}) << t->getName();
                    ASSERT_EQ(t->getFields().size(), 2u);
                    EXPECT_FALSE(t->getFields()[0]->getNull());
                    EXPECT_TRUE(t->getFields()[1]->getNull());
                    // The key word in the remarks cell, e.g. "(PRIMARY KEY)".
                    clsExcel book;
                    ASSERT_TRUE(book.fnOpenBook(kData + base + ext));
                    ASSERT_TRUE(book.fnOpenSheet(t->getSheetNo()));
                    const std::string strRemark = book.Cells(t->getFields()[0]->getRow(), t->getFields()[0]->getCol(FieldPart::Remarks));
                    add(keys, strRemark.substr(1, strRemark.size() - 2));
                }
                for (const auto& s : doc.getSkippedSheets()) {
                    EXPECT_NE(s.strText.find("（表紙・履歴・一覧などのシートと見られます）"), std::string::npos) << s.strSheetName;
                    skippedSheets.insert(s.strSheetName);
                }
            }
        }
    }
    for (int i = 0; i < kHeaderPartCount; ++i)
        for (const std::string& w : designwords::headerLabels(static_cast<HeaderPart>(i)))
            EXPECT_TRUE(used[i].count(designwords::normal(w))) << "header label " << w;
    for (const std::string& w : designwords::tableNameLabels()) EXPECT_TRUE(tableLabels.count(designwords::normal(w))) << w;
    for (const std::string& w : designwords::yesWords()) EXPECT_TRUE(yes.count(designwords::normal(w))) << w;
    for (const std::string& w : designwords::noWords()) EXPECT_TRUE(no.count(designwords::normal(w))) << w;
    for (const std::string& w : designwords::keyWords()) EXPECT_TRUE(keys.count(designwords::normal(w))) << w;
    for (const std::string& w : designwords::nonTableSheetWords()) EXPECT_TRUE(skippedSheets.count(w)) << w;
}
