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
constexpr uint8_t kColSystem = 0x10;             // set on the columns of Jet's own tables
constexpr uint8_t kColSid = 0x20;                // a column of security ids (Owner, SID)
constexpr uint8_t kColCompressedUnicode = 0x01;  // extended flag: text stored compressed where it can be
constexpr uint8_t kIdxUnique = 0x01, kIdxIgnoreNulls = 0x02, kIdxRequired = 0x08;
constexpr uint8_t kIdxAlwaysSet = 0x80;          // set on every index Jet 4 writes
constexpr uint8_t kIndexColumnAscending = 0x01;  // the order byte of an index column
constexpr uint32_t kTdefMagic = 1625;
constexpr uint32_t kRealIndexMagic = 1923;
constexpr size_t kTdefHeaderSize = 0x3F;
constexpr size_t kColumnSize = 25, kRealIndexSize = 52, kLogicalIndexSize = 28, kLvMapSize = 10;
constexpr uint8_t kTableTypeUser = 0x4E;         // a user's table ('N')
constexpr uint8_t kTableTypeSystem = 0x53;       // one of Jet's own tables ('S')
constexpr uint16_t kLvMapsEnd = 0xFFFF;          // ends the list of long-value maps

// The definition's header, at logical offsets (the first page's kind, kPageMark and next-page
// pointer come first, as on every definition page).
namespace tdef {
constexpr size_t kFreeSpace = 0x02;      // u16: free bytes on this page
constexpr size_t kNextPage = 0x04;       // u32: the continuation page, 0 on the last
constexpr size_t kLength = 0x08;         // u32: bytes of the logical definition
constexpr size_t kMagic = 0x0C;          // u32: kTdefMagic
constexpr size_t kRowCount = 0x10;       // u32: rows in the table
constexpr size_t kAutoNumber = 0x14;     // u32: the last AutoNumber handed out
constexpr size_t kAutoIncrement = 0x18;  // u32: its step
constexpr size_t kLastComplexId = 0x1C;  // u32 (.accdb): the last id given to complex columns' values
constexpr size_t kTableType = 0x28;      // u8: kTableTypeUser or system
constexpr size_t kMaxColumns = 0x29;     // u16: the next column number
constexpr size_t kVarColumns = 0x2B;     // u16: variable-length columns
constexpr size_t kColumnCount = 0x2D;    // u16
constexpr size_t kLogicalCount = 0x2F;   // u32: logical indexes (names)
constexpr size_t kRealCount = 0x33;      // u32: real indexes (trees)
constexpr size_t kOwnedMap = 0x37;       // u32: row pointer of the map of the table's pages
constexpr size_t kFreeMap = 0x3B;        // u32: row pointer of the map of its pages with room
constexpr size_t kContinuationHeader = 8;  // bytes before the logical ones on a continuation page
constexpr size_t kSpareOnLastPage = 8;     // free bytes Jet keeps at the end of the last page

// After the header: a 12-byte count block per real index.
constexpr size_t kCountsRows = 0x00;      // u32: 0, or the table's row count in some files
constexpr size_t kCountsDistinct = 0x04;  // u32: distinct keys
constexpr size_t kCountsSize = 12;

// A column descriptor (kColumnSize bytes); then the column names (u16 byte length, UTF-16).
constexpr size_t kColType = 0x00;         // u8: ColumnType
constexpr size_t kColMagic = 0x01;        // u32: kTdefMagic
constexpr size_t kColNumber = 0x05;       // u16
constexpr size_t kColVarIndex = 0x07;     // u16: position among variable-length columns
constexpr size_t kColOrdinal = 0x09;      // u16: position in the table's column list
constexpr size_t kColLcid = 0x0B;         // u16: sort order (text) or precision and scale
constexpr size_t kColSortId = 0x0D;       // u8
constexpr size_t kColSortVersion = 0x0E;  // u8
constexpr size_t kColFlags = 0x0F;        // u8: kColFixed, kColUpdatable, kColAutoNumber
constexpr size_t kColExtFlags = 0x10;     // u8: kColCompressedUnicode
constexpr size_t kColFixedOffset = 0x15;  // u16: place in the fixed part of a row
constexpr size_t kColLength = 0x17;       // u16: bytes (text: twice the characters)

// A real index (kRealIndexSize bytes).
constexpr size_t kRealMagic = 0x00;       // u32: kRealIndexMagic
constexpr size_t kRealColumns = 0x04;     // kRealColumnSlots x (u16 column number, u8 order)
constexpr size_t kRealColumnSlots = 10;   // unused slots hold kNoColumn
constexpr size_t kRealColumnSlotSize = 3;
constexpr uint16_t kNoColumn = 0xFFFF;
constexpr size_t kRealUsageMap = 0x22;    // u32: row pointer of the map of its pages
constexpr size_t kRealRootPage = 0x26;    // u32: the page at the top of its tree
constexpr size_t kRealUnknown = 0x2A;     // u32: kept as read
constexpr size_t kRealFlags = 0x2E;       // u8: kIdxUnique, kIdxIgnoreNulls, kIdxRequired, kIdxAlwaysSet

// A logical index (kLogicalIndexSize bytes); then the index names as the column names.
constexpr size_t kLogicalMagic = 0x00;         // u32: kTdefMagic
constexpr size_t kLogicalNumber = 0x04;        // u32
constexpr size_t kLogicalRealIndex = 0x08;     // u32: the real index it names
constexpr size_t kLogicalRelTableType = 0x0C;  // u8
constexpr size_t kLogicalRelIndex = 0x0D;      // i32: the other side of a relationship, or -1
constexpr size_t kLogicalRelTablePage = 0x11;  // u32
constexpr size_t kLogicalCascadeUpdates = 0x15;  // u8
constexpr size_t kLogicalCascadeDeletes = 0x16;  // u8
constexpr size_t kLogicalIndexType = 0x17;     // u8: kIndexTypePrimaryKey or 0
constexpr uint8_t kIndexTypePrimaryKey = 1;
constexpr uint8_t kNoRelationship = 4;         // the cascade bytes of an index that is no relationship's

// A long-value map (kLvMapSize bytes), until kLvMapsEnd.
constexpr size_t kLvColumn = 0x00;    // u16: the Memo or OLE column
constexpr size_t kLvOwnedMap = 0x02;  // u32: row pointer of the map of its long-value pages
constexpr size_t kLvFreeMap = 0x06;   // u32: of those with room
}  // namespace tdef

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
