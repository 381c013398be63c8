// New databases as the builder uses them: created open, tables appended, closed, reopened and
// read back by mdbtools and mdb-reader, in both sort orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "checker.h"
#include "dao.h"
#include "new_database.h"

namespace {

struct Output {
    int status = -1;
    std::string out;
};
Output run(const std::string& command) {
    Output r;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}
std::string quote(const std::string& s) { return "'" + s + "'"; }

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class NewDatabaseTables : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/xlsdb_newdb_tables_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/new.mdb";
    }
    void TearDown() override { run("rm -rf " + quote(dir_)); }

    // A table as the builder makes it: one field of every type, Required from the design,
    // an AutoNumber key.
    static jet::TableDefPtr orderTable(jet::Database& db, const std::string& name) {
        jet::TableDefPtr t = db.CreateTableDef(name);
        struct F {
            const char* name;
            int type;
            int size;
            bool required;
        } fields[] = {{"ID", jet::dbLong, 0, true},        {"CODE", jet::dbText, 10, true},
                      {"NOTE", jet::dbText, 255, false},   {"ORDERED", jet::dbDate, 0, false},
                      {"QTY", jet::dbInteger, 0, true},    {"TOTAL", jet::dbLong, 0, false},
                      {"RATE", jet::dbSingle, 0, false},   {"WEIGHT", jet::dbDouble, 0, false},
                      {"PRICE", jet::dbCurrency, 0, true}};
        for (const F& f : fields) {
            t->Fields().Append(t->CreateField(f.name, f.type, f.size));
            if (std::string(f.name) == "ID") t->Fields().item("ID")->setAttributes(jet::dbAutoIncrField);
            t->Fields().item(f.name)->setRequired(f.required);
        }
        jet::IndexPtr pk = t->CreateIndex("Primary");
        pk->Fields().Append(pk->CreateField("ID"));
        pk->Fields().Append(pk->CreateField("CODE"));
        pk->setPrimary(true);
        t->Indexes().Append(pk);
        return t;
    }

    std::string dir_;
    std::string path_;
};

}  // namespace

TEST_P(NewDatabaseTables, CreatedOpenTakesTablesAndReopens) {
    {
        std::unique_ptr<jet::Database> db = jet::createDatabase(path_, GetParam(), jet::dbVersion40);
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->IsOpen());
        EXPECT_FALSE(db->ReadOnly());
        EXPECT_EQ(sorted(db->TableDefs().Names()),
                  (std::vector<std::string>{"MSysACEs", "MSysObjects", "MSysQueries", "MSysRelationships"}));
        db->TableDefs().Append(orderTable(*db, "ORDERS"));
        db->TableDefs().Append(orderTable(*db, "ORDER_LINES"));
        db->Close();
    }
    jet::DBEngine engine;
    std::unique_ptr<jet::Database> again = engine.OpenDatabase(path_);
    // (The listing order is the engine's own; only the set matters here.)
    EXPECT_EQ(sorted(again->TableDefs().Names()),
              (std::vector<std::string>{"MSysACEs", "MSysObjects", "MSysQueries", "MSysRelationships", "ORDERS",
                                        "ORDER_LINES"}));
    // A name already there, in other letter case, is refused by the new database too.
    try {
        again->TableDefs().Append(orderTable(*again, "orders"));
        ADD_FAILURE() << "duplicate name accepted";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::errTableExists);
    }
    again->Close();

    // Maps, pages, rows and index trees consistent; every catalog key recomputed exactly.
    jet::CheckReport report = jet::checkDatabase(path_);
    EXPECT_TRUE(report.ok()) << report.summary();
    EXPECT_EQ(report.tablesChecked, 6);
    EXPECT_GT(report.keysRecomputed, 0);
    EXPECT_EQ(report.keysUnverified, 0);

    Output tables = run("mdb-tables -1 " + quote(path_));
    EXPECT_EQ(tables.out, "ORDERS\nORDER_LINES\n");
    // Types and sizes as Access names them; NOT NULL exactly on the required fields.
    Output schema = run("mdb-schema -T ORDERS " + quote(path_) + " access");
    ASSERT_EQ(schema.status, 0);
    for (const char* line : {"[ID]\t\t\tLong Integer NOT NULL,", "[CODE]\t\t\tText (10) NOT NULL,",
                             "[NOTE]\t\t\tText (255),", "[ORDERED]\t\t\tDateTime,", "[QTY]\t\t\tInteger NOT NULL,",
                             "[TOTAL]\t\t\tLong Integer,", "[RATE]\t\t\tSingle,", "[WEIGHT]\t\t\tDouble,",
                             "[PRICE]\t\t\tCurrency NOT NULL\n"})
        EXPECT_NE(schema.out.find(line), std::string::npos) << line << "\n" << schema.out;
    // Auto-increment and the two-field primary key in call order.
    Output mysql = run("mdb-schema -T ORDERS " + quote(path_) + " mysql");
    EXPECT_NE(mysql.out.find("`ID`\t\t\tint not null auto_increment"), std::string::npos) << mysql.out;
    EXPECT_NE(mysql.out.find("ADD PRIMARY KEY (`ID`, `CODE`)"), std::string::npos) << mysql.out;
    EXPECT_EQ(run("mdb-export " + quote(path_) + " ORDER_LINES").out, "ID,CODE,NOTE,ORDERED,QTY,TOTAL,RATE,WEIGHT,PRICE\n");

    const std::string oracles = XLSDB_TEST_DATA "/../oracles/node_modules";
    {
        std::ofstream js(dir_ + "/read.js");
        js << "const R=require('mdb-reader').default;const fs=require('fs');"
              "const r=new R(fs.readFileSync(process.argv[2]));"
              "console.log(r.getTableNames().join(','));"
              "console.log(r.getTable('ORDERS').getColumns().map(c=>c.name+'/'+c.type+'/'+c.size+'/'+c.nullable).join(','));";
    }
    Output reader = run("NODE_PATH=" + quote(oracles) + " node " + quote(dir_ + "/read.js") + " " + quote(path_));
    ASSERT_EQ(reader.status, 0);
    EXPECT_EQ(reader.out.substr(0, reader.out.find('\n')), "ORDERS,ORDER_LINES");
    for (const char* column : {"ID/long/4", "CODE/text/20", "NOTE/text/510", "ORDERED/datetime/8", "QTY/integer/2",
                               "TOTAL/long/4", "RATE/float/4", "WEIGHT/double/8", "PRICE/currency/8"})
        EXPECT_NE(reader.out.find(column), std::string::npos) << column << "\n" << reader.out;
}

TEST_P(NewDatabaseTables, CreateReturnsNothingAndWritesNothingOnRefusal) {
    { std::ofstream(path_) << "keep"; }
    try {
        jet::createDatabase(path_, GetParam(), jet::dbVersion40);
        ADD_FAILURE() << "created over an existing file";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::errDatabaseExists);
    }
    std::ifstream in(path_);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "keep");
}

INSTANTIATE_TEST_SUITE_P(BothSortOrders, NewDatabaseTables,
                         ::testing::Values(jet::dbLangGeneral, jet::dbLangJapanese),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == jet::dbLangGeneral ? "General" : "Japanese";
                         });
