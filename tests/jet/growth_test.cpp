// A database with hundreds of tables: a catalog index of several levels, more than 512 pages,
// usage maps that outgrow their inline form, a global map that grows in place.
#include <gtest/gtest.h>

#include <algorithm>

#include "checker.h"
#include "dao.h"
#include "database_file.h"
#include "index_page.h"
#include "jet_fixtures.h"

using namespace jet;
using namespace jet::testsupport;

TEST(JetGrowth, SeveralHundredTablesKeepEveryStructureConsistent) {
    std::string path = freshCopy("jp_sample_thinkami.mdb", "grow");
    std::vector<FieldSpec> fields = {{"ID", dbLong, 0, true, true}, {"NAME", dbText, 40, false, false}};
    {
        auto db = DBEngine().OpenDatabase(path);
        // Names in an order that inserts all over the index, not only at its end.
        for (int i = 0; i < 700; ++i) {
            int k = (i * 337) % 700;
            db->TableDefs().Append(makeTable(*db, "tbl_" + std::to_string(k) + "_x", fields, {"ID"}));
        }
        DatabaseFile& f = db->file();
        EXPECT_GT(f.pager().pageCount(), 2100u);
        TableDefinition objs = f.readTdef(2);
        IndexTree names = readIndexTree(f.pager(), objs.realIndexes[realIndexOf(objs, u"ParentIdName", "MSysObjects")].rootPage, 2);
        EXPECT_GE(names.levels.size(), 2u);
        EXPECT_GE(names.leaves.size(), 5u);
        db->Close();
    }
    CheckReport r = checkDatabase(path);
    EXPECT_TRUE(r.ok()) << r.summary();
    EXPECT_GE(r.tablesChecked, 713);

    auto all = mdbTables(path);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& s) { return s.rfind("tbl_", 0) == 0; }), 700);
    SchemaTable s = mdbSchema(path, "tbl_699_x");
    ASSERT_TRUE(s.found) << s.raw;
    EXPECT_EQ(s.primaryKey, std::vector<std::string>{"ID"});
    ReaderView rv = mdbReader(path, {"tbl_0_x", "tbl_699_x", "order"});
    ASSERT_TRUE(rv.ok) << rv.error;
    EXPECT_EQ(rv.details["tbl_699_x"].columns.size(), 2u);
    EXPECT_EQ(rv.details["order"].rowCount, 1);  // the user's own data is still there
    EXPECT_EQ(mdbExport(path, "order").exitCode, 0);

    // The grown database takes more tables after a reopen.
    auto db = DBEngine().OpenDatabase(path);
    db->TableDefs().Append(makeTable(*db, "after_reopen", everyTypeFields(), {"ID"}));
    db->Close();
    EXPECT_TRUE(checkDatabase(path).ok());
}

TEST(JetGrowth, RebuiltIndexTreesHoldExactlyTheirEntries) {
    // Trees of 0, 1, a few and thousands of entries: walk what was built and compare.
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "tree");
    auto f = DatabaseFile::open(path, false);
    Pager& pager = f->pager();
    for (int n : {0, 1, 150, 5000}) {
        SCOPED_TRACE(n);
        std::vector<IndexEntry> entries;
        for (int i = 0; i < n; ++i) {
            Bytes key = {0x7F, static_cast<uint8_t>(0x40 + i % 50)};
            for (int k = 0; k < i % 23; ++k) key.push_back(static_cast<uint8_t>(0x30 + (i * 7 + k) % 60));
            key.push_back(0x01);
            key.push_back(0x00);
            entries.push_back(IndexEntry{key, RowPointer{static_cast<uint32_t>(100 + i / 200), static_cast<uint8_t>(i % 200)}});
        }
        std::sort(entries.begin(), entries.end());
        BuiltIndex b = buildIndexTree(entries, 2, {}, [&] { return pager.allocate(); });
        for (auto& kv : b.images) pager.modify(kv.first) = kv.second;
        IndexTree t = readIndexTree(pager, b.root, 2);
        ASSERT_EQ(t.entries.size(), entries.size());
        EXPECT_TRUE(t.entries == entries);
        EXPECT_EQ(t.pages.size(), b.images.size());
        if (n == 5000) EXPECT_GE(t.levels.size(), 2u);
    }
    pager.discard();
}
