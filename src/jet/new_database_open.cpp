// DBEngine.CreateDatabase: a new database file, then opened like any other.
#include "dao.h"
#include "file.h"
#include "file_names.h"
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
        platform::FileInfo st;
        if (platform::infoAt(path, st) == 0 && st.regular && st.device == written.device && st.inode == written.inode &&
            st.links == 1 &&
            st.size == static_cast<uint64_t>(newDatabasePages(isAccdbPath(path) ? FileFormat::Ace16 : FileFormat::Jet4)) * 4096)
            platform::removeFile(path);
        throw;
    }
}

}  // namespace jet
