// DBEngine.CreateDatabase: a new database file, then opened like any other.
#include "dao.h"
#include "new_database.h"

namespace jet {

std::unique_ptr<Database> createDatabase(const std::string& path, const std::string& locale,
                                         int options) {
    writeNewDatabase(path, locale, options);
    return DBEngine().OpenDatabase(path);
}

}  // namespace jet
