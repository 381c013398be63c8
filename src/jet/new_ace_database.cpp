// A new, empty .accdb database (ACE 16, the format of Access 2016), generated page by page.
//
// The tables, their rows and the page each lies on are those of a new Access 2016 database
// (ace_system_objects.h): TDEF pages at the tables' object ids, each table's usage maps on its own
// map page, one root leaf per index, the catalog and the other rows on their data pages, the long
// values (storage streams, the theme) on long-value pages. Computed here, for the requested sort
// order and time: the header, the sort order of every column, the dates, the index keys and
// distinct-key counts, the row counts, every usage map and the global page map.
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "ace_system_objects.h"
#include "bytes.h"
#include "data_page.h"
#include "header.h"
#include "index_key.h"
#include "index_page.h"
#include "long_value.h"
#include "new_database.h"
#include "row.h"
#include "tdef.h"
#include "usage_map.h"

namespace jet {

namespace {

Bytes fromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) throw std::logic_error("new .accdb database: odd hexadecimal value");
    Bytes out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::u16string fromUtf16Le(const Bytes& b) {
    std::u16string s;
    for (size_t i = 0; i + 1 < b.size(); i += 2) s.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
    return s;
}

TableDefinition definitionOf(const AceTableSpec& t, SortOrder order) {
    TableDefinition d;
    d.pages = {t.tdefPage};
    d.tableType = t.tableType;
    d.autoNumber = t.autoNumber;
    d.autoIncrement = 1;
    d.ownedMap = t.ownedMap;
    d.freeMap = t.freeMap;
    uint16_t maxNumber = 0, vars = 0;
    for (const AceColumnSpec& c : t.columns) {
        ColumnDef col;
        col.type = c.type;
        col.number = c.number;
        col.varIndex = c.varIndex;
        col.lcid = c.lcid == kAceDatabaseSortOrder ? sortOrderLcid(order) : c.lcid;
        col.sortVersion = c.sortVersion ? sortOrderVersion(order) : 0;
        col.flags = c.flags;
        col.extFlags = c.extFlags;
        col.fixedOffset = c.fixedOffset;
        col.length = c.length;
        col.name = ascii16(c.name);
        d.columns.push_back(col);
        maxNumber = std::max<uint16_t>(maxNumber, static_cast<uint16_t>(c.number + 1));
        if (!col.fixed()) ++vars;
    }
    d.maxColumns = maxNumber;
    d.varColumns = vars;
    for (const AceRealIndexSpec& r : t.realIndexes) {
        RealIndexDef x;
        for (uint16_t n : r.columns) x.columns.emplace_back(n, kIndexColumnAscending);
        x.flags = r.flags;
        x.usageMap = r.usageMap;
        x.rootPage = r.rootPage;
        d.realIndexes.push_back(x);
    }
    for (const SystemLogicalIndex& l : t.logicalIndexes) d.logicalIndexes.push_back(logicalIndexOf(l));
    for (const AceLongValueMapSpec& m : t.longValueMaps) d.lvMaps.push_back({m.column, m.ownedMap, m.freeMap});
    return d;
}

const ColumnDef& columnNumbered(const TableDefinition& d, uint16_t number) {
    for (const ColumnDef& c : d.columns)
        if (c.number == number) return c;
    throw std::logic_error("new .accdb database: an index names a missing column");
}

// The key of one row in an ascending index over Long, complex-id and Text columns.
Bytes indexKey(const TableDefinition& d, const RealIndexDef& x, const RowValues& v, SortOrder order) {
    Bytes key;
    for (const auto& [number, ascending] : x.columns) {
        (void)ascending;
        const ColumnDef& c = columnNumbered(d, number);
        const std::optional<Bytes>& value = v.at(number);
        if (!value) {
            key.push_back(kKeyNullAscending);
            continue;
        }
        if (c.type == colLong || c.type == colComplex) {
            Bytes k = longKey(static_cast<int32_t>(le32(value->data())));
            key.insert(key.end(), k.begin(), k.end());
        } else if (c.type == colText) {
            TextKey tk = encodeTextKey(fromUtf16Le(*value), order);
            if (!tk.ok) throw JetError(errUnsupported, tk.reason);
            key.push_back(kKeyAscending);
            key.insert(key.end(), tk.bytes.begin(), tk.bytes.end());
        } else {
            throw std::logic_error("new .accdb database: an index over a column type without keys here");
        }
    }
    return key;
}

void addRow(std::map<uint32_t, Bytes>& pages, uint32_t page, uint32_t owner, const Bytes& row, RowPointer& at) {
    auto it = pages.find(page);
    if (it == pages.end()) it = pages.emplace(page, makeDataPage(owner)).first;
    if (le32(&it->second[kDataPageOwner]) != owner) throw std::logic_error("new .accdb database: a page with two owners");
    int slot = insertRow(it->second, page, row);
    if (slot < 0) throw std::logic_error("new .accdb database: a data page overflowed");
    at = RowPointer{page, static_cast<uint8_t>(slot)};
}

// The image being built: every page but the header and the maps, and what each usage map
// (by its row pointer) marks.
struct AceImage {
    std::map<uint32_t, Bytes> pages;
    std::map<uint32_t, std::set<uint32_t>> mapPages;
};

// One stored value of a row as the table of system objects writes it: "d" the creation date,
// "t:" text, "x:" bytes in hexadecimal, "i:" an inline long value, "l:PAGE:" a long value in
// its own row on that long-value page.
Bytes storedValue(const std::string& text, uint16_t column, const TableDefinition& d, const Bytes& created,
                  AceImage& img) {
    if (text == "d") return created;
    if (text.compare(0, 2, "t:") == 0) return utf16ToLe(ascii16(text.c_str() + 2));
    if (text.compare(0, 2, "x:") == 0) return fromHex(text.substr(2));
    if (text.compare(0, 2, "i:") == 0) {
        Bytes data = fromHex(text.substr(2));
        Bytes field = makeLongValueHeader(static_cast<uint32_t>(data.size()), kLongValueInline, {}, 0);
        field.insert(field.end(), data.begin(), data.end());
        return field;
    }
    if (text.compare(0, 2, "l:") == 0) {
        const size_t colon = text.find(':', 2);
        const uint32_t lvPage = static_cast<uint32_t>(std::stoul(text.substr(2, colon - 2)));
        Bytes data = fromHex(text.substr(colon + 1));
        RowPointer at;
        addRow(img.pages, lvPage, kLvalOwner, data, at);
        const LongValueMap* m = d.lvMap(column);
        if (!m) throw std::logic_error("new .accdb database: a long value without its map");
        img.mapPages[m->ownedMap].insert(lvPage);
        img.mapPages[m->freeMap].insert(lvPage);
        return makeLongValueHeader(static_cast<uint32_t>(data.size()), kLongValueOneRow, at, 0);
    }
    throw std::logic_error("new .accdb database: an unknown value form");
}

// Each real index of a table on its root leaf, with its distinct-key count.
void addIndexRoots(TableDefinition& d, uint32_t tdefPage, std::vector<std::vector<IndexEntry>>& entries, AceImage& img) {
    for (size_t i = 0; i < d.realIndexes.size(); ++i) {
        RealIndexDef& x = d.realIndexes[i];
        std::sort(entries[i].begin(), entries[i].end());
        x.distinctKeys = 0;
        for (size_t k = 0; k < entries[i].size(); ++k)
            if (k == 0 || entries[i][k].key != entries[i][k - 1].key) ++x.distinctKeys;
        BuiltIndex built = buildIndexTree(entries[i], tdefPage, {x.rootPage}, []() -> uint32_t {
            throw std::logic_error("new .accdb database: a system index outgrew its root page");
        });
        img.pages[x.rootPage] = built.images.at(x.rootPage);
        img.mapPages[x.usageMap].insert(x.rootPage);
    }
}

// One system table: its rows on their pages, its index roots and its definition page.
void addTable(const AceTableSpec& t, SortOrder order, const Bytes& created, AceImage& img) {
    TableDefinition d = definitionOf(t, order);
    img.mapPages[d.ownedMap];
    img.mapPages[d.freeMap];
    for (const LongValueMap& m : d.lvMaps) {
        img.mapPages[m.ownedMap];
        img.mapPages[m.freeMap];
    }
    std::vector<std::vector<IndexEntry>> entries(d.realIndexes.size());
    uint32_t lastComplexId = 0;  // the highest id a complex column of the table gave out
    for (const AceRowSpec& r : t.rows) {
        if (r.values.size() != d.maxColumns) throw std::logic_error("new .accdb database: a row of the wrong width");
        RowValues v(d.maxColumns);
        for (uint16_t n = 0; n < d.maxColumns; ++n) {
            const std::string text = r.values[n];
            if (!text.empty()) v[n] = storedValue(text, n, d, created, img);
        }
        for (const ColumnDef& c : d.columns)
            if (c.type == colComplex && v[c.number]) lastComplexId = std::max(lastComplexId, le32(v[c.number]->data()));
        RowPointer at;
        addRow(img.pages, r.page, t.tdefPage, encodeRow(d, v), at);
        img.mapPages[d.ownedMap].insert(r.page);
        img.mapPages[d.freeMap].insert(r.page);
        for (size_t i = 0; i < d.realIndexes.size(); ++i)
            entries[i].push_back({indexKey(d, d.realIndexes[i], v, order), at});
    }
    d.rowCount = static_cast<uint32_t>(t.rows.size());
    addIndexRoots(d, t.tdefPage, entries, img);
    std::vector<Bytes> images = layoutTableDefinition(encodeTableDefinition(d), d.pages);
    if (images.size() != 1) throw std::logic_error("new .accdb database: a system table needs one TDEF page");
    // The last id given out to the values of the table's complex columns (the theme resource's
    // attachment is 1); the next attachment Access adds takes the one after it.
    put32(&images[0][tdef::kLastComplexId], lastComplexId);
    img.pages[t.tdefPage] = images[0];
}

// The map pages: every map row of a page, in row order.
void addMapPages(AceImage& img) {
    std::map<uint32_t, std::map<uint8_t, Bytes>> mapRows;
    for (const auto& [pointer, marked] : img.mapPages) {
        RowPointer at = RowPointer::fromLe(pointer);
        mapRows[at.page][at.row] = newMapRow(marked);
    }
    for (const auto& [page, rows] : mapRows) {
        if (img.pages.count(page)) throw std::logic_error("new .accdb database: a map page used twice");
        Bytes image = makeDataPage(kUsageMapOwner);
        uint8_t expected = 0;
        for (const auto& [row, bytes] : rows) {
            if (row != expected++) throw std::logic_error("new .accdb database: a gap between map rows");
            if (insertRow(image, page, bytes) < 0) throw std::logic_error("new .accdb database: a map page overflowed");
        }
        img.pages[page] = image;
    }
}

}  // namespace

std::vector<uint8_t> buildNewAceDatabaseImage(const NewDatabaseSettings& settings) {
    AceImage img;
    const Bytes created = doubleBytes(settings.created);
    for (const AceTableSpec& t : aceSystemTables()) addTable(t, settings.sortOrder, created, img);
    addMapPages(img);
    std::map<uint32_t, Bytes>& pages = img.pages;
    pages[kGlobalMapPage] = newGlobalMapPage(kNewAceDatabasePages);
    pages[kHeaderPage] = newDatabaseHeader(settings);

    std::string missing;
    for (uint32_t p = 0; p < kNewAceDatabasePages; ++p)
        if (!pages.count(p)) missing += " " + std::to_string(p);
    if (!missing.empty()) throw std::logic_error("new .accdb database: pages left empty:" + missing);
    std::vector<uint8_t> image;
    image.reserve(static_cast<size_t>(kNewAceDatabasePages) * kPageSize);
    for (uint32_t p = 0; p < kNewAceDatabasePages; ++p) {
        auto it = pages.find(p);
        if (it == pages.end()) throw std::logic_error("new .accdb database: page " + std::to_string(p) + " left empty");
        if (it->second.size() != kPageSize) throw std::logic_error("new .accdb database: a page of the wrong size");
        image.insert(image.end(), it->second.begin(), it->second.end());
    }
    if (pages.size() != kNewAceDatabasePages) throw std::logic_error("new .accdb database: a page past the end");
    return image;
}

}  // namespace jet
