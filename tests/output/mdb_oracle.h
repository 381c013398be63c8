// Looks at an .mdb through readers that are not ours: mdb-reader (columns: type, size,
// auto-increment) and mdbtools (table list, primary keys, NOT NULL from the Required property).
// mdb-reader's "nullable" is the column's 0x02 flag, which Access sets on every ordinary column;
// the required flag lives in the column properties, which mdbtools reads.
#pragma once

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace oracle {

struct Column {
    std::string name;
    std::string type;  // mdb-reader's names: text, long, integer, double, float, currency, datetime...
    int size = 0;
    bool nullable = true;  // the 0x02 column flag (see above), not the required flag
    bool autoLong = false;
};

struct Database {
    std::vector<std::string> tables;        // user tables, in the file's order
    std::vector<std::string> systemTables;
    std::map<std::string, std::vector<Column>> columns;
    bool ok = false;                        // the reader could read the file
    std::string raw;

    bool hasTable(const std::string& t) const {
        for (const auto& n : tables) if (n == t) return true;
        return false;
    }
    const Column* column(const std::string& t, const std::string& c) const {
        auto it = columns.find(t);
        if (it == columns.end()) return nullptr;
        for (const auto& col : it->second) if (col.name == c) return &col;
        return nullptr;
    }
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string run(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = ::pclose(p);
    if (status) *status = rc;
    return out;
}

inline std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : line) {
        if (c == sep) { parts.push_back(cur); cur.clear(); } else cur += c;
    }
    parts.push_back(cur);
    return parts;
}

// mdb-reader's view of the file.
inline Database describe(const std::string& file) {
    Database db;
    const std::string oracles = std::string(XLSDB_TEST_DATA) + "/../oracles";
    const std::string script = std::string(XLSDB_TEST_DATA) + "/../output/mdb_describe.mjs";
    int status = 0;
    db.raw = run("node " + shellQuote(script) + " " + shellQuote(oracles) + " " + shellQuote(file) + " 2>&1", &status);
    db.ok = status == 0;
    std::istringstream in(db.raw);
    std::string line;
    while (std::getline(in, line)) {
        auto f = split(line, '\t');
        if (f[0] == "T" && f.size() == 2) db.tables.push_back(f[1]);
        else if (f[0] == "S" && f.size() == 2) db.systemTables.push_back(f[1]);
        else if (f[0] == "C" && f.size() == 7) {
            Column c;
            c.name = f[2];
            c.type = f[3];
            c.size = std::stoi(f[4]);
            c.nullable = f[5] == "1";
            c.autoLong = f[6] == "1";
            db.columns[f[1]].push_back(c);
        }
    }
    return db;
}

// Primary-key columns of a table as mdbtools reads them (empty when it has none).
inline std::vector<std::string> primaryKey(const std::string& file, const std::string& table) {
    std::string schema = run("mdb-schema --indexes -T " + shellQuote(table) + " " + shellQuote(file) + " mysql 2>/dev/null");
    std::smatch m;
    static const std::regex pk("PRIMARY KEY \\(([^)]*)\\)");
    std::vector<std::string> cols;
    if (!std::regex_search(schema, m, pk)) return cols;
    for (std::string part : split(m[1].str(), ',')) {
        auto a = part.find('`'), b = part.rfind('`');
        if (a != std::string::npos && b > a) cols.push_back(part.substr(a + 1, b - a - 1));
    }
    return cols;
}

// The table names mdbtools lists (user tables), one per line.
inline std::vector<std::string> mdbTables(const std::string& file) {
    std::vector<std::string> names;
    std::istringstream in(run("mdb-tables -1 " + shellQuote(file) + " 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) if (!line.empty()) names.push_back(line);
    return names;
}

// NOT NULL columns of a table as mdbtools reads them.
inline std::vector<std::string> notNullColumns(const std::string& file, const std::string& table) {
    std::string schema = run("mdb-schema --not-null --no-indexes -T " + shellQuote(table) + " " + shellQuote(file) + " mysql 2>/dev/null");
    std::vector<std::string> cols;
    std::istringstream in(schema);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("NOT NULL") == std::string::npos) continue;
        // Column lines start with blanks and the quoted name; "CREATE TABLE `x`" does not.
        auto a = line.find_first_not_of(" \t");
        if (a == std::string::npos || line[a] != '`' || a == 0) continue;
        auto b = line.find('`', a + 1);
        if (b != std::string::npos) cols.push_back(line.substr(a + 1, b - a - 1));
    }
    return cols;
}

}  // namespace oracle
