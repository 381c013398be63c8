// Table definitions (TDEF pages, type 02): the columns, indexes and maps of one table.
// A definition may span several pages; it is read and written as one logical byte string
// (first page whole, then bytes 8.. of each continuation page).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"
#include "pager.h"

namespace jet {

enum ColumnType : uint8_t {
    colBoolean = 0x01, colByte = 0x02, colInteger = 0x03, colLong = 0x04, colCurrency = 0x05,
    colSingle = 0x06, colDouble = 0x07, colDateTime = 0x08, colBinary = 0x09, colText = 0x0A,
    colOle = 0x0B, colMemo = 0x0C, colGuid = 0x0F, colNumeric = 0x10,
    // Only in .accdb files: complex columns (attachments, multi-valued fields, version history),
    // 8-byte integers and extended date/time.
    colComplex = 0x12, colBigInt = 0x13, colDateTimeExtended = 0x14,
};

constexpr uint8_t kColFixed = 0x01, kColUpdatable = 0x02, kColAutoNumber = 0x04;
constexpr uint8_t kIdxUnique = 0x01, kIdxIgnoreNulls = 0x02, kIdxRequired = 0x08;
constexpr uint32_t kTdefMagic = 1625;
constexpr uint32_t kRealIndexMagic = 1923;
constexpr size_t kTdefHeaderSize = 0x3F;
constexpr size_t kColumnSize = 25, kRealIndexSize = 52, kLogicalIndexSize = 28, kLvMapSize = 10;

bool isVariableType(uint8_t type);
bool isLongValueType(uint8_t type);

struct ColumnDef {
    uint8_t type = 0;
    uint16_t number = 0;
    uint16_t varIndex = 0;
    uint16_t ordinal = 0;
    uint16_t lcid = 0;       // sort order (text) or precision/scale
    uint8_t sortId = 0;
    uint8_t sortVersion = 0;
    uint8_t flags = 0;
    uint8_t extFlags = 0;
    uint16_t fixedOffset = 0;
    uint16_t length = 0;
    std::u16string name;
    bool fixed() const { return (flags & kColFixed) != 0; }
};

struct RealIndexDef {
    uint32_t rowCountField = 0;   // 0, or the table's row count in some Access files
    uint32_t distinctKeys = 0;
    std::vector<std::pair<uint16_t, uint8_t>> columns;  // column number, order (01 ascending)
    uint32_t usageMap = 0;        // row pointer
    uint32_t rootPage = 0;
    uint32_t unknown = 0;
    uint8_t flags = 0;
    size_t countsOffset = 0;      // logical offset of its 12-byte count block
    size_t blockOffset = 0;       // logical offset of its 52-byte definition
};

struct LogicalIndexDef {
    uint32_t number = 0;
    uint32_t realIndex = 0;
    uint8_t relTableType = 0;
    int32_t relIndex = -1;
    uint32_t relTablePage = 0;
    uint8_t cascadeUpdates = 0;
    uint8_t cascadeDeletes = 0;
    uint8_t indexType = 0;        // 1 primary key
    std::u16string name;
};

struct LongValueMap {
    uint16_t column = 0;
    uint32_t ownedMap = 0;        // row pointers
    uint32_t freeMap = 0;
};

struct TableDefinition {
    std::vector<uint32_t> pages;  // first page, then continuations
    Bytes logical;                // the definition as one byte string (tdef_len bytes)
    uint32_t rowCount = 0;
    uint32_t autoNumber = 0;
    uint32_t autoIncrement = 1;
    uint8_t tableType = 0x4E;
    uint16_t maxColumns = 0;
    uint16_t varColumns = 0;
    uint32_t ownedMap = 0;
    uint32_t freeMap = 0;
    std::vector<ColumnDef> columns;        // in descriptor order
    std::vector<RealIndexDef> realIndexes;
    std::vector<LogicalIndexDef> logicalIndexes;
    std::vector<LongValueMap> lvMaps;

    const ColumnDef* column(const std::u16string& name) const;
    const ColumnDef& columnByName(const std::u16string& name, const char* table) const;  // corrupt() if absent
    const LongValueMap* lvMap(uint16_t columnNumber) const;
};

// Reads the definition starting at TDEF page `page`, following continuation pages (cycles and
// overlong chains are corrupt-database errors).
TableDefinition readTableDefinition(Pager& pager, uint32_t page);

// Builds the logical definition bytes for a new table from its parts (counts and lengths filled in).
Bytes encodeTableDefinition(const TableDefinition& def);

// Splits logical definition bytes over the given pages (first page + continuations) and returns
// the page images. pages.size() must equal tdefPagesNeeded(logical.size()).
std::vector<Bytes> layoutTableDefinition(const Bytes& logical, const std::vector<uint32_t>& pages);
size_t tdefPagesNeeded(size_t logicalLength);

// Writes `bytes` at logical offset `off` of an existing definition through the pager.
void patchTableDefinition(Pager& pager, const TableDefinition& def, size_t off, const Bytes& bytes);
void patchTableDefinition32(Pager& pager, const TableDefinition& def, size_t off, uint32_t value);

}  // namespace jet
