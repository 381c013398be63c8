// Tables created from design documents in real teams' conventions: database type words through
// the built-in dictionary, WORD(N) sizes, the null column meaning "not null", keys marked in the
// null column; read back with mdb-reader and mdbtools and compared with the design.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "clsAccessDB.h"
#include "clsDesignDiff.h"
#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"
#include "oracles.h"
#include "test_support.h"

namespace fs = std::filesystem;
namespace jt = jet::testsupport;

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/conventions/";

// "NAME:type/size" per column, as mdb-reader sees them.
std::vector<std::string> columns(const jt::ReaderView& v, const std::string& t) {
    std::vector<std::string> out;
    for (const auto& c : v.details.at(t).columns) out.push_back(c.name + ":" + c.type + "/" + std::to_string(c.size));
    return out;
}

std::vector<std::string> notNull(const std::string& path, const std::string& t) {
    std::vector<std::string> out;
    for (const auto& c : jt::mdbSchema(path, t).columns)
        if (c.notNull) out.push_back(c.name);
    return out;
}

struct Made {
    testsupport::TempDir dir;
    std::string path;
    std::vector<std::string> messages;
    std::vector<std::string> refused;  // the builder's last error for each table it refused
};

// Creates the document's tables in a new .mdb for the .xls, in a copy of an empty Access 2010
// .accdb for the .xlsx.
void make(Made& m, const std::string& base, const std::string& ext) {
    const bool blnAccdb = ext != std::string(".xls");
    m.path = (m.dir.path() / (blnAccdb ? "new.accdb" : "new.mdb")).string();
    if (blnAccdb) fs::copy_file(std::string(XLSDB_TEST_DATA) + "/accdb/empty2010.accdb", m.path);
    clsExcelDBDocInfo info;
    ASSERT_TRUE(info.fnReadFile(kData + base + ".edf"));
    auto map = std::make_shared<clsAccessFieldAttr>();
    ASSERT_TRUE(fnReadAttrFile(kData + base + ".afa", *map));
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    ASSERT_TRUE(doc.fnReadDBDoc(kData + base + ext));
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    builder.sbSetFieldAttr(map);
    ASSERT_TRUE(blnAccdb ? builder.fnOpenDB(m.path) : builder.fnCreateDB(m.path)) << builder.getLastError();
    for (const auto& t : doc.getDBInfo()->getTables())
        if (!builder.fnCreateTable(*t)) m.refused.push_back(builder.getLastError());
    ASSERT_TRUE(builder.fnCloseDB());
    m.messages = msgs.getMessages();
    // Compared with the design through the builder's rules, every created table is the same.
    clsDesignDiff diff;
    diff.sbSetFieldAttr(map);
    ASSERT_TRUE(diff.fnCompare(doc.getDBInfo()->getTables(), m.path, false)) << diff.getLastError();
    for (const TableComparison& c : diff.getResult()) {
        EXPECT_EQ(c.strStatus, c.strName == "NOTES" ? "missing" : "same") << c.strName;
        for (const auto& d : c.colDifferences) ADD_FAILURE() << c.strName << " " << d.strField << " " << d.strWhat;
    }
}

}  // namespace

TEST(ConventionsCreate, DatabaseTypeWordsSizesInTheTypeCellAndNotNullMarks) {
    for (const char* ext : {".xls", ".xlsx"}) {
        SCOPED_TRACE(ext);
        Made m;
        make(m, "sql_types", ext);
        // Yes/No and long text are created as such, without a word; a key on long text refuses its
        // table, pointing at the key mark.
        EXPECT_TRUE(m.messages.empty());
        ASSERT_EQ(m.refused.size(), 1u);
        EXPECT_EQ(m.refused[0], "メモ型のフィールド『BODY』にはインデックス『Primary』を設定できません。"
                                "（テーブル『NOTES』、フィールド『BODY』、シート3「NOTES」のセルG7）");
        const auto v = jt::mdbReader(m.path, {});
        ASSERT_TRUE(v.ok) << v.error;
        EXPECT_EQ(columns(v, "CUSTOMER"),
                  (std::vector<std::string>{"CUSTOMER_ID:long/4", "NAME:text/80", "KANA:text/120", "BIRTHDAY:datetime/8",
                                            "POINTS:long/4", "RATE:double/8", "NOTE:memo/0", "ACTIVE:boolean/0"}));
        EXPECT_EQ(columns(v, "ORDERS"),
                  (std::vector<std::string>{"ORDER_NO:double/8", "CUSTOMER_ID:long/4", "ORDERED_AT:datetime/8",
                                            "AMOUNT:currency/8", "MEMO:text/400", "QTY:integer/2", "WEIGHT:long/4",
                                            "LABEL:text/20"}));
        // The NOT NULL column: ○ is required, × and blank are not (mdbtools shows every Yes/No
        // field NOT NULL; its Required property is off, as Access sets it).
        EXPECT_EQ(notNull(m.path, "CUSTOMER"), (std::vector<std::string>{"CUSTOMER_ID", "NAME", "ACTIVE"}));
        EXPECT_EQ(jt::mdbSchema(m.path, "NOTES").found, false);
        EXPECT_EQ(notNull(m.path, "ORDERS"), (std::vector<std::string>{"ORDER_NO", "CUSTOMER_ID", "ORDERED_AT"}));
        EXPECT_EQ(jt::mdbSchema(m.path, "CUSTOMER").primaryKey, (std::vector<std::string>{"CUSTOMER_ID"}));
    }
}

TEST(ConventionsCreate, TheWidelyUsedTemplate) {
    Made m;
    make(m, "template", ".xlsx");
    EXPECT_TRUE(m.messages.empty());
    EXPECT_TRUE(m.refused.empty());
    const auto v = jt::mdbReader(m.path, {});
    ASSERT_TRUE(v.ok) << v.error;
    EXPECT_EQ(columns(v, "m_users").back(), "enabled:boolean/0");
    EXPECT_EQ(columns(v, "t_order_lines"), (std::vector<std::string>{"order_id:long/4", "line_no:integer/2",
                                                                       "unit_price:double/8", "quantity:long/4"}));
    EXPECT_EQ(v.details.at("m_users").columns[0].autoLong, true);
    EXPECT_EQ(jt::mdbSchema(m.path, "t_order_lines").primaryKey, (std::vector<std::string>{"order_id", "line_no"}));
    EXPECT_EQ(notNull(m.path, "t_order_lines"), (std::vector<std::string>{"order_id", "line_no", "unit_price"}));
}
