// One open Jet 4 database file: validation at open, the write lock, hot-journal rollback, the
// catalog, and the table writer. The DAO objects sit on top of this.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalog.h"
#include "header.h"
#include "pager.h"
#include "tdef.h"
#include "text_key.h"

namespace jet {

// A table to create, as validated plain data.
struct NewColumn {
    std::u16string name;
    uint8_t type = 0;      // ColumnType
    uint16_t textChars = 0;
    bool autoIncrement = false;
    bool required = false;
};
struct NewIndex {
    std::u16string name;
    bool primary = false;
    std::vector<std::u16string> columns;
};
struct NewTable {
    std::u16string name;
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
};

// One reason a table request cannot be written, and what it is about: a column (its position),
// an index (its position) and one of its key fields (position in the index), or -1 for each
// part that does not apply (the table itself).
struct TableProblem {
    JetError error;
    int column = -1;
    int index = -1;
    int key = -1;
};
// Full check of a table request (everything that does not need the file): reports every
// problem, in the order they are looked for.
void checkNewTable(const NewTable& t, const std::function<void(const TableProblem&)>& report);
// The same, throwing the first problem.
void validateNewTable(const NewTable& t);

class DatabaseFile {
public:
    // `password`: the database password, for a database that has one (Access 2000-2003). It is
    // checked before anything is done to the file: a missing or wrong one writes nothing.
    // `neverWrite` (read-only opens): leave a cut-off write of an earlier run for the next writer
    // and read the file as it was before that write, even where the file could be written.
    static std::unique_ptr<DatabaseFile> open(const std::string& path, bool readOnly,
                                              const std::optional<std::u16string>& password = std::nullopt,
                                              bool neverWrite = false);
    ~DatabaseFile();

    const std::string& path() const { return path_; }
    bool readOnly() const { return readOnly_; }
    const DbHeader& header() const { return header_; }
    Pager& pager() { return *pager_; }
    bool rolledBackAtOpen() const { return rolledBack_; }
    // The file could not be written at open, and a write of an earlier run was cut off: what is
    // read is the file as it was before that write (from the journal), and the next writable
    // open rolls it back. Also true after a failed write whose journal stayed behind.
    bool rollbackPending() const { return pendingRollback_; }
    // Opened never to write (see open).
    bool neverWrites() const { return neverWrite_; }
    // The journal of the database file (beside its real path).
    std::string journal() const;

    TableDefinition readTdef(uint32_t page) { return readTableDefinition(*pager_, page); }
    std::vector<CatalogObject> tables();

    // The sort order of MSysObjects.Name, or nullopt if this engine cannot key it.
    std::optional<SortOrder> catalogSortOrder();

    // Validates the request against the file, then writes the table crash-safely: at once, or -
    // inside a transaction - with the transaction's commit. A table that fails changes nothing.
    // Returns the new table's Id (its TDEF page).
    uint32_t createTable(const NewTable& t);

    // One transaction for many tables: the tables created until commit() are kept in the pager
    // (in memory, past `spillPages` pages in a scratch file) and written together through one
    // journal; rollback(), close() or a failed commit leave the file as it was before.
    static constexpr size_t kSpillPages = 1024;  // 4 MB
    void beginTransaction(size_t spillPages = kSpillPages);
    bool inTransaction() const { return inTransaction_; }
    void commit();
    void rollback();

    void close();

private:
    DatabaseFile() = default;
    std::string path_;
    int fd_ = -1;
    bool readOnly_ = true;
    bool verified_ = false;  // checkBeforeWrite passed (our own writes keep it so)
    bool rolledBack_ = false;
    bool pendingRollback_ = false;
    bool neverWrite_ = false;
    bool inTransaction_ = false;
    std::string realPath_;
    DbHeader header_;
    std::unique_ptr<Pager> pager_;
    // Read once at the first table creation; our writes never change them.
    std::optional<Bytes> owner_;
    std::optional<std::vector<Bytes>> aceSids_;
    std::optional<std::vector<CatalogObject>> tables_;  // dropped whenever the file changes
    // Names under the Tables container, ASCII letters upper-cased: read once, kept up to date by
    // our own writes, dropped when a write fails.
    std::optional<std::set<std::u16string>> folded_;
    const std::set<std::u16string>& foldedTableNames();
    const Bytes& catalogOwner();
    const std::vector<Bytes>& tableAceSids();
    void writeTable(const NewTable& t, const Bytes& nameKey, uint32_t& newId);
    // Writes the pager's changes through the journal; on failure forgets them (and, when the
    // file could not be put back, reads it as it was before and writes nothing more).
    void commitChanges();
    void refuseWhenAccessHasIt();
};

// The file behind an open DAO database (dao.h), for the engine's readers, the structural checker
// and tests. JetError errDatabaseClosed once the database is closed.
class Database;
DatabaseFile& databaseFile(Database& db);

// The lock file Access keeps beside a database it has open: NAME.laccdb for an .accdb file,
// NAME.ldb for any other; and that extension.
std::string lockFilePath(const std::string& dbPath);
std::string lockFileExtension(const std::string& dbPath);
// A sort order as the user knows it, e.g. "中国語 (簡体字、ピンイン)、LCID 2052".
std::string sortOrderName(uint16_t lcid, uint8_t sortVersion);

}  // namespace jet
