// Creates tables of a database model in an Access database (.mdb) through the Jet engine:
// one field per usable field row, its type chosen by the type notation map, Text sizes,
// required flags, auto-numbering, and the primary-key index "Primary".
//
// Use: sbSetFieldAttr, fnOpenDB (or fnCreateDB), fnCreateTable per table, fnCloseDB.
// Opened for writing, the database is one transaction until fnCloseDB: the tables reach the file
// together when it is closed (one journal and a few syncs for the whole run), and a table that
// fails leaves no trace. Should the closing write fail, none of the run's tables is in the file
// (getUnwrittenTables() names them) and the file is as it was before fnOpenDB.
// Failures come back as false; only field-level problems are shown, through clsMessageOut.
// Every message about a field or a table gives the reason first, then in parentheses the table,
// the field, and the sheet and cell of the design document it was read from.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "DatabaseFailure.h"
#include "clsAccessFieldAttr.h"
#include "clsFieldInfo.h"
#include "clsMessageOut.h"
#include "clsTableInfo.h"

namespace jet {
class Database;
class TableDef;
}  // namespace jet

class clsAccessDB {
public:
    // Locale texts for fnCreateDB: the Japanese sort order (the default), the General one (of the
    // file's format: General Legacy in a .mdb, the General order of Access 2010 and later in an
    // .accdb) and General Legacy by name.
    static const char* const kLangJapanese;       // ";LANGID=0x0411;CP=932;COUNTRY=0"
    static const char* const kLangGeneral;        // ";LANGID=0x0409;CP=1252;COUNTRY=0"
    static const char* const kLangGeneralLegacy;  // ";LANGID=0x0409;CP=1252;COUNTRY=0;SORTVERSION=0"
    // File formats for fnCreateDB, chosen by the path's extension: .accdb or Jet 4 (.mdb).
    static constexpr int kVersion40 = 64;
    static constexpr int kVersionAccdb = 128;
    static const char* const kPrimaryIndexName;  // "Primary"
    static const char* const kUndefinedSuffix;   // "は未定義です"

    // objMessages receives the field-level messages; it is not owned and must outlive the
    // builder. Without one they are written to standard error.
    explicit clsAccessDB(clsMessageOut* objMessages = nullptr);
    ~clsAccessDB();
    clsAccessDB(const clsAccessDB&) = delete;
    clsAccessDB& operator=(const clsAccessDB&) = delete;

    void sbSetMessageOut(clsMessageOut* objMessages) { moobjMessages = objMessages; }

    // Keeps the map (shared, not copied); later changes to it are seen.
    void sbSetFieldAttr(AccessFieldAttrPtr objFieldAttrExp);

    // Writes the tables created since the database was opened, closes it and drops it. False
    // when none is open or the write or the close failed (the database is dropped in either
    // case); after a failed write getUnwrittenTables() lists the tables that are not in the file.
    bool fnCloseDB();
    // The tables fnCreateTable took since the database was opened that the last fnCloseDB could
    // not write (none of them is in the file), in the order they were created.
    const std::vector<std::string>& getUnwrittenTables() const { return mocolUnwritten; }

    // Creates one table. True when it was taken (written when the database is closed), or when
    // the model has no fields (nothing written); false when it was not (nothing of it remains).
    bool fnCreateTable(const clsTableInfo& objTable);

    // Creates a new, empty Jet 4 database (never over an existing file) and keeps it open.
    bool fnCreateDB(const std::string& strMDBPath);
    bool fnCreateDB(const std::string& strMDBPath, const std::string& strLocale);

    // Opens an existing database and appends the names of its tables (system tables
    // included, in the engine's order) to the names this builder knows. Opened read-only,
    // the database can only be listed (a read-only file, or one Access has open, can be).
    bool fnOpenDB(const std::string& strMDBPath, bool blnReadOnly = false);

    // The database password fnOpenDB uses (for a database that has one; Access 2000-2003).
    void sbSetPassword(const std::string& strPassword) { mostrPassword = strPassword; moblnPassword = true; }
    // True when the last fnOpenDB failed for want of the password, or for a wrong one.
    bool fnPasswordRefused() const { return moblnPasswordRefused; }

    // The names recorded by fnOpenDB; not updated when this builder creates a table.
    const std::vector<std::string>& getTableNames() const { return mocolTableName; }
    bool isOpen() const { return moobjDB != nullptr; }
    // Why the last fnCreateDB, fnOpenDB, fnCreateTable or fnCloseDB returned false (the engine's
    // description, or a Japanese sentence for a failure outside the engine such as lack of
    // memory); empty after a success.
    const std::string& getLastError() const { return moobjFailure.strText; }
    // What that sentence is about, as far as it names it: after fnCreateTable, the table when the
    // sentence names the table (the engine's own words or the place added to them); after
    // fnCreateDB, fnOpenDB or fnCloseDB, the database file when the engine's words name it.
    const base::Subject& getLastSubject() const { return moobjFailure.objAbout; }
    // The sentence without the file it names (see getLastSubject), for a line that names it already.
    const std::string& getLastReason() const { return moobjFailure.strReason; }

    // What the user should know of the last fnOpenDB besides success: the sentence saying that
    // an interrupted earlier write was undone when the database was opened; empty otherwise.
    const std::string& getOpenNotice() const { return mostrOpenNotice; }

private:
    bool fnExistTable(const std::string& strTableName) const;
    bool fnCheckField(const clsFieldInfo& objField);
    void sbCreateField(jet::TableDef& objTableDef, const clsTableInfo& objTable, const clsFieldInfo& objField);
    void sbCreatePrimaryKey(jet::TableDef& objTableDef, const clsTableInfo& objTable);
    const clsAccessFieldAttr& fieldAttr();
    void sbShowMessage(const std::string& strText);

    std::unique_ptr<jet::Database> moobjDB;
    AccessFieldAttrPtr moobjFieldAttr;
    std::vector<std::string> mocolTableName;
    std::unordered_set<std::string> mosetTableName;  // the same names, for lookups
    std::vector<std::string> mocolPending;    // created in the open transaction
    std::vector<std::string> mocolUnwritten;  // lost with a failed fnCloseDB
    clsMessageOut* moobjMessages;
    accessrules::DatabaseFailure moobjFailure;  // why the last call failed (getLastError ...)
    std::string mostrOpenNotice;
    std::string mostrPassword;
    bool moblnPassword = false;
    bool moblnPasswordRefused = false;
    // Where the cause of a table's failure stands, added to getLastError(): "（…）"; empty when
    // the failure is about the table as a whole.
    std::string mostrPlace;
};
