#include "tdef.h"

#include <set>

#include "header.h"

namespace jet {

bool isVariableType(uint8_t t) { return t == colBinary || t == colText || t == colOle || t == colMemo; }
bool isLongValueType(uint8_t t) { return t == colOle || t == colMemo; }

const ColumnDef* TableDefinition::column(const std::u16string& name) const {
    for (auto& c : columns)
        if (c.name == name) return &c;
    return nullptr;
}

const ColumnDef& TableDefinition::columnByName(const std::u16string& name, const char* table) const {
    const ColumnDef* c = column(name);
    if (!c) corrupt(std::string(table) + " に列 " + utf16ToUtf8(name) + " がありません");
    return *c;
}

const LongValueMap* TableDefinition::lvMap(uint16_t n) const {
    for (auto& m : lvMaps)
        if (m.column == n) return &m;
    return nullptr;
}

namespace {
constexpr size_t kContinuationPayload = kPageSize - tdef::kContinuationHeader;
constexpr size_t kMaxTdefPages = 64;
// More indexes than this in a definition is taken as damage (Access makes at most 32).
constexpr uint32_t kMaxIndexesRead = 64;
}  // namespace

size_t tdefPagesNeeded(size_t len) {
    if (len <= kPageSize) return 1;
    size_t rest = len - kPageSize;
    return 1 + (rest + kContinuationPayload - 1) / kContinuationPayload;
}

namespace {

using namespace tdef;

// The definition's pages in chain order, and its logical bytes (the first page whole, then
// each continuation's bytes after its header).
void readPageChain(Pager& pager, uint32_t page, const std::string& where, TableDefinition& d) {
    std::set<uint32_t> seen;
    uint32_t p = page;
    while (p != 0) {
        if (!seen.insert(p).second || seen.size() > kMaxTdefPages) corrupt(where + " の継続ページが循環しています");
        const Bytes& b = pager.read(p);
        if (b[0] != kPageKindTdef || b[1] != kPageMark) corrupt("ページ " + std::to_string(p) + " はテーブル定義ではありません");
        d.pages.push_back(p);
        if (p == page) d.logical.insert(d.logical.end(), b.begin(), b.end());
        else d.logical.insert(d.logical.end(), b.begin() + kContinuationHeader, b.end());
        p = le32(&b[kNextPage]);
    }
}

struct Counts {
    uint16_t columns = 0;
    uint32_t logical = 0;
    uint32_t real = 0;
};

Counts readHeader(const Reader& t, const std::string& where, TableDefinition& d) {
    d.rowCount = t.u32(kRowCount);
    d.autoNumber = t.u32(kAutoNumber);
    d.autoIncrement = t.u32(kAutoIncrement);
    d.tableType = t.u8(kTableType);
    d.maxColumns = t.u16(kMaxColumns);
    d.varColumns = t.u16(kVarColumns);
    Counts n{t.u16(kColumnCount), t.u32(kLogicalCount), t.u32(kRealCount)};
    if (n.real > kMaxIndexesRead || n.logical > kMaxIndexesRead || n.columns == 0) corrupt(where + " の列数または索引数が不正");
    d.ownedMap = t.u32(kOwnedMap);
    d.freeMap = t.u32(kFreeMap);
    return n;
}

// A name list: a 16-bit byte length, then the UTF-16 name, for each.
template <class Item>
size_t readNames(const Reader& t, size_t off, std::vector<Item>& items, const std::string& what) {
    for (auto& x : items) {
        uint16_t n = t.u16(off);
        if (n % 2) corrupt(what);
        x.name = utf16FromLe(t.at(off + 2, n), n);
        off += 2 + n;
    }
    return off;
}

size_t readColumns(const Reader& t, size_t off, uint16_t count, const std::string& where, TableDefinition& d,
                   std::set<uint16_t>& numbers) {
    for (uint16_t i = 0; i < count; ++i) {
        ColumnDef c;
        t.need(off, kColumnSize);
        c.type = t.u8(off + kColType);
        c.number = t.u16(off + kColNumber);
        c.varIndex = t.u16(off + kColVarIndex);
        c.ordinal = t.u16(off + kColOrdinal);
        c.lcid = t.u16(off + kColLcid);
        c.sortId = t.u8(off + kColSortId);
        c.sortVersion = t.u8(off + kColSortVersion);
        c.flags = t.u8(off + kColFlags);
        c.extFlags = t.u8(off + kColExtFlags);
        c.fixedOffset = t.u16(off + kColFixedOffset);
        c.length = t.u16(off + kColLength);
        if (c.number >= d.maxColumns || !numbers.insert(c.number).second)
            corrupt(where + " の列番号が不正");
        d.columns.push_back(c);
        off += kColumnSize;
    }
    return readNames(t, off, d.columns, where + " の列名の長さが不正");
}

size_t readRealIndexes(const Reader& t, size_t off, const std::string& where, const std::set<uint16_t>& numbers,
                       TableDefinition& d) {
    for (RealIndexDef& x : d.realIndexes) {
        t.need(off, kRealIndexSize);
        x.blockOffset = off;
        for (size_t k = 0; k < kRealColumnSlots; ++k) {
            const size_t slot = off + kRealColumns + kRealColumnSlotSize * k;
            uint16_t col = t.u16(slot);
            uint8_t order = t.u8(slot + 2);
            if (col == kNoColumn) continue;
            if (!numbers.count(col)) corrupt(where + " の索引が存在しない列を指しています");
            x.columns.emplace_back(col, order);
        }
        x.usageMap = t.u32(off + kRealUsageMap);
        x.rootPage = t.u32(off + kRealRootPage);
        x.unknown = t.u32(off + kRealUnknown);
        x.flags = t.u8(off + kRealFlags);
        off += kRealIndexSize;
    }
    return off;
}

size_t readLogicalIndexes(const Reader& t, size_t off, const std::string& where, TableDefinition& d) {
    for (LogicalIndexDef& x : d.logicalIndexes) {
        t.need(off, kLogicalIndexSize);
        x.number = t.u32(off + kLogicalNumber);
        x.realIndex = t.u32(off + kLogicalRealIndex);
        x.relTableType = t.u8(off + kLogicalRelTableType);
        x.relIndex = static_cast<int32_t>(t.u32(off + kLogicalRelIndex));
        x.relTablePage = t.u32(off + kLogicalRelTablePage);
        x.cascadeUpdates = t.u8(off + kLogicalCascadeUpdates);
        x.cascadeDeletes = t.u8(off + kLogicalCascadeDeletes);
        x.indexType = t.u8(off + kLogicalIndexType);
        if (x.realIndex >= d.realIndexes.size()) corrupt(where + " の論理索引が存在しない索引を指しています");
        off += kLogicalIndexSize;
    }
    return readNames(t, off, d.logicalIndexes, where + " の索引名の長さが不正");
}

void readLvMaps(const Reader& t, size_t off, TableDefinition& d) {
    while (true) {
        uint16_t w = t.u16(off);
        if (w == kLvMapsEnd) break;
        t.need(off, kLvMapSize);
        LongValueMap m;
        m.column = w;
        m.ownedMap = t.u32(off + kLvOwnedMap);
        m.freeMap = t.u32(off + kLvFreeMap);
        d.lvMaps.push_back(m);
        off += kLvMapSize;
    }
}

}  // namespace

TableDefinition readTableDefinition(Pager& pager, uint32_t page) {
    const std::string where = "テーブル定義ページ " + std::to_string(page);
    TableDefinition d;
    readPageChain(pager, page, where, d);
    Reader r(d.logical.data(), d.logical.size(), where);
    uint32_t len = r.u32(kLength);
    if (len < kTdefHeaderSize + 2 || len > d.logical.size()) corrupt(where + " の長さが不正");
    d.logical.resize(len);
    Reader t(d.logical.data(), d.logical.size(), where);
    const Counts n = readHeader(t, where, d);
    size_t off = kTdefHeaderSize;
    d.realIndexes.resize(n.real);
    for (RealIndexDef& x : d.realIndexes) {
        x.countsOffset = off;
        x.rowCountField = t.u32(off + kCountsRows);
        x.distinctKeys = t.u32(off + kCountsDistinct);
        off += kCountsSize;
    }
    std::set<uint16_t> numbers;
    off = readColumns(t, off, n.columns, where, d, numbers);
    off = readRealIndexes(t, off, where, numbers, d);
    d.logicalIndexes.resize(n.logical);
    off = readLogicalIndexes(t, off, where, d);
    readLvMaps(t, off, d);
    return d;
}

namespace {

void encodeHeader(const TableDefinition& d, Bytes& b) {
    b[0] = kPageKindTdef;
    b[1] = kPageMark;
    put32(&b[kMagic], kTdefMagic);
    put32(&b[kRowCount], d.rowCount);
    put32(&b[kAutoNumber], d.autoNumber);
    put32(&b[kAutoIncrement], d.autoIncrement);
    b[kTableType] = d.tableType;
    put16(&b[kMaxColumns], d.maxColumns);
    put16(&b[kVarColumns], d.varColumns);
    put16(&b[kColumnCount], static_cast<uint32_t>(d.columns.size()));
    put32(&b[kLogicalCount], static_cast<uint32_t>(d.logicalIndexes.size()));
    put32(&b[kRealCount], static_cast<uint32_t>(d.realIndexes.size()));
    put32(&b[kOwnedMap], d.ownedMap);
    put32(&b[kFreeMap], d.freeMap);
}

void encodeColumn(const ColumnDef& c, Bytes& b) {
    size_t o = b.size();
    b.resize(o + kColumnSize, 0);
    b[o + kColType] = c.type;
    put32(&b[o + kColMagic], kTdefMagic);
    put16(&b[o + kColNumber], c.number);
    put16(&b[o + kColVarIndex], c.varIndex);
    put16(&b[o + kColOrdinal], c.ordinal);
    put16(&b[o + kColLcid], c.lcid);
    b[o + kColSortId] = c.sortId;
    b[o + kColSortVersion] = c.sortVersion;
    b[o + kColFlags] = c.flags;
    b[o + kColExtFlags] = c.extFlags;
    put16(&b[o + kColFixedOffset], c.fixedOffset);
    put16(&b[o + kColLength], c.length);
}

void encodeRealIndex(const RealIndexDef& x, Bytes& b) {
    size_t o = b.size();
    b.resize(o + kRealIndexSize, 0);
    put32(&b[o + kRealMagic], kRealIndexMagic);
    for (size_t k = 0; k < kRealColumnSlots; ++k) {
        const size_t slot = o + kRealColumns + kRealColumnSlotSize * k;
        const bool used = k < x.columns.size();
        put16(&b[slot], used ? x.columns[k].first : kNoColumn);
        b[slot + 2] = used ? x.columns[k].second : 0;
    }
    put32(&b[o + kRealUsageMap], x.usageMap);
    put32(&b[o + kRealRootPage], x.rootPage);
    put32(&b[o + kRealUnknown], x.unknown);
    b[o + kRealFlags] = x.flags;
}

void encodeLogicalIndex(const LogicalIndexDef& x, Bytes& b) {
    size_t o = b.size();
    b.resize(o + kLogicalIndexSize, 0);
    put32(&b[o + kLogicalMagic], kTdefMagic);
    put32(&b[o + kLogicalNumber], x.number);
    put32(&b[o + kLogicalRealIndex], x.realIndex);
    b[o + kLogicalRelTableType] = x.relTableType;
    put32(&b[o + kLogicalRelIndex], static_cast<uint32_t>(x.relIndex));
    put32(&b[o + kLogicalRelTablePage], x.relTablePage);
    b[o + kLogicalCascadeUpdates] = x.cascadeUpdates;
    b[o + kLogicalCascadeDeletes] = x.cascadeDeletes;
    b[o + kLogicalIndexType] = x.indexType;
}

template <class Item>
void encodeNames(const std::vector<Item>& items, Bytes& b) {
    for (auto& x : items) {
        Bytes n = utf16ToLe(x.name);
        append16(b, static_cast<uint32_t>(n.size()));
        b.insert(b.end(), n.begin(), n.end());
    }
}

}  // namespace

Bytes encodeTableDefinition(const TableDefinition& d) {
    Bytes b(kTdefHeaderSize, 0);
    encodeHeader(d, b);
    for (auto& x : d.realIndexes) {
        append32(b, x.rowCountField);
        append32(b, x.distinctKeys);
        append32(b, 0);
    }
    for (auto& c : d.columns) encodeColumn(c, b);
    encodeNames(d.columns, b);
    for (auto& x : d.realIndexes) encodeRealIndex(x, b);
    for (auto& x : d.logicalIndexes) encodeLogicalIndex(x, b);
    encodeNames(d.logicalIndexes, b);
    for (auto& m : d.lvMaps) {
        append16(b, m.column);
        append32(b, m.ownedMap);
        append32(b, m.freeMap);
    }
    append16(b, kLvMapsEnd);
    put32(&b[kLength], static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<Bytes> layoutTableDefinition(const Bytes& logical, const std::vector<uint32_t>& pages) {
    if (pages.size() != tdefPagesNeeded(logical.size()))
        throw JetError(errUnsupported, "テーブル定義のページ数が合いません。");
    std::vector<Bytes> out;
    size_t pos = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        Bytes p(kPageSize, 0);
        size_t start = i == 0 ? 0 : tdef::kContinuationHeader;
        size_t take = std::min(logical.size() - pos, kPageSize - start);
        std::copy(logical.begin() + pos, logical.begin() + pos + take, p.begin() + start);
        pos += take;
        p[0] = kPageKindTdef;
        p[1] = kPageMark;
        put32(&p[tdef::kNextPage], i + 1 < pages.size() ? pages[i + 1] : 0);
        // Free space: a full page says 0; the last page keeps spare bytes like Jet does.
        size_t used = start + take;
        uint32_t freeSpace = 0;
        if (i + 1 == pages.size() && used + tdef::kSpareOnLastPage < kPageSize)
            freeSpace = static_cast<uint32_t>(kPageSize - used - tdef::kSpareOnLastPage);
        put16(&p[tdef::kFreeSpace], freeSpace);
        out.push_back(std::move(p));
    }
    return out;
}

void patchTableDefinition(Pager& pager, const TableDefinition& d, size_t off, const Bytes& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        size_t o = off + i;
        size_t pageIndex, inPage;
        if (o < kPageSize) {
            pageIndex = 0;
            inPage = o;
        } else {
            pageIndex = 1 + (o - kPageSize) / kContinuationPayload;
            inPage = tdef::kContinuationHeader + (o - kPageSize) % kContinuationPayload;
        }
        if (pageIndex >= d.pages.size()) corrupt("テーブル定義の範囲外への書き込み");
        pager.modify(d.pages[pageIndex])[inPage] = bytes[i];
    }
}

void patchTableDefinition32(Pager& pager, const TableDefinition& d, size_t off, uint32_t v) {
    Bytes b(4);
    put32(b.data(), v);
    patchTableDefinition(pager, d, off, b);
}

}  // namespace jet
