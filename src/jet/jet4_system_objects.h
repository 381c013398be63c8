// The system tables of a new Jet 4 database as Jet writes them for an empty file: the four
// tables' columns and indexes, the MSysObjects rows (the three containers, MSysDb and the four
// tables) and the MSysACEs rows (the permissions on those objects).
//
// What varies between two new databases is not stored here but computed by the generator
// (new_database.cpp): the sort order of the columns, the dates, the pages and usage maps, the
// index keys and their counts, the row counts.
#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"
#include "system_table_parts.h"

namespace jet {

struct Jet4ColumnSpec {
    const char* name;
    uint8_t type;     // ColumnType
    uint16_t number;
    bool sid;         // an Owner / SID column: flagged kColSid
};

struct Jet4RealIndexSpec {
    std::vector<uint16_t> columns;  // column numbers, all ascending
    uint8_t flags;                  // kIdx... flags
};

struct Jet4TableSpec {
    const char* name;
    uint32_t tdefPage;  // also its object id
    // Jet stores its system tables' column descriptors sorted by column name, and their logical
    // indexes sorted by index name; both lists are kept in that stored order.
    std::vector<Jet4ColumnSpec> columns;
    std::vector<Jet4RealIndexSpec> realIndexes;
    std::vector<SystemLogicalIndex> logicalIndexes;
};

// MSysObjects, MSysACEs, MSysQueries, MSysRelationships, in the order page 0 names them.
const std::vector<Jet4TableSpec>& jet4SystemTables();

// One MSysObjects row: Id, ParentId, Type, Name and Owner (the other values are the same on
// every row or computed).
struct Jet4ObjectSpec {
    uint32_t id;
    uint32_t parent;
    int16_t type;       // kObjectType...
    const char* name;
    const Bytes* owner; // a SID
};

// The MSysObjects rows in the order Jet inserts them.
const std::vector<Jet4ObjectSpec>& jet4SystemObjects();

// One MSysACEs row: the rights (`mask`) one account (`sid`) has on one object.
struct Jet4PermissionSpec {
    uint32_t objectId;
    const Bytes* sid;
    uint32_t mask;
    bool inheritable;   // FInheritable: given to the objects later made in the container
};

// The MSysACEs rows in the order Jet inserts them.
const std::vector<Jet4PermissionSpec>& jet4SystemPermissions();

}  // namespace jet
