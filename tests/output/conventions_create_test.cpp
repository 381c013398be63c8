// Tables created from design documents in real teams' conventions: database type words through
// the built-in dictionary, WORD(N) sizes, the null column meaning "not null", keys marked in the
// null column; read back with mdb-reader and mdbtools.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "clsAccessDB.h"
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
};

void make(Made& m, const std::string& base, const std::string& ext) {
    m.path = (m.dir.path() / "new.mdb").string();
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
    ASSERT_TRUE(builder.fnCreateDB(m.path));
    for (const auto& t : doc.getDBInfo()->getTables()) EXPECT_TRUE(builder.fnCreateTable(*t)) << builder.getLastError();
    ASSERT_TRUE(builder.fnCloseDB());
    m.messages = msgs.getMessages();
}

}  // namespace

TEST(ConventionsCreate, DatabaseTypeWordsSizesInTheTypeCellAndNotNullMarks) {
    for (const char* ext : {".xls", ".xlsx"}) {
        SCOPED_TRACE(ext);
        Made m;
        make(m, "sql_types", ext);
        // Yes/No and long text are read as such; the engine does not create them yet and says so,
        // pointing at the cell.
        ASSERT_EQ(m.messages.size(), 2u);
        EXPECT_NE(m.messages[0].find("（テーブル『CUSTOMER』、フィールド『NOTE』、シート1「CUSTOMER」のセルE12）"), std::string::npos);
        EXPECT_NE(m.messages[1].find("（テーブル『CUSTOMER』、フィールド『ACTIVE』、シート1「CUSTOMER」のセルE13）"), std::string::npos);
        const auto v = jt::mdbReader(m.path, {});
        ASSERT_TRUE(v.ok) << v.error;
        EXPECT_EQ(columns(v, "CUSTOMER"),
                  (std::vector<std::string>{"CUSTOMER_ID:long/4", "NAME:text/80", "KANA:text/120", "BIRTHDAY:datetime/8",
                                            "POINTS:long/4", "RATE:double/8"}));
        EXPECT_EQ(columns(v, "ORDERS"),
                  (std::vector<std::string>{"ORDER_NO:double/8", "CUSTOMER_ID:long/4", "ORDERED_AT:datetime/8",
                                            "AMOUNT:currency/8", "MEMO:text/400", "QTY:integer/2", "WEIGHT:long/4",
                                            "LABEL:text/20"}));
        // The NOT NULL column: ○ is required, × and blank are not.
        EXPECT_EQ(notNull(m.path, "CUSTOMER"), (std::vector<std::string>{"CUSTOMER_ID", "NAME"}));
        EXPECT_EQ(notNull(m.path, "ORDERS"), (std::vector<std::string>{"ORDER_NO", "CUSTOMER_ID", "ORDERED_AT"}));
        EXPECT_EQ(jt::mdbSchema(m.path, "CUSTOMER").primaryKey, (std::vector<std::string>{"CUSTOMER_ID"}));
    }
}

TEST(ConventionsCreate, TheWidelyUsedTemplate) {
    Made m;
    make(m, "template", ".xlsx");
    ASSERT_EQ(m.messages.size(), 1u);  // enabled: Yes/No
    const auto v = jt::mdbReader(m.path, {});
    ASSERT_TRUE(v.ok) << v.error;
    EXPECT_EQ(columns(v, "t_order_lines"), (std::vector<std::string>{"order_id:long/4", "line_no:integer/2",
                                                                       "unit_price:double/8", "quantity:long/4"}));
    EXPECT_EQ(v.details.at("m_users").columns[0].autoLong, true);
    EXPECT_EQ(jt::mdbSchema(m.path, "t_order_lines").primaryKey, (std::vector<std::string>{"order_id", "line_no"}));
    EXPECT_EQ(notNull(m.path, "t_order_lines"), (std::vector<std::string>{"order_id", "line_no", "unit_price"}));
}
