// A database file is opened for reading, its tables listed and their definitions read back, and
// the structural checker is run over it. Each step must succeed or be refused with jet::JetError;
// the checker reports damage and never throws. Anything else stops the run.
#include <cstddef>
#include <cstdint>

#include "checker.h"
#include "dao.h"
#include "fuzz_support.h"
#include "table_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchDir() + "/read.mdb";
    fuzz::writeFile(path, data, size);
    try {
        auto db = jet::DBEngine().InspectDatabase(path);
        int n = 0;
        for (const std::string& name : jet::userTableNames(*db)) {
            if (++n > 16) break;
            try {
                jet::readStoredTable(*db, name);
            } catch (const jet::JetError&) {
            }
        }
    } catch (const jet::JetError&) {
    }
    jet::checkDatabase(path);
    if (fuzz::readFile(path) != fuzz::Bytes(data, data + size)) fuzz::fail("reading changed the file");
    return 0;
}
