// Opening real databases, listing their tables, and refusing files the engine must not touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>

#include "checker.h"
#include "dao.h"
#include "database_file.h"
#include "file_io.h"
#include "data_page.h"
#include "header.h"
#include "journal.h"
#include "usage_map.h"
#include "jet_fixtures.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

std::string writeBytes(const std::string& name, const std::string& bytes) {
    std::string p = scratchDir() + "/" + name;
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
}

// Opens for writing and returns the error number (0 when it opened).
int openError(const std::string& path, std::string* message = nullptr) {
    try {
        DBEngine().OpenDatabase(path);
        return 0;
    } catch (const JetError& e) {
        if (message) *message = e.what();
        return e.number();
    }
}

// Rewrites a field of the masked header area of a copy.
std::string patchHeader(const std::string& sample, const std::string& tag, size_t off, const std::string& value) {
    std::string bytes = readFile(samplePath(sample));
    auto* p = reinterpret_cast<uint8_t*>(&bytes[0]);
    toggleHeaderMask(p);
    for (size_t i = 0; i < value.size(); ++i) p[off + i] = static_cast<uint8_t>(value[i]);
    toggleHeaderMask(p);
    return writeBytes(tag + ".mdb", bytes);
}

}  // namespace

TEST(JetOpen, ListsEveryTableOfEverySampleAsTheOtherReadersDo) {
    // .accdb samples hold complex, calculated, 8-byte and extended-date columns, ACE's extra
    // system tables and linked tables: the list is still the whole catalog.
    for (auto& s : allSampleNames()) {
        SCOPED_TRACE(s);
        std::string path = freshCopy(s, "list");
        auto db = DBEngine().OpenDatabase(path);
        std::vector<std::string> ours = db->TableDefs().Names();
        ASSERT_EQ(static_cast<int>(ours.size()), db->TableDefs().Count());
        db->Close();
        auto ro = DBEngine().OpenDatabase(path, true);
        EXPECT_EQ(ro->TableDefs().Names(), ours);
        // mdbtools leaves linked tables out of its list; mdb-reader lists them.
        std::multiset<std::string> local;
        for (auto& t : databaseFile(*ro).tables())
            if (t.type == kObjectTypeTable) local.insert(utf16ToUtf8(t.name));
        std::vector<std::string> theirs = mdbTables(path);
        ASSERT_FALSE(theirs.empty());
        EXPECT_EQ(local, std::multiset<std::string>(theirs.begin(), theirs.end()));
        ReaderView rv = mdbReader(path, {"MSysObjects"});  // (it cannot read every complex column)
        ASSERT_TRUE(rv.ok) << rv.error;
        EXPECT_EQ(std::set<std::string>(ours.begin(), ours.end()), std::set<std::string>(rv.tables.begin(), rv.tables.end()));
        EXPECT_TRUE(std::find(ours.begin(), ours.end(), "MSysObjects") != ours.end());
        // Catalog order is the name index: MSysACEs before MSysObjects (A < O).
        auto a = std::find(ours.begin(), ours.end(), "MSysACEs"), o = std::find(ours.begin(), ours.end(), "MSysObjects");
        EXPECT_LT(a, o);
        EXPECT_EQ(mdbVer(path), mdbVerName(databaseFile(*ro).header().format));
    }
    auto linker = DBEngine().OpenDatabase(samplePath("linkerTestV2007.accdb"), true);
    auto names = linker->TableDefs().Names();
    EXPECT_NE(std::find(names.begin(), names.end(), "Table2"), names.end());  // a linked Access table
}

TEST(JetOpen, SamplesPassTheStructuralChecker) {
    for (auto& s : allSampleNames()) {
        CheckReport r = checkDatabase(samplePath(s));
        EXPECT_EQ(r.problems, knownSampleProblems(s)) << s << ": " << r.summary();
        EXPECT_GT(r.keysRecomputed, 20) << s;
        if (s != "jet_created_adox_jet4.mdb") {
            EXPECT_GT(r.longValuesChecked, 3) << s;  // Access's property blobs
        }
    }
}

TEST(JetOpen, DecodesHeadersOfBothSortOrders) {
    auto jp = DatabaseFile::open(samplePath("jp_sample_thinkami.mdb"), true);
    EXPECT_EQ(jp->header().version, 1);
    EXPECT_EQ(jp->header().sortLcid, 1041);
    EXPECT_EQ(jp->header().codePage, 932);
    EXPECT_EQ(jp->catalogSortOrder(), SortOrder::Japanese);
    auto en = DatabaseFile::open(samplePath("jet_created_adox_jet4.mdb"), true);
    EXPECT_EQ(en->header().sortLcid, 1033);
    EXPECT_EQ(en->header().codePage, 1252);
    EXPECT_EQ(en->catalogSortOrder(), SortOrder::General);
    // The empty password is stored as the mask of the creation date.
    std::string bytes = readFile(samplePath("jet_created_adox_jet4.mdb"));
    auto* p = reinterpret_cast<uint8_t*>(&bytes[0]);
    toggleHeaderMask(p);
    uint32_t mask = static_cast<uint32_t>(static_cast<int32_t>(en->header().creationDate));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(p[0x42 + i], (mask >> (8 * (i % 4))) & 0xFF);
}

TEST(JetOpen, DecodesTheVersionAndSortOrderOfAccdbFiles) {
    struct Case {
        const char* file;
        FileFormat format;
        SortOrder order;
    };
    for (const Case& c : {Case{"empty2007.accdb", FileFormat::Ace12, SortOrder::GeneralLegacy},
                          Case{"empty2010.accdb", FileFormat::Ace14, SortOrder::General2010},
                          Case{"calcFieldTestV2010.accdb", FileFormat::Ace14, SortOrder::GeneralLegacy},
                          Case{"empty2016.accdb", FileFormat::Ace16, SortOrder::General2010},
                          Case{"empty2019.accdb", FileFormat::Ace17, SortOrder::GeneralLegacy},
                          Case{"jp_sample_thinkami.accdb", FileFormat::Ace12, SortOrder::Japanese}}) {
        auto f = DatabaseFile::open(samplePath(c.file), true);
        EXPECT_EQ(f->header().format, c.format) << c.file;
        EXPECT_TRUE(f->header().aceSignature) << c.file;
        EXPECT_EQ(f->catalogSortOrder(), c.order) << c.file;
        EXPECT_EQ(f->header().sortLcid, sortOrderLcid(c.order)) << c.file;
        EXPECT_EQ(f->header().sortVersion, sortOrderVersion(c.order)) << c.file;
    }
}

TEST(JetOpen, RefusesFilesThatAreNotJet4OrAceWithTheReason) {
    std::string msg;
    EXPECT_EQ(openError(scratchDir() + "/does-not-exist.mdb", &msg), errFileNotFound);
    EXPECT_EQ(openError(scratchDir(), &msg), errFileNotFound);  // a folder
    try {
        DBEngine().OpenDatabase(scratchDir(), true);
        ADD_FAILURE() << "a folder opened read-only";
    } catch (const JetError& e) {
        EXPECT_EQ(e.number(), errFileNotFound) << e.what();
    }
    EXPECT_EQ(openError(writeBytes("text.mdb", std::string(8192, 'x')), &msg), errNotDatabase);
    EXPECT_EQ(openError(writeBytes("empty.mdb", ""), &msg), errNotDatabase);
    EXPECT_EQ(openError(patchHeader("jet_created_adox_jet4.mdb", "remasked", 0, ""), &msg), 0);  // unmask + mask is the identity

    std::string bytes = readFile(samplePath("jet_created_adox_jet4.mdb"));
    std::string jet3 = bytes;
    jet3[0x14] = 0;
    EXPECT_EQ(openError(writeBytes("jet3.mdb", jet3), &msg), errNotDatabase);
    EXPECT_NE(msg.find("Access 97"), std::string::npos) << msg;
    std::string ace = bytes;
    ace[0x14] = 3;  // ACE 14 in a file signed "Standard Jet DB"
    EXPECT_EQ(openError(writeBytes("ace.mdb", ace), &msg), errNotDatabase);
    EXPECT_NE(msg.find("ACE 14"), std::string::npos) << msg;
    std::string accdb = readFile(samplePath("testV2010.accdb"));
    accdb[0x14] = 4;  // no Access version writes 4
    EXPECT_EQ(openError(writeBytes("v4.accdb", accdb), &msg), errNotDatabase);
    EXPECT_NE(msg.find("未知のバージョン（4）"), std::string::npos) << msg;
    // An .accdb with a database password is encrypted: its key at 0x3E is set.
    EXPECT_EQ(openError(patchHeader("empty2016.accdb", "enc-accdb", 0x3E, std::string("\x01\x02\x03\x04", 4)), &msg),
              errEncrypted);
    EXPECT_NE(msg.find("ACE 16（Access 2016）"), std::string::npos) << msg;
    EXPECT_NE(msg.find("暗号化"), std::string::npos) << msg;
    EXPECT_EQ(openError(patchHeader("jet_created_adox_jet4.mdb", "enc", 0x3E, std::string("\x01\x02\x03\x04", 4)), &msg),
              errEncrypted);
    EXPECT_EQ(openError(patchHeader("jet_created_adox_jet4.mdb", "password", 0x42, "\x11"), &msg), errPasswordRequired);
    EXPECT_NE(msg.find("パスワード"), std::string::npos) << msg;
}

TEST(JetOpen, RefusesTruncatedAndDamagedFilesWithoutCrashing) {
    std::string bytes = readFile(samplePath("jp_sample_thinkami.mdb"));
    std::string msg;
    // Cut inside a page, and cut to whole pages that lose the catalog's pages.
    EXPECT_EQ(openError(writeBytes("cut1.mdb", bytes.substr(0, bytes.size() - 100)), &msg), errCorrupt);
    EXPECT_EQ(openError(writeBytes("cut2.mdb", bytes.substr(0, 4096 * 5)), &msg), errCorrupt);
    EXPECT_EQ(openError(writeBytes("cut3.mdb", bytes.substr(0, 3000)), &msg), errCorrupt);

    // MSysObjects definition continues on itself: a cycle.
    std::string cyc = bytes;
    cyc[2 * 4096 + 4] = 2;
    EXPECT_EQ(openError(writeBytes("cycle.mdb", cyc), &msg), errCorrupt);
    // Its name index root points past the end of the file.
    auto f = DatabaseFile::open(samplePath("jp_sample_thinkami.mdb"), true);
    TableDefinition objs = f->readTdef(2);
    size_t root = objs.realIndexes[0].blockOffset + 0x26;
    std::string far = bytes;
    far[2 * 4096 + root + 2] = 0x7F;
    EXPECT_EQ(openError(writeBytes("far.mdb", far), &msg), errCorrupt);
    // A leaf whose entries run off the page: random bytes over the first name leaf.
    std::string junk = bytes;
    uint32_t leaf = objs.realIndexes[0].rootPage;
    for (size_t i = 0x18; i < 4096; ++i) junk[leaf * 4096 + i] = static_cast<char>((i * 7919) & 0xFF);
    EXPECT_EQ(openError(writeBytes("junk.mdb", junk), &msg), errCorrupt);
    // Every single page overwritten with garbage in turn: refusal or a clean open, never a crash.
    for (size_t pg = 1; pg * 4096 < bytes.size(); ++pg) {
        std::string g = bytes;
        for (size_t i = 0; i < 4096; ++i) g[pg * 4096 + i] = static_cast<char>((i * 131 + pg) & 0xFF);
        std::string path = writeBytes("garbage.mdb", g);
        int err = openError(path, &msg);
        EXPECT_TRUE(err == 0 || err == errCorrupt) << "page " << pg << ": " << err << " " << msg;
        if (err == 0) checkDatabase(path);  // the checker must not crash either
    }
}

TEST(JetOpen, LockFileOfAccessRefusesWritingButAllowsReading) {
    std::string path = freshCopy("kenjinote_sample.mdb", "ldb");
    std::string ldb = path.substr(0, path.size() - 4) + ".ldb";
    writeBytes(ldb.substr(scratchDir().size() + 1), "lock");
    std::string msg;
    EXPECT_EQ(openError(path, &msg), errLockedByAccess);
    EXPECT_NE(msg.find("Access"), std::string::npos);
    auto ro = DBEngine().OpenDatabase(path, true);
    EXPECT_GT(ro->TableDefs().Count(), 4);
    auto t = makeTable(*ro, "X", {{"A", dbLong, 0, false, false}}, {});
    EXPECT_THROW(ro->TableDefs().Append(t), JetError);
    ro->Close();
    std::remove(ldb.c_str());
    EXPECT_EQ(openError(path), 0);

    // An .accdb file's lock file is NAME.laccdb (an .ldb beside it is not Access's).
    std::string accdb = freshCopy("testV2010.accdb", "laccdb");
    std::string laccdb = accdb.substr(0, accdb.size() - 6) + ".laccdb";
    writeBytes(laccdb.substr(scratchDir().size() + 1), "lock");
    EXPECT_EQ(openError(accdb, &msg), errLockedByAccess);
    EXPECT_NE(msg.find(".laccdb"), std::string::npos) << msg;
    EXPECT_GT(DBEngine().OpenDatabase(accdb, true)->TableDefs().Count(), 4);
    std::remove(laccdb.c_str());
    EXPECT_EQ(openError(accdb), 0);
}

TEST(JetOpen, SecondWriterIsRefusedWhileTheFirstHoldsTheLock) {
    std::string path = freshCopy("kenjinote_sample.mdb", "lock");
    auto first = DBEngine().OpenDatabase(path);
    std::string msg;
    EXPECT_EQ(openError(path, &msg), errLockedByOther);
    first->Close();
    EXPECT_EQ(openError(path), 0);
}

TEST(JetOpen, ClosedDatabaseRefusesFurtherUse) {
    auto db = DBEngine().OpenDatabase(freshCopy("kenjinote_sample.mdb", "closed"));
    db->Close();
    db->Close();  // twice is harmless
    EXPECT_THROW(db->TableDefs().Count(), JetError);
    EXPECT_THROW(db->CreateTableDef("T"), JetError);
}

TEST(JetOpen, RandomDamageIsRefusedOrSurvivedNeverACrash) {
    // Deterministic pseudo-random byte changes in the catalog's pages; whatever opens must list,
    // check and take a table (or refuse with a JetError) without crashing or hanging.
    const std::string bytes = readFile(samplePath("jet_created_adox_jet4.mdb"));
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    int opened = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::string g = bytes;
        int flips = 1 + static_cast<int>(next() % 6);
        for (int i = 0; i < flips; ++i) {
            size_t page = 1 + next() % 15;
            size_t off = next() % 4096;
            g[page * 4096 + off] = static_cast<char>(next() & 0xFF);
        }
        std::string path = writeBytes("fuzz.mdb", g);
        try {
            auto db = DBEngine().OpenDatabase(path);
            db->TableDefs().Names();
            checkDatabase(databaseFile(*db));
            db->TableDefs().Append(makeTable(*db, "Fuzz", {{"A", dbLong, 0, false, true}}, {"A"}));
            ++opened;
        } catch (const JetError&) {
            ++refused;
        }
    }
    EXPECT_EQ(opened + refused, 300);
    EXPECT_GT(refused, 0);
}

TEST(JetOpen, CatalogRowsMovedBehindLookupRowsAreFollowed) {
    // Access moves grown catalog rows to another page and leaves a pointer behind (0x4000 slot
    // -> 0x8000 slot). Build that shape for the row of table "order" and read through it.
    std::string path = freshCopy("jp_sample_thinkami.mdb", "lookup");
    {
        auto f = DatabaseFile::open(path, false);
        Pager& p = f->pager();
        RowPointer where{};
        for (auto& t : f->tables())
            if (t.name == u"order") where = t.where;
        ASSERT_NE(where.page, 0u);
        Bytes row = rowBytes(p.read(where.page), where.page, where.row);
        uint32_t moved = p.allocate();
        Bytes& np = p.modify(moved);
        np = makeDataPage(2);
        ASSERT_EQ(insertRow(np, moved, row), 0);
        put16(&np[14], le16(&np[14]) | kRowDeleted);
        Bytes& op = p.modify(where.page);
        put16(&op[14 + 2 * where.row], le16(&op[14 + 2 * where.row]) | kRowLookup);
        Bytes stub = row;
        put32(stub.data(), RowPointer{moved, 0}.toLe());
        overwriteRow(op, where.page, where.row, stub);
        TableDefinition objs = f->readTdef(2);
        RowPointer owned = RowPointer::fromLe(objs.ownedMap);
        Bytes mrow = rowBytes(p.read(owned.page), owned.page, owned.row);
        UsageMap m = UsageMap::parse(mrow, p, "test");
        m.set(moved);
        overwriteRow(p.modify(owned.page), owned.page, owned.row, m.encode(mrow.size(), 0, true, p, [&] { return p.allocate(); }));
        Bytes g0 = rowBytes(p.read(1), 1, 0);
        UsageMap g = UsageMap::parse(g0, p, "global");
        g.clear(moved);
        overwriteRow(p.modify(1), 1, 0, g.encode(g0.size(), 0, false, p, [&] { return p.allocate(); }));
        commitWithJournal(p, path);
    }
    CheckReport before = checkDatabase(path);
    ASSERT_TRUE(before.ok()) << before.summary();
    auto names = mdbTables(path);
    EXPECT_NE(std::find(names.begin(), names.end(), "order"), names.end());
    auto db = DBEngine().OpenDatabase(path);
    auto ours = db->TableDefs().Names();
    EXPECT_NE(std::find(ours.begin(), ours.end(), "order"), ours.end());
    // The moved row still takes part in the duplicate check and the catalog stays consistent.
    EXPECT_THROW(db->TableDefs().Append(makeTable(*db, "Order", {{"A", dbLong, 0, false, false}}, {})), JetError);
    db->TableDefs().Append(makeTable(*db, "after_lookup", {{"A", dbLong, 0, false, false}}, {}));
    db->Close();
    CheckReport after = checkDatabase(path);
    EXPECT_TRUE(after.ok()) << after.summary();
    EXPECT_EQ(mdbExport(path, "order").exitCode, 0);
}

namespace {

struct HookReset {
    ~HookReset() { setFaultHook(nullptr); }
};

// A copy of a sample with a database password, stored as Access stores it: UTF-16 in the masked
// header area, XORed with the creation date's integer part.
std::string withPassword(const std::string& sample, const std::string& tag, const std::u16string& password) {
    std::string bytes = readFile(samplePath(sample));
    auto* p = reinterpret_cast<uint8_t*>(&bytes[0]);
    toggleHeaderMask(p);
    double date = 0;
    std::memcpy(&date, p + 0x72, 8);
    const uint32_t mask = static_cast<uint32_t>(static_cast<int32_t>(date));
    for (int i = 0; i < 40; ++i) {
        const size_t c = static_cast<size_t>(i / 2);
        const uint8_t plain = c < password.size() ? static_cast<uint8_t>(password[c] >> (8 * (i % 2))) : 0;
        p[0x42 + i] = static_cast<uint8_t>(plain ^ ((mask >> (8 * (i % 4))) & 0xFF));
    }
    toggleHeaderMask(p);
    return writeBytes(tag + ".mdb", bytes);
}

}  // namespace

TEST(JetOpen, APasswordProtectedDatabaseOpensOnlyWithItsPassword) {
    HookReset reset;
    const std::string path = withPassword("jp_sample_thinkami.mdb", "pwd", u"Himitsu秘密");
    const std::string original = readFile(path);
    auto refusal = [&](const std::string* connect, bool readOnly) {
        try {
            if (connect) DBEngine().OpenDatabase(path, readOnly, *connect);
            else DBEngine().OpenDatabase(path, readOnly);
        } catch (const JetError& e) {
            EXPECT_NE(std::string(e.what()).find("パスワード"), std::string::npos) << e.what();
            return e.number();
        }
        return 0;
    };
    const std::string wrong = ";PWD=himitsu秘密", right = ";PWD=Himitsu秘密";
    for (bool readOnly : {false, true}) {
        EXPECT_EQ(refusal(nullptr, readOnly), errPasswordRequired);
        EXPECT_EQ(refusal(&wrong, readOnly), errWrongPassword);  // letter case counts
    }
    EXPECT_TRUE(readFile(path) == original);
    {
        auto db = DBEngine().OpenDatabase(path, false, right);
        db->TableDefs().Append(makeTable(*db, "WithPassword", everyTypeFields(), {"ID"}));
        EXPECT_TRUE(checkDatabase(databaseFile(*db)).ok());
        db->Close();
    }
    EXPECT_TRUE(readFile(path).compare(0, 4096, original, 0, 4096) == 0);  // the header, password included, as it was
    auto names = mdbTables(path);
    EXPECT_NE(std::find(names.begin(), names.end(), "WithPassword"), names.end());
    {
        // An interrupted write is not rolled back for a wrong password: nothing is written.
        std::unique_ptr<Database> db;
        EXPECT_EQ(runKilledAt(
                      stepNamed("db-fsync"), [&] { return (db = DBEngine().OpenDatabase(path, false, right)) != nullptr; },
                      [&] {
                          db->TableDefs().Append(makeTable(*db, "Half", everyTypeFields(), {"ID"}));
                          return true;
                      }),
                  RunEnd::Killed);
    }
    const std::string half = readFile(path), journal = readFile(journalPath(path));
    EXPECT_EQ(refusal(&wrong, false), errWrongPassword);
    EXPECT_EQ(refusal(nullptr, true), errPasswordRequired);
    EXPECT_TRUE(readFile(path) == half);
    EXPECT_TRUE(readFile(journalPath(path)) == journal);
    EXPECT_TRUE(DBEngine().OpenDatabase(path, false, right)->RolledBackAtOpen());
}
