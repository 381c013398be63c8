// The engine's object model, shaped like DAO: an engine opens databases, a database lists and
// appends table definitions, a table definition holds fields and indexes.
// Definitions live in memory until TableDefs().Append(), which validates everything and then
// writes the whole table in one crash-safe transaction (or nothing at all) - or, between
// BeginTrans() and CommitTrans(), keeps it for the one transaction that writes them all.
// Every failure is a jet::JetError (number + Japanese description).
// Below this face: DatabaseFile::createTable (database_file.h) and the write order of a table
// creation in table_writer.cpp; docs/jet-pages.md describes the pages they write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet_error.h"

namespace jet {

enum DataType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbText = 10,
    dbMemo = 12,
};

constexpr long dbAutoIncrField = 16;

class Database;
class TableDef;
class Field;
class Index;
class DatabaseFile;  // the open file (engine internals)

class Field {
public:
    Field(std::string name, int type, int size);
    const std::string& Name() const { return name_; }
    int Type() const { return type_; }
    // Text: characters (1-255). Memo: 0. Other types: their byte length (Yes/No: 1).
    int Size() const { return size_; }
    long Attributes() const { return attributes_; }
    void setAttributes(long attributes);
    bool Required() const { return required_; }
    void setRequired(bool required) { required_ = required; }

private:
    friend class TableDef;
    friend class Index;
    friend class Fields;
    std::string name_;
    int type_;
    int size_;
    long attributes_ = 0;
    bool required_ = false;
    bool appended_ = false;
};
using FieldPtr = std::shared_ptr<Field>;

// An ordered, name-addressable list of fields (a table's or an index's).
class Fields {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    FieldPtr item(int i) const;                 // 0-based; JetError when out of range
    FieldPtr item(const std::string& name) const;  // exact name, then case-insensitive; JetError if absent
    void Append(const FieldPtr& field);         // validates the name and duplicates (and size for a table)

private:
    friend class TableDef;
    friend class Index;
    enum class Owner { Table, Index };
    explicit Fields(Owner owner) : owner_(owner) {}
    Owner owner_;
    std::vector<FieldPtr> items_;
};

class Index {
public:
    explicit Index(std::string name);
    const std::string& Name() const { return name_; }
    // An index field: only its name matters.
    FieldPtr CreateField(const std::string& name);
    jet::Fields& Fields() { return fields_; }
    const jet::Fields& Fields() const { return fields_; }
    bool Primary() const { return primary_; }
    void setPrimary(bool primary) { primary_ = primary; }

private:
    friend class TableDef;
    friend class Indexes;
    std::string name_;
    jet::Fields fields_{jet::Fields::Owner::Index};
    bool primary_ = false;
    bool appended_ = false;
};
using IndexPtr = std::shared_ptr<Index>;

class Indexes {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    IndexPtr item(int i) const;
    IndexPtr item(const std::string& name) const;
    void Append(const IndexPtr& index);

private:
    friend class TableDef;
    Indexes() = default;
    std::vector<IndexPtr> items_;
};

class TableDef {
public:
    explicit TableDef(std::string name);
    const std::string& Name() const { return name_; }
    // Text fields take their size in characters; for other types size is ignored (0 is fine).
    FieldPtr CreateField(const std::string& name, int type, int size = 0);
    IndexPtr CreateIndex(const std::string& name);
    jet::Fields& Fields() { return fields_; }
    const jet::Fields& Fields() const { return fields_; }
    jet::Indexes& Indexes() { return indexes_; }
    const jet::Indexes& Indexes() const { return indexes_; }

private:
    friend class TableDefs;
    std::string name_;
    jet::Fields fields_{jet::Fields::Owner::Table};
    jet::Indexes indexes_;
    bool appended_ = false;
};
using TableDefPtr = std::shared_ptr<TableDef>;

// One reason TableDefs().Append would refuse a definition for its own content (before the file
// is consulted): the engine's error, and the field (position in Fields()), the index (position
// in Indexes()) and the index field it is about, -1 where that does not apply.
struct DefinitionProblem {
    JetError error;
    int field = -1;
    int index = -1;
    int indexField = -1;
};
// Every such problem, in the order Append looks for them; empty when Append would go on to the
// file (where the name's key, a table of the same name and the file itself are still checked).
std::vector<DefinitionProblem> checkTableDef(const TableDef& table);

// The table definitions of an open database. Listing gives names only (what the builder needs);
// catalog order is the order of Jet's name index, the order DAO enumerates them in.
class TableDefs {
public:
    int Count() const;
    // Name of the i-th table (0-based) in catalog order, system tables included.
    std::string item(int i) const;
    std::vector<std::string> Names() const;
    // Validates the definition completely, then writes it (all or nothing).
    void Append(const TableDefPtr& table);

private:
    friend class Database;
    explicit TableDefs(Database& db) : db_(db) {}
    Database& db_;
};

class Database {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& Name() const { return path_; }
    jet::TableDefs& TableDefs() { return tableDefs_; }
    TableDefPtr CreateTableDef(const std::string& name);
    // Closes the file; a transaction still open is rolled back.
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    // One transaction for many appends (as a workspace's BeginTrans, CommitTrans and Rollback).
    // Inside it each TableDefs().Append() is still whole or nothing (a table refused or failed
    // leaves no trace), but nothing reaches the file until CommitTrans(), which writes every
    // table appended since BeginTrans() in one crash-safe step: all of them, or - when it fails
    // (the error says why) - none, the file as it was before BeginTrans(). Memory stays bounded:
    // past a few megabytes the pending pages go to a nameless scratch file beside the database.
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    bool InTransaction() const;
    bool ReadOnly() const { return readOnly_; }
    // True when opening found a write of an earlier run cut off (its journal left beside the
    // file) and put the file back as it was before that write; RollbackNotice() then says so
    // in a sentence for the user, naming the file, and is empty otherwise.
    bool RolledBackAtOpen() const { return rolledBackAtOpen_; }
    // True when a database opened read-only had an interrupted write pending that could not be
    // rolled back now (a read-only file, Access has it open): the tables listed are those before
    // that write, and RollbackNotice() says so, naming the journal.
    bool RollbackPending() const { return rollbackPending_; }
    std::string RollbackNotice() const;

private:
    friend class DBEngine;
    friend class TableDefs;
    // The engine's own way to the file (database_file.h); not part of this face.
    friend DatabaseFile& databaseFile(Database& db);
    DatabaseFile& file();
    Database(std::string path, std::unique_ptr<DatabaseFile> file, bool readOnly);
    std::string path_;
    std::unique_ptr<DatabaseFile> file_;
    bool readOnly_;
    bool rolledBackAtOpen_ = false;
    bool rollbackPending_ = false;
    bool inspecting_ = false;
    std::string journal_;
    jet::TableDefs tableDefs_{*this};
};
using DatabasePtr = std::unique_ptr<Database>;

class DBEngine {
public:
    // Opens an existing Jet 4 database for writing: takes an exclusive lock, rolls back an
    // interrupted write left behind by an earlier run, and refuses files Access has open.
    std::unique_ptr<Database> OpenDatabase(const std::string& path);
    // Opens for reading only (no lock file check). A write of an earlier run that was cut off is
    // rolled back first whenever the file could be written; otherwise the file is read as it was
    // before that write, through its journal (Database::RollbackPending).
    std::unique_ptr<Database> OpenDatabase(const std::string& path, bool readOnly);
    // The same for a database with a password (Access 2000-2003): connect is ";PWD=password"
    // (everything after "PWD=" is the password). A missing password is refused with
    // errPasswordRequired, a wrong one with errWrongPassword, before anything is written.
    std::unique_ptr<Database> OpenDatabase(const std::string& path, bool readOnly, const std::string& connect);
    // Opens for reading only and never writes, not even to roll back a write of an earlier run
    // that was cut off: such a file is read as it was before that write, and the journal is left
    // for the next open that writes. For comparisons that must not change what they look at.
    std::unique_ptr<Database> InspectDatabase(const std::string& path, const std::string& connect = "");
};

}  // namespace jet
