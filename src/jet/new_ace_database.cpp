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

namespace jet {

namespace {

Bytes fromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) throw std::logic_error("new .accdb database: odd hexadecimal value");
    Bytes out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::u16string ascii16(const char* s) {
    std::u16string out;
    for (const char* p = s; *p; ++p) out.push_back(static_cast<char16_t>(*p));
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
        col.lcid = c.lcid == 0x0409 ? sortOrderLcid(order) : c.lcid;
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
        for (uint16_t n : r.columns) x.columns.emplace_back(n, 0x01);
        x.flags = r.flags;
        x.usageMap = r.usageMap;
        x.rootPage = r.rootPage;
        d.realIndexes.push_back(x);
    }
    for (const AceLogicalIndexSpec& l : t.logicalIndexes) {
        LogicalIndexDef x;
        x.number = l.number;
        x.realIndex = l.realIndex;
        x.relIndex = -1;
        x.cascadeUpdates = 0x04;
        x.cascadeDeletes = 0x04;
        x.indexType = l.kind;
        x.name = ascii16(l.name);
        d.logicalIndexes.push_back(x);
    }
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
            key.push_back(0x00);  // NULL sorts first
            continue;
        }
        if (c.type == colLong || c.type == 0x12) {
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

// An inline usage map covering pages 0-511: 00, start page 0, 64-byte bitmap.
Bytes inlineMap(const std::set<uint32_t>& pages) {
    Bytes row(69, 0);
    for (uint32_t p : pages) row.at(5 + p / 8) |= static_cast<uint8_t>(1u << (p % 8));
    return row;
}

void addRow(std::map<uint32_t, Bytes>& pages, uint32_t page, uint32_t owner, const Bytes& row, RowPointer& at) {
    auto it = pages.find(page);
    if (it == pages.end()) it = pages.emplace(page, makeDataPage(owner)).first;
    if (le32(&it->second[4]) != owner) throw std::logic_error("new .accdb database: a page with two owners");
    int slot = insertRow(it->second, page, row);
    if (slot < 0) throw std::logic_error("new .accdb database: a data page overflowed");
    at = RowPointer{page, static_cast<uint8_t>(slot)};
}

}  // namespace

std::vector<uint8_t> buildNewAceDatabaseImage(const NewDatabaseSettings& settings) {
    const SortOrder order = settings.sortOrder;
    std::map<uint32_t, Bytes> pages;                  // every page but the header and the maps
    std::map<uint32_t, std::set<uint32_t>> mapPages;  // usage-map row pointer -> pages it marks
    const Bytes created = doubleBytes(settings.created);

    for (const AceTableSpec& t : aceSystemTables()) {
        TableDefinition d = definitionOf(t, order);
        mapPages[d.ownedMap];
        mapPages[d.freeMap];
        for (const LongValueMap& m : d.lvMaps) {
            mapPages[m.ownedMap];
            mapPages[m.freeMap];
        }
        std::vector<std::vector<IndexEntry>> entries(d.realIndexes.size());
        uint32_t lastComplexId = 0;  // the highest id a complex column of the table gave out
        for (const AceRowSpec& r : t.rows) {
            if (r.values.size() != d.maxColumns) throw std::logic_error("new .accdb database: a row of the wrong width");
            RowValues v(d.maxColumns);
            for (uint16_t n = 0; n < d.maxColumns; ++n) {
                const std::string text = r.values[n];
                if (text.empty()) continue;
                if (text == "d") {
                    v[n] = created;
                } else if (text.compare(0, 2, "t:") == 0) {
                    v[n] = utf16ToLe(ascii16(text.c_str() + 2));
                } else if (text.compare(0, 2, "x:") == 0) {
                    v[n] = fromHex(text.substr(2));
                } else if (text.compare(0, 2, "i:") == 0) {
                    Bytes data = fromHex(text.substr(2));
                    Bytes field = makeLongValueHeader(static_cast<uint32_t>(data.size()), kLongValueInline, {}, 0);
                    field.insert(field.end(), data.begin(), data.end());
                    v[n] = field;
                } else if (text.compare(0, 2, "l:") == 0) {
                    const size_t colon = text.find(':', 2);
                    const uint32_t lvPage = static_cast<uint32_t>(std::stoul(text.substr(2, colon - 2)));
                    Bytes data = fromHex(text.substr(colon + 1));
                    RowPointer at;
                    addRow(pages, lvPage, kLvalOwner, data, at);
                    const LongValueMap* m = d.lvMap(n);
                    if (!m) throw std::logic_error("new .accdb database: a long value without its map");
                    mapPages[m->ownedMap].insert(lvPage);
                    mapPages[m->freeMap].insert(lvPage);
                    v[n] = makeLongValueHeader(static_cast<uint32_t>(data.size()), kLongValueOneRow, at, 0);
                } else {
                    throw std::logic_error("new .accdb database: an unknown value form");
                }
            }
            for (const ColumnDef& c : d.columns)
                if (c.type == 0x12 && v[c.number]) lastComplexId = std::max(lastComplexId, le32(v[c.number]->data()));
            RowPointer at;
            addRow(pages, r.page, t.tdefPage, encodeRow(d, v), at);
            mapPages[d.ownedMap].insert(r.page);
            mapPages[d.freeMap].insert(r.page);
            for (size_t i = 0; i < d.realIndexes.size(); ++i)
                entries[i].push_back({indexKey(d, d.realIndexes[i], v, order), at});
        }
        d.rowCount = static_cast<uint32_t>(t.rows.size());
        for (size_t i = 0; i < d.realIndexes.size(); ++i) {
            RealIndexDef& x = d.realIndexes[i];
            std::sort(entries[i].begin(), entries[i].end());
            x.distinctKeys = 0;
            for (size_t k = 0; k < entries[i].size(); ++k)
                if (k == 0 || entries[i][k].key != entries[i][k - 1].key) ++x.distinctKeys;
            BuiltIndex built = buildIndexTree(entries[i], t.tdefPage, {x.rootPage}, []() -> uint32_t {
                throw std::logic_error("new .accdb database: a system index outgrew its root page");
            });
            pages[x.rootPage] = built.images.at(x.rootPage);
            mapPages[x.usageMap].insert(x.rootPage);
        }
        std::vector<Bytes> images = layoutTableDefinition(encodeTableDefinition(d), d.pages);
        if (images.size() != 1) throw std::logic_error("new .accdb database: a system table needs one TDEF page");
        // 0x1C: the last id given out to the values of the table's complex columns (the theme
        // resource's attachment is 1); the next attachment Access adds takes the one after it.
        put32(&images[0][0x1C], lastComplexId);
        pages[t.tdefPage] = images[0];
    }

    // Map pages: every map row of a page, in row order.
    std::map<uint32_t, std::map<uint8_t, Bytes>> mapRows;
    for (const auto& [pointer, marked] : mapPages) {
        RowPointer at = RowPointer::fromLe(pointer);
        mapRows[at.page][at.row] = inlineMap(marked);
    }
    for (const auto& [page, rows] : mapRows) {
        if (pages.count(page)) throw std::logic_error("new .accdb database: a map page used twice");
        Bytes image = makeDataPage(0);
        uint8_t expected = 0;
        for (const auto& [row, bytes] : rows) {
            if (row != expected++) throw std::logic_error("new .accdb database: a gap between map rows");
            if (insertRow(image, page, bytes) < 0) throw std::logic_error("new .accdb database: a map page overflowed");
        }
        pages[page] = image;
    }

    // Global page map: every page from the end of the file to 511 is free.
    std::set<uint32_t> freePages;
    for (uint32_t p = kNewAceDatabasePages; p < 512; ++p) freePages.insert(p);
    Bytes globalMap = makeDataPage(1);
    if (insertRow(globalMap, 1, inlineMap(freePages)) < 0 || insertRow(globalMap, 1, inlineMap({})) < 0)
        throw std::logic_error("new .accdb database: the global map overflowed");
    pages[1] = globalMap;
    pages[0] = newDatabaseHeader(settings);

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
