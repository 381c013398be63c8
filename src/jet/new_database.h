// Creating a new, empty database, generated in code: a Jet 4 .mdb (the 16 pages Jet itself writes
// for an empty file: header, global page map, the four system tables with their catalog and
// permission rows) or an .accdb (the 83 pages and 21 system tables of a new Access 2016 file),
// in the General, General Legacy or Japanese sort order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "header.h"
#include "jet_error.h"
#include "text_key.h"

namespace jet {

class Database;

// Error numbers of database creation (DAO's numbers for the same failures).
constexpr int errDatabaseExists = 3204;   // a file already exists at the path
constexpr int errInvalidArgument = 3001;  // an unsupported locale text or option

// File formats of a new database: the DAO option for Jet 4.0 (dbVersion40), and the .accdb
// format (written as ACE 16, the format of Access 2016). The format must match the path's
// extension: .accdb for dbVersionAccdb, anything else for dbVersion40.
constexpr int dbVersion40 = 64;
constexpr int dbVersionAccdb = 128;

// Locale texts as DAO takes them (dbLangGeneral, dbLangJapanese), and the General Legacy order
// asked for by name. dbLangGeneral is the General order of the format: 1033 version 0 (General
// Legacy) in a Jet 4 file, 1033 version 1 (General, Access 2010 and later) in an .accdb file.
extern const char* const dbLangGeneral;        // ";LANGID=0x0409;CP=1252;COUNTRY=0"
extern const char* const dbLangGeneralLegacy;  // ";LANGID=0x0409;CP=1252;COUNTRY=0;SORTVERSION=0"
extern const char* const dbLangJapanese;       // ";LANGID=0x0411;CP=932;COUNTRY=0"

struct NewDatabaseLocale {
    SortOrder sortOrder;   // General (Legacy) for both General texts
    uint16_t codePage;
    bool legacy = false;   // the General Legacy text
};

// Reads a DAO locale text. Only the three texts above are accepted (letter case of the keys and
// the hexadecimal digits does not matter); anything else throws JetError(errInvalidArgument).
NewDatabaseLocale parseDatabaseLocale(const std::string& locale);

// Everything that varies between two new databases.
struct NewDatabaseSettings {
    FileFormat format = FileFormat::Jet4;  // Jet4 or Ace16
    SortOrder sortOrder = SortOrder::General;  // General2010 only in an .accdb file
    uint16_t codePage = 1252;
    // Creation time as an OLE automation date (days since 1899-12-30, local time); it goes in
    // the header, in the password mask and in the catalog rows' DateCreate/DateUpdate.
    double created = 0;
};

// Size of a new, empty database: 16 pages of 4096 bytes (Jet 4), 83 (.accdb).
constexpr uint32_t kNewDatabasePages = 16;
uint32_t newDatabasePages(FileFormat format);

// The bytes of a new, empty database.
std::vector<uint8_t> buildNewDatabaseImage(const NewDatabaseSettings& settings);

// Parts of the above: page 0 of either format, and the whole image of an .accdb file.
std::vector<uint8_t> newDatabaseHeader(const NewDatabaseSettings& settings);
std::vector<uint8_t> buildNewAceDatabaseImage(const NewDatabaseSettings& settings);

// Writes a new, empty database at path and leaves it closed. Refuses an existing path
// (errDatabaseExists) and never replaces or touches an existing file, and a format that does not
// match the path's extension (errInvalidArgument). The file is written
// without a name in the path's folder (or, where the file system cannot do that, under a
// hidden temporary name), synced, and only then linked in at path, never over a file that
// appeared there meanwhile. A failure leaves no file at path and no temporary file behind.
// When `written` is given, it receives the identity of the file written.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
};
// True when the path ends in .accdb (any letter case).
bool isAccdbPath(const std::string& path);
void writeNewDatabase(const std::string& path, const std::string& locale, int options,
                      FileIdentity* written = nullptr);

// DBEngine.CreateDatabase: writes the new database as above and returns it open for writing.
// If the new file cannot be opened (for instance a stale .ldb lock file of that name lies
// beside it), the file just written is removed again and the open's error is thrown: a failed
// creation leaves the folder as it was.
std::unique_ptr<Database> createDatabase(const std::string& path, const std::string& locale,
                                         int options);

}  // namespace jet
