// The system tables of a new .accdb database as Access 2016 makes it: 21 tables (the catalog,
// permissions, queries, relationships, complex-column types, navigation pane, the Access storage
// and the theme resource), each with its definition, its rows and the pages they lie on.
//
// What varies between two new databases is not stored here but computed by the generator
// (new_ace_database.cpp): the sort order of every column marked kAceDatabaseSortOrder, the dates, the
// index keys and their counts, the usage maps and the row counts.
#pragma once

#include <cstdint>
#include <vector>

#include "system_table_parts.h"

namespace jet {

// The lcid of a column that takes the database's sort order (the sort order of the model file).
constexpr uint16_t kAceDatabaseSortOrder = 0x0409;

struct AceColumnSpec {
    const char* name;
    uint8_t type;
    uint16_t number;
    uint16_t varIndex;
    uint8_t flags;
    uint8_t extFlags;
    uint16_t fixedOffset;
    uint16_t length;
    uint16_t lcid;      // kAceDatabaseSortOrder, or a value kept as it is (precision, ...)
    bool sortVersion;   // true = the database's sort version
};

struct AceRealIndexSpec {
    std::vector<uint16_t> columns;  // column numbers, ascending
    uint8_t flags;
    uint32_t usageMap;              // row pointer of its map
    uint32_t rootPage;
};

struct AceLongValueMapSpec {
    uint16_t column;
    uint32_t ownedMap;
    uint32_t freeMap;
};

// One row: the data page it lies on, and its values by column number, each as text:
//   ""             NULL
//   "d"            the creation time (Date/Time)
//   "t:TEXT"       text, stored as UTF-16
//   "x:HEX"        the stored bytes
//   "i:HEX"        a long value kept in the row
//   "l:PAGE:HEX"   a long value in a row of that long-value page
struct AceRowSpec {
    uint32_t page;
    std::vector<const char*> values;
};

struct AceTableSpec {
    const char* name;
    uint32_t tdefPage;   // also the table's object id
    uint8_t tableType;   // kTableTypeSystem the four Jet system tables, kTableTypeUser the others
    uint32_t autoNumber;
    uint32_t ownedMap;   // row pointers of its maps
    uint32_t freeMap;
    std::vector<AceColumnSpec> columns;  // in stored (name) order
    std::vector<AceRealIndexSpec> realIndexes;
    std::vector<SystemLogicalIndex> logicalIndexes;
    std::vector<AceLongValueMapSpec> longValueMaps;
    std::vector<AceRowSpec> rows;        // in stored order
};

// The tables by TDEF page.
const std::vector<AceTableSpec>& aceSystemTables();

// Pages of a new .accdb file (the last page of the layout plus one).
constexpr uint32_t kNewAceDatabasePages = 83;

}  // namespace jet
