// Structural checker: reads a database and reports every inconsistency it finds between the
// catalog, table definitions, usage maps, the global page map, data pages and index trees.
// Used by the tests on every file the engine writes; usable on any Jet 4 or ACE file.
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

// What a write depends on, checked before the first write into an open file: every page a table
// definition, usage map or index names lies inside the file and is used by one object only and
// not marked free; the catalog (MSysObjects, MSysACEs) agrees row by row with its indexes.
// Returns the damage found, in Japanese, one sentence each (empty: none). Reads no user rows.
std::vector<std::string> checkBeforeWrite(DatabaseFile& file);

}  // namespace jet
