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
// This file plans those pages and builds them from the contents of the system tables
// (jet4_system_objects.h) and the header (new_database_header.cpp); the engine's TDEF, row,
// data-page and index writers turn them into bytes. Nothing is read from an existing file.
#include "new_database.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <stdexcept>

#include "ace_system_objects.h"
#include "bytes.h"
#include "catalog.h"
#include "data_page.h"
#include "header.h"
#include "index_key.h"
#include "index_page.h"
#include "jet4_system_objects.h"
#include "row.h"
#include "tdef.h"
#include "usage_map.h"

namespace jet {

const char* const dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
const char* const dbLangGeneralLegacy = ";LANGID=0x0409;CP=1252;COUNTRY=0;SORTVERSION=0";
const char* const dbLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";

namespace {

constexpr uint32_t kNewPageCount = kNewDatabasePages;

// The length field of a system table's column: bytes of a fixed-length value, 255 characters
// (two bytes each) of Text and Binary, 0 for Memo and OLE.
constexpr uint16_t kSystemTextLength = 2 * 255;

uint16_t storedLength(uint8_t type) {
    switch (type) {
        case colBoolean: return sizeof(uint8_t);
        case colByte: return sizeof(uint8_t);
        case colInteger: return sizeof(int16_t);
        case colLong: return sizeof(int32_t);
        case colDateTime: return sizeof(double);
        case colText: return kSystemTextLength;
        case colBinary: return kSystemTextLength;
        default: return 0;  // Memo, OLE
    }
}

// ---------------------------------------------------------------------------------------------
// Page plan: pages 0-5 are the header, the global page map and the four definitions (header.h).

constexpr uint32_t kMapPage = kMSysRelationshipsPage + 1;  // 6
constexpr uint32_t kFirstIndexRoot = kMapPage + 1;          // 7
constexpr uint32_t kCatalogDataPage = 14;                   // after the seven index roots
constexpr uint32_t kAceDataPage = 15;

uint32_t mapRow(uint8_t row) { return RowPointer{kMapPage, row}.toLe(); }

// The definition of one system table for the given sort order, with its maps on the map page
// starting at row *nextMapRow and its index roots from page *nextRoot. Maps in table order:
// owned pages, free pages, two per long-value column (by column number), one per real index.
TableDefinition systemDefinition(const Jet4TableSpec& t, uint16_t lcid, uint8_t& nextMapRow, uint32_t& nextRoot) {
    TableDefinition d;
    d.pages = {t.tdefPage};
    d.tableType = kTableTypeSystem;
    d.autoIncrement = 1;
    d.ownedMap = mapRow(nextMapRow);
    d.freeMap = mapRow(static_cast<uint8_t>(nextMapRow + 1));
    nextMapRow = static_cast<uint8_t>(nextMapRow + 2);

    std::vector<const Jet4ColumnSpec*> byNumber(t.columns.size(), nullptr);
    for (const Jet4ColumnSpec& c : t.columns) byNumber.at(c.number) = &c;
    std::map<uint16_t, std::pair<uint16_t, uint16_t>> place;  // number -> var index, fixed offset
    std::map<uint16_t, uint8_t> longValueRows;                 // number -> owned map row
    uint16_t vars = 0, fixed = 0;
    for (const Jet4ColumnSpec* c : byNumber) {
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

    for (const Jet4ColumnSpec& c : t.columns) {
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
    for (const Jet4RealIndexSpec& r : t.realIndexes) {
        RealIndexDef x;
        for (uint16_t n : r.columns) x.columns.emplace_back(n, kIndexColumnAscending);
        x.flags = r.flags;
        x.usageMap = mapRow(nextMapRow++);
        x.rootPage = nextRoot++;
        d.realIndexes.push_back(x);
    }
    for (const SystemLogicalIndex& l : t.logicalIndexes) d.logicalIndexes.push_back(logicalIndexOf(l));
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

std::u16string ascii16(const char* s) {
    std::u16string out;
    for (const char* p = s; *p; ++p) out.push_back(static_cast<char16_t>(*p));
    return out;
}

LogicalIndexDef logicalIndexOf(const SystemLogicalIndex& index) {
    LogicalIndexDef x;
    x.number = index.number;
    x.realIndex = index.realIndex;
    x.relIndex = -1;
    x.cascadeUpdates = tdef::kNoRelationship;
    x.cascadeDeletes = tdef::kNoRelationship;
    x.indexType = index.kind;
    x.name = ascii16(index.name);
    return x;
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

// MSysObjects rows: Id, ParentId, Name, Type, DateCreate, DateUpdate, Owner and Flags; the rest
// NULL. MSysACEs rows: ObjectId, SID, ACM, FInheritable.
SystemRows systemRows(const TableDefinition& objects, const TableDefinition& aces, const NewDatabaseSettings& settings) {
    SystemRows rows;
    const CatalogColumns cc(objects);
    for (const Jet4ObjectSpec& o : jet4SystemObjects()) {
        RowValues v(objects.maxColumns);
        v[cc.id->number] = longBytes(static_cast<int32_t>(o.id));
        v[cc.parentId->number] = longBytes(static_cast<int32_t>(o.parent));
        v[cc.name->number] = utf16ToLe(ascii16(o.name));
        v[cc.type->number] = integerBytes(o.type);
        v[cc.dateCreate->number] = doubleBytes(settings.created);
        v[cc.dateUpdate->number] = doubleBytes(settings.created);
        v[cc.owner->number] = *o.owner;
        v[cc.flags->number] = longBytes(static_cast<int32_t>(kObjectFlagSystem));
        RowPointer at{kCatalogDataPage, static_cast<uint8_t>(rows.objects.size())};
        rows.objects.push_back(encodeRow(objects, v));
        rows.byName.push_back({parentIdNameKey(o.parent, textKeyOf(o.name, settings.sortOrder)), at});
        rows.byId.push_back({longKey(static_cast<int32_t>(o.id)), at});
    }
    const uint16_t objectId = aces.columnByName(u"ObjectId", "MSysACEs").number;
    const uint16_t sid = aces.columnByName(u"SID", "MSysACEs").number;
    const uint16_t acm = aces.columnByName(u"ACM", "MSysACEs").number;
    const uint16_t inheritable = aces.columnByName(u"FInheritable", "MSysACEs").number;
    for (const Jet4PermissionSpec& a : jet4SystemPermissions()) {
        RowValues v(aces.maxColumns);
        v[objectId] = longBytes(static_cast<int32_t>(a.objectId));
        v[sid] = *a.sid;
        v[acm] = longBytes(static_cast<int32_t>(a.mask));
        v[inheritable] = Bytes{static_cast<uint8_t>(a.inheritable ? 1 : 0)};
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
    for (const Jet4TableSpec& t : jet4SystemTables()) defs.push_back(systemDefinition(t, lcid, nextMapRow, nextRoot));
    if (nextRoot != kCatalogDataPage) throw std::logic_error("new database: page plan out of step");
    TableDefinition& objects = defs[0];
    TableDefinition& aces = defs[1];
    const SystemRows rows = systemRows(objects, aces, settings);
    objects.rowCount = static_cast<uint32_t>(rows.objects.size());
    aces.rowCount = static_cast<uint32_t>(rows.aces.size());

    // Index roots (the distinct-key counts go into the definitions).
    const size_t byName = realIndexOf(objects, u"ParentIdName", "MSysObjects");
    std::map<uint32_t, Bytes> pages;
    for (TableDefinition& d : defs) {
        const uint32_t owner = d.pages[0];
        for (size_t i = 0; i < d.realIndexes.size(); ++i) {
            RealIndexDef& x = d.realIndexes[i];
            std::vector<IndexEntry> entries;
            if (&d == &objects) entries = i == byName ? rows.byName : rows.byId;
            if (&d == &aces) entries = rows.byObject;
            pages[x.rootPage] = rootLeaf(entries, owner, x.rootPage, x.distinctKeys);
        }
    }
    pages[kHeaderPage] = newDatabaseHeader(settings);
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
