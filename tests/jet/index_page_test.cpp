// The index page writer against the leaves Access and Jet wrote.
#include <gtest/gtest.h>

#include <algorithm>

#include "database_file.h"
#include "index_insert.h"
#include "index_page.h"
#include "jet_fixtures.h"

using namespace jet;
using namespace jet::testsupport;

TEST(JetIndexPage, RebuildingASampleLeafGivesBackItsBytes) {
    // Every index of every sample that is a single uncompressed leaf is rebuilt from its entries;
    // header, bitmap and entries must match the file (the free area may hold stale bytes there).
    int compared = 0;
    for (auto& s : allSampleNames()) {
        auto f = DatabaseFile::open(samplePath(s), true);
        for (auto& t : f->tables()) {
            if (t.type != kObjectTypeTable) continue;  // linked tables have no definition here
            TableDefinition d = f->readTdef(static_cast<uint32_t>(t.id));
            for (auto& r : d.realIndexes) {
                IndexTree tree = readIndexTree(f->pager(), r.rootPage, static_cast<uint32_t>(t.id));
                if (tree.pages.size() != 1) continue;
                const Bytes& real = f->pager().read(r.rootPage);
                if (parseIndexPage(real, r.rootPage).prefix != 0) continue;
                BuiltIndex b = buildIndexTree(tree.entries, static_cast<uint32_t>(t.id), {r.rootPage},
                                              [] { return 0u; });
                ASSERT_EQ(b.root, r.rootPage);
                const Bytes& ours = b.images[r.rootPage];
                size_t used = kIndexEntriesStart + (kIndexSpace - le16(&real[2]));
                EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + used, real.begin()))
                    << s << " / " << utf16ToUtf8(t.name) << " root " << r.rootPage;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(JetIndexPage, PrefixCompressedEntriesAreRebuiltWhole) {
    // A leaf whose later entries share 6 bytes with the first: stored short, read back whole.
    Bytes page = makeEmptyLeaf(7);
    std::vector<Bytes> full = {{0x7F, 0x80, 0, 0, 1, 0x11, 0, 0, 9, 1},
                               {0x7F, 0x80, 0, 0, 1, 0x12, 0, 0, 9, 2},
                               {0x7F, 0x80, 0, 0, 1, 0x13, 0x14, 0, 0, 9, 3}};
    const size_t prefix = 5;
    size_t pos = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        size_t from = i == 0 ? 0 : prefix;
        for (size_t k = from; k < full[i].size(); ++k) page[kIndexEntriesStart + pos++] = full[i][k];
        page[kIndexBitmapStart + pos / 8] |= static_cast<uint8_t>(1u << (pos % 8));
    }
    put16(&page[2], static_cast<uint32_t>(kIndexSpace - pos));
    put16(&page[0x18], prefix);
    IndexPageView v = parseIndexPage(page, 9);
    EXPECT_EQ(v.entries, full);
    // A prefix longer than the first entry is damage, not a crash.
    put16(&page[0x18], 200);
    EXPECT_THROW(parseIndexPage(page, 9), JetError);
}

namespace {

// Everything a reader and Jet rely on in a tree, besides its entries: page chains per level in
// tree order, leaves at level 0 and nodes at their height, every node entry equal to the greatest
// leaf entry below its child. Returns the tree.
IndexTree expectSoundTree(Pager& p, uint32_t root, uint32_t owner) {
    IndexTree t = readIndexTree(p, root, owner);
    for (size_t lv = 0; lv < t.levels.size(); ++lv) {
        const auto& pages = t.levels[lv];
        for (size_t k = 0; k < pages.size(); ++k) {
            IndexPageView v = parseIndexPage(p.read(pages[k]), pages[k]);
            EXPECT_EQ(v.prev, k ? pages[k - 1] : 0u) << "level " << lv << " page " << pages[k];
            EXPECT_EQ(v.next, k + 1 < pages.size() ? pages[k + 1] : 0u) << "level " << lv << " page " << pages[k];
            EXPECT_EQ(v.level, lv) << pages[k];
            for (auto& e : v.entries) {
                if (v.type != 0x03) break;
                uint32_t child = be32(&e[e.size() - 4]);
                IndexTree below = readIndexTree(p, child, owner);
                if (below.entries.empty()) { ADD_FAILURE() << "empty child " << child; continue; }
                EXPECT_EQ(Bytes(e.begin(), e.end() - 4), below.entries.back().full()) << "node " << pages[k];
            }
        }
    }
    return t;
}

// Keys of 3 to ~300 bytes, so that a few thousand entries make a tree of three levels.
IndexEntry entryNo(int i) {
    Bytes key = {0x7F, static_cast<uint8_t>(0x40 + i % 50)};
    const int extra = (i % 3 == 0) ? 280 : i % 23;
    for (int k = 0; k < extra; ++k) key.push_back(static_cast<uint8_t>(0x30 + (i * 7 + k) % 60));
    key.push_back(static_cast<uint8_t>(i >> 8));
    key.push_back(static_cast<uint8_t>(i));
    return IndexEntry{key, RowPointer{static_cast<uint32_t>(100 + i / 200), static_cast<uint8_t>(i % 200)}};
}

}  // namespace

TEST(JetIndexPage, EntriesAddedOneByOneGiveTheRebuiltTreesEntriesOnSoundPages) {
    // Ascending (the catalog's Id index), descending, and scattered order; the tree is checked
    // after every few inserts while it grows from one leaf to three levels.
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "insert");
    auto f = DatabaseFile::open(path, false);
    Pager& p = f->pager();
    const int n = 3000;
    std::vector<IndexEntry> sorted;
    for (int i = 0; i < n; ++i) sorted.push_back(entryNo(i));
    std::sort(sorted.begin(), sorted.end());
    for (int order = 0; order < 3; ++order) {
        SCOPED_TRACE("order " + std::to_string(order));
        uint32_t root = p.allocate();
        p.modify(root) = makeEmptyLeaf(2);
        std::vector<IndexEntry> expected;
        size_t pages = 1;
        for (int i = 0; i < n; ++i) {
            int k = order == 0 ? i : order == 1 ? n - 1 - i : (i * 1237) % n;
            const IndexEntry& e = sorted[static_cast<size_t>(k)];
            IndexInsert r = insertIndexEntry(p, root, 2, e, true, [&] { return p.allocate(); }, "test");
            root = r.root;
            pages += r.added.size();
            expected.insert(std::lower_bound(expected.begin(), expected.end(), e), e);
            if (i % 250 != 0 && i != n - 1) continue;
            IndexTree t = expectSoundTree(p, root, 2);
            ASSERT_TRUE(t.entries == expected) << "after " << i + 1;
            ASSERT_EQ(t.pages.size(), pages);  // every page it took is in the tree
        }
        IndexTree t = expectSoundTree(p, root, 2);
        EXPECT_EQ(t.levels.size(), 3u);
        // A rebuild from the same entries holds the same entries in the same order.
        BuiltIndex b = buildIndexTree(expected, 2, {}, [&] { return p.allocate(); });
        for (auto& kv : b.images) p.modify(kv.first) = kv.second;
        EXPECT_TRUE(readIndexTree(p, b.root, 2).entries == t.entries);
        // Fill: added at the right end, leaves are as full as a rebuild packs them; elsewhere a
        // split leaves both halves at least half full less one entry.
        for (size_t k = 0; k + 1 < t.leaves.size(); ++k) {
            IndexPageView v = parseIndexPage(p.read(t.leaves[k]), t.leaves[k]);
            const size_t used = kIndexSpace - v.freeSpace;
            if (order == 0) EXPECT_GT(used, kIndexSpace - 300) << t.leaves[k];
            else EXPECT_GT(used, kIndexSpace / 2 - 300) << t.leaves[k];
        }
        // Equal keys are refused by a unique index, and taken by one that is not.
        IndexEntry again = sorted[1717];
        again.row.row ^= 1;
        EXPECT_THROW(insertIndexEntry(p, root, 2, again, true, [&] { return p.allocate(); }, "test"), JetError);
        EXPECT_THROW(insertIndexEntry(p, root, 2, sorted[1717], false, [&] { return p.allocate(); }, "test"), JetError);
        IndexInsert r = insertIndexEntry(p, root, 2, again, false, [&] { return p.allocate(); }, "test");
        EXPECT_EQ(expectSoundTree(p, r.root, 2).entries.size(), static_cast<size_t>(n + 1));
    }
    p.discard();
}

TEST(JetIndexPage, KeySearchTellsAKeyFromTheLongerKeysStartingWithIt) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "haskey");
    auto f = DatabaseFile::open(path, false);
    Pager& p = f->pager();
    uint32_t root = p.allocate();
    p.modify(root) = makeEmptyLeaf(2);
    // "AB" + suffixes sort between "AB" with low and high row pointers; spread over many leaves.
    for (int i = 0; i < 600; ++i) {
        Bytes key = {0x7F, 'A', 'B', static_cast<uint8_t>(i >> 4), static_cast<uint8_t>(i & 15)};
        key.resize(key.size() + 40, 'x');
        root = insertIndexEntry(p, root, 2, IndexEntry{key, RowPointer{200, 1}}, false, [&] { return p.allocate(); }, "t").root;
    }
    const Bytes ab = {0x7F, 'A', 'B'};
    ASSERT_GE(readIndexTree(p, root, 2).leaves.size(), 5u);
    EXPECT_FALSE(indexHasKey(p, root, 2, ab));
    EXPECT_FALSE(indexHasKey(p, root, 2, {0x7F, 'A'}));
    root = insertIndexEntry(p, root, 2, IndexEntry{ab, RowPointer{0x100000, 1}}, true, [&] { return p.allocate(); }, "t").root;
    EXPECT_TRUE(indexHasKey(p, root, 2, ab));
    EXPECT_FALSE(indexHasKey(p, root, 2, {0x7F, 'A', 'C'}));
    EXPECT_THROW(insertIndexEntry(p, root, 2, IndexEntry{ab, RowPointer{5, 1}}, true, [&] { return p.allocate(); }, "t"),
                 JetError);
    p.discard();
}
