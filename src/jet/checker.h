// Structural checker: reads a database and reports every inconsistency it finds between the
// catalog, table definitions, usage maps, the global page map, data pages and index trees.
// Used by the tests on every file the engine writes; usable on any Jet 4 file.
#pragma once

#include <string>
#include <vector>

namespace jet {

class DatabaseFile;

struct CheckReport {
    std::vector<std::string> problems;  // one readable line each
    int tablesChecked = 0;
    int indexesChecked = 0;
    int keysRecomputed = 0;   // index keys recomputed from their rows and compared byte for byte
    int keysUnverified = 0;   // entries whose key this engine cannot compute (other sort orders ...)
    int longValuesChecked = 0;  // Memo/OLE values (property blobs included) read back whole
    bool ok() const { return problems.empty(); }
    std::string summary() const;
};

// Opens the file read-only and checks it. A file that cannot even be opened yields one problem.
CheckReport checkDatabase(const std::string& path);
CheckReport checkDatabase(DatabaseFile& file);

}  // namespace jet
