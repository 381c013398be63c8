// DBEngine.CreateDatabase: a new database file, then opened like any other.
#include <sys/stat.h>
#include <unistd.h>

#include "dao.h"
#include "new_database.h"

namespace jet {

std::unique_ptr<Database> createDatabase(const std::string& path, const std::string& locale,
                                         int options) {
    FileIdentity written;
    writeNewDatabase(path, locale, options, &written);
    try {
        return DBEngine().OpenDatabase(path);
    } catch (...) {
        // Take back the file just made, but only if it is still that file, untouched.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == written.device &&
            static_cast<uint64_t>(st.st_ino) == written.inode && st.st_nlink == 1 &&
            st.st_size == static_cast<off_t>(newDatabasePages(isAccdbPath(path) ? FileFormat::Ace16 : FileFormat::Jet4)) * 4096)
            ::unlink(path.c_str());
        throw;
    }
}

}  // namespace jet
