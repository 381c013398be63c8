// The Access builder over the Jet engine: tables created in copies of real databases and in new
// ones, read back with mdb-reader and mdbtools; every failure path and its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "Cp932.h"
#include "TextRules.h"
#include "clsAccessDB.h"
#include "file_io.h"
#include "jet_fixtures.h"
#include "jet_error.h"
#include "oracles.h"
#include "test_support.h"

namespace fs = std::filesystem;
namespace jt = jet::testsupport;

namespace {

const fs::path kMdb = fs::path(XLSDB_TEST_DATA) / "mdb";

FieldInfoPtr field(const std::string& name, const std::string& attr, const std::string& size, bool null = false) {
    auto f = std::make_shared<clsFieldInfo>();
    f->setName(name);
    f->setAttr(attr);
    f->setSize(size);
    f->setNull(null);
    return f;
}

TableInfoPtr table(const std::string& name, std::vector<FieldInfoPtr> fields, std::vector<std::string> keys = {}) {
    auto t = std::make_shared<clsTableInfo>();
    t->setName(name);
    for (auto& f : fields) t->setField(f);
    for (auto& k : keys) t->sbAddPKey(k);
    return t;
}

// A copy of a sample database in a fresh folder.
struct Copy {
    testsupport::TempDir dir;
    std::string path;
    explicit Copy(const std::string& sample) {
        path = (dir.path() / sample).string();
        fs::copy_file(kMdb / sample, path);
    }
};

std::string conversionMessage(const std::string& text) {
    try {
        toInt16(text);
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "(converted)";
}

std::vector<std::string> names(const std::vector<jt::ReaderColumn>& cols) {
    std::vector<std::string> n;
    for (const auto& c : cols) n.push_back(c.name);
    return n;
}

// mdb-reader's view of every user table.
jt::ReaderView readBack(const std::string& path) { return jt::mdbReader(path, {}); }

bool hasTable(const jt::ReaderView& v, const std::string& t) { return v.details.count(t) != 0; }

std::vector<std::string> notNullColumns(const std::string& path, const std::string& t) {
    std::vector<std::string> n;
    for (const auto& c : jt::mdbSchema(path, t).columns)
        if (c.notNull) n.push_back(c.name);
    return n;
}

}  // namespace

TEST(AccessDB, OpenRecordsEveryTableNameSystemTablesIncluded) {
    Copy db("jp_sample_thinkami.mdb");
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    const auto& names = builder.getTableNames();
    auto has = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
    EXPECT_TRUE(has("MSysObjects"));
    EXPECT_TRUE(has("order"));
    EXPECT_TRUE(has("item"));
    EXPECT_TRUE(builder.fnCloseDB());
    EXPECT_FALSE(builder.fnCloseDB());  // nothing open any more

    // A second open on the same builder adds the second file's names after the first's.
    Copy other("kenjinote_sample.mdb");
    const std::size_t before = builder.getTableNames().size();
    ASSERT_TRUE(builder.fnOpenDB(other.path));
    EXPECT_GT(builder.getTableNames().size(), before);
    EXPECT_EQ(builder.getTableNames()[0], names[0]);
    builder.fnCloseDB();
    EXPECT_TRUE(msgs.getMessages().empty());
}

TEST(AccessDB, OpenFailsForMissingAndNonDatabaseFiles) {
    testsupport::TempDir dir;
    clsAccessDB builder;
    EXPECT_FALSE(builder.fnOpenDB((dir.path() / "none.mdb").string()));
    testsupport::writeBytes(dir.path() / "text.mdb", std::string(5000, 'x'));
    EXPECT_FALSE(builder.fnOpenDB((dir.path() / "text.mdb").string()));
    EXPECT_EQ(testsupport::readBytes(dir.path() / "text.mdb"), std::string(5000, 'x'));
    EXPECT_FALSE(builder.fnOpenDB(""));
}

TEST(AccessDB, CreatesEveryTypeWithSizesRequiredFlagsAutoNumberAndPrimaryKey) {
    for (const char* sample : {"jp_sample_thinkami.mdb", "kenjinote_sample.mdb", "access2000_empty_jackcess_template.mdb"}) {
        SCOPED_TRACE(sample);
        Copy db(sample);
        const auto before = readBack(db.path);
        ASSERT_TRUE(before.ok) << before.error;

        clsMessageList msgs;
        clsAccessDB builder(&msgs);
        builder.sbSetFieldAttr(std::make_shared<clsAccessFieldAttr>());
        ASSERT_TRUE(builder.fnOpenDB(db.path));
        auto t = table("受注明細",
                       {field("ID", "AutoNumber", ""), field("CODE", " text ", "10"),
                        field("名前", "TEXT", "50", true), field("D", "Date", ""), field("I", "Integer", "", true),
                        field("L", "Long", ""), field("S", "single", "7"), field("DB", "Double", ""),
                        field("C", "Currency", "99", true), field("HALF", "Text", " 2.5 ")},
                       {"ID", "CODE"});
        EXPECT_TRUE(builder.fnCreateTable(*t));
        builder.fnCloseDB();
        EXPECT_TRUE(msgs.getMessages().empty());

        const auto after = readBack(db.path);
        ASSERT_TRUE(after.ok) << after.error;
        ASSERT_TRUE(hasTable(after, "受注明細")) << after.error;
        EXPECT_EQ(after.tables.size(), before.tables.size() + 1);
        for (const auto& kv : before.details) {
            const std::string& old = kv.first;
            EXPECT_TRUE(hasTable(after, old)) << old;
            EXPECT_EQ(names(after.details.at(old).columns), names(before.details.at(old).columns)) << old;
        }
        const auto& cols = after.details.at("受注明細").columns;
        ASSERT_EQ(names(cols), (std::vector<std::string>{"ID", "CODE", "名前", "D", "I", "L", "S", "DB", "C", "HALF"}));
        struct Want { const char* type; int size; bool autoLong; };
        const Want want[] = {{"long", 4, true},    {"text", 20, false},   {"text", 100, false}, {"datetime", 8, false},
                             {"integer", 2, false}, {"long", 4, false},   {"float", 4, false},  {"double", 8, false},
                             {"currency", 8, false}, {"text", 4, false}};
        for (std::size_t i = 0; i < cols.size(); ++i) {
            SCOPED_TRACE(cols[i].name);
            EXPECT_EQ(cols[i].type, want[i].type);
            EXPECT_EQ(cols[i].size, want[i].size);
            EXPECT_EQ(cols[i].autoLong, want[i].autoLong);
        }
        // Required from the null flag: the fields marked as accepting NULL are 名前, I and C.
        EXPECT_EQ(notNullColumns(db.path, "受注明細"),
                  (std::vector<std::string>{"ID", "CODE", "D", "L", "S", "DB", "HALF"}));
        EXPECT_EQ(jt::mdbSchema(db.path, "受注明細").primaryKey, (std::vector<std::string>{"ID", "CODE"}));
        auto tables = jt::mdbTables(db.path);
        EXPECT_NE(std::find(tables.begin(), tables.end(), "受注明細"), tables.end());
    }
}

TEST(AccessDB, UnknownTypeWordIsReportedAndTheRestOfTheTableCreated) {
    Copy db("jp_sample_thinkami.mdb");
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    auto t = table("T1", {field("A", " 文字 ", "10"), field("B", "Long", ""), field("C", "Varchar", "5")}, {"B"});
    EXPECT_TRUE(builder.fnCreateTable(*t));
    builder.fnCloseDB();
    // The attribute exactly as read, spaces kept.
    EXPECT_EQ(msgs.getMessages(), (std::vector<std::string>{" 文字 は未定義です（テーブル『T1』、フィールド『A』）",
                                                           "Varcharは未定義です（テーブル『T1』、フィールド『C』）"}));
    const auto after = readBack(db.path);
    ASSERT_TRUE(hasTable(after, "T1"));
    EXPECT_EQ(names(after.details.at("T1").columns), (std::vector<std::string>{"B"}));
}

TEST(AccessDB, TextWithoutSizeIsSkippedSilentlyAndBadSizesAreReported) {
    Copy db("jp_sample_thinkami.mdb");
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    // The Text notation is recognised trimmed and in any letter case before the size is looked at.
    auto t = table("T2", {field("NOSIZE", "Text", ""), field("SPACES", "Text", "  "), field("CASE", " tEXT ", ""),
                          field("ABC", "Text", "abc"),
                          field("HUGE", "Text", "40000"), field("TOOLONG", "Text", "300"), field("OK", "Text", "12"),
                          field("", "Long", ""), field("NOATTR", " ", "")});
    EXPECT_TRUE(builder.fnCreateTable(*t));
    builder.fnCloseDB();
    const auto& m = msgs.getMessages();
    ASSERT_EQ(m.size(), 3u) << ::testing::PrintToString(m);
    EXPECT_EQ(m[0], conversionMessage("abc") + "（テーブル『T2』、フィールド『ABC』）");
    EXPECT_EQ(m[1], conversionMessage("40000") + "（テーブル『T2』、フィールド『HUGE』）");
    EXPECT_FALSE(m[2].empty());  // the engine's description of a text size over 255
    const auto after = readBack(db.path);
    ASSERT_TRUE(hasTable(after, "T2"));
    EXPECT_EQ(names(after.details.at("T2").columns), (std::vector<std::string>{"OK"}));
}

TEST(AccessDB, ExistingNameIsRefusedAndTheFileLeftUntouched) {
    Copy db("jp_sample_thinkami.mdb");
    const std::string original = testsupport::readBytes(db.path);
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    EXPECT_FALSE(builder.fnCreateTable(*table("item", {field("X", "Long", "")})));
    // Differs only in letter case: not in the recorded names, refused by the engine.
    EXPECT_FALSE(builder.fnCreateTable(*table("ITEM", {field("X", "Long", "")})));
    builder.fnCloseDB();
    EXPECT_TRUE(msgs.getMessages().empty());
    EXPECT_EQ(testsupport::readBytes(db.path), original);
}

TEST(AccessDB, TheRunReachesTheFileAtCloseAndAFailedCloseNamesEveryTableOfIt) {
    Copy db("jp_sample_thinkami.mdb");
    const std::string original = testsupport::readBytes(db.path);
    {
        clsAccessDB builder;
        ASSERT_TRUE(builder.fnOpenDB(db.path));
        EXPECT_TRUE(builder.fnCreateTable(*table("R1", {field("ID", "Long", "")})));
        EXPECT_FALSE(builder.fnCreateTable(*table("item", {field("X", "Long", "")})));
        EXPECT_TRUE(builder.fnCreateTable(*table("R2", {field("ID", "Long", "")})));
        EXPECT_EQ(testsupport::readBytes(db.path), original);  // nothing written before the close
        jet::setFaultHook([](const char* s) {
            if (std::string(s) == "db-write") throw jet::JetError(jet::errIo, "ディスクがいっぱいです（試験）。");
        });
        EXPECT_FALSE(builder.fnCloseDB());
        jet::setFaultHook(nullptr);
        EXPECT_EQ(builder.getUnwrittenTables(), (std::vector<std::string>{"R1", "R2"}));
        EXPECT_NE(builder.getLastError().find("ディスクがいっぱいです"), std::string::npos) << builder.getLastError();
        EXPECT_FALSE(builder.isOpen());
    }
    EXPECT_EQ(testsupport::readBytes(db.path), original);
    EXPECT_FALSE(fs::exists(db.path + "-journal"));
    clsAccessDB again;
    ASSERT_TRUE(again.fnOpenDB(db.path));
    EXPECT_TRUE(again.fnCreateTable(*table("R1", {field("ID", "Long", "")})));
    EXPECT_TRUE(again.fnCloseDB());
    EXPECT_TRUE(again.getUnwrittenTables().empty());
    clsAccessDB reader;
    ASSERT_TRUE(reader.fnOpenDB(db.path, true));
    const auto& names = reader.getTableNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "R1"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "R2"), names.end());
    reader.fnCloseDB();
}

TEST(AccessDB, AnInterruptedEarlierWriteIsUndoneAndTold) {
    Copy db("jp_sample_thinkami.mdb");
    const std::string original = testsupport::readBytes(db.path);
    {
        // The process "dies" once the run's pages are written but before they are synced.
        clsAccessDB builder;
        EXPECT_EQ(jet::testsupport::runKilledAt(
                      jet::testsupport::stepNamed("db-fsync"),
                      [&] {
                          return builder.fnOpenDB(db.path) && builder.getOpenNotice().empty() &&
                                 builder.fnCreateTable(*table("HALF", {field("ID", "Long", "")}));
                      },
                      [&] { return builder.fnCloseDB(); }),
                  jet::testsupport::RunEnd::Killed);
    }
    ASSERT_NE(testsupport::readBytes(db.path), original);

    clsAccessDB again;
    ASSERT_TRUE(again.fnOpenDB(db.path)) << again.getLastError();
    EXPECT_NE(again.getOpenNotice().find("『" + db.path + "』"), std::string::npos) << again.getOpenNotice();
    again.fnCloseDB();
    EXPECT_EQ(testsupport::readBytes(db.path), original);

    clsAccessDB third;
    ASSERT_TRUE(third.fnOpenDB(db.path));
    EXPECT_EQ(third.getOpenNotice(), "");
    third.fnCloseDB();
}

TEST(AccessDB, PrimaryKeyOnASkippedFieldRefusesTheWholeTable) {
    Copy db("jp_sample_thinkami.mdb");
    const std::string original = testsupport::readBytes(db.path);
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    auto t = table("T3", {field("ID", "Text", ""), field("NAME", "Text", "20")}, {"ID"});
    EXPECT_FALSE(builder.fnCreateTable(*t));
    builder.fnCloseDB();
    EXPECT_TRUE(msgs.getMessages().empty());
    EXPECT_EQ(testsupport::readBytes(db.path), original);
}

TEST(AccessDB, TableWithoutFieldsSucceedsAndCreatesNothing_AllSkippedFails) {
    Copy db("jp_sample_thinkami.mdb");
    const std::string original = testsupport::readBytes(db.path);
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    EXPECT_TRUE(builder.fnCreateTable(*table("EMPTY", {})));
    EXPECT_FALSE(builder.fnCreateTable(*table("SKIPPED", {field("A", "Text", ""), field("", "Long", "")})));
    builder.fnCloseDB();
    EXPECT_EQ(testsupport::readBytes(db.path), original);
}

TEST(AccessDB, SameTableTwiceOnOneBuilderFailsTheSecondTime) {
    Copy db("jp_sample_thinkami.mdb");
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    ASSERT_TRUE(builder.fnOpenDB(db.path));
    auto t = table("TWICE", {field("A", "Long", "")}, {"A"});
    EXPECT_TRUE(builder.fnCreateTable(*t));
    EXPECT_FALSE(builder.fnCreateTable(*t));
    builder.fnCloseDB();
    const auto after = readBack(db.path);
    EXPECT_EQ(std::count(after.tables.begin(), after.tables.end(), "TWICE"), 1);
}

TEST(AccessDB, NothingIsCreatedWithoutAnOpenDatabase) {
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    EXPECT_FALSE(builder.fnCreateTable(*table("T", {field("A", "Long", "")})));
    EXPECT_TRUE(msgs.getMessages().empty());
}

TEST(AccessDB, SharedMapIsReadForEveryFieldFirstMatchingNotationWins) {
    testsupport::TempDir dir;
    const std::string path = (dir.path() / "new.mdb").string();
    clsMessageList msgs;
    clsAccessDB builder(&msgs);
    auto map = std::make_shared<clsAccessFieldAttr>();
    builder.sbSetFieldAttr(map);
    map->setInteger("数値");  // changed after it was handed over: still seen
    map->setLong("数値");
    map->setCurrency("Text");  // Text comes first: such fields are text fields and need a size
    map->setDouble(" 倍精度");  // notations are not trimmed: never matches
    ASSERT_TRUE(builder.fnCreateDB(path));
    EXPECT_TRUE(builder.fnCreateTable(
        *table("M", {field("N", "数値", ""), field("T", "text", "5"), field("X", "倍精度", "")})));
    builder.fnCloseDB();
    EXPECT_EQ(msgs.getMessages(), (std::vector<std::string>{"倍精度は未定義です（テーブル『M』、フィールド『X』）"}));
    const auto after = readBack(path);
    ASSERT_TRUE(hasTable(after, "M")) << after.error;
    ASSERT_EQ(names(after.details.at("M").columns), (std::vector<std::string>{"N", "T"}));
    EXPECT_EQ(after.details.at("M").columns[0].type, "integer");
    EXPECT_EQ(after.details.at("M").columns[1].type, "text");
}

TEST(AccessDB, CreateDatabaseNeverReplacesAFileAndDefaultsToTheBuiltInWords) {
    testsupport::TempDir dir;
    const fs::path existing = dir.path() / "existing.mdb";
    testsupport::writeBytes(existing, "keep me");
    clsAccessDB builder;
    EXPECT_FALSE(builder.fnCreateDB(existing.string()));
    EXPECT_EQ(testsupport::readBytes(existing), "keep me");
    EXPECT_FALSE(builder.fnCreateDB((dir.path() / "missing" / "x.mdb").string()));

    const std::string path = (dir.path() / "new.mdb").string();
    clsMessageList msgs;
    clsAccessDB fresh(&msgs);  // never handed a map
    ASSERT_TRUE(fresh.fnCreateDB(path));
    EXPECT_TRUE(fresh.fnCreateTable(*table("T", {field("A", "AutoNumber", ""), field("B", "Currency", "")}, {"A"})));
    EXPECT_TRUE(fresh.fnCloseDB());
    EXPECT_TRUE(msgs.getMessages().empty());
    const auto after = readBack(path);
    ASSERT_TRUE(after.ok) << after.error;
    ASSERT_EQ(after.details.size(), 1u);
    const auto& cols = after.details.at("T").columns;
    ASSERT_EQ(names(cols), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(cols[0].autoLong);
    EXPECT_EQ(cols[1].type, "currency");
    EXPECT_EQ(jt::mdbSchema(path, "T").primaryKey, (std::vector<std::string>{"A"}));
}

namespace {

// Shows messages but fails like a library would, for the first `failures` messages (every one
// when negative): the builder must then tell the user why in Japanese.
class FailingMessages : public clsMessageOut {
public:
    FailingMessages(std::function<void()> fnFail, int failures) : mofnFail(std::move(fnFail)), molngFailures(failures) {}
    void sbShowMessage(const std::string& strText) override {
        if (molngFailures != 0) {
            if (molngFailures > 0) --molngFailures;
            mofnFail();
        }
        mocolShown.push_back(strText);
    }
    const std::vector<std::string>& shown() const { return mocolShown; }

private:
    std::function<void()> mofnFail;
    int molngFailures;
    std::vector<std::string> mocolShown;
};

// The last error of a table whose unknown type word is reported through a sink that always fails.
std::string lastErrorWhenReportingFails(std::function<void()> fnFail) {
    testsupport::TempDir dir;
    FailingMessages msgs(std::move(fnFail), -1);
    clsAccessDB builder(&msgs);
    if (!builder.fnCreateDB((dir.path() / "fail.mdb").string())) return "(no database: " + builder.getLastError() + ")";
    const bool blnCreated = builder.fnCreateTable(*table("T", {field("A", "Long", ""), field("B", "Bogus", "")}));
    const std::string strWhy = blnCreated ? "(created)" : builder.getLastError();
    builder.fnCloseDB();
    return strWhy;
}

}  // namespace

TEST(AccessDB, FailuresOutsideTheEngineAreToldInJapanese) {
    // The sink fails once: the builder reports that failure instead, and goes on with the table.
    {
        testsupport::TempDir dir;
        FailingMessages msgs([] { throw std::bad_alloc(); }, 1);
        clsAccessDB builder(&msgs);
        ASSERT_TRUE(builder.fnCreateDB((dir.path() / "once.mdb").string()));
        EXPECT_TRUE(builder.fnCreateTable(*table("T", {field("A", "Long", ""), field("B", "Bogus", "")})));
        EXPECT_TRUE(builder.fnCloseDB());
        EXPECT_EQ(msgs.shown(), (std::vector<std::string>{"メモリが足りません。（テーブル『T』、フィールド『B』）"}));
    }
    // The sink always fails: the table is not made, and the last error says why.
    EXPECT_EQ(lastErrorWhenReportingFails([] { throw std::bad_alloc(); }), "メモリが足りません。");
    EXPECT_EQ(lastErrorWhenReportingFails([] { throw std::system_error(EIO, std::generic_category()); }),
              systemErrorText(EIO) + "。");
    EXPECT_EQ(lastErrorWhenReportingFails([] { throw std::length_error("vector::_M_realloc_insert"); }),
              "予期しないエラーが起きました（vector::_M_realloc_insert）。");
    // The engine's own descriptions are already meant for the user and pass unchanged.
    EXPECT_EQ(lastErrorWhenReportingFails([] { throw jet::JetError(jet::errIo, "書き込みに失敗しました。"); }),
              "書き込みに失敗しました。");
}
