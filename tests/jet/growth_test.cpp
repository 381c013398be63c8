// A database with hundreds of tables: a catalog index of several levels, more than 512 pages,
// usage maps that outgrow their inline form, a global map that grows in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "checker.h"
#include "dao.h"
#include "database_file.h"
#include "data_page.h"
#include "index_page.h"
#include "journal.h"
#include "usage_map.h"
#include "jet_fixtures.h"

using namespace jet;
using namespace jet::testsupport;

TEST(JetGrowth, SeveralHundredTablesKeepEveryStructureConsistent) {
    std::string path = freshCopy("jp_sample_thinkami.mdb", "grow");
    std::vector<FieldShape> fields = {{"ID", dbLong, 0, true, true}, {"NAME", dbText, 40, false, false}};
    {
        auto db = DBEngine().OpenDatabase(path);
        // Names in an order that inserts all over the index, not only at its end.
        for (int i = 0; i < 700; ++i) {
            int k = (i * 337) % 700;
            db->TableDefs().Append(makeTable(*db, "tbl_" + std::to_string(k) + "_x", fields, {"ID"}));
        }
        DatabaseFile& f = databaseFile(*db);
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
        if (n == 5000) {
            EXPECT_GE(t.levels.size(), 2u);
        }
    }
    pager.discard();
}

TEST(JetGrowth, HalfFullLeavesAsAccessLeavesThemTakeTheNewEntryInPlace) {
    std::string path = freshCopy("jp_sample_thinkami.mdb", "sparse");
    std::vector<uint32_t> sparsePages;
    size_t entriesBefore = 0;
    {
        auto db = DBEngine().OpenDatabase(path);
        for (int i = 0; i < 60; ++i)
            db->TableDefs().Append(makeTable(*db, "s" + std::to_string(i), {{"A", dbLong, 0, false, true}}, {"A"}));
        // Rewrite the catalog's name index the way Access grows one: many part-filled leaves.
        DatabaseFile& f = databaseFile(*db);
        Pager& p = f.pager();
        const uint32_t before = p.pageCount();
        TableDefinition objs = f.readTdef(2);
        const RealIndexDef& ri = objs.realIndexes[realIndexOf(objs, u"ParentIdName", "MSysObjects")];
        IndexTree packed = readIndexTree(p, ri.rootPage, 2);
        ASSERT_EQ(packed.pages.size(), 1u);
        entriesBefore = packed.entries.size();
        BuiltIndex sparse = buildIndexTree(packed.entries, 2, packed.pages, [&] { return p.allocate(); }, 400);
        for (auto& kv : sparse.images) {
            p.modify(kv.first) = kv.second;
            sparsePages.push_back(kv.first);
        }
        ASSERT_GE(sparsePages.size(), 6u);
        patchTableDefinition32(p, objs, ri.blockOffset + 0x26, sparse.root);
        RowPointer mapRow = RowPointer::fromLe(ri.usageMap);
        Bytes row = rowBytes(p.read(mapRow.page), mapRow.page, mapRow.row);
        UsageMap m = UsageMap::parse(row, p, "test");
        for (uint32_t pg : sparsePages) m.set(pg);
        overwriteRow(p.modify(mapRow.page), mapRow.page, mapRow.row, m.encode(row.size(), 0, true, p, [&] { return p.allocate(); }));
        Bytes g0 = rowBytes(p.read(1), 1, 0);
        UsageMap g = UsageMap::parse(g0, p, "global");
        for (uint32_t pg = before; pg < p.pageCount(); ++pg) g.clear(pg);
        overwriteRow(p.modify(1), 1, 0, g.encode(g0.size(), 0, false, p, [&] { return p.allocate(); }));
        commitWithJournal(p, path);
        db->Close();
    }
    CheckReport sparseReport = checkDatabase(path);
    ASSERT_TRUE(sparseReport.ok()) << sparseReport.summary();

    {
        auto db = DBEngine().OpenDatabase(path);
        db->TableDefs().Append(makeTable(*db, "s_after", everyTypeFields(), {"ID"}));
        DatabaseFile& f = databaseFile(*db);
        TableDefinition objs = f.readTdef(2);
        IndexTree t = readIndexTree(f.pager(), objs.realIndexes[realIndexOf(objs, u"ParentIdName", "MSysObjects")].rootPage, 2);
        // The leaves had room: the same pages, one of them holding the new name, nothing repacked.
        std::vector<uint32_t> treePages = t.pages, before = sparsePages;
        std::sort(treePages.begin(), treePages.end());
        std::sort(before.begin(), before.end());
        EXPECT_EQ(treePages, before);
        EXPECT_EQ(t.entries.size(), entriesBefore + 1);
        db->Close();
    }
    CheckReport r = checkDatabase(path);
    EXPECT_TRUE(r.ok()) << r.summary();
    auto names = mdbTables(path);
    EXPECT_NE(std::find(names.begin(), names.end(), "s_after"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "s59"), names.end());
    ReaderView rv = mdbReader(path, {"s_after"});
    ASSERT_TRUE(rv.ok) << rv.error;
    EXPECT_EQ(rv.details["s_after"].columns.size(), everyTypeFields().size());
}

TEST(JetGrowth, PagesTheFileHadBeyondItsPageMapAreNeverHandedOutAsFree) {
    // A file longer than its page map covers (512 pages): growing the map must not mark the
    // pages already in the file as free, or Jet would overwrite them.
    std::string bytes = readFile(samplePath("jet_created_adox_jet4.mdb"));
    bytes.append(600 * 4096, '\0');  // pages 16..615; 512..615 lie outside the map
    std::string path = scratchDir() + "/beyond.mdb";
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }
    auto db = DBEngine().OpenDatabase(path);
    db->TableDefs().Append(makeTable(*db, "Beyond", everyTypeFields(), {"ID"}));
    Pager& p = databaseFile(*db).pager();
    UsageMap g = UsageMap::parse(rowBytes(p.read(1), 1, 0), p, "global");
    for (uint32_t pg = 512; pg < p.pageCount(); ++pg) EXPECT_FALSE(g.has(pg)) << pg;
    EXPECT_TRUE(g.covers(p.pageCount() - 1));
    EXPECT_TRUE(g.has(p.pageCount()));  // past the end: free
    EXPECT_TRUE(g.has(100));            // the sample's own free pages stay free
    db->Close();
    CheckReport r = checkDatabase(path);
    EXPECT_TRUE(r.ok()) << r.summary();
}

TEST(JetGrowth, CheckerFindsAUsageMapPageMarkedFree) {
    // The page holding a table's usage maps belongs to no map itself; were its global bit left
    // set, Jet would hand it out again and overwrite the maps. The checker must see that.
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "mapfree");
    uint32_t mapPage = 0;
    {
        auto db = DBEngine().OpenDatabase(path);
        db->TableDefs().Append(makeTable(*db, "Mapped", everyTypeFields(), {"ID"}));
        db->Close();
    }
    ASSERT_TRUE(checkDatabase(path).ok());
    {
        auto f = DatabaseFile::open(path, false);
        Pager& p = f->pager();
        for (auto& t : f->tables())
            if (t.name == u"Mapped") mapPage = RowPointer::fromLe(f->readTdef(static_cast<uint32_t>(t.id)).ownedMap).page;
        ASSERT_GT(mapPage, 15u);
        Bytes g0 = rowBytes(p.read(1), 1, 0);
        UsageMap g = UsageMap::parse(g0, p, "global");
        ASSERT_FALSE(g.has(mapPage));
        g.set(mapPage);
        overwriteRow(p.modify(1), 1, 0, g.encode(g0.size(), 0, false, p, [&] { return p.allocate(); }));
        commitWithJournal(p, path);
    }
    CheckReport r = checkDatabase(path);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.summary().find("page " + std::to_string(mapPage) + " holding"), std::string::npos) << r.summary();
}
