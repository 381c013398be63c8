// A new, empty Jet 4 database, generated page by page. The layout is the one the Jet engine
// writes for an empty database:
//
//   page 0      header
//   page 1      global page map (row 0: free pages, row 1: released pages)
//   pages 2-5   TDEFs of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   page 6      usage-map page holding every map of the four tables (31 rows)
//   pages 7-13  index roots, one leaf per real index, in table then index order
//   page 14     MSysObjects data: the three containers, MSysDb and the four system tables
//   page 15     MSysACEs data: the permission rows of those objects
//
// This file holds what goes into those pages; the engine's TDEF, row, data-page, index and
// header writers turn it into bytes. Nothing is read from an existing file.
#include "new_database.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>

#include "ace_system_objects.h"
#include "bytes.h"
#include "data_page.h"
#include "header.h"
#include "index_key.h"
#include "index_page.h"
#include "row.h"
#include "tdef.h"
#include "usage_map.h"

namespace jet {

const char* const dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
const char* const dbLangGeneralLegacy = ";LANGID=0x0409;CP=1252;COUNTRY=0;SORTVERSION=0";
const char* const dbLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";

namespace {

constexpr uint32_t kNewPageCount = kNewDatabasePages;

// ---------------------------------------------------------------------------------------------
// The system tables.

struct SystemColumn {
    const char* name;
    uint8_t type;
    uint16_t number;
    bool sid;  // Owner / SID columns carry the SID flag
};

struct SystemRealIndex {
    std::vector<uint16_t> columns;  // column numbers, all ascending
    uint8_t flags;
};

struct SystemLogicalIndex {
    const char* name;
    uint32_t number;
    uint32_t real;
    uint8_t kind;  // 1 = primary key
};

struct SystemTable {
    const char* name;
    uint32_t tdefPage;
    // Jet stores its system tables' column descriptors sorted by column name, and their logical
    // indexes sorted by index name; both lists are kept in that stored order.
    std::vector<SystemColumn> columns;
    std::vector<SystemRealIndex> realIndexes;
    std::vector<SystemLogicalIndex> logicalIndexes;
};

const std::vector<SystemTable>& systemTables() {
    static const std::vector<SystemTable> tables = {
        {"MSysObjects", 2,
         {{"Connect", colMemo, 9, false},
          {"Database", colMemo, 8, false},
          {"DateCreate", colDateTime, 4, false},
          {"DateUpdate", colDateTime, 5, false},
          {"Flags", colLong, 7, false},
          {"ForeignName", colText, 10, false},
          {"Id", colLong, 0, false},
          {"Lv", colOle, 13, false},
          {"LvExtra", colOle, 16, false},
          {"LvModule", colOle, 15, false},
          {"LvProp", colOle, 14, false},
          {"Name", colText, 2, false},
          {"Owner", colBinary, 6, true},
          {"ParentId", colLong, 1, false},
          {"RmtInfoLong", colOle, 12, false},
          {"RmtInfoShort", colBinary, 11, false},
          {"Type", colInteger, 3, false}},
         {{{1, 2}, 0x81}, {{0}, 0x81}},
         {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}}},
        {"MSysACEs", 3,
         {{"ACM", colLong, 2, false},
          {"FInheritable", colBoolean, 3, false},
          {"ObjectId", colLong, 0, false},
          {"SID", colBinary, 1, true}},
         {{{0}, 0x88}},
         {{"ObjectId", 0, 0, 0}}},
        {"MSysQueries", 4,
         {{"Attribute", colByte, 1, false},
          {"Expression", colMemo, 5, false},
          {"Flag", colInteger, 6, false},
          {"LvExtra", colLong, 7, false},
          {"Name1", colText, 3, false},
          {"Name2", colText, 4, false},
          {"ObjectId", colLong, 0, false},
          {"Order", colBinary, 2, false}},
         {{{0, 1, 2}, 0x81}},
         {{"ObjectIdAttribute", 0, 0, 1}}},
        {"MSysRelationships", 5,
         {{"ccolumn", colLong, 2, false},
          {"grbit", colLong, 1, false},
          {"icolumn", colLong, 3, false},
          {"szColumn", colText, 5, false},
          {"szObject", colText, 4, false},
          {"szReferencedColumn", colText, 7, false},
          {"szReferencedObject", colText, 6, false},
          {"szRelationship", colText, 0, false}},
         {{{0}, 0x82}, {{4}, 0x82}, {{6}, 0x82}},
         {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}}},
    };
    return tables;
}

uint16_t storedLength(uint8_t type) {
    switch (type) {
        case colBoolean: return 1;
        case colByte: return 1;
        case colInteger: return 2;
        case colLong: return 4;
        case colDateTime: return 8;
        case colText: return 510;    // Text(255)
        case colBinary: return 510;  // Binary(255)
        default: return 0;           // Memo, OLE
    }
}

std::u16string ascii16(const char* s) {
    std::u16string out;
    for (const char* p = s; *p; ++p) out.push_back(static_cast<char16_t>(*p));
    return out;
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
const Bytes kSystemOwner = {0x65, 0x89};
const Bytes kSidA = {0x64, 0x8B};  // also the owner of MSysDb
const Bytes kSidB = {0x65, 0x8B};
const Bytes kSidC = {0x65, 0x8E};

struct SystemObject {
    uint32_t id;
    uint32_t parent;
    int16_t type;
    const char* name;
    const Bytes* owner;
};

// MSysObjects rows in the order Jet inserts them.
const std::vector<SystemObject>& systemObjects() {
    static const std::vector<SystemObject> objects = {
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
    const Bytes* sid;
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
// Page plan.

constexpr uint32_t kMapPage = 6;
constexpr uint32_t kFirstIndexRoot = 7;
constexpr uint32_t kCatalogDataPage = 14;
constexpr uint32_t kAceDataPage = 15;

uint32_t mapRow(uint8_t row) { return RowPointer{kMapPage, row}.toLe(); }

// The definition of one system table for the given sort order, with its maps on the map page
// starting at row *nextMapRow and its index roots from page *nextRoot. Maps in table order:
// owned pages, free pages, two per long-value column (by column number), one per real index.
TableDefinition systemDefinition(const SystemTable& t, uint16_t lcid, uint8_t& nextMapRow, uint32_t& nextRoot) {
    TableDefinition d;
    d.pages = {t.tdefPage};
    d.tableType = kTableTypeSystem;
    d.autoIncrement = 1;
    d.ownedMap = mapRow(nextMapRow);
    d.freeMap = mapRow(static_cast<uint8_t>(nextMapRow + 1));
    nextMapRow = static_cast<uint8_t>(nextMapRow + 2);

    std::vector<const SystemColumn*> byNumber(t.columns.size(), nullptr);
    for (const SystemColumn& c : t.columns) byNumber.at(c.number) = &c;
    std::map<uint16_t, std::pair<uint16_t, uint16_t>> place;  // number -> var index, fixed offset
    std::map<uint16_t, uint8_t> longValueRows;                 // number -> owned map row
    uint16_t vars = 0, fixed = 0;
    for (const SystemColumn* c : byNumber) {
        if (isVariableType(c->type)) {
            place[c->number] = {vars++, 0};
            if (isLongValueType(c->type)) {
                longValueRows[c->number] = nextMapRow;
                nextMapRow = static_cast<uint8_t>(nextMapRow + 2);
            }
        } else {
            // Fixed columns count the variable columns before them; Booleans take no space.
            place[c->number] = {vars, c->type == colBoolean ? uint16_t(0) : fixed};
            if (c->type != colBoolean) fixed = static_cast<uint16_t>(fixed + storedLength(c->type));
        }
    }
    d.maxColumns = static_cast<uint16_t>(t.columns.size());
    d.varColumns = vars;

    for (const SystemColumn& c : t.columns) {
        ColumnDef col;
        col.type = c.type;
        col.number = c.number;
        col.varIndex = place[c.number].first;
        col.ordinal = 0;  // 0 on Jet's own tables
        col.lcid = lcid;  // every column, whatever its type, carries the database sort order
        col.flags = isVariableType(c.type) ? (kColSystem | kColUpdatable) : (kColSystem | kColUpdatable | kColFixed);
        if (c.sid) col.flags = kColSid | kColSystem | kColUpdatable;
        col.fixedOffset = place[c.number].second;
        col.length = storedLength(c.type);
        col.name = ascii16(c.name);
        d.columns.push_back(col);
        if (isLongValueType(c.type)) {
            uint8_t row = longValueRows[c.number];
            d.lvMaps.push_back({c.number, mapRow(row), mapRow(static_cast<uint8_t>(row + 1))});
        }
    }
    for (const SystemRealIndex& r : t.realIndexes) {
        RealIndexDef x;
        for (uint16_t n : r.columns) x.columns.emplace_back(n, kIndexColumnAscending);
        x.flags = r.flags;
        x.usageMap = mapRow(nextMapRow++);
        x.rootPage = nextRoot++;
        d.realIndexes.push_back(x);
    }
    for (const SystemLogicalIndex& l : t.logicalIndexes) {
        LogicalIndexDef x;
        x.number = l.number;
        x.realIndex = l.real;
        x.relIndex = -1;
        x.cascadeUpdates = tdef::kNoRelationship;
        x.cascadeDeletes = tdef::kNoRelationship;
        x.indexType = l.kind;
        x.name = ascii16(l.name);
        d.logicalIndexes.push_back(x);
    }
    return d;
}

Bytes dataPageWith(uint32_t pageNo, uint32_t owner, const std::vector<Bytes>& rows) {
    Bytes page = makeDataPage(owner);
    for (const Bytes& r : rows)
        if (insertRow(page, pageNo, r) < 0) throw std::logic_error("new database: a data page overflowed");
    return page;
}

Bytes textKeyOf(const char* ascii, SortOrder order) {
    TextKey key = encodeTextKey(ascii16(ascii), order);
    if (!key.ok) throw JetError(errUnsupported, key.reason);
    return key.bytes;
}

// One index of a fresh table: its entries sorted by their full bytes, on its root leaf.
Bytes rootLeaf(std::vector<IndexEntry> entries, uint32_t owner, uint32_t root, uint32_t& distinctKeys) {
    std::sort(entries.begin(), entries.end());
    distinctKeys = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].key != entries[i - 1].key) ++distinctKeys;
    BuiltIndex built = buildIndexTree(entries, owner, {root}, []() -> uint32_t {
        throw std::logic_error("new database: a system index outgrew its root page");
    });
    return built.images.at(root);
}

}  // namespace

namespace {

// Values of unknown meaning, as Jet 4 and Access 2016 write them: the word at header::kUnknown6A,
// and the trailer: its first bytes, and kTrailerOddByte in every odd byte after them.
constexpr uint16_t kUnknown6AJet4 = 0x261C;
constexpr uint16_t kUnknown6AAce = 0x11A6;
constexpr uint8_t kTrailerStartJet4[] = {0x01, 0x01};
constexpr uint8_t kTrailerStartAce[] = {0x0E, 0x01, 0x89};
constexpr uint8_t kTrailerOddByte = 0x01;
constexpr char kEngineVersionText[] = "4.0";

}  // namespace

std::vector<uint8_t> newDatabaseHeader(const NewDatabaseSettings& settings) {
    using namespace header;
    const bool ace = settings.format != FileFormat::Jet4;
    Bytes h(kPageSize, 0);
    std::memcpy(&h[kMagic], kMagicBytes, sizeof kMagicBytes);
    std::memcpy(&h[kSignature], ace ? kAceSignature : kJetSignature, kSignatureSize);
    h[kVersion] = static_cast<uint8_t>(settings.format);
    put32(&h[kFreeMap], RowPointer{kGlobalMapPage, kGlobalFreeRow}.toLe());
    put32(&h[kReleasedMap], RowPointer{kGlobalMapPage, kGlobalReleasedRow}.toLe());
    for (uint32_t i = 0; i < kSystemTableCount; ++i) put32(&h[kSystemTdefs + sizeof(uint32_t) * i], systemTables()[i].tdefPage);
    put16(&h[kCodePage], settings.codePage);
    // kDatabaseKey stays 0: not encrypted.
    // No password: the password area holds the bare password mask.
    const uint32_t mask = passwordMask(settings.created);
    for (size_t i = 0; i < kPasswordSize; i += sizeof mask) put32(&h[kPassword + i], mask);
    put16(&h[kUnknown6A], ace ? kUnknown6AAce : kUnknown6AJet4);
    put16(&h[kSortLcid], sortOrderLcid(settings.sortOrder));  // kSortId stays 0
    h[kSortVersion] = sortOrderVersion(settings.sortOrder);
    std::memcpy(&h[kCreationDate], &settings.created, sizeof settings.created);
    put32(&h[kFixed98], kFixed98Value);
    std::memcpy(&h[kEngineVersion], kEngineVersionText, sizeof kEngineVersionText);
    if (ace) std::memcpy(&h[kTrailer], kTrailerStartAce, sizeof kTrailerStartAce);
    else std::memcpy(&h[kTrailer], kTrailerStartJet4, sizeof kTrailerStartJet4);
    for (size_t i = kTrailer + 1; i < kPageSize; i += 2) h[i] = kTrailerOddByte;
    toggleHeaderMask(h.data());
    return h;
}

uint32_t newDatabasePages(FileFormat format) {
    return format == FileFormat::Jet4 ? kNewDatabasePages : kNewAceDatabasePages;
}

NewDatabaseLocale parseDatabaseLocale(const std::string& locale) {
    auto folded = [](const std::string& text) {
        std::string t;
        for (char c : text) t.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        return t;
    };
    const std::string asked = folded(locale);
    if (asked == folded(dbLangJapanese)) return {SortOrder::Japanese, 932, false};
    if (asked == folded(dbLangGeneral)) return {SortOrder::General, 1252, false};
    if (asked == folded(dbLangGeneralLegacy)) return {SortOrder::General, 1252, true};
    throw JetError(errInvalidArgument,
                   "ロケール \"" + locale +
                       "\" はサポートされていません。使用できるのは \";LANGID=0x0409;CP=1252;COUNTRY=0\""
                       "（標準）、\"" + std::string(dbLangGeneralLegacy) +
                       "\"（以前の標準）と \";LANGID=0x0411;CP=932;COUNTRY=0\"（日本語）だけです。");
}

namespace {

// The rows of the two system tables that have rows on a new file, and their index entries.
struct SystemRows {
    std::vector<Bytes> objects;                      // MSysObjects, on kCatalogDataPage
    std::vector<IndexEntry> byName, byId;            // its ParentIdName and Id indexes
    std::vector<Bytes> aces;                         // MSysACEs, on kAceDataPage
    std::vector<IndexEntry> byObject;                // its ObjectId index
};

// MSysObjects rows: values by column number Id, ParentId, Name, Type, DateCreate, DateUpdate,
// Owner, Flags; the rest NULL. MSysACEs rows: ObjectId, SID, ACM, FInheritable.
SystemRows systemRows(const TableDefinition& objects, const TableDefinition& aces, const NewDatabaseSettings& settings) {
    SystemRows rows;
    for (const SystemObject& o : systemObjects()) {
        RowValues v(objects.maxColumns);
        v[0] = longBytes(static_cast<int32_t>(o.id));
        v[1] = longBytes(static_cast<int32_t>(o.parent));
        v[2] = utf16ToLe(ascii16(o.name));
        v[3] = integerBytes(o.type);
        v[4] = doubleBytes(settings.created);
        v[5] = doubleBytes(settings.created);
        v[6] = *o.owner;
        v[7] = longBytes(static_cast<int32_t>(kSystemObjectFlag));
        RowPointer at{kCatalogDataPage, static_cast<uint8_t>(rows.objects.size())};
        rows.objects.push_back(encodeRow(objects, v));
        rows.byName.push_back({parentIdNameKey(o.parent, textKeyOf(o.name, settings.sortOrder)), at});
        rows.byId.push_back({longKey(static_cast<int32_t>(o.id)), at});
    }
    for (const AccessEntry& a : accessEntries()) {
        RowValues v(aces.maxColumns);
        v[0] = longBytes(static_cast<int32_t>(a.objectId));
        v[1] = *a.sid;
        v[2] = longBytes(static_cast<int32_t>(a.mask));
        v[3] = Bytes{static_cast<uint8_t>(a.inheritable ? 1 : 0)};
        RowPointer at{kAceDataPage, static_cast<uint8_t>(rows.aces.size())};
        rows.aces.push_back(encodeRow(aces, v));
        rows.byObject.push_back({longKey(static_cast<int32_t>(a.objectId)), at});
    }
    return rows;
}

// The usage-map rows of the map page: the data pages belong to (and have room in) their
// tables; each index owns its root; the long-value columns own nothing yet.
std::vector<Bytes> systemMapRows(const std::vector<TableDefinition>& defs, uint8_t mapRowCount) {
    std::vector<Bytes> mapRows(mapRowCount, newMapRow());
    auto setMap = [&](uint32_t pointer, uint32_t page) {
        mapRows.at(RowPointer::fromLe(pointer).row) = newMapRow(std::set<uint32_t>{page});
    };
    setMap(defs[0].ownedMap, kCatalogDataPage);
    setMap(defs[0].freeMap, kCatalogDataPage);
    setMap(defs[1].ownedMap, kAceDataPage);
    setMap(defs[1].freeMap, kAceDataPage);
    for (const TableDefinition& d : defs)
        for (const RealIndexDef& x : d.realIndexes) setMap(x.usageMap, x.rootPage);
    return mapRows;
}

}  // namespace

std::vector<uint8_t> buildNewDatabaseImage(const NewDatabaseSettings& settings) {
    if (settings.format == FileFormat::Ace16) return buildNewAceDatabaseImage(settings);
    if (settings.format != FileFormat::Jet4 ||
        (settings.sortOrder != SortOrder::General && settings.sortOrder != SortOrder::Japanese))
        throw JetError(errInvalidArgument, "この並べ替え順序のデータベースは作成できません。");
    static_assert(sizeof(double) == 8, "OLE dates are IEEE doubles");
    const uint16_t lcid = static_cast<uint16_t>(settings.sortOrder);

    std::vector<TableDefinition> defs;
    uint8_t nextMapRow = 0;
    uint32_t nextRoot = kFirstIndexRoot;
    for (const SystemTable& t : systemTables()) defs.push_back(systemDefinition(t, lcid, nextMapRow, nextRoot));
    if (nextRoot != kCatalogDataPage) throw std::logic_error("new database: page plan out of step");
    TableDefinition& objects = defs[0];
    TableDefinition& aces = defs[1];
    const SystemRows rows = systemRows(objects, aces, settings);
    objects.rowCount = static_cast<uint32_t>(rows.objects.size());
    aces.rowCount = static_cast<uint32_t>(rows.aces.size());

    // Index roots (the distinct-key counts go into the definitions).
    std::map<uint32_t, Bytes> pages;
    for (TableDefinition& d : defs) {
        const uint32_t owner = d.pages[0];
        for (size_t i = 0; i < d.realIndexes.size(); ++i) {
            RealIndexDef& x = d.realIndexes[i];
            std::vector<IndexEntry> entries;
            if (&d == &objects) entries = i == 0 ? rows.byName : rows.byId;
            if (&d == &aces) entries = rows.byObject;
            pages[x.rootPage] = rootLeaf(entries, owner, x.rootPage, x.distinctKeys);
        }
    }
    pages[0] = newDatabaseHeader(settings);
    pages[kGlobalMapPage] = newGlobalMapPage(kNewPageCount);
    for (const TableDefinition& d : defs) {
        std::vector<Bytes> images = layoutTableDefinition(encodeTableDefinition(d), d.pages);
        if (images.size() != 1) throw std::logic_error("new database: a system table needs one TDEF page");
        pages[d.pages[0]] = images[0];
    }
    pages[kMapPage] = dataPageWith(kMapPage, kUsageMapOwner, systemMapRows(defs, nextMapRow));
    pages[kCatalogDataPage] = dataPageWith(kCatalogDataPage, objects.pages[0], rows.objects);
    pages[kAceDataPage] = dataPageWith(kAceDataPage, aces.pages[0], rows.aces);

    std::vector<uint8_t> image;
    image.reserve(kNewPageCount * kPageSize);
    for (uint32_t p = 0; p < kNewPageCount; ++p) {
        const Bytes& page = pages.at(p);
        if (page.size() != kPageSize) throw std::logic_error("new database: a page of the wrong size");
        image.insert(image.end(), page.begin(), page.end());
    }
    return image;
}

}  // namespace jet
