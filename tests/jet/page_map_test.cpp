// Page maps in every form real files use: inline rows of other lengths and first pages, reference
// rows, for the global map and for tables' and indexes' maps. Each file takes tables, grows its maps
// and stays readable by the independent readers and the structural checker.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalog.h"
#include "checker.h"
#include "data_page.h"
#include "database_file.h"
#include "jet_fixtures.h"
#include "journal.h"
#include "usage_map.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

Bytes inlineRow(uint32_t start, size_t bitmapBytes, const std::set<uint32_t>& pages) {
    Bytes row(5 + bitmapBytes, 0);
    put32(&row[1], start);
    for (uint32_t p : pages) {
        EXPECT_TRUE(p >= start && p < start + bitmapBytes * 8) << p;
        row[5 + (p - start) / 8] |= static_cast<uint8_t>(1u << ((p - start) % 8));
    }
    return row;
}

UsageMap mapAt(Pager& p, uint32_t rowPointer) { return readUsageMap(p, rowPointer, "test"); }

void putMapRow(Pager& p, uint32_t rowPointer, const Bytes& row) {
    RowPointer rp = RowPointer::fromLe(rowPointer);
    replaceRow(p.modify(rp.page), rp.page, rp.row, row);
}

// Adds tables until the file has more than `pages` pages; returns their names.
std::vector<std::string> growPast(const std::string& path, uint32_t pages) {
    std::vector<std::string> names;
    auto db = DBEngine().OpenDatabase(path);
    while (databaseFile(*db).pager().pageCount() <= pages) {
        names.push_back("grow_" + std::to_string(names.size()));
        db->TableDefs().Append(makeTable(*db, names.back(), everyTypeFields(), {"ID"}));
    }
    db->Close();
    return names;
}

void expectReadersAgree(const std::string& path, const std::vector<std::string>& names) {
    CheckReport r = checkDatabase(path);
    EXPECT_TRUE(r.ok()) << r.summary();
    auto all = mdbTables(path);
    for (auto& n : names) EXPECT_NE(std::find(all.begin(), all.end(), n), all.end()) << n;
    ReaderView rv = mdbReader(path, {names.front(), names.back()});
    ASSERT_TRUE(rv.ok) << rv.error;
    EXPECT_EQ(rv.details[names.back()].columns.size(), everyTypeFields().size());
}

}  // namespace

TEST(JetPageMaps, AGlobalMapStartingAtPage512TakesTables) {
    // Another writer grew this file past 512 pages and moved its global map's window to 512.
    std::string path = freshCopy("grown_by_other_writer.mdb", "grown");
    auto names = growPast(path, 570);
    auto f = DatabaseFile::open(path, true);
    Pager& p = f->pager();
    Bytes g = rowBytes(p.read(1), 1, 0);
    UsageMap gm = UsageMap::parse(g, p, "global");
    ASSERT_TRUE(gm.isInline());
    EXPECT_EQ(gm.start(), 512u);  // the first page kept
    EXPECT_GE(gm.windowEnd(), p.pageCount());
    for (uint32_t pg = 558; pg < p.pageCount(); ++pg) EXPECT_FALSE(gm.has(pg)) << pg;
    EXPECT_TRUE(gm.has(p.pageCount()));
    f->close();
    expectReadersAgree(path, names);
}

TEST(JetPageMaps, InlineMapsOfOtherLengthsAndFirstPagesAndReferenceMapsTakeTables) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "forms");
    uint32_t objsOwned = 0, lvOwned = 0, nameIndexMap = 0;
    {
        auto f = DatabaseFile::open(path, false);
        Pager& p = f->pager();
        TableDefinition objs = f->readTdef(2);
        objsOwned = objs.ownedMap;
        lvOwned = objs.lvMap(CatalogColumns(objs).lvProp->number)->ownedMap;
        nameIndexMap = objs.realIndexes[realIndexOf(objs, u"ParentIdName", "MSysObjects")].usageMap;
        // The catalog's long values: inline, 4 bitmap bytes (pages 0-31).
        putMapRow(p, lvOwned, inlineRow(0, 4, mapAt(p, lvOwned).pages()));
        // Its name index: inline, first page 0, 8 bytes.
        putMapRow(p, nameIndexMap, inlineRow(0, 8, mapAt(p, nameIndexMap).pages()));
        // The catalog's own pages: a reference map with its bitmap page at the end of the file.
        std::set<uint32_t> objsPages = mapAt(p, objsOwned).pages();
        const uint32_t bitmap = p.allocate();
        Bytes& bp = p.modify(bitmap);
        bp[0] = 0x05;
        bp[1] = 0x01;
        for (uint32_t pg : objsPages) bp[4 + pg / 8] |= static_cast<uint8_t>(1u << (pg % 8));
        Bytes ref(69, 0);
        ref[0] = 0x01;
        put32(&ref[1], bitmap);
        putMapRow(p, objsOwned, ref);
        // The global map: first page 8, 20 bytes (pages 8-167), the file's free pages kept free.
        UsageMap g = UsageMap::parse(rowBytes(p.read(1), 1, 0), p, "global");
        std::set<uint32_t> free;
        for (uint32_t pg = 8; pg < 168; ++pg)
            if (pg > bitmap && (pg >= p.pageCount() || g.has(pg))) free.insert(pg);
        replaceRow(p.modify(1), 1, 0, inlineRow(8, 20, free));
        commitWithJournal(p, path);
    }
    ASSERT_TRUE(checkDatabase(path).ok()) << checkDatabase(path).summary();
    auto names = growPast(path, 200);
    {
        auto f = DatabaseFile::open(path, true);
        Pager& p = f->pager();
        UsageMap g = UsageMap::parse(rowBytes(p.read(1), 1, 0), p, "global");
        EXPECT_TRUE(g.isInline());
        EXPECT_EQ(g.start(), 8u);
        EXPECT_GE(g.windowEnd(), p.pageCount());
        UsageMap lv = mapAt(p, lvOwned);
        EXPECT_GT(*lv.pages().rbegin(), 31u);  // grown: lengthened or turned into a reference map
        UsageMap objsMap = mapAt(p, objsOwned);
        EXPECT_FALSE(objsMap.isInline());
        EXPECT_GT(*objsMap.pages().rbegin(), 17u);
    }
    expectReadersAgree(path, names);
}

TEST(JetPageMaps, MapRowsReadAndWrittenBackKeepTheirBytes) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "maprows");
    auto f = DatabaseFile::open(path, false);
    Pager& p = f->pager();
    auto noPages = []() -> uint32_t {
        ADD_FAILURE() << "a page was taken";
        return 0;
    };
    // Inline rows whose first page is and is not a multiple of 8, bits on both sides of 64-page
    // boundaries, and a last byte left empty.
    for (uint32_t start : {0u, 13u, 4096u, 70001u}) {
        SCOPED_TRACE(start);
        std::set<uint32_t> pages = {start, start + 7, start + 8, start + 63, start + 64, start + 65, start + 300, start + 503};
        Bytes row = inlineRow(start, 68, pages);
        UsageMap m = UsageMap::parse(row, p, "test");
        EXPECT_EQ(m.pages(), pages);
        EXPECT_EQ(m.first(), start);
        EXPECT_EQ(m.last(), start + 503);
        EXPECT_TRUE(m.has(start + 65));
        EXPECT_FALSE(m.has(start + 66));
        std::vector<uint32_t> down;
        m.visitDescending([&](uint32_t pg) {
            down.push_back(pg);
            return down.size() < 3;
        });
        EXPECT_EQ(down, (std::vector<uint32_t>{start + 503, start + 300, start + 65}));
        EXPECT_TRUE(m.encode(row.size(), 0, false, p, noPages) == row);
        m.clear(start + 8);
        m.set(start + 9);
        pages.erase(start + 8);
        pages.insert(start + 9);
        EXPECT_TRUE(m.encode(row.size(), 0, false, p, noPages) == inlineRow(start, 68, pages));
    }
    // A reference row with bitmap pages for the first two ranges of pages.
    Bytes ref(1 + 4 * kRefMapSlots, 0);
    ref[0] = 0x01;
    std::set<uint32_t> pages;
    for (int s = 0; s < 2; ++s) {
        const uint32_t bp = p.allocate();
        put32(&ref[1 + 4 * s], bp);
        Bytes& b = p.modify(bp);
        b[0] = 0x05;
        b[1] = 0x01;
        for (uint32_t i : {0u, 1u, 200u, 32735u - s * 100}) {
            b[4 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
            pages.insert(s * kRefMapPagesPerBitmap + i);
        }
    }
    const Bytes bitmap0 = p.read(le32(&ref[1]));
    UsageMap r = UsageMap::parse(ref, p, "test");
    EXPECT_EQ(r.pages(), pages);
    EXPECT_TRUE(r.encode(ref.size(), 0, false, p, noPages) == ref);
    EXPECT_TRUE(p.read(le32(&ref[1])) == bitmap0);
    // A damaged inline row naming pages no file has: listed as they are, not a huge bitmap.
    Bytes far = inlineRow(0xFFFF0000u, 4, {0xFFFF0001u, 0xFFFF001Fu});
    UsageMap d = UsageMap::parse(far, p, "test");
    EXPECT_EQ(d.pages(), (std::set<uint32_t>{0xFFFF0001u, 0xFFFF001Fu}));
    EXPECT_TRUE(d.has(0xFFFF001Fu));
    p.discard();
}
