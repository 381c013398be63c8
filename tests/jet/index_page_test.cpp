// The index page writer against the leaves Access and Jet wrote.
#include <gtest/gtest.h>

#include <algorithm>

#include "database_file.h"
#include "index_page.h"
#include "jet_fixtures.h"

using namespace jet;
using namespace jet::testsupport;

TEST(JetIndexPage, RebuildingASampleLeafGivesBackItsBytes) {
    // Every index of every sample that is a single uncompressed leaf is rebuilt from its entries;
    // header, bitmap and entries must match the file (the free area may hold stale bytes there).
    int compared = 0;
    for (auto& s : sampleNames()) {
        auto f = DatabaseFile::open(samplePath(s), true);
        for (auto& t : f->tables()) {
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
