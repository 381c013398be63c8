// A table is created in a database file. The engine must either create it or refuse with
// jet::JetError, and a refusal must leave the file byte for byte as it was, with no journal or
// lock file behind. A file the checker finds sound before must still be sound after the table
// was added, and must list it.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "checker.h"
#include "dao.h"
#include "fuzz_support.h"
#include "journal.h"

namespace {

void appendTable(jet::Database& db) {
    auto table = db.CreateTableDef("FuzzTable");
    auto id = table->CreateField("ID", jet::dbLong);
    id->setAttributes(jet::dbAutoIncrField);
    table->Fields().Append(id);
    auto name = table->CreateField("Name", jet::dbText, 20);
    name->setRequired(true);
    table->Fields().Append(name);
    table->Fields().Append(table->CreateField("Note", jet::dbMemo));
    auto key = table->CreateIndex("Primary");
    key->setPrimary(true);
    key->Fields().Append(key->CreateField("ID"));
    table->Indexes().Append(key);
    db.TableDefs().Append(table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchDir() + "/write.mdb";
    const fuzz::Bytes before(data, data + size);
    fuzz::writeFile(path, data, size);
    const bool soundBefore = jet::checkDatabase(path).ok();
    bool created = false;
    try {
        auto db = jet::DBEngine().OpenDatabase(path);
        appendTable(*db);
        db->Close();
        created = true;
    } catch (const jet::JetError&) {
    }
    if (fuzz::exists(jet::journalPath(path))) fuzz::fail("a journal was left behind");
    if (fuzz::exists(fuzz::scratchDir() + "/write.ldb")) fuzz::fail("a lock file was left behind");
    if (!created) {
        if (fuzz::readFile(path) != before) fuzz::fail("a refused write changed the file");
        return 0;
    }
    if (soundBefore) {
        const jet::CheckReport after = jet::checkDatabase(path);
        if (!after.ok()) {
            std::fprintf(stderr, "%s\n", after.summary().c_str());
            fuzz::fail("a sound file is damaged after adding a table");
        }
        auto db = jet::DBEngine().OpenDatabase(path, true);
        const auto names = db->TableDefs().Names();
        if (std::find(names.begin(), names.end(), "FuzzTable") == names.end()) fuzz::fail("the new table is not listed");
    }
    return 0;
}
