// Creating a new, empty Jet 4 database: the 16 pages Jet itself writes for an empty file
// (header, global page map, the four system tables with their catalog and permission rows),
// generated in code for the General (1033) or Japanese (1041) sort order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet_error.h"
#include "text_key.h"

namespace jet {

class Database;

// Error numbers of database creation (DAO's numbers for the same failures).
constexpr int errDatabaseExists = 3204;   // a file already exists at the path
constexpr int errInvalidArgument = 3001;  // an unsupported locale text or option

// The DAO option for the Jet 4.0 file format (dbVersion40); the only one accepted.
constexpr int dbVersion40 = 64;

// Locale texts as DAO takes them (dbLangGeneral, dbLangJapanese).
extern const char* const dbLangGeneral;   // ";LANGID=0x0409;CP=1252;COUNTRY=0"
extern const char* const dbLangJapanese;  // ";LANGID=0x0411;CP=932;COUNTRY=0"

struct NewDatabaseLocale {
    SortOrder sortOrder;
    uint16_t codePage;
};

// Reads a DAO locale text. Only the two texts above are accepted (letter case of the keys and
// the hexadecimal digits does not matter); anything else throws JetError(errInvalidArgument).
NewDatabaseLocale parseDatabaseLocale(const std::string& locale);

// Everything that varies between two new databases.
struct NewDatabaseSettings {
    SortOrder sortOrder = SortOrder::General;
    uint16_t codePage = 1252;
    // Creation time as an OLE automation date (days since 1899-12-30, local time); it goes in
    // the header, in the password mask and in the catalog rows' DateCreate/DateUpdate.
    double created = 0;
};

// Size of a new, empty database: 16 pages of 4096 bytes.
constexpr uint32_t kNewDatabasePages = 16;

// The bytes of a new, empty database.
std::vector<uint8_t> buildNewDatabaseImage(const NewDatabaseSettings& settings);

// The current local time as an OLE automation date.
double oleDateNow();

// Writes a new, empty database at path and leaves it closed. Refuses an existing path
// (errDatabaseExists) and never replaces or touches an existing file, and a path ending in
// .accdb (errInvalidArgument: only the Jet 4 format is written). The file is written
// without a name in the path's folder (or, where the file system cannot do that, under a
// hidden temporary name), synced, and only then linked in at path, never over a file that
// appeared there meanwhile. A failure leaves no file at path and no temporary file behind.
// When `written` is given, it receives the identity of the file written.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
};
void writeNewDatabase(const std::string& path, const std::string& locale, int options,
                      FileIdentity* written = nullptr);

// DBEngine.CreateDatabase: writes the new database as above and returns it open for writing.
// If the new file cannot be opened (for instance a stale .ldb lock file of that name lies
// beside it), the file just written is removed again and the open's error is thrown: a failed
// creation leaves the folder as it was.
std::unique_ptr<Database> createDatabase(const std::string& path, const std::string& locale,
                                         int options);

}  // namespace jet
