// xlsdb-cli check and diff end to end: the problems of the test designs with their sheets and
// cells, and a database made from one design compared with a changed design, in text and JSON.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dao.h"
#include "file_io.h"
#include "jet_fixtures.h"
#include "journal.h"
#include "cli_support.h"

namespace fs = std::filesystem;
namespace jt = jet::testsupport;
using namespace clitest;

namespace {

const fs::path kData = fs::path(XLSDB_TEST_DATA) / "app";

std::string data(const std::string& name) { return (kData / name).string(); }

}  // namespace

TEST(CliCheck, EveryProblemOfTheFailureDesignAtItsCell) {
    Result r = cli({"check", "--json", "--layout", data("failures.edf"), data("failures.xlsx")});
    EXPECT_EQ(r.code, 1) << r.err;
    // sheet, cell, table, field, kind of each problem, in sheet order.
    EXPECT_EQ(json(r.out, "'\\n'.join('%d %s %s %s %s %s' % (p['sheet'], p['sheetName'], p['cell'], p['table'], "
                          "p['field'] or '-', p['kind']) for p in j['problems'])"),
              "1 S1 E7 T_UNKNOWN A unknownType\n"
              "2 S2 F7 T_NOSIZE NAME missingSize\n"
              "3 S3 F7 T_BADSIZE CODE badSize\n"
              "5 S5 F6 T_PKSKIP ID missingSize\n"
              "5 S5 G6 T_PKSKIP ID keyFieldSkipped\n"
              "6 S6 C3 T_EMPTY - noFields\n"
              "8 S8 C3 T_TWICE - duplicateTable\n");
    // The builder's own words where it has them.
    EXPECT_EQ(json(r.out, "j['problems'][0]['message']"), " 文字 は未定義です\n");
    EXPECT_EQ(json(r.out, "j['problems'][4]['message']"), "インデックス『Primary』のフィールド『ID』はテーブルにありません。\n");

    // The same problems as lines for people, one each.
    Result text = cli({"check", "--layout", data("failures.edf"), data("failures.xlsx")});
    EXPECT_EQ(text.code, 1);
    const auto l = lines(text.out);
    ASSERT_EQ(l.size(), 7u) << text.out;
    EXPECT_EQ(l[0], "シート1「S1」 E7: テーブル「T_UNKNOWN」 フィールド「A」:  文字 は未定義です [unknownType]");
    EXPECT_EQ(l[6].rfind("シート8「S8」 C3: テーブル「T_TWICE」: ", 0), 0u) << l[6];
}

TEST(CliCheck, SortOrderDecidesWhichNamesCanBeKeyed) {
    const std::string book = data("japanese/japanese_names.xlsx"), layout = data("japanese/japanese_names.edf");
    Result ja = cli({"check", "--json", "--layout", layout, book});
    EXPECT_EQ(ja.code, 1);
    EXPECT_EQ(json(ja.out, "sorted(set(p['table'] for p in j['problems'] if p['kind']=='nameNotKeyable'))"),
              "['ーテスト', '月次論評', '髙橋商店']\n");
    // Half-width and full-width kana spell the same name in the Japanese order.
    EXPECT_EQ(json(ja.out, "[(p['sheet'], p['cell']) for p in j['problems'] if p['kind']=='duplicateTable']"),
              "[(8, 'C3')]\n");
    Result legacy = cli({"check", "--json", "--sort", "general-legacy", "--layout", layout, book});
    // The general order keys the kanji; the long-vowel mark after no kana stays unsettled.
    EXPECT_EQ(json(legacy.out, "[(p['table'], p['kind']) for p in j['problems']]"),
              "[('ーテスト', 'nameNotKeyable'), ('カタログ', 'duplicateTable')]\n");

    // The order of Access 2010 and later: the same names, refused in its own name.
    Result general = cli({"check", "--json", "--sort", "general", "--layout", layout, book});
    EXPECT_EQ(general.code, 1) << general.err;
    EXPECT_EQ(json(general.out, "[(p['table'], p['kind']) for p in j['problems']]"),
              "[('ーテスト', 'nameNotKeyable'), ('カタログ', 'duplicateTable')]\n");
    EXPECT_NE(general.out.find("1033 バージョン 1"), std::string::npos) << general.out;
}

TEST(CliCheck, CleanDesignsHelpAndUnreadableInputs) {
    Result clean = cli({"check", "--layout", data("sales_design.edf"), data("sales_design.xls")});
    EXPECT_EQ(clean.code, 0) << clean.out << clean.err;
    EXPECT_EQ(clean.out, "");
    Result cleanJson = cli({"check", "--json", "--types", data("hr_design_ja.afa"), "--layout", data("hr_design_ja.edf"),
                            data("hr_design_ja.xlsx")});
    EXPECT_EQ(cleanJson.code, 0);
    EXPECT_EQ(cleanJson.out, "{\"problems\":[]}\n");
    // Without its type words the Japanese design's words are undefined.
    Result words = cli({"check", "--json", "--layout", data("hr_design_ja.edf"), data("hr_design_ja.xlsx")});
    EXPECT_EQ(words.code, 1);
    EXPECT_EQ(json(words.out, "sorted(set(p['kind'] for p in j['problems']))"),
              "['allFieldsSkipped', 'keyFieldSkipped', 'unknownType']\n");

    Result missing = cli({"check", data("no_such_book.xlsx")});
    EXPECT_EQ(missing.code, 2);
    Result help = cli({"--help"});
    for (const char* kind : {"unknownType", "missingSize", "badSize", "sizeOutOfRange", "invalidFieldName", "duplicateField",
                             "invalidTableName", "nameNotKeyable", "duplicateTable", "keyFieldSkipped", "noFields"}) {
        EXPECT_NE(help.out.find(kind), std::string::npos) << kind;
    }
}

TEST(CliDiff, FindsExactlyWhatChangedInTheDesignAndTheDatabase) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "made.mdb").string();
    ASSERT_EQ(cli({"newdb", mdb}).code, 0);
    ASSERT_EQ(cli({"create", data("diff/before.xlsx"), mdb}).code, 0);
    {
        // A table the design does not know, added to the database through the engine.
        auto db = jet::DBEngine().OpenDatabase(mdb);
        auto t = db->CreateTableDef("audit_log");
        t->Fields().Append(t->CreateField("AT", jet::dbDate));
        db->TableDefs().Append(t);
        db->Close();
    }
    const auto before = testsupport::readBytes(mdb);

    Result same = cli({"diff", data("diff/before.xlsx"), mdb});
    EXPECT_EQ(same.code, 1);
    EXPECT_EQ(same.out,
              "テーブル「customer」: 同じです\nテーブル「orders」: 同じです\nテーブル「product」: 同じです\n"
              "テーブル「audit_log」: 設計書にありません（データベースにだけあります）\n");

    Result text = cli({"diff", data("diff/after.xlsx"), mdb});
    EXPECT_EQ(text.code, 1) << text.err;
    EXPECT_EQ(text.out,
              "テーブル「customer」: 違いがあります\n"
              "  フィールド「NAME」: サイズが違います（設計書 80、データベース 50）\n"
              "  フィールド「EMAIL」: データベースにありません（Text(100)）\n"
              "  フィールド「NOTE」: 設計書にありません（データベースに Text(100)）\n"
              "テーブル「orders」: 違いがあります\n"
              "  フィールド「AMOUNT」: 型が違います（設計書 Double、データベース Currency）\n"
              "  主キーが違います（設計書 ORDER_ID, CUSTOMER_ID、データベース ORDER_ID）\n"
              "テーブル「product」: 同じです\n"
              "テーブル「audit_log」: 設計書にありません（データベースにだけあります）\n");

    Result js = cli({"diff", "--json", data("diff/after.xlsx"), mdb});
    EXPECT_EQ(js.code, 1);
    EXPECT_EQ(json(js.out, "'\\n'.join('%s %s %s' % (t['name'], t['status'], ';'.join('%s|%s|%s|%s' % "
                           "(d['field'], d['what'], d['design'], d['database']) for d in t['differences'])) "
                           "for t in j['tables'])"),
              "customer differs NAME|size|80|50;EMAIL|missing|Text(100)|;NOTE|extra||Text(100)\n"
              "orders differs AMOUNT|type|Double|Currency;|primaryKey|ORDER_ID, CUSTOMER_ID|ORDER_ID\n"
              "product same \n"
              "audit_log extra \n");

    // Named tables only: the database's other tables are not listed.
    Result named = cli({"diff", "--json", data("diff/after.xlsx"), mdb, "product"});
    EXPECT_EQ(named.code, 0);
    EXPECT_EQ(named.out, "{\"tables\":[{\"name\":\"product\",\"status\":\"same\",\"differences\":[]}]}\n");
    // Read only: the file is untouched and no journal or lock is left.
    EXPECT_EQ(testsupport::readBytes(mdb), before);
    EXPECT_FALSE(fs::exists(mdb + "-journal"));
}

TEST(CliDiff, RequiredAutoNumberMissingTablesAndUnreadableDatabases) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "made.mdb").string();
    ASSERT_EQ(cli({"newdb", mdb}).code, 0);
    {
        auto db = jet::DBEngine().OpenDatabase(mdb);
        auto t = db->CreateTableDef("customer");
        t->Fields().Append(t->CreateField("ID", jet::dbLong));  // not auto-numbered, not required
        t->Fields().Append(t->CreateField("name", jet::dbText, 50));
        t->Fields().item("name")->setRequired(true);
        t->Fields().Append(t->CreateField("PHONE", jet::dbText, 20));
        t->Fields().Append(t->CreateField("NOTE", jet::dbText, 100));
        db->TableDefs().Append(t);
        db->Close();
    }
    Result r = cli({"diff", "--json", data("diff/before.xlsx"), mdb});
    EXPECT_EQ(r.code, 1);
    // Field names match without regard to letter case, as in Access.
    EXPECT_EQ(json(r.out, "[(t['name'], t['status'], [(d['field'], d['what'], d['design'], d['database']) "
                          "for d in t['differences']]) for t in j['tables']]"),
              "[('customer', 'differs', [('ID', 'required', 'true', 'false'), ('ID', 'autonumber', 'true', 'false'), "
              "('', 'primaryKey', 'ID', '')]), ('orders', 'missing', []), ('product', 'missing', [])]\n");

    Result none = cli({"diff", data("diff/before.xlsx"), (dir.path() / "none.mdb").string()});
    EXPECT_EQ(none.code, 2);
    EXPECT_TRUE(none.out.empty());
    Result notMdb = cli({"diff", data("diff/before.xlsx"), data("diff/before.xlsx")});
    EXPECT_EQ(notMdb.code, 2);
    Result unknown = cli({"diff", data("diff/before.xlsx"), mdb, "no_such_table"});
    EXPECT_EQ(unknown.code, 2);
}

// Real databases of other writers, .mdb and .accdb: the design's tables created in a copy compare
// as the same; after a create killed before its commit, the comparison sees the database as before
// and changes nothing, not even to roll the cut-off write back.
TEST(CliDiff, RealDatabasesAndACutOffWriteAreReadWithoutWriting) {
    for (const std::string sample : {"grown_by_other_writer.mdb", "testV2010.accdb", "jp_sample_thinkami.accdb"}) {
        SCOPED_TRACE(sample);
        const std::string db = jt::freshCopy(sample, "diff_real");
        Result made = cli({"create", data("diff/before.xlsx"), db});
        ASSERT_EQ(made.code, 0) << made.out << made.err;
        const std::vector<std::string> design = {"diff", data("diff/before.xlsx"), db, "customer", "orders", "product"};
        Result same = cli(design);
        EXPECT_EQ(same.code, 0) << same.out << same.err;
        EXPECT_EQ(same.out, "テーブル「customer」: 同じです\nテーブル「orders」: 同じです\nテーブル「product」: 同じです\n");
        // The sample's own tables are the database's only.
        Result all = cli({"diff", "--json", data("diff/before.xlsx"), db});
        EXPECT_EQ(all.code, 1);
        EXPECT_EQ(json(all.out, "sorted(set(t['status'] for t in j['tables']))"), "['extra', 'same']\n");

        {
            std::unique_ptr<jet::Database> objDB;
            EXPECT_EQ(jt::runKilledAt(
                          jt::stepNamed("db-fsync"), [&] { return (objDB = jet::DBEngine().OpenDatabase(db)) != nullptr; },
                          [&] {
                              auto t = objDB->CreateTableDef("customer_killed");
                              t->Fields().Append(t->CreateField("ID", jet::dbLong));
                              objDB->TableDefs().Append(t);
                              return true;
                          }),
                      jt::RunEnd::Killed);
        }
        const std::string journal = jet::journalPath(db);
        ASSERT_TRUE(fs::exists(journal));
        const auto half = testsupport::readBytes(db), pending = testsupport::readBytes(journal);
        Result cut = cli({"diff", "--json", data("diff/before.xlsx"), db});
        EXPECT_EQ(cut.code, 1);
        EXPECT_EQ(cut.out, all.out);
        EXPECT_NE(cut.err.find("書き込まずに"), std::string::npos) << cut.err;
        EXPECT_EQ(testsupport::readBytes(db), half);
        EXPECT_EQ(testsupport::readBytes(journal), pending);
    }
}
