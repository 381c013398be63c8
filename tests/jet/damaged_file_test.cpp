// Damaged files are never written: what a write depends on is checked before the first write,
// and a damaged file is refused, unchanged, with advice to repair it in Access first.
#include <gtest/gtest.h>

#include <fstream>

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

// Changes one usage map of a copy of a sample (through the engine's own journaled commit).
void editMap(const std::string& path, const std::function<uint32_t(DatabaseFile&)>& which,
             const std::function<void(UsageMap&, Pager&)>& edit) {
    auto f = DatabaseFile::open(path, false);
    Pager& p = f->pager();
    const uint32_t rp = which(*f);
    RowPointer at = RowPointer::fromLe(rp);
    Bytes row = rowBytes(p.read(at.page), at.page, at.row);
    UsageMap m = UsageMap::parse(row, p, "test");
    edit(m, p);
    replaceRow(p.modify(at.page), at.page, at.row, m.encode(row.size(), 0, false, p, [&] { return p.allocate(); }));
    commitWithJournal(p, path);
}

uint32_t tdefOf(DatabaseFile& f, const std::u16string& name) {
    for (auto& t : f.tables())
        if (t.name == name) return static_cast<uint32_t>(t.id);
    ADD_FAILURE() << "no table";
    return 0;
}

void expectRefusedUnchanged(const std::string& path, const std::string& why) {
    const std::string before = readFile(path);
    auto db = DBEngine().OpenDatabase(path);
    try {
        db->TableDefs().Append(makeTable(*db, "NewOne", everyTypeFields(), {"ID"}));
        ADD_FAILURE() << "written";
    } catch (const JetError& e) {
        const std::string msg = e.what();
        EXPECT_EQ(e.number(), errDamaged) << msg;
        EXPECT_NE(msg.find(why), std::string::npos) << msg;
        EXPECT_NE(msg.find("最適化/修復"), std::string::npos) << msg;
    }
    db->Close();
    EXPECT_TRUE(readFile(path) == before);
    EXPECT_FALSE(std::ifstream(journalPath(path)).good());
}

}  // namespace

TEST(JetDamagedFile, AMapNamingAPagePastTheEndOfTheFileIsRefused) {
    std::string path = freshCopy("kenjinote_sample.mdb", "pastend");
    uint32_t pages = 0;
    editMap(path, [&](DatabaseFile& f) { pages = f.pager().pageCount(); return f.readTdef(tdefOf(f, u"Parties")).ownedMap; },
            [&](UsageMap& m, Pager&) { m.set(pages); });  // the very page the next write would append
    EXPECT_FALSE(checkDatabase(path).ok());
    expectRefusedUnchanged(path, "ファイルの終わり");
}

TEST(JetDamagedFile, APageOwnedByTwoMapsIsRefused) {
    std::string path = freshCopy("jp_sample_thinkami.mdb", "twice");
    uint32_t shared = 0;
    {
        auto f = DatabaseFile::open(path, true);
        UsageMap items = readUsageMap(f->pager(), f->readTdef(tdefOf(*f, u"item")).ownedMap, "item");
        ASSERT_FALSE(items.pages().empty());
        shared = *items.pages().begin();
    }
    editMap(path, [&](DatabaseFile& f) { return f.readTdef(tdefOf(f, u"order")).ownedMap; },
            [&](UsageMap& m, Pager&) { m.set(shared); });
    expectRefusedUnchanged(path, "ページ " + std::to_string(shared) + " が");
}

TEST(JetDamagedFile, ACatalogIndexOutOfStepWithItsRowsIsRefused) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "catalog");
    {
        // One more row counted than the catalog holds.
        auto f = DatabaseFile::open(path, false);
        TableDefinition objs = f->readTdef(kMSysObjectsPage);
        patchTableDefinition32(f->pager(), objs, 0x10, objs.rowCount + 1);
        commitWithJournal(f->pager(), path);
    }
    expectRefusedUnchanged(path, "システムテーブル");
}

TEST(JetDamagedFile, EverySampleTakesTheCheckBeforeTheFirstWrite) {
    for (auto& s : sampleNames()) {
        auto f = DatabaseFile::open(samplePath(s), true);
        auto damage = checkBeforeWrite(*f);
        EXPECT_TRUE(damage.empty()) << s << ": " << damage.front();
    }
}
