// Compares tables of a design with the tables of an existing Access database, without changing
// the database: the design is read through the builder's own rules (the definition the builder
// would create), the database from its stored table definitions.
//
// For each design table: missing in the database, or, when present, the fields missing or extra
// and the type, Text size, Required and AutoNumber of each common field, and the primary key
// (its fields in order). Optionally the database's user tables the design does not have.
#pragma once

#include <string>
#include <vector>

#include "clsAccessFieldAttr.h"
#include "clsTableInfo.h"
#include "DatabaseFailure.h"

namespace jet {
struct StoredTable;
}

struct FieldDifference {
    std::string strField;     // empty for the primary key
    std::string strWhat;      // type | size | required | autonumber | missing | extra | primaryKey
    std::string strDesign;    // the design's value ("" when the design has none)
    std::string strDatabase;  // the database's value ("" when the database has none)
};

struct TableComparison {
    std::string strName;
    std::string strStatus;  // same | missing | differs | extra
    std::vector<FieldDifference> colDifferences;
};

class clsDesignDiff {
public:
    // Keeps the map (shared, not copied); the default notations apply without one.
    void sbSetFieldAttr(AccessFieldAttrPtr objFieldAttr) { moobjFieldAttr = std::move(objFieldAttr); }
    // The password of a database that has one (Access 2000-2003).
    void sbSetPassword(const std::string& strPassword) { mostrConnect = ";PWD=" + strPassword; }
    // True when the last fnCompare could not open the database for want of the password, or a wrong one.
    bool fnPasswordRefused() const { return moblnPasswordRefused; }

    // Opens the database read-only (no write lock, never written), compares the given design
    // tables in their order and, with blnListExtra, lists the database's user tables that none
    // of them names. False when the database cannot be opened or read (getLastError says why).
    bool fnCompare(const std::vector<TableInfoPtr>& colTables, const std::string& strDBPath, bool blnListExtra);

    const std::vector<TableComparison>& getResult() const { return mocolResult; }
    const std::string& getLastError() const { return moobjFailure.strText; }
    // The database file when that sentence is the engine's about the file, and the sentence
    // without it, for a line that names the file already (both empty otherwise).
    const base::Subject& getLastSubject() const { return moobjFailure.objAbout; }
    const std::string& getLastReason() const { return moobjFailure.strReason; }
    // Set when a write of an earlier run into the database was cut off and is still pending: the
    // comparison saw the database as it was before that write (empty otherwise).
    const std::string& getOpenNotice() const { return mostrOpenNotice; }
    // True when every compared table is the same (and, with blnListExtra, none is extra).
    bool isSame() const;

    // The comparison of one design table with one stored table (nullptr: not in the database).
    TableComparison fnCompareTable(const clsTableInfo& objTable, const jet::StoredTable* pobjStored) const;

private:
    AccessFieldAttrPtr moobjFieldAttr;
    std::vector<TableComparison> mocolResult;
    accessrules::DatabaseFailure moobjFailure;
    std::string mostrOpenNotice;
    std::string mostrConnect;
    bool moblnPasswordRefused = false;
};

// The type's name as the comparison shows it: Text, Long, Integer, Date, Single, Double,
// Currency, Boolean, Byte, Memo, OLE, Binary, GUID, Decimal, LargeNumber, DateTimeExtended,
// Complex (attachments and multi-valued fields).
std::string storedTypeName(int lngDaoType);

// The result as lines for people (Japanese), one table per line and its differences indented.
std::vector<std::string> comparisonLines(const std::vector<TableComparison>& colResult);
