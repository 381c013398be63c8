// The system catalog: MSysObjects rows (tables, containers, queries ...) and MSysACEs rows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pager.h"
#include "row.h"
#include "tdef.h"
#include "usage_map.h"

namespace jet {

// MSysObjects: the containers Jet keeps objects in (Id), and the Id of their own parent.
constexpr int32_t kContainersParentId = 0x0F000000;
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabasesContainerId = 0x0F000002;
constexpr int32_t kRelationshipsContainerId = 0x0F000003;
// MSysObjects.Type.
constexpr int16_t kObjectTypeTable = 1;
constexpr int16_t kObjectTypeDatabase = 2;
constexpr int16_t kObjectTypeContainer = 3;
constexpr int16_t kObjectTypeLinkedOdbc = 4;
constexpr int16_t kObjectTypeLinkedJet = 6;
// MSysObjects.Flags of Jet's own objects (the system tables, the containers, MSysDb).
constexpr uint32_t kObjectFlagSystem = 0x80000000;
// MSysACEs.ACM: every right on the tables of a container, as the Tables container grants it.
constexpr uint32_t kFullAccessRights = 0xFFEFF;

// Reads a row through its pointer, following a lookup (kRowLookup) row to the real one.
// Returns nullopt for a deleted slot.
std::optional<Bytes> readRow(Pager& pager, RowPointer p, uint32_t owner);

// Every live row of a table, by scanning the data pages of its owned usage map.
struct StoredRow {
    RowPointer where;
    Bytes bytes;
};
std::vector<StoredRow> scanRows(Pager& pager, const TableDefinition& def, uint32_t tdefPage);

// Reads the usage-map row a row pointer names.
UsageMap readUsageMap(Pager& pager, uint32_t rowPointer, const std::string& what);

// Columns of MSysObjects this engine needs, found by name.
struct CatalogColumns {
    const ColumnDef* id;
    const ColumnDef* parentId;
    const ColumnDef* name;
    const ColumnDef* type;
    const ColumnDef* dateCreate;
    const ColumnDef* dateUpdate;
    const ColumnDef* owner;
    const ColumnDef* flags;
    const ColumnDef* lvProp;
    explicit CatalogColumns(const TableDefinition& def);
};

struct CatalogObject {
    RowPointer where;
    int32_t id = 0;
    int32_t parentId = 0;
    int16_t type = 0;
    int32_t flags = 0;
    std::u16string name;
};
CatalogObject decodeCatalogObject(const TableDefinition& def, const Bytes& row, RowPointer where);

// Tables in catalog order: the ParentIdName index walked under the Tables container, keeping
// local and linked tables (system tables included).
std::vector<CatalogObject> listTables(Pager& pager, const TableDefinition& msysObjects);

// Finds the logical index of that name and returns its real index number (corrupt() if absent).
size_t realIndexOf(const TableDefinition& def, const std::u16string& logicalName, const char* table);

}  // namespace jet
