// The table-definition encoder reproduces the definitions Access and Jet wrote, byte for byte,
// apart from the bytes those writers leave unset (which the engine writes as zero).
#include <gtest/gtest.h>

#include <algorithm>

#include "catalog.h"
#include "database_file.h"
#include "jet_fixtures.h"
#include "tdef.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

// Offsets of bytes real writers leave undefined: free space (page header), 0x1C-0x27 (ACE keeps
// its next complex-column number at 0x1C; the engine creates no complex column), the four
// spare bytes of each column descriptor, the order byte of unused index-column slots, and the
// spare tail of each real index.
std::vector<bool> undefinedBytes(const TableDefinition& d) {
    std::vector<bool> skip(d.logical.size(), false);
    auto mark = [&](size_t from, size_t n) {
        for (size_t i = from; i < from + n && i < skip.size(); ++i) skip[i] = true;
    };
    mark(0x02, 2);
    if (d.pages.size() > 1) mark(0x04, 4);  // the continuation page, set by the page layout
    mark(0x1C, 12);
    size_t cols = kTdefHeaderSize + 12 * d.realIndexes.size();
    for (size_t i = 0; i < d.columns.size(); ++i) mark(cols + kColumnSize * i + 0x11, 4);
    for (auto& r : d.realIndexes) {
        for (size_t k = r.columns.size(); k < 10; ++k) mark(r.blockOffset + 6 + 3 * k, 1);
        mark(r.blockOffset + 0x2F, 5);
    }
    return skip;
}

}  // namespace

TEST(JetTdef, EncoderReproducesEveryDefinitionOfTheSamples) {
    int compared = 0;
    for (auto& s : allSampleNames()) {
        auto f = DatabaseFile::open(samplePath(s), true);
        for (auto& t : f->tables()) {
            if (t.type != kObjectTypeTable) continue;  // linked tables have no definition here
            SCOPED_TRACE(s + " / " + utf16ToUtf8(t.name));
            TableDefinition d = f->readTdef(static_cast<uint32_t>(t.id));
            Bytes e = encodeTableDefinition(d);
            ASSERT_EQ(e.size(), d.logical.size());
            std::vector<bool> skip = undefinedBytes(d);
            int diffs = 0;
            for (size_t i = 0; i < e.size(); ++i)
                if (!skip[i] && e[i] != d.logical[i]) {
                    if (++diffs <= 5) ADD_FAILURE() << "offset 0x" << std::hex << i << ": file " << int(d.logical[i]) << ", ours " << int(e[i]);
                }
            ++compared;
        }
    }
    EXPECT_GT(compared, 60);
}

TEST(JetTdef, LongDefinitionsSplitAndReadBackAcrossPages) {
    // A definition longer than a page is laid out over continuation pages and reads back whole.
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "tdef");
    auto f = DatabaseFile::open(path, false);
    Pager& p = f->pager();
    TableDefinition d;
    for (uint16_t i = 0; i < 200; ++i) {
        ColumnDef c;
        c.type = colLong;
        c.number = c.ordinal = i;
        c.flags = kColFixed | kColUpdatable;
        c.fixedOffset = static_cast<uint16_t>(4 * i);
        c.length = 4;
        c.lcid = 1033;
        c.name = u"Column_number_" + utf8ToUtf16(std::to_string(i));
        d.columns.push_back(c);
    }
    d.maxColumns = 200;
    Bytes logical = encodeTableDefinition(d);
    size_t n = tdefPagesNeeded(logical.size());
    ASSERT_GE(n, 3u);
    std::vector<uint32_t> pages;
    for (size_t i = 0; i < n; ++i) pages.push_back(p.allocate());
    auto images = layoutTableDefinition(logical, pages);
    for (size_t i = 0; i < n; ++i) p.modify(pages[i]) = images[i];
    TableDefinition back = readTableDefinition(p, pages[0]);
    EXPECT_EQ(le32(&back.logical[4]), pages[1]);  // the page header names the continuation
    Bytes body = back.logical;
    std::fill(body.begin() + 2, body.begin() + 8, 0);
    EXPECT_EQ(body, logical);
    EXPECT_EQ(back.pages, pages);
    ASSERT_EQ(back.columns.size(), 200u);
    EXPECT_EQ(back.columns[199].name, u"Column_number_199");
    // The first pages are full, the last one says how much room is left.
    EXPECT_EQ(le16(&images[0][2]), 0);
    EXPECT_GT(le16(&images[n - 1][2]), 0);
    // Patching a byte past the first page lands on the right continuation page.
    patchTableDefinition32(p, back, logical.size() - 6, 0xA1B2C3D4u);
    EXPECT_EQ(le32(&readTableDefinition(p, pages[0]).logical[logical.size() - 6]), 0xA1B2C3D4u);
    p.discard();
}

TEST(JetTdef, TablesWeCreateMatchTheAccessTablesOfTheirShape) {
    // Every user table of the samples made only of types the engine creates is created again
    // under another name; its column descriptors and primary key must equal Access's, byte for
    // byte, except for the spare bytes (0x11-0x14) of each descriptor and the fixed-data offset
    // of variable-length columns (Access leaves stale bytes in both). Other indexes are left out.
    int compared = 0, keys = 0, memos = 0;
    for (auto& s : allSampleNames()) {
        std::string path = freshCopy(s, "mirror");
        auto db = DBEngine().OpenDatabase(path);
        DatabaseFile& f = databaseFile(*db);
        std::vector<CatalogObject> tables = f.tables();
        for (auto& t : tables) {
            // Access 2019's own MSysWSDP tables are made like the designer's tables, and hold the
            // samples' only Memo columns with Access's defaults: they take part.
            const bool accessMade = utf16ToUtf8(t.name).rfind("MSysWSDP", 0) == 0;
            if (t.type != kObjectTypeTable || (!accessMade && (utf16ToUtf8(t.name).rfind("MSys", 0) == 0 || t.flags != 0)))
                continue;
            TableDefinition access = f.readTdef(static_cast<uint32_t>(t.id));
            std::vector<FieldShape> fields;
            bool supported = access.columns.size() == access.maxColumns;
            std::vector<ColumnDef> byNumber = access.columns;
            std::sort(byNumber.begin(), byNumber.end(), [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
            for (size_t i = 0; i < byNumber.size(); ++i) {
                const ColumnDef& c = byNumber[i];
                int type = 0;
                switch (c.type) {
                    case colText: type = dbText; break;
                    case colLong: type = dbLong; break;
                    case colInteger: type = dbInteger; break;
                    case colSingle: type = dbSingle; break;
                    case colDouble: type = dbDouble; break;
                    case colCurrency: type = dbCurrency; break;
                    case colDateTime: type = dbDate; break;
                    case colBoolean: type = dbBoolean; break;
                    case colMemo: type = dbMemo; break;
                    default: supported = false;
                }
                bool extraFlags = (c.flags & ~(kColFixed | kColUpdatable | kColAutoNumber)) != 0;
                // Tables with an edit history (a column dropped or re-made: ordinal differs from
                // number) or a column of its own sort order cannot be made again as they are.
                if (c.number != i || c.ordinal != i || c.lcid != f.readTdef(kMSysObjectsPage).columnByName(u"Name", "").lcid ||
                    extraFlags || ((c.type == colText || c.type == colMemo) && c.extFlags != 0x01))
                    supported = false;
                fields.push_back({utf16ToUtf8(c.name), type, c.type == colText ? c.length / 2 : 0,
                                  (c.flags & kColAutoNumber) != 0, false});
            }
            std::vector<std::string> pk;
            for (auto& l : access.logicalIndexes)
                if (l.indexType == 1)
                    for (auto& kc : access.realIndexes[l.realIndex].columns)
                        for (auto& c : access.columns)
                            if (c.number == kc.first) pk.push_back(utf16ToUtf8(c.name));
            if (!supported) continue;
            SCOPED_TRACE(s + " / " + utf16ToUtf8(t.name));
            std::string mirror = "Mirror_" + std::to_string(compared);
            db->TableDefs().Append(makeTable(*db, mirror, fields, pk));
            TableDefinition ours;
            for (auto& o : f.tables())
                if (utf16ToUtf8(o.name) == mirror) ours = f.readTdef(static_cast<uint32_t>(o.id));
            ASSERT_EQ(ours.columns.size(), access.columns.size());
            auto descriptor = [](const TableDefinition& d, size_t i) {
                size_t o = kTdefHeaderSize + 12 * d.realIndexes.size() + kColumnSize * i;
                Bytes b(d.logical.begin() + o, d.logical.begin() + o + kColumnSize);
                std::fill(b.begin() + 0x11, b.begin() + 0x15, 0);
                if (!d.columns[i].fixed()) std::fill(b.begin() + 0x15, b.begin() + 0x17, 0);
                return b;
            };
            for (size_t i = 0; i < ours.columns.size(); ++i) {
                size_t j = 0;
                while (access.columns[j].number != ours.columns[i].number) ++j;
                EXPECT_EQ(descriptor(ours, i), descriptor(access, j)) << utf16ToUtf8(ours.columns[i].name);
            }
            EXPECT_EQ(ours.varColumns, access.varColumns);
            EXPECT_EQ(ours.tableType, access.tableType);
            // The long-value maps, and the usage-map rows they and the key take, in Access's order.
            auto row = [](uint32_t pointer) { return RowPointer::fromLe(pointer).row; };
            ASSERT_EQ(ours.lvMaps.size(), access.lvMaps.size());
            for (size_t i = 0; i < ours.lvMaps.size(); ++i) {
                EXPECT_EQ(ours.lvMaps[i].column, access.lvMaps[i].column);
                EXPECT_EQ(row(ours.lvMaps[i].ownedMap), row(access.lvMaps[i].ownedMap));
                EXPECT_EQ(row(ours.lvMaps[i].freeMap), row(access.lvMaps[i].freeMap));
            }
            memos += static_cast<int>(ours.lvMaps.size());
            for (auto& la : access.logicalIndexes) {
                if (la.indexType != 1) continue;
                // The builder names its key "Primary"; Access says "PrimaryKey".
                const LogicalIndexDef& lo = ours.logicalIndexes[0];
                EXPECT_EQ(lo.indexType, 1);
                EXPECT_EQ(ours.realIndexes[lo.realIndex].columns, access.realIndexes[la.realIndex].columns);
                EXPECT_EQ(ours.realIndexes[lo.realIndex].flags, access.realIndexes[la.realIndex].flags);
                EXPECT_EQ(lo.cascadeUpdates, la.cascadeUpdates);
                EXPECT_EQ(lo.cascadeDeletes, la.cascadeDeletes);
                EXPECT_EQ(lo.relIndex, la.relIndex);
                if (ours.realIndexes.size() == 1 && access.realIndexes.size() == 1) {
                    EXPECT_EQ(row(ours.realIndexes[0].usageMap), row(access.realIndexes[0].usageMap));
                }
                ++keys;
            }
            ++compared;
        }
    }
    // 11 .mdb tables, 12 .accdb ones (ACE 12 and 14; General Legacy, General and Japanese), and
    // Access 2019's WSDP tables with their Memo columns.
    EXPECT_GE(compared, 29);
    EXPECT_GE(keys, 21);
    EXPECT_GE(memos, 6);
}

TEST(JetTdef, YesNoColumnsWeCreateMatchAccesss) {
    // No table of the samples with Access's Yes/No columns is made only of types the engine
    // creates, so each such column is compared on its own: a table holding a Long, a Text, a
    // Yes/No and a Double takes the Yes/No at the same place (number 2, after one variable
    // column, no fixed room) whatever Access's neighbours were; the descriptor must equal
    // Access's but for the number, variable index and ordinal (and the spare bytes).
    int compared = 0;
    for (const char* s : {"testV2007.accdb", "testV2010.accdb", "test2V2007.accdb", "test2V2010.accdb"}) {
        std::string path = freshCopy(s, "yesno");
        auto db = DBEngine().OpenDatabase(path);
        DatabaseFile& f = databaseFile(*db);
        db->TableDefs().Append(makeTable(*db, "Mirror", {{"L", dbLong, 0, false, false}, {"T", dbText, 20, false, false},
                                                          {"YN", dbBoolean, 0, false, false}, {"D", dbDouble, 0, false, false}}, {}));
        TableDefinition ours;
        std::vector<TableDefinition> access;
        for (auto& o : f.tables()) {
            if (o.type != kObjectTypeTable) continue;
            if (utf16ToUtf8(o.name) == "Mirror") ours = f.readTdef(static_cast<uint32_t>(o.id));
            else if (o.flags == 0) access.push_back(f.readTdef(static_cast<uint32_t>(o.id)));
        }
        ASSERT_EQ(ours.columns.size(), 4u);
        auto descriptor = [](const TableDefinition& d, size_t i, bool masked) {
            size_t o = kTdefHeaderSize + 12 * d.realIndexes.size() + kColumnSize * i;
            Bytes b(d.logical.begin() + o, d.logical.begin() + o + kColumnSize);
            std::fill(b.begin() + 0x11, b.begin() + 0x15, 0);
            if (masked) std::fill(b.begin() + 0x05, b.begin() + 0x0B, 0);
            return b;
        };
        EXPECT_EQ(ours.columns[2].varIndex, 1);
        EXPECT_EQ(ours.columns[3].fixedOffset, 4);  // the Yes/No took no fixed room
        for (auto& a : access)
            for (size_t i = 0; i < a.columns.size(); ++i)
                if (a.columns[i].type == colBoolean) {
                    SCOPED_TRACE(std::string(s) + " / " + utf16ToUtf8(a.columns[i].name));
                    EXPECT_EQ(descriptor(ours, 2, true), descriptor(a, i, true));
                    ++compared;
                }
    }
    EXPECT_GE(compared, 46);
}
