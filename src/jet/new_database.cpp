// A new, empty Jet 4 database, generated page by page. The layout is the one the Jet engine
// writes for an empty database:
//
//   page 0      header
//   page 1      global page map (row 0: free pages, row 1: released pages)
//   pages 2-5   TDEFs of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   page 6      usage-map page holding every map of the four tables (31 rows)
//   pages 7-13  index roots, one empty or single leaf per real index, in table then index order
//   page 14     MSysObjects data: the three containers, MSysDb and the four system tables
//   page 15     MSysACEs data: the permission rows of those objects
//
// Every value here is generated; nothing is read from an existing file.
#include "new_database.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/fs.h>

namespace jet {

const char* const dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
const char* const dbLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";

namespace {

constexpr size_t kPageSize = 4096;
constexpr uint32_t kPageCount = 16;

// ---------------------------------------------------------------------------------------------
// Little byte helpers.

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void putDouble(std::vector<uint8_t>& b, size_t at, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(bits >> (8 * i));
}
void add16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void add32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
std::vector<uint8_t> le32(uint32_t v) {
    std::vector<uint8_t> b;
    add32(b, v);
    return b;
}
std::vector<uint8_t> le16(uint16_t v) {
    std::vector<uint8_t> b;
    add16(b, v);
    return b;
}
std::vector<uint8_t> leDouble(double v) {
    std::vector<uint8_t> b(8);
    putDouble(b, 0, v);
    return b;
}
std::vector<uint8_t> utf16le(const char* ascii) {
    std::vector<uint8_t> b;
    for (const char* p = ascii; *p; ++p) add16(b, static_cast<uint8_t>(*p));
    return b;
}
// A page pointer with a row: row in the low byte, page above it.
uint32_t rowPointer(uint32_t page, uint8_t row) { return (page << 8) | row; }

// ---------------------------------------------------------------------------------------------
// The system tables.

enum ColumnType : uint8_t {
    kBoolean = 0x01,
    kByte = 0x02,
    kInteger = 0x03,
    kLong = 0x04,
    kDate = 0x08,
    kBinary = 0x09,
    kText = 0x0A,
    kOle = 0x0B,
    kMemo = 0x0C,
};

bool isVariable(uint8_t type) {
    return type == kBinary || type == kText || type == kOle || type == kMemo;
}
bool isLongValue(uint8_t type) { return type == kOle || type == kMemo; }

uint16_t fixedLength(uint8_t type) {
    switch (type) {
        case kBoolean: return 1;
        case kByte: return 1;
        case kInteger: return 2;
        case kLong: return 4;
        case kDate: return 8;
        default: return 0;
    }
}

struct ColumnSpec {
    const char* name;
    uint8_t type;
    uint16_t number;
    bool sid;  // Owner / SID columns carry the SID flag
};

struct RealIndexSpec {
    std::vector<uint16_t> columns;  // column numbers, all ascending
    uint8_t flags;
};

struct LogicalIndexSpec {
    const char* name;
    uint32_t number;
    uint32_t real;
    uint8_t kind;  // 1 = primary key
};

struct TableSpec {
    const char* name;
    uint32_t tdefPage;
    // Jet stores its system tables' column descriptors sorted by column name, and their logical
    // indexes sorted by index name; both lists are kept in that stored order.
    std::vector<ColumnSpec> columns;
    std::vector<RealIndexSpec> realIndexes;
    std::vector<LogicalIndexSpec> logicalIndexes;
};

const std::vector<TableSpec>& systemTables() {
    static const std::vector<TableSpec> tables = {
        {"MSysObjects", 2,
         {{"Connect", kMemo, 9, false},
          {"Database", kMemo, 8, false},
          {"DateCreate", kDate, 4, false},
          {"DateUpdate", kDate, 5, false},
          {"Flags", kLong, 7, false},
          {"ForeignName", kText, 10, false},
          {"Id", kLong, 0, false},
          {"Lv", kOle, 13, false},
          {"LvExtra", kOle, 16, false},
          {"LvModule", kOle, 15, false},
          {"LvProp", kOle, 14, false},
          {"Name", kText, 2, false},
          {"Owner", kBinary, 6, true},
          {"ParentId", kLong, 1, false},
          {"RmtInfoLong", kOle, 12, false},
          {"RmtInfoShort", kBinary, 11, false},
          {"Type", kInteger, 3, false}},
         {{{1, 2}, 0x81}, {{0}, 0x81}},
         {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}}},
        {"MSysACEs", 3,
         {{"ACM", kLong, 2, false},
          {"FInheritable", kBoolean, 3, false},
          {"ObjectId", kLong, 0, false},
          {"SID", kBinary, 1, true}},
         {{{0}, 0x88}},
         {{"ObjectId", 0, 0, 0}}},
        {"MSysQueries", 4,
         {{"Attribute", kByte, 1, false},
          {"Expression", kMemo, 5, false},
          {"Flag", kInteger, 6, false},
          {"LvExtra", kLong, 7, false},
          {"Name1", kText, 3, false},
          {"Name2", kText, 4, false},
          {"ObjectId", kLong, 0, false},
          {"Order", kBinary, 2, false}},
         {{{0, 1, 2}, 0x81}},
         {{"ObjectIdAttribute", 0, 0, 1}}},
        {"MSysRelationships", 5,
         {{"ccolumn", kLong, 2, false},
          {"grbit", kLong, 1, false},
          {"icolumn", kLong, 3, false},
          {"szColumn", kText, 5, false},
          {"szObject", kText, 4, false},
          {"szReferencedColumn", kText, 7, false},
          {"szReferencedObject", kText, 6, false},
          {"szRelationship", kText, 0, false}},
         {{{0}, 0x82}, {{4}, 0x82}, {{6}, 0x82}},
         {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}}},
    };
    return tables;
}

// Where each column's value sits in a row (derived from the column numbers).
struct ColumnPlace {
    const ColumnSpec* spec;
    uint16_t varIndex;     // variable column: its slot; fixed column: variable columns before it
    uint16_t fixedOffset;  // fixed column: offset in the fixed area; 0 for the others
    uint16_t length;       // descriptor length field
};

struct TableLayout {
    std::vector<ColumnPlace> byNumber;  // indexed by column number
    uint16_t columnCount = 0;
    uint16_t variableCount = 0;
    uint16_t fixedSize = 0;
};

TableLayout layoutOf(const TableSpec& table) {
    TableLayout layout;
    layout.columnCount = static_cast<uint16_t>(table.columns.size());
    layout.byNumber.resize(layout.columnCount);
    for (const ColumnSpec& c : table.columns) layout.byNumber.at(c.number).spec = &c;
    uint16_t vars = 0;
    uint16_t fixed = 0;
    for (ColumnPlace& place : layout.byNumber) {
        const ColumnSpec& c = *place.spec;
        place.varIndex = vars;
        place.fixedOffset = 0;
        if (isVariable(c.type)) {
            ++vars;
            place.length = (c.type == kText || c.type == kBinary) ? 510 : 0;
        } else {
            place.length = fixedLength(c.type);
            if (c.type != kBoolean) {  // Booleans live in the null mask only
                place.fixedOffset = fixed;
                fixed = static_cast<uint16_t>(fixed + place.length);
            }
        }
    }
    layout.variableCount = vars;
    layout.fixedSize = fixed;
    return layout;
}

// A value for one column of a row: bytes for an ordinary column, or a Boolean.
struct Value {
    std::optional<std::vector<uint8_t>> bytes;
    bool boolean = false;
};

// A Jet 4 row: column count, fixed area, variable data, variable-data end, variable offsets
// (last column first), variable count, null mask (1 = present; a Boolean's bit is its value).
std::vector<uint8_t> encodeRow(const TableLayout& layout, const std::vector<Value>& values) {
    const uint16_t n = layout.columnCount;
    std::vector<uint8_t> row(2 + layout.fixedSize, 0);
    put16(row, 0, n);
    std::vector<uint8_t> mask((n + 7) / 8, 0);
    std::vector<uint16_t> varStarts(layout.variableCount, 0);
    std::vector<const ColumnPlace*> vars(layout.variableCount, nullptr);
    for (uint16_t i = 0; i < n; ++i) {
        const ColumnPlace& place = layout.byNumber[i];
        const Value& v = values.at(i);
        if (place.spec->type == kBoolean) {
            if (v.boolean) mask[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        } else if (isVariable(place.spec->type)) {
            vars[place.varIndex] = &place;
        } else if (v.bytes) {
            std::copy(v.bytes->begin(), v.bytes->end(), row.begin() + 2 + place.fixedOffset);
            mask[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        }
    }
    if (layout.variableCount > 0) {
        for (uint16_t k = 0; k < layout.variableCount; ++k) {
            uint16_t number = vars[k]->spec->number;
            varStarts[k] = static_cast<uint16_t>(row.size());
            const Value& v = values.at(number);
            if (v.bytes) {
                row.insert(row.end(), v.bytes->begin(), v.bytes->end());
                mask[number / 8] |= static_cast<uint8_t>(1u << (number % 8));
            }
        }
        add16(row, static_cast<uint16_t>(row.size()));
        for (int k = layout.variableCount - 1; k >= 0; --k) add16(row, varStarts[k]);
        add16(row, layout.variableCount);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

// ---------------------------------------------------------------------------------------------
// Catalog contents.

constexpr uint32_t kTablesContainer = 0x0F000001;
constexpr uint32_t kDatabasesContainer = 0x0F000002;
constexpr uint32_t kRelationshipsContainer = 0x0F000003;
constexpr uint32_t kContainerParent = 0x0F000000;
constexpr uint32_t kMSysDbId = 0x10000000;
constexpr uint32_t kSystemObjectFlag = 0x80000000;

// The security identifiers of an unsecured Jet database: the owner of the system objects, and
// the three SIDs the permission rows are granted to.
const std::vector<uint8_t> kSystemOwner = {0x65, 0x89};
const std::vector<uint8_t> kSidA = {0x64, 0x8B};  // also the owner of MSysDb
const std::vector<uint8_t> kSidB = {0x65, 0x8B};
const std::vector<uint8_t> kSidC = {0x65, 0x8E};

struct CatalogObject {
    uint32_t id;
    uint32_t parent;
    uint16_t type;
    const char* name;
    const std::vector<uint8_t>* owner;
};

// MSysObjects rows in the order Jet inserts them.
const std::vector<CatalogObject>& catalogObjects() {
    static const std::vector<CatalogObject> objects = {
        {kTablesContainer, kContainerParent, 3, "Tables", &kSystemOwner},
        {kDatabasesContainer, kContainerParent, 3, "Databases", &kSystemOwner},
        {kRelationshipsContainer, kContainerParent, 3, "Relationships", &kSystemOwner},
        {kMSysDbId, kDatabasesContainer, 2, "MSysDb", &kSidA},
        {2, kTablesContainer, 1, "MSysObjects", &kSystemOwner},
        {3, kTablesContainer, 1, "MSysACEs", &kSystemOwner},
        {4, kTablesContainer, 1, "MSysQueries", &kSystemOwner},
        {5, kTablesContainer, 1, "MSysRelationships", &kSystemOwner},
    };
    return objects;
}

struct AccessEntry {
    uint32_t objectId;
    const std::vector<uint8_t>* sid;
    uint32_t mask;
    bool inheritable;
};

// MSysACEs rows in the order Jet inserts them.
const std::vector<AccessEntry>& accessEntries() {
    static const std::vector<AccessEntry> entries = {
        {2, &kSidA, 0x60000, false},
        {3, &kSidA, 0x60000, false},
        {4, &kSidA, 0x60000, false},
        {5, &kSidA, 0xE0000, false},
        {kTablesContainer, &kSidC, 0xF00FE, true},
        {kTablesContainer, &kSidA, 0x60001, false},
        {kRelationshipsContainer, &kSidC, 0xF00FE, true},
        {kRelationshipsContainer, &kSidA, 0x60001, false},
        {kDatabasesContainer, &kSidA, 0x60000, false},
        {kMSysDbId, &kSidA, 0x6000E, false},
        {kMSysDbId, &kSidB, 0xE, false},
        {4, &kSidB, 0x14, false},
        {5, &kSidB, 0x14, false},
        {2, &kSidB, 0x14, false},
        {kTablesContainer, &kSidB, 0xFFEFF, true},
        {kRelationshipsContainer, &kSidB, 0xFFFFF, true},
    };
    return entries;
}

// ---------------------------------------------------------------------------------------------
// Index keys (ascending): flag 7F, then the value.

std::vector<uint8_t> longKey(uint32_t v) {
    uint32_t k = v ^ 0x80000000u;
    return {0x7F, static_cast<uint8_t>(k >> 24), static_cast<uint8_t>(k >> 16),
            static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)};
}

std::vector<uint8_t> textKey(const char* ascii, SortOrder order) {
    std::u16string text;
    for (const char* p = ascii; *p; ++p) text.push_back(static_cast<char16_t>(*p));
    TextKey key = encodeTextKey(text, order);
    if (!key.ok) throw JetError(errUnsupported, key.reason);
    std::vector<uint8_t> out{0x7F};
    out.insert(out.end(), key.bytes.begin(), key.bytes.end());
    return out;
}

// A leaf entry: key, then the row's page (24-bit big-endian) and row number.
std::vector<uint8_t> leafEntry(std::vector<uint8_t> key, uint32_t page, uint8_t row) {
    key.push_back(static_cast<uint8_t>(page >> 16));
    key.push_back(static_cast<uint8_t>(page >> 8));
    key.push_back(static_cast<uint8_t>(page));
    key.push_back(row);
    return key;
}

// ---------------------------------------------------------------------------------------------
// Pages.

// A data page (type 01): rows from the end of the page downwards, offsets after the header.
std::vector<uint8_t> dataPage(uint32_t owner, const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> page(kPageSize, 0);
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, owner);
    put16(page, 12, static_cast<uint16_t>(rows.size()));
    size_t end = kPageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t start = end - rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), page.begin() + start);
        put16(page, 14 + 2 * i, static_cast<uint16_t>(start));
        end = start;
    }
    put16(page, 2, static_cast<uint16_t>(end - (14 + 2 * rows.size())));
    return page;
}

// An inline usage map covering pages 0-511: 00, start page 0, 64-byte bitmap.
std::vector<uint8_t> inlineMap(const std::vector<uint32_t>& pages) {
    std::vector<uint8_t> row(69, 0);
    for (uint32_t p : pages) row.at(5 + p / 8) |= static_cast<uint8_t>(1u << (p % 8));
    return row;
}

// An index leaf (type 04) holding the given entries, uncompressed, in the given order.
std::vector<uint8_t> leafPage(uint32_t owner, const std::vector<std::vector<uint8_t>>& entries) {
    constexpr size_t kEntryStart = 0x1E0;
    std::vector<uint8_t> page(kPageSize, 0);
    page[0] = 0x04;
    page[1] = 0x01;
    put32(page, 4, owner);
    size_t at = 0;
    for (const auto& e : entries) {
        std::copy(e.begin(), e.end(), page.begin() + kEntryStart + at);
        at += e.size();
        size_t bit = at;  // the bit of the byte where the next entry begins
        page[0x1B + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    put16(page, 2, static_cast<uint16_t>(kPageSize - kEntryStart - at));
    return page;
}

// Usage-map rows and index roots of one system table.
struct TablePlan {
    const TableSpec* spec;
    TableLayout layout;
    uint8_t ownedMapRow = 0;
    std::vector<std::pair<uint16_t, uint8_t>> longValueMapRows;  // column number, owned map row
    std::vector<uint8_t> indexMapRows;
    std::vector<uint32_t> indexRoots;
    std::vector<uint32_t> distinctKeys;
    uint32_t rowCount = 0;
};

constexpr uint32_t kMapPage = 6;
constexpr uint32_t kFirstIndexRoot = 7;
constexpr uint32_t kCatalogDataPage = 14;
constexpr uint32_t kAceDataPage = 15;

std::vector<uint8_t> tdefPage(const TablePlan& plan, SortOrder order) {
    const TableSpec& t = *plan.spec;
    const uint16_t lcid = static_cast<uint16_t>(order);
    std::vector<uint8_t> d(0x3F, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    put32(d, 0x0C, 1625);
    put32(d, 0x10, plan.rowCount);
    put32(d, 0x18, 1);  // AutoNumber increment
    d[0x28] = 0x53;     // system table
    put16(d, 0x29, plan.layout.columnCount);
    put16(d, 0x2B, plan.layout.variableCount);
    put16(d, 0x2D, plan.layout.columnCount);
    put32(d, 0x2F, static_cast<uint32_t>(t.logicalIndexes.size()));
    put32(d, 0x33, static_cast<uint32_t>(t.realIndexes.size()));
    put32(d, 0x37, rowPointer(kMapPage, plan.ownedMapRow));
    put32(d, 0x3B, rowPointer(kMapPage, static_cast<uint8_t>(plan.ownedMapRow + 1)));
    for (size_t i = 0; i < t.realIndexes.size(); ++i) {
        add32(d, 0);
        add32(d, plan.distinctKeys[i]);
        add32(d, 0);
    }
    for (const ColumnSpec& c : t.columns) {
        const ColumnPlace& place = plan.layout.byNumber[c.number];
        d.push_back(c.type);
        add32(d, 1625);
        add16(d, c.number);
        add16(d, place.varIndex);
        add16(d, 0);  // ordinal position: 0 on Jet's system tables
        add16(d, lcid);
        d.push_back(0);  // sort id
        d.push_back(0);  // sort-order version
        uint8_t flags = isVariable(c.type) ? 0x12 : 0x13;
        if (c.sid) flags = 0x32;
        d.push_back(flags);
        d.push_back(0);  // extended flags
        add32(d, 0);
        add16(d, place.fixedOffset);
        add16(d, place.length);
    }
    for (const ColumnSpec& c : t.columns) {
        std::vector<uint8_t> name = utf16le(c.name);
        add16(d, static_cast<uint16_t>(name.size()));
        d.insert(d.end(), name.begin(), name.end());
    }
    for (size_t i = 0; i < t.realIndexes.size(); ++i) {
        const RealIndexSpec& r = t.realIndexes[i];
        add32(d, 1923);
        for (size_t k = 0; k < 10; ++k) {
            if (k < r.columns.size()) {
                add16(d, r.columns[k]);
                d.push_back(0x01);  // ascending
            } else {
                add16(d, 0xFFFF);
                d.push_back(0x00);
            }
        }
        add32(d, rowPointer(kMapPage, plan.indexMapRows[i]));
        add32(d, plan.indexRoots[i]);
        add32(d, 0);
        d.push_back(r.flags);
        for (int k = 0; k < 5; ++k) d.push_back(0);
    }
    for (const LogicalIndexSpec& l : t.logicalIndexes) {
        add32(d, 1625);
        add32(d, l.number);
        add32(d, l.real);
        d.push_back(0);
        add32(d, 0xFFFFFFFF);  // no related index
        add32(d, 0);
        d.push_back(0x04);  // cascade bytes as Jet writes them for a plain index
        d.push_back(0x04);
        d.push_back(l.kind);
        add32(d, 0);
    }
    for (const LogicalIndexSpec& l : t.logicalIndexes) {
        std::vector<uint8_t> name = utf16le(l.name);
        add16(d, static_cast<uint16_t>(name.size()));
        d.insert(d.end(), name.begin(), name.end());
    }
    for (const ColumnSpec& c : t.columns) {
        if (!isLongValue(c.type)) continue;
        for (const auto& [number, row] : plan.longValueMapRows) {
            if (number != c.number) continue;
            add16(d, number);
            add32(d, rowPointer(kMapPage, row));
            add32(d, rowPointer(kMapPage, static_cast<uint8_t>(row + 1)));
        }
    }
    add16(d, 0xFFFF);
    if (d.size() > kPageSize - 8) throw JetError(errTableTooLarge, "システム テーブルの定義が 1 ページに収まりません。");
    put32(d, 0x08, static_cast<uint32_t>(d.size()));
    put16(d, 0x02, static_cast<uint16_t>(kPageSize - d.size() - 8));
    d.resize(kPageSize, 0);
    return d;
}

// RC4 keystream, used for the masked area of the header.
std::vector<uint8_t> rc4Keystream(const std::vector<uint8_t>& key, size_t n) {
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % key.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::vector<uint8_t> out(n);
    for (size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[k] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}

std::vector<uint8_t> headerPage(const NewDatabaseSettings& settings) {
    std::vector<uint8_t> h(kPageSize, 0);
    const char* magic = "Standard Jet DB";
    h[1] = 0x01;
    std::memcpy(&h[4], magic, std::strlen(magic) + 1);
    h[0x14] = 0x01;  // Jet 4
    put32(h, 0x18, rowPointer(1, 0));  // free-page map
    put32(h, 0x1C, rowPointer(1, 1));  // released-page map
    for (uint32_t i = 0; i < 4; ++i) put32(h, 0x20 + 4 * i, 2 + i);  // system table TDEFs
    put16(h, 0x3C, settings.codePage);
    // 0x3E: database key 0 (not encrypted).
    // An empty password is stored as the password mask itself: the integer part of the
    // creation date, little-endian, repeated over the 40 bytes.
    const uint32_t mask = static_cast<uint32_t>(static_cast<int32_t>(settings.created));
    for (int i = 0; i < 10; ++i) put32(h, 0x42 + 4 * i, mask);
    h[0x6A] = 0x1C;  // a value of unknown meaning, as Jet writes it
    h[0x6B] = 0x26;
    put16(h, 0x6E, static_cast<uint16_t>(settings.sortOrder));  // sort id 0, version 0 follow
    putDouble(h, 0x72, settings.created);
    put32(h, 0x98, 1620);
    std::memcpy(&h[0x9C], "4.0", 4);
    h[0xE00] = 0x01;
    h[0xE01] = 0x01;
    for (size_t i = 0xE03; i < kPageSize; i += 2) h[i] = 0x01;

    static const std::vector<uint8_t> maskStream = rc4Keystream({0xC7, 0xDA, 0x39, 0x6B}, 128);
    for (size_t i = 0; i < 128; ++i) h[0x18 + i] ^= maskStream[i];
    return h;
}

}  // namespace

NewDatabaseLocale parseDatabaseLocale(const std::string& locale) {
    std::string folded;
    for (char c : locale) folded.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    auto same = [&](const char* text) {
        std::string t;
        for (const char* p = text; *p; ++p) t.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*p))));
        return folded == t;
    };
    if (same(dbLangJapanese)) return {SortOrder::Japanese, 932};
    if (same(dbLangGeneral)) return {SortOrder::General, 1252};
    throw JetError(errInvalidArgument,
                   "ロケール \"" + locale +
                       "\" はサポートされていません。使用できるのは \";LANGID=0x0409;CP=1252;COUNTRY=0\""
                       "（標準）と \";LANGID=0x0411;CP=932;COUNTRY=0\"（日本語）だけです。");
}

std::vector<uint8_t> buildNewDatabaseImage(const NewDatabaseSettings& settings) {
    if (settings.sortOrder != SortOrder::General && settings.sortOrder != SortOrder::Japanese)
        throw JetError(errInvalidArgument, "この並べ替え順序のデータベースは作成できません。");
    const auto& tables = systemTables();

    // Usage-map rows on the map page and index roots, in table order: owned and free maps,
    // two maps per long-value column (by column number), one map per real index.
    std::vector<TablePlan> plans;
    uint8_t nextMapRow = 0;
    uint32_t nextRoot = kFirstIndexRoot;
    for (const TableSpec& t : tables) {
        TablePlan plan;
        plan.spec = &t;
        plan.layout = layoutOf(t);
        plan.ownedMapRow = nextMapRow;
        nextMapRow = static_cast<uint8_t>(nextMapRow + 2);
        for (const ColumnPlace& place : plan.layout.byNumber) {
            if (!isLongValue(place.spec->type)) continue;
            plan.longValueMapRows.emplace_back(place.spec->number, nextMapRow);
            nextMapRow = static_cast<uint8_t>(nextMapRow + 2);
        }
        for (size_t i = 0; i < t.realIndexes.size(); ++i) {
            plan.indexMapRows.push_back(nextMapRow++);
            plan.indexRoots.push_back(nextRoot++);
        }
        plan.distinctKeys.assign(t.realIndexes.size(), 0);
        plans.push_back(std::move(plan));
    }
    if (nextRoot != kCatalogDataPage) throw std::logic_error("system table layout out of step");
    TablePlan& objectsPlan = plans[0];
    TablePlan& acesPlan = plans[1];

    // MSysObjects rows.
    std::vector<std::vector<uint8_t>> objectRows;
    for (const CatalogObject& o : catalogObjects()) {
        std::vector<Value> v(objectsPlan.layout.columnCount);
        v[0].bytes = le32(o.id);
        v[1].bytes = le32(o.parent);
        v[2].bytes = utf16le(o.name);
        v[3].bytes = le16(o.type);
        v[4].bytes = leDouble(settings.created);
        v[5].bytes = leDouble(settings.created);
        v[6].bytes = *o.owner;
        v[7].bytes = le32(kSystemObjectFlag);
        objectRows.push_back(encodeRow(objectsPlan.layout, v));
    }
    // MSysACEs rows.
    std::vector<std::vector<uint8_t>> aceRows;
    for (const AccessEntry& a : accessEntries()) {
        std::vector<Value> v(acesPlan.layout.columnCount);
        v[0].bytes = le32(a.objectId);
        v[1].bytes = *a.sid;
        v[2].bytes = le32(a.mask);
        v[3].boolean = a.inheritable;
        aceRows.push_back(encodeRow(acesPlan.layout, v));
    }
    objectsPlan.rowCount = static_cast<uint32_t>(objectRows.size());
    acesPlan.rowCount = static_cast<uint32_t>(aceRows.size());

    // Index entries, sorted by their full bytes (key, then row pointer).
    auto sortedLeaf = [](std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> keyed,
                         uint32_t& distinct) {
        std::sort(keyed.begin(), keyed.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        std::vector<std::vector<uint8_t>> entries;
        const std::vector<uint8_t>* last = nullptr;
        distinct = 0;
        for (const auto& [key, entry] : keyed) {
            if (!last || *last != key) ++distinct;
            last = &key;
            entries.push_back(entry);
        }
        return entries;
    };
    std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> byName, byId, byObjectId;
    for (size_t i = 0; i < catalogObjects().size(); ++i) {
        const CatalogObject& o = catalogObjects()[i];
        std::vector<uint8_t> nameKey = longKey(o.parent);
        std::vector<uint8_t> text = textKey(o.name, settings.sortOrder);
        nameKey.insert(nameKey.end(), text.begin(), text.end());
        byName.emplace_back(nameKey, leafEntry(nameKey, kCatalogDataPage, static_cast<uint8_t>(i)));
        byId.emplace_back(longKey(o.id), leafEntry(longKey(o.id), kCatalogDataPage, static_cast<uint8_t>(i)));
    }
    for (size_t i = 0; i < accessEntries().size(); ++i) {
        std::vector<uint8_t> key = longKey(accessEntries()[i].objectId);
        byObjectId.emplace_back(key, leafEntry(key, kAceDataPage, static_cast<uint8_t>(i)));
    }
    std::vector<std::vector<uint8_t>> nameEntries = sortedLeaf(byName, objectsPlan.distinctKeys[0]);
    std::vector<std::vector<uint8_t>> idEntries = sortedLeaf(byId, objectsPlan.distinctKeys[1]);
    std::vector<std::vector<uint8_t>> aceEntries = sortedLeaf(byObjectId, acesPlan.distinctKeys[0]);

    // Usage maps: the data pages belong to (and have room in) their tables; each index owns
    // its root.
    std::vector<std::vector<uint8_t>> mapRows(nextMapRow, inlineMap({}));
    mapRows[objectsPlan.ownedMapRow] = inlineMap({kCatalogDataPage});
    mapRows[objectsPlan.ownedMapRow + 1] = inlineMap({kCatalogDataPage});
    mapRows[acesPlan.ownedMapRow] = inlineMap({kAceDataPage});
    mapRows[acesPlan.ownedMapRow + 1] = inlineMap({kAceDataPage});
    for (const TablePlan& p : plans)
        for (size_t i = 0; i < p.indexRoots.size(); ++i)
            mapRows[p.indexMapRows[i]] = inlineMap({p.indexRoots[i]});

    // Global page map: every page from the end of the file to 511 is free.
    std::vector<uint32_t> freePages;
    for (uint32_t p = kPageCount; p < 512; ++p) freePages.push_back(p);

    std::vector<std::vector<uint8_t>> pages;
    pages.push_back(headerPage(settings));
    pages.push_back(dataPage(1, {inlineMap(freePages), inlineMap({})}));
    for (const TablePlan& p : plans) pages.push_back(tdefPage(p, settings.sortOrder));
    pages.push_back(dataPage(0, mapRows));
    for (const TablePlan& p : plans) {
        for (size_t i = 0; i < p.indexRoots.size(); ++i) {
            const std::vector<std::vector<uint8_t>>* entries = nullptr;
            if (&p == &objectsPlan) entries = i == 0 ? &nameEntries : &idEntries;
            if (&p == &acesPlan) entries = &aceEntries;
            pages.push_back(leafPage(p.spec->tdefPage, entries ? *entries : std::vector<std::vector<uint8_t>>{}));
        }
    }
    pages.push_back(dataPage(objectsPlan.spec->tdefPage, objectRows));
    pages.push_back(dataPage(acesPlan.spec->tdefPage, aceRows));
    if (pages.size() != kPageCount) throw std::logic_error("new database page count out of step");

    std::vector<uint8_t> image;
    image.reserve(kPageCount * kPageSize);
    for (const auto& p : pages) image.insert(image.end(), p.begin(), p.end());
    return image;
}

double oleDateNow() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local {};
    localtime_r(&now.tv_sec, &local);
    // Days from 1899-12-30 to the local calendar date (proleptic Gregorian day count).
    auto daysFromCivil = [](int y, unsigned m, unsigned d) {
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<int>(doe) - 719468;
    };
    const int days = daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                   static_cast<unsigned>(local.tm_mday)) -
                     daysFromCivil(1899, 12, 30);
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                           static_cast<double>(now.tv_nsec / 1000000) / 1000.0;
    return days + seconds / 86400.0;
}

namespace {

std::string systemMessage(int err) { return std::strerror(err); }

// The process's file-creation mask, read without changing it (umask() would, for a moment,
// affect every thread).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

// Gives the temporary file its final name without ever replacing a file that exists there.
// link() refuses an existing name on every Linux file system that has hard links; where links
// are not supported, renameat2 with RENAME_NOREPLACE does the same.
int linkNoReplace(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return 0;
    int err = errno;
    if (err == EEXIST) return err;
    if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS) {
        if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return -1;  // renamed: nothing left to unlink
        return errno;
    }
    return err;
}

void syncDirectoryOf(const std::string& path) {
    std::string dir = ".";
    size_t slash = path.find_last_of('/');
    if (slash == 0) dir = "/";
    else if (slash != std::string::npos) dir = path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void writeNewDatabase(const std::string& path, const std::string& locale, int options) {
    if (options != dbVersion40)
        throw JetError(errInvalidArgument,
                       "オプション " + std::to_string(options) +
                           " はサポートされていません。作成できるのは Jet 4.0 形式（64）のデータベースだけです。");
    const NewDatabaseLocale loc = parseDatabaseLocale(locale);
    if (path.empty()) throw JetError(errIo, "データベースのパスが指定されていません。");

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        throw JetError(errDatabaseExists, "データベース '" + path + "' は既に存在します。");

    NewDatabaseSettings settings;
    settings.sortOrder = loc.sortOrder;
    settings.codePage = loc.codePage;
    settings.created = oleDateNow();
    const std::vector<uint8_t> image = buildNewDatabaseImage(settings);

    std::string tmp = path + ".XXXXXX";
    std::vector<char> tmpName(tmp.begin(), tmp.end());
    tmpName.push_back('\0');
    int fd = ::mkostemp(tmpName.data(), O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        throw JetError(errIo, "データベース '" + path + "' を作成できません: " + systemMessage(err));
    }
    tmp.assign(tmpName.data());
    auto fail = [&](int err, const char* what) {
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.c_str());
        throw JetError(errIo, "データベース '" + path + "' を作成できません（" + what + "）: " + systemMessage(err));
    };
    // mkostemp makes the file private; give it the permissions an ordinary new file gets.
    if (::fchmod(fd, 0666 & ~currentUmask()) != 0) fail(errno, "権限の設定");
    size_t done = 0;
    while (done < image.size()) {
        ssize_t n = ::write(fd, image.data() + done, image.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno, "書き込み");
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) fail(errno, "同期");
    if (::close(fd) != 0) {
        fd = -1;
        fail(errno, "クローズ");
    }
    fd = -1;
    int err = linkNoReplace(tmp, path);
    if (err > 0) {
        ::unlink(tmp.c_str());
        if (err == EEXIST) throw JetError(errDatabaseExists, "データベース '" + path + "' は既に存在します。");
        throw JetError(errIo, "データベース '" + path + "' を作成できません: " + systemMessage(err));
    }
    if (err == 0) ::unlink(tmp.c_str());
    syncDirectoryOf(path);
}

}  // namespace jet
