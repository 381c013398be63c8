// Test support: runs the independent .mdb readers (mdbtools and the mdb-reader npm package) and
// parses what they print, plus temporary copies of test databases. Shared by every test program
// that writes .mdb files (link xlsdb_jet_test_support).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace jet::testsupport {

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs a program (no shell) and collects its output.
CommandResult run(const std::vector<std::string>& argv);

// The test data folder (tests/data) and a fresh per-process scratch folder.
std::string testDataDir();
std::string scratchDir();
// Copies a file into the scratch folder under `name`; returns the new path.
std::string copyToScratch(const std::string& source, const std::string& name);
std::string readFile(const std::string& path);

// ---- mdbtools ----
std::string mdbVer(const std::string& file);                   // e.g. "JET4"
std::vector<std::string> mdbTables(const std::string& file);   // mdb-tables -S -1: all tables
CommandResult mdbExport(const std::string& file, const std::string& table);

struct SchemaColumn {
    std::string name;
    std::string type;   // as mdb-schema prints it for the mysql backend: "varchar (10)", "int", ...
    bool notNull = false;
    bool autoIncrement = false;
};
struct SchemaTable {
    bool found = false;
    std::vector<SchemaColumn> columns;
    std::vector<std::string> primaryKey;  // in key order
    std::string raw;
};
// mdb-schema -T TABLE FILE mysql, parsed.
SchemaTable mdbSchema(const std::string& file, const std::string& table);

// ---- mdb-reader (node tests/oracles/mdb_reader_dump.mjs) ----
struct ReaderColumn {
    std::string name;
    std::string type;  // "text", "long", "integer", "datetime", "float", "double", "currency", ...
    int size = 0;      // bytes (text: 2 x characters)
    bool autoLong = false;
    bool fixedLength = false;
};
struct ReaderTable {
    int rowCount = 0;
    std::vector<ReaderColumn> columns;
};
struct ReaderView {
    bool ok = false;
    std::string error;
    std::vector<std::string> tables;             // every table, system ones included
    std::map<std::string, ReaderTable> details;  // the tables asked for
};
ReaderView mdbReader(const std::string& file, const std::vector<std::string>& tables);

}  // namespace jet::testsupport
