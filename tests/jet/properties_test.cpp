// Property blobs: the layout other writers use, and reading Access's own blobs.
#include <gtest/gtest.h>

#include "catalog.h"
#include "database_file.h"
#include "jet_fixtures.h"
#include "long_value.h"
#include "properties.h"

using namespace jet;
using namespace jet::testsupport;

TEST(JetProperties, RequiredColumnsEncodeAsAKnownBlob) {
    // Two required columns as another writer stores them (value FF there; we write 01 like Access).
    const Bytes expected = {
        'M', 'R', '2', 0,
        0x18, 0, 0, 0, 0x80, 0, 0x10, 0, 'R', 0, 'e', 0, 'q', 0, 'u', 0, 'i', 0, 'r', 0, 'e', 0, 'd', 0,
        0x1D, 0, 0, 0, 0x01, 0, 0x0E, 0, 0, 0, 0x08, 0, 'C', 0, 'O', 0, 'D', 0, 'E', 0,
        0x09, 0, 0x01, 0x01, 0, 0, 0x01, 0, 0xFF,
        0x1B, 0, 0, 0, 0x01, 0, 0x0C, 0, 0, 0, 0x06, 0, 'C', 0, 'N', 0, 'T', 0,
        0x09, 0, 0x01, 0x01, 0, 0, 0x01, 0, 0xFF,
    };
    ASSERT_EQ(expected.size(), 84u);
    auto blocks = decodeProperties(expected);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].owner, u"CNT");
    EXPECT_EQ(encodeProperties(blocks), expected);
    Bytes ours = requiredProperties({{u"CODE", true}, {u"CNT", true}});
    Bytes access = expected;
    access[56] = 0x01;
    access[83] = 0x01;
    EXPECT_EQ(ours, access);
}

TEST(JetProperties, AccessBlobsOfTheSamplesDecode) {
    int blobs = 0, required = 0;
    for (auto& s : allSampleNames()) {
        auto f = DatabaseFile::open(samplePath(s), true);
        TableDefinition objs = f->readTdef(2);
        CatalogColumns cc(objs);
        for (auto& r : scanRows(f->pager(), objs, 2)) {
            RowValues v = decodeRow(objs, r.bytes);
            if (!v[cc.lvProp->number]) continue;
            Bytes blob = readLongValue(f->pager(), *v[cc.lvProp->number]);
            if (blob.size() < 4 || blob[0] != 'M') continue;
            ++blobs;
            for (auto& b : decodeProperties(blob))
                for (auto& p : b.values)
                    if (p.name == u"Required") ++required;
        }
    }
    EXPECT_GT(blobs, 40);
    EXPECT_GT(required, 10);
}

TEST(JetProperties, DamagedBlobsAreRefused) {
    Bytes good = requiredProperties({{u"A", true}});
    for (size_t cut : {size_t(5), size_t(12), good.size() - 1}) {
        Bytes b(good.begin(), good.begin() + cut);
        EXPECT_THROW(decodeProperties(b), JetError) << cut;
    }
    Bytes badIndex = good;
    badIndex[good.size() - 5] = 9;  // name index past the name list
    EXPECT_THROW(decodeProperties(badIndex), JetError);
}
