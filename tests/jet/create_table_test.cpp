// Creating tables in real databases, checked by mdbtools, mdb-reader and our structural checker.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "catalog.h"
#include "checker.h"
#include "dao.h"
#include "database_file.h"
#include "data_page.h"
#include "jet_fixtures.h"
#include "journal.h"
#include "properties.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

std::string expectedMysqlType(const FieldShape& f) {
    switch (f.type) {
        case dbText: return "varchar (" + std::to_string(f.size) + ")";
        case dbLong: return "int";
        case dbInteger: return "smallint";
        case dbDate: return "datetime";
        case dbBoolean: return "boolean";
        case dbMemo: return "text";
        default: return "float";  // Single, Double and Currency all print as float
    }
}

std::string expectedReaderType(int type) {
    switch (type) {
        case dbText: return "text";
        case dbLong: return "long";
        case dbInteger: return "integer";
        case dbDate: return "datetime";
        case dbSingle: return "float";
        case dbDouble: return "double";
        case dbBoolean: return "boolean";
        case dbMemo: return "memo";
        default: return "currency";
    }
}

int expectedBytes(const FieldShape& f) {
    switch (f.type) {
        case dbText: return 2 * f.size;
        case dbBoolean: case dbMemo: return 0;  // a null-mask bit; long values
        case dbInteger: return 2;
        case dbLong: case dbSingle: return 4;
        default: return 8;
    }
}

// Everything the readers and the checker must agree on for one created table.
void expectTableReadsBack(const std::string& path, const std::string& table, const std::vector<FieldShape>& fields,
                          const std::vector<std::string>& pk) {
    SCOPED_TRACE(path + " / " + table);
    CheckReport r = checkDatabase(path);
    EXPECT_EQ(r.problems, knownSampleProblems(path)) << r.summary();
    EXPECT_GT(r.longValuesChecked, 0);  // at least our own property blob

    EXPECT_EQ(mdbVer(path), mdbVerName(DatabaseFile::open(path, true)->header().format));
    auto names = mdbTables(path);
    EXPECT_NE(std::find(names.begin(), names.end(), table), names.end());
    SchemaTable s = mdbSchema(path, table);
    ASSERT_TRUE(s.found) << s.raw;
    ASSERT_EQ(s.columns.size(), fields.size()) << s.raw;
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(s.columns[i].name, fields[i].name);
        EXPECT_EQ(s.columns[i].type, expectedMysqlType(fields[i])) << fields[i].name;
        // mdbtools calls every Yes/No field NOT NULL (its value is never NULL).
        EXPECT_EQ(s.columns[i].notNull, fields[i].required || fields[i].type == dbBoolean) << fields[i].name;
        EXPECT_EQ(s.columns[i].autoIncrement, fields[i].autoIncrement) << fields[i].name;
    }
    EXPECT_EQ(s.primaryKey, pk) << s.raw;
    CommandResult ex = mdbExport(path, table);
    EXPECT_EQ(ex.exitCode, 0) << ex.err;
    CommandResult cat = mdbExport(path, "MSysObjects");
    EXPECT_EQ(cat.exitCode, 0) << cat.err;

    ReaderView rv = mdbReader(path, {table});
    ASSERT_TRUE(rv.ok) << rv.error;
    ASSERT_EQ(rv.details.count(table), 1u);
    const ReaderTable& t = rv.details[table];
    EXPECT_EQ(t.rowCount, 0);
    ASSERT_EQ(t.columns.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(t.columns[i].name, fields[i].name);
        EXPECT_EQ(t.columns[i].type, expectedReaderType(fields[i].type)) << fields[i].name;
        EXPECT_EQ(t.columns[i].size, expectedBytes(fields[i])) << fields[i].name;
        EXPECT_EQ(t.columns[i].autoLong, fields[i].autoIncrement) << fields[i].name;
        EXPECT_EQ(t.columns[i].fixedLength, fields[i].type != dbText && fields[i].type != dbMemo) << fields[i].name;
    }
}

int appendError(Database& db, const TableDefPtr& t, std::string* msg = nullptr) {
    try {
        db.TableDefs().Append(t);
        return 0;
    } catch (const JetError& e) {
        if (msg) *msg = e.what();
        return e.number();
    }
}

}  // namespace

TEST(JetCreateTable, EveryTypeAndFlagInEverySample) {
    const auto fields = everyTypeFields();
    // The same types with every Required flag the other way round (and no auto-increment).
    auto flipped = fields;
    for (auto& f : flipped) {
        f.required = !f.required;
        f.autoIncrement = false;
    }
    for (auto& s : allSampleNames()) {
        std::string path = freshCopy(s, "every");
        {
            auto db = DBEngine().OpenDatabase(path);
            int before = db->TableDefs().Count();
            db->TableDefs().Append(makeTable(*db, "Customer", fields, {"CODE", "ID"}));
            db->TableDefs().Append(makeTable(*db, "Flipped", flipped, {"PRICE"}));
            db->TableDefs().Append(makeTable(*db, "NoKey", {{"X", dbText, 50, false, false}}, {}));
            db->TableDefs().Append(makeTable(*db, "one_key", {{"K", dbInteger, 0, false, true}}, {"K"}));
            EXPECT_EQ(db->TableDefs().Count(), before + 4);
            db->Close();
        }
        auto again = DBEngine().OpenDatabase(path);
        auto names = again->TableDefs().Names();
        for (const char* n : {"Customer", "Flipped", "NoKey", "one_key"})
            EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << s << " " << n;
        again->Close();
        expectTableReadsBack(path, "Customer", fields, {"CODE", "ID"});
        expectTableReadsBack(path, "Flipped", flipped, {"PRICE"});
        expectTableReadsBack(path, "NoKey", {{"X", dbText, 50, false, false}}, {});
        expectTableReadsBack(path, "one_key", {{"K", dbInteger, 0, false, true}}, {"K"});
    }
}

TEST(JetCreateTable, RequiredLivesInThePropertyBlobAsAccessWritesIt) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "props");
    auto db = DBEngine().OpenDatabase(path);
    db->TableDefs().Append(makeTable(*db, "P", {{"A", dbLong, 0, false, true}, {"B", dbText, 5, false, false},
                                                {"C", dbBoolean, 0, false, false}}, {}));
    DatabaseFile& f = databaseFile(*db);
    TableDefinition objs = f.readTdef(2);
    CatalogColumns cc(objs);
    bool found = false;
    for (auto& row : scanRows(f.pager(), objs, 2)) {
        RowValues v = decodeRow(objs, row.bytes);
        if (valueText(v, *cc.name) != std::u16string(u"P")) continue;
        found = true;
        const Bytes& lv = *v[cc.lvProp->number];
        ASSERT_EQ(lv.size(), 12u);
        EXPECT_EQ(lv[3], 0x40);  // one long-value row
        auto blob = readRow(f.pager(), RowPointer::fromLe(le32(&lv[4])), kLvalOwner);
        ASSERT_TRUE(blob);
        EXPECT_EQ(blob->size(), le24(&lv[0]));
        auto blocks = decodeProperties(*blob);
        ASSERT_EQ(blocks.size(), 3u);
        EXPECT_EQ(blocks[0].owner, u"A");
        EXPECT_EQ(blocks[0].values[0].name, u"Required");
        EXPECT_EQ(blocks[0].values[0].data, Bytes{1});
        EXPECT_EQ(blocks[1].values[0].data, Bytes{0});
        // A Yes/No field: the check box of Access's designer around Required, as Access writes it.
        ASSERT_EQ(blocks[2].values.size(), 3u);
        const char16_t* names[] = {u"Format", u"Required", u"DisplayControl"};
        const Bytes data[] = {utf16ToLe(u"Yes/No"), Bytes{0}, Bytes{106, 0}};
        const uint8_t types[] = {colText, colBoolean, colInteger};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(blocks[2].values[i].name, names[i]);
            EXPECT_EQ(blocks[2].values[i].data, data[i]);
            EXPECT_EQ(blocks[2].values[i].type, types[i]);
            EXPECT_EQ(blocks[2].values[i].ddl, 1);
        }
        // The table's definition has no Required flag of its own.
        TableDefinition t = f.readTdef(static_cast<uint32_t>(le32(v[cc.id->number]->data())));
        EXPECT_EQ(t.columns[0].flags, kColFixed | kColUpdatable);
        EXPECT_EQ(t.columns[1].flags, kColUpdatable);
        EXPECT_EQ(t.columns[1].length, 10);
    }
    EXPECT_TRUE(found);
}

TEST(JetCreateTable, CatalogRowsRoundTripThroughTheRowCodec) {
    // Decoding then encoding every catalog row of every sample gives back the stored bytes.
    for (auto& s : sampleNames()) {
        auto f = DatabaseFile::open(samplePath(s), true);
        for (uint32_t tp : {2u, 3u}) {
            TableDefinition d = f->readTdef(tp);
            int n = 0;
            for (auto& row : scanRows(f->pager(), d, tp)) {
                if (le16(row.bytes.data()) != d.maxColumns) continue;  // rows older than a column
                EXPECT_EQ(encodeRow(d, decodeRow(d, row.bytes)), row.bytes) << s << " page " << row.where.page;
                ++n;
            }
            EXPECT_GT(n, 0) << s;
        }
    }
}

TEST(JetCreateTable, JapaneseDatabaseTakesKanaNamesAndMarksTextColumnsWithItsSortOrder) {
    std::string path = freshCopy("jp_sample_thinkami.mdb", "kana");
    auto db = DBEngine().OpenDatabase(path);
    db->TableDefs().Append(makeTable(*db, "カタログ", {{"コード", dbText, 8, false, true}}, {"コード"}));
    // More than seven kana: the key's kana section grows.
    db->TableDefs().Append(makeTable(*db, "ひらがなのなまえです", {{"A", dbLong, 0, false, false}}, {}));
    db->Close();
    EXPECT_NE(mdbSchema(path, "ひらがなのなまえです").raw.find("CREATE TABLE"), std::string::npos);
    expectTableReadsBack(path, "カタログ", {{"コード", dbText, 8, false, true}}, {"コード"});
    auto f = DatabaseFile::open(path, true);
    bool seen = false;
    for (auto& t : f->tables())
        if (t.name == u"カタログ") {
            seen = true;
            EXPECT_EQ(f->readTdef(static_cast<uint32_t>(t.id)).columns[0].lcid, 1041);
        }
    EXPECT_TRUE(seen);
}

TEST(JetCreateTable, WideTableSpansSeveralDefinitionPages) {
    std::vector<FieldShape> fields;
    for (int i = 0; i < 255; ++i)
        fields.push_back({"Field_with_a_long_name_number_" + std::to_string(i), i % 2 ? dbText : i % 4 ? dbMemo : dbDouble, 40,
                          false, i % 3 == 0});
    // 64 Memo columns: their 128 long-value maps take the table's usage maps over three pages.
    std::string path = freshCopy("kenjinote_sample.mdb", "wide");
    auto db = DBEngine().OpenDatabase(path);
    db->TableDefs().Append(makeTable(*db, "Wide", fields, {"Field_with_a_long_name_number_0"}));
    DatabaseFile& f = databaseFile(*db);
    bool seen = false;
    for (auto& t : f.tables())
        if (t.name == u"Wide") {
            seen = true;
            TableDefinition d = f.readTdef(static_cast<uint32_t>(t.id));
            EXPECT_GE(d.pages.size(), 3u);
            EXPECT_EQ(d.lvMaps.size(), 64u);
            EXPECT_NE(RowPointer::fromLe(d.ownedMap).page, RowPointer::fromLe(d.realIndexes[0].usageMap).page);
        }
    EXPECT_TRUE(seen);
    db->Close();
    expectTableReadsBack(path, "Wide", fields, {"Field_with_a_long_name_number_0"});
}

TEST(JetCreateTable, RefusalsLeaveTheFileByteForByteUnchanged) {
    // The same Japanese-sort database made by Access as .mdb and as .accdb.
    for (const char* sample : {"jp_sample_thinkami.mdb", "jp_sample_thinkami.accdb"}) {
        SCOPED_TRACE(sample);
        std::string path = freshCopy(sample, "refuse");
        const std::string original = readFile(path);
        auto db = DBEngine().OpenDatabase(path);
        std::string msg;
        struct Case {
            std::string table;
            std::vector<FieldShape> fields;
            std::vector<std::string> pk;
            int error;
        };
        std::vector<Case> cases = {
            {"order", {{"A", dbLong, 0, false, false}}, {}, errTableExists},
            {"ORDER", {{"A", dbLong, 0, false, false}}, {}, errTableExists},  // Jet ignores letter case
            {"MSysObjects", {{"A", dbLong, 0, false, false}}, {}, errTableExists},
            {"a.b", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {"a!b", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {"a`b", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {"a[b]", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {" lead", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {"tab\there", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {std::string(65, 'x'), {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {"", {{"A", dbLong, 0, false, false}}, {}, errInvalidName},
            {"NoFields", {}, {}, errNoFields},
            {"BadKey", {{"A", dbLong, 0, false, false}}, {"B"}, errIndexField},
            {"MemoKey", {{"A", dbLong, 0, false, false}, {"M", dbMemo, 0, false, false}}, {"A", "m"}, errIndexInvalid},
            {"emoji\xF0\x9F\x98\x80", {{"A", dbLong, 0, false, false}}, {}, errNameNotKeyable},
        };
        for (auto& c : cases) {
            SCOPED_TRACE(c.table);
            auto t = db->CreateTableDef(c.table);
            for (auto& f : c.fields) t->Fields().Append(t->CreateField(f.name, f.type, f.size));
            if (!c.pk.empty()) {
                auto ix = t->CreateIndex("Primary");
                for (auto& k : c.pk) ix->Fields().Append(ix->CreateField(k));
                ix->setPrimary(true);
                t->Indexes().Append(ix);
            }
            msg.clear();
            EXPECT_EQ(appendError(*db, t, &msg), c.error) << msg;
            EXPECT_FALSE(msg.empty());
        }
        db->Close();
        EXPECT_TRUE(readFile(path) == original);
    }
}

TEST(JetCreateTable, FieldAndIndexCollectionsValidateOnAppend) {
    std::string path = freshCopy("kenjinote_sample.mdb", "fields");
    auto db = DBEngine().OpenDatabase(path);
    auto t = db->CreateTableDef("T");
    t->Fields().Append(t->CreateField("Name", dbText, 20));
    EXPECT_EQ(t->Fields().item("name")->Size(), 20);  // look-up ignores letter case
    auto expectErr = [](int number, auto fn) {
        try {
            fn();
            ADD_FAILURE() << "no error, expected " << number;
        } catch (const JetError& e) {
            EXPECT_EQ(e.number(), number) << e.what();
        }
    };
    expectErr(errDuplicateField, [&] { t->Fields().Append(t->CreateField("NAME", dbLong, 0)); });
    // Letter case beyond ASCII (accented, Greek, Cyrillic letters), and full-width letters as ASCII.
    t->Fields().Append(t->CreateField("ｃｏｄｅ", dbLong, 0));
    t->Fields().Append(t->CreateField("Étage", dbLong, 0));
    t->Fields().Append(t->CreateField("Ωμέγα", dbLong, 0));
    t->Fields().Append(t->CreateField("Имя", dbLong, 0));
    for (const char* same : {"ＣＯＤＥ", "code", "éTAGE", "ΩΜέΓΑ", "иМЯ"})
        expectErr(errDuplicateField, [&] { t->Fields().Append(t->CreateField(same, dbLong, 0)); });
    expectErr(errInvalidSize, [&] { t->Fields().Append(t->CreateField("Zero", dbText, 0)); });
    expectErr(errInvalidSize, [&] { t->Fields().Append(t->CreateField("Big", dbText, 256)); });
    expectErr(errInvalidSize, [&] { t->Fields().Append(t->CreateField("Small", dbByte, 0)); });  // not created
    expectErr(errInvalidName, [&] { t->Fields().Append(t->CreateField("a.b", dbLong, 0)); });
    expectErr(errIndexField, [&] { t->Fields().item("Missing"); });
    expectErr(errInvalidSize, [&] { t->Fields().item("Name")->setAttributes(dbAutoIncrField); });
    expectErr(errAlreadyAppended, [&] { t->Fields().Append(t->Fields().item("Name")); });
    auto ix = t->CreateIndex("Primary");
    expectErr(errIndexInvalid, [&] { t->Indexes().Append(ix); });  // no fields
    for (int i = 0; i < 10; ++i) ix->Fields().Append(ix->CreateField("F" + std::to_string(i)));
    expectErr(errIndexInvalid, [&] { ix->Fields().Append(ix->CreateField("F10")); });
    ix->setPrimary(true);
    t->Indexes().Append(ix);
    auto ix2 = t->CreateIndex("Second");
    ix2->Fields().Append(ix2->CreateField("Name"));
    ix2->setPrimary(true);
    expectErr(errIndexInvalid, [&] { t->Indexes().Append(ix2); });
    // The table names index fields it lacks: the append is refused.
    expectErr(errIndexField, [&] { db->TableDefs().Append(t); });
    // 256 fields are refused.
    auto wide = db->CreateTableDef("W");
    for (int i = 0; i < 255; ++i) wide->Fields().Append(wide->CreateField("F" + std::to_string(i), dbLong, 0));
    expectErr(errTooManyFields, [&] { wide->Fields().Append(wide->CreateField("F255", dbLong, 0)); });
}

TEST(JetCreateTable, AppendingTheSameDefinitionTwiceFailsTheSecondTime) {
    std::string path = freshCopy("kenjinote_sample.mdb", "twice");
    auto db = DBEngine().OpenDatabase(path);
    auto t = makeTable(*db, "Twice", {{"A", dbLong, 0, false, false}}, {});
    db->TableDefs().Append(t);
    EXPECT_THROW(db->TableDefs().Append(t), JetError);
    auto again = makeTable(*db, "twice", {{"A", dbLong, 0, false, false}}, {});
    EXPECT_EQ(appendError(*db, again), errTableExists);
    db->Close();
    EXPECT_TRUE(checkDatabase(path).ok());
}

TEST(JetCreateTable, SecondaryIndexesBesideThePrimaryKey) {
    std::string path = freshCopy("kenjinote_sample.mdb", "multi");
    {
        auto db = DBEngine().OpenDatabase(path);
        auto t = makeTable(*db, "Multi", {{"A", dbLong, 0, false, true}, {"B", dbText, 20, false, false}, {"C", dbDate, 0, false, false}}, {});
        auto byB = t->CreateIndex("zByB");
        byB->Fields().Append(byB->CreateField("b"));  // index fields match names without regard to case
        byB->Fields().Append(byB->CreateField("C"));
        t->Indexes().Append(byB);
        auto pk = t->CreateIndex("Primary");
        pk->Fields().Append(pk->CreateField("A"));
        pk->setPrimary(true);
        t->Indexes().Append(pk);
        db->TableDefs().Append(t);
        db->Close();
    }
    SchemaTable s = mdbSchema(path, "Multi");
    EXPECT_EQ(s.primaryKey, std::vector<std::string>{"A"});
    EXPECT_NE(s.raw.find("ADD INDEX `zByB` (`B`, `C`)"), std::string::npos) << s.raw;
    CheckReport r = checkDatabase(path);
    EXPECT_TRUE(r.ok()) << r.summary();
}

TEST(JetCreateTable, SortOrderWithoutExactKeysIsRefusedBeforeWriting) {
    // The same file with its catalog's Name column marked Chinese (2052): listing works, creating
    // a table is refused, naming the sort order, because its name key cannot be computed exactly.
    std::string bytes = readFile(samplePath("jet_created_adox_jet4.mdb"));
    auto f = DatabaseFile::open(samplePath("jet_created_adox_jet4.mdb"), true);
    TableDefinition objs = f->readTdef(2);
    size_t i = 0;
    while (objs.columns[i].name != u"Name") ++i;
    size_t off = 2 * 4096 + kTdefHeaderSize + 12 * objs.realIndexes.size() + kColumnSize * i + 0x0B;
    ASSERT_EQ(static_cast<uint8_t>(bytes[off]), 0x09);
    bytes[off] = 0x04;  // 0x0804 = 2052
    bytes[off + 1] = 0x08;
    std::string path = scratchDir() + "/chinese.mdb";
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }
    auto db = DBEngine().OpenDatabase(path);
    EXPECT_EQ(db->TableDefs().Count(), 4);
    std::string msg;
    EXPECT_EQ(appendError(*db, makeTable(*db, "T", {{"A", dbLong, 0, false, false}}, {}), &msg), errUnsupported);
    EXPECT_NE(msg.find("並べ替え順（中国語 (簡体字、ピンイン)、LCID 2052）"), std::string::npos) << msg;
    db->Close();
    EXPECT_TRUE(readFile(path) == bytes);
}

TEST(JetCreateTable, PropertyColumnWithoutAFreeSpaceMapStillTakesTheBlobs) {
    // Access leaves the free-space map of some long-value columns unset (row pointer 0). The
    // property blobs then go to the column's owned pages with room, or to a new one.
    std::string path = freshCopy("jp_sample_thinkami.mdb", "nofreemap");
    {
        auto f = DatabaseFile::open(path, false);
        Pager& p = f->pager();
        TableDefinition objs = f->readTdef(kMSysObjectsPage);
        const ColumnDef& lvProp = objs.columnByName(u"LvProp", "MSysObjects");
        const size_t mapsStart = objs.logical.size() - 2 - kLvMapSize * objs.lvMaps.size();
        bool patched = false;
        for (size_t i = 0; i < objs.lvMaps.size(); ++i)
            if (objs.lvMaps[i].column == lvProp.number) {
                ASSERT_NE(objs.lvMaps[i].freeMap, 0u);
                patchTableDefinition32(p, objs, mapsStart + kLvMapSize * i + 6, 0);
                patched = true;
            }
        ASSERT_TRUE(patched);
        commitWithJournal(p, path);
        f->close();
    }
    {
        auto db = DBEngine().OpenDatabase(path);
        db->TableDefs().Append(makeTable(*db, "NoFreeMapA", everyTypeFields(), {"ID"}));
        db->TableDefs().Append(makeTable(*db, "NoFreeMapB", everyTypeFields(), {"ID"}));
        TableDefinition objs = databaseFile(*db).readTdef(kMSysObjectsPage);
        const LongValueMap* m = objs.lvMap(objs.columnByName(u"LvProp", "MSysObjects").number);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->freeMap, 0u);
        db->Close();
    }
    expectTableReadsBack(path, "NoFreeMapA", everyTypeFields(), {"ID"});
    expectTableReadsBack(path, "NoFreeMapB", everyTypeFields(), {"ID"});
}
