// Reading table definitions back from an open database, without changing anything: each
// field's type, size, Required flag and auto-numbering, and each index with its fields in key
// order and whether it is the primary key. Read from the table's TDEF page and from the
// properties of its catalog row; works on a database opened read-only.
#pragma once

#include <string>
#include <vector>

#include "dao.h"

namespace jet {

// Type codes beyond those the builder creates (dao.h), as DAO numbers them.
constexpr int dbBinaryType = 9;       // Binary
constexpr int dbLongBinaryType = 11;  // OLE Object
constexpr int dbGuidType = 15;        // Replication ID
constexpr int dbDecimalType = 20;     // Decimal
constexpr int dbBigIntType = 16;      // Large Number (8-byte integer, Access 2016 and later)
constexpr int dbDateTimeExtendedType = 26;  // Date/Time Extended (Access 2019 and later)
// A complex column (attachments, a multi-valued field, a memo's version history). DAO gives
// 101-109 by the type of its values, which live in the column's own hidden table; this reader
// does not follow it there and gives this code instead.
constexpr int dbComplexType = 100;

constexpr long dbFixedField = 1;
constexpr long dbVariableField = 2;

struct StoredField {
    std::string name;
    int type = 0;         // DAO type code (dbText, dbLong, ... or the codes above)
    int size = 0;         // Text: characters; Memo, OLE: 0; others: their byte length
    bool required = false;  // the field's Required property (false when the file has none)
    bool autoNumber = false;
    long attributes = 0;  // dbFixedField or dbVariableField, plus dbAutoIncrField
};

struct StoredIndex {
    std::string name;
    bool primary = false;
    bool unique = false;
    bool foreignKey = false;            // the hidden index of a relationship
    std::vector<std::string> fields;    // in key order
    std::vector<bool> descending;       // per field
};

struct StoredTable {
    std::string name;
    bool linked = false;  // a link to another database: no fields or indexes here
    bool system = false;
    std::vector<StoredField> fields;    // in column order (as Access shows them)
    std::vector<StoredIndex> indexes;   // in the definition's order
    const StoredField* field(const std::string& name) const;  // exact name, then ASCII letter case ignored
    const StoredIndex* primaryKey() const;                    // nullptr when the table has none
};

// Names of the user tables (no system tables), in catalog order; linked tables included.
std::vector<std::string> userTableNames(Database& db);

// The definition of one table (exact name). JetError errIndexField when there is no such table.
StoredTable readStoredTable(Database& db, const std::string& name);

}  // namespace jet
