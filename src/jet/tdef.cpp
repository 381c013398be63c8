#include "tdef.h"

#include <set>

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
constexpr size_t kContinuationPayload = kPageSize - 8;
constexpr size_t kMaxTdefPages = 64;
}  // namespace

size_t tdefPagesNeeded(size_t len) {
    if (len <= kPageSize) return 1;
    size_t rest = len - kPageSize;
    return 1 + (rest + kContinuationPayload - 1) / kContinuationPayload;
}

TableDefinition readTableDefinition(Pager& pager, uint32_t page) {
    const std::string where = "テーブル定義ページ " + std::to_string(page);
    TableDefinition d;
    std::set<uint32_t> seen;
    uint32_t p = page;
    while (p != 0) {
        if (!seen.insert(p).second || seen.size() > kMaxTdefPages) corrupt(where + " の継続ページが循環しています");
        const Bytes& b = pager.read(p);
        if (b[0] != 0x02 || b[1] != 0x01) corrupt("ページ " + std::to_string(p) + " はテーブル定義ではありません");
        d.pages.push_back(p);
        if (p == page) d.logical.insert(d.logical.end(), b.begin(), b.end());
        else d.logical.insert(d.logical.end(), b.begin() + 8, b.end());
        p = le32(&b[4]);
    }
    Reader r(d.logical.data(), d.logical.size(), where);
    uint32_t len = r.u32(0x08);
    if (len < kTdefHeaderSize + 2 || len > d.logical.size()) corrupt(where + " の長さが不正");
    d.logical.resize(len);
    Reader t(d.logical.data(), d.logical.size(), where);
    d.rowCount = t.u32(0x10);
    d.autoNumber = t.u32(0x14);
    d.autoIncrement = t.u32(0x18);
    d.tableType = t.u8(0x28);
    d.maxColumns = t.u16(0x29);
    d.varColumns = t.u16(0x2B);
    uint16_t ncols = t.u16(0x2D);
    uint32_t nlogical = t.u32(0x2F);
    uint32_t nreal = t.u32(0x33);
    if (nreal > 64 || nlogical > 64 || ncols == 0) corrupt(where + " の列数または索引数が不正");
    d.ownedMap = t.u32(0x37);
    d.freeMap = t.u32(0x3B);
    size_t off = kTdefHeaderSize;
    d.realIndexes.resize(nreal);
    for (uint32_t i = 0; i < nreal; ++i) {
        d.realIndexes[i].countsOffset = off;
        d.realIndexes[i].rowCountField = t.u32(off);
        d.realIndexes[i].distinctKeys = t.u32(off + 4);
        off += 12;
    }
    std::set<uint16_t> numbers;
    for (uint16_t i = 0; i < ncols; ++i) {
        ColumnDef c;
        t.need(off, kColumnSize);
        c.type = t.u8(off);
        c.number = t.u16(off + 5);
        c.varIndex = t.u16(off + 7);
        c.ordinal = t.u16(off + 9);
        c.lcid = t.u16(off + 0x0B);
        c.sortId = t.u8(off + 0x0D);
        c.sortVersion = t.u8(off + 0x0E);
        c.flags = t.u8(off + 0x0F);
        c.extFlags = t.u8(off + 0x10);
        c.fixedOffset = t.u16(off + 0x15);
        c.length = t.u16(off + 0x17);
        if (c.number >= d.maxColumns || !numbers.insert(c.number).second)
            corrupt(where + " の列番号が不正");
        d.columns.push_back(c);
        off += kColumnSize;
    }
    for (auto& c : d.columns) {
        uint16_t n = t.u16(off);
        if (n % 2) corrupt(where + " の列名の長さが不正");
        c.name = utf16FromLe(t.at(off + 2, n), n);
        off += 2 + n;
    }
    for (uint32_t i = 0; i < nreal; ++i) {
        RealIndexDef& x = d.realIndexes[i];
        t.need(off, kRealIndexSize);
        x.blockOffset = off;
        for (int k = 0; k < 10; ++k) {
            uint16_t col = t.u16(off + 4 + 3 * k);
            uint8_t order = t.u8(off + 6 + 3 * k);
            if (col == 0xFFFF) continue;
            if (!numbers.count(col)) corrupt(where + " の索引が存在しない列を指しています");
            x.columns.emplace_back(col, order);
        }
        x.usageMap = t.u32(off + 0x22);
        x.rootPage = t.u32(off + 0x26);
        x.unknown = t.u32(off + 0x2A);
        x.flags = t.u8(off + 0x2E);
        off += kRealIndexSize;
    }
    d.logicalIndexes.resize(nlogical);
    for (uint32_t i = 0; i < nlogical; ++i) {
        LogicalIndexDef& x = d.logicalIndexes[i];
        t.need(off, kLogicalIndexSize);
        x.number = t.u32(off + 4);
        x.realIndex = t.u32(off + 8);
        x.relTableType = t.u8(off + 0x0C);
        x.relIndex = static_cast<int32_t>(t.u32(off + 0x0D));
        x.relTablePage = t.u32(off + 0x11);
        x.cascadeUpdates = t.u8(off + 0x15);
        x.cascadeDeletes = t.u8(off + 0x16);
        x.indexType = t.u8(off + 0x17);
        if (x.realIndex >= nreal) corrupt(where + " の論理索引が存在しない索引を指しています");
        off += kLogicalIndexSize;
    }
    for (auto& x : d.logicalIndexes) {
        uint16_t n = t.u16(off);
        if (n % 2) corrupt(where + " の索引名の長さが不正");
        x.name = utf16FromLe(t.at(off + 2, n), n);
        off += 2 + n;
    }
    // Long-value column maps up to the FF FF terminator.
    while (true) {
        uint16_t w = t.u16(off);
        if (w == 0xFFFF) break;
        t.need(off, kLvMapSize);
        LongValueMap m;
        m.column = w;
        m.ownedMap = t.u32(off + 2);
        m.freeMap = t.u32(off + 6);
        d.lvMaps.push_back(m);
        off += kLvMapSize;
    }
    return d;
}

Bytes encodeTableDefinition(const TableDefinition& d) {
    Bytes b(kTdefHeaderSize, 0);
    b[0] = 0x02;
    b[1] = 0x01;
    put32(&b[0x0C], kTdefMagic);
    put32(&b[0x10], d.rowCount);
    put32(&b[0x14], d.autoNumber);
    put32(&b[0x18], d.autoIncrement);
    b[0x28] = d.tableType;
    put16(&b[0x29], d.maxColumns);
    put16(&b[0x2B], d.varColumns);
    put16(&b[0x2D], static_cast<uint32_t>(d.columns.size()));
    put32(&b[0x2F], static_cast<uint32_t>(d.logicalIndexes.size()));
    put32(&b[0x33], static_cast<uint32_t>(d.realIndexes.size()));
    put32(&b[0x37], d.ownedMap);
    put32(&b[0x3B], d.freeMap);
    for (auto& x : d.realIndexes) {
        append32(b, x.rowCountField);
        append32(b, x.distinctKeys);
        append32(b, 0);
    }
    for (auto& c : d.columns) {
        size_t o = b.size();
        b.resize(o + kColumnSize, 0);
        b[o] = c.type;
        put32(&b[o + 1], kTdefMagic);
        put16(&b[o + 5], c.number);
        put16(&b[o + 7], c.varIndex);
        put16(&b[o + 9], c.ordinal);
        put16(&b[o + 0x0B], c.lcid);
        b[o + 0x0D] = c.sortId;
        b[o + 0x0E] = c.sortVersion;
        b[o + 0x0F] = c.flags;
        b[o + 0x10] = c.extFlags;
        put16(&b[o + 0x15], c.fixedOffset);
        put16(&b[o + 0x17], c.length);
    }
    for (auto& c : d.columns) {
        Bytes n = utf16ToLe(c.name);
        append16(b, static_cast<uint32_t>(n.size()));
        b.insert(b.end(), n.begin(), n.end());
    }
    for (auto& x : d.realIndexes) {
        size_t o = b.size();
        b.resize(o + kRealIndexSize, 0);
        put32(&b[o], kRealIndexMagic);
        for (int k = 0; k < 10; ++k) {
            if (k < static_cast<int>(x.columns.size())) {
                put16(&b[o + 4 + 3 * k], x.columns[k].first);
                b[o + 6 + 3 * k] = x.columns[k].second;
            } else {
                put16(&b[o + 4 + 3 * k], 0xFFFF);
                b[o + 6 + 3 * k] = 0;
            }
        }
        put32(&b[o + 0x22], x.usageMap);
        put32(&b[o + 0x26], x.rootPage);
        put32(&b[o + 0x2A], x.unknown);
        b[o + 0x2E] = x.flags;
    }
    for (auto& x : d.logicalIndexes) {
        size_t o = b.size();
        b.resize(o + kLogicalIndexSize, 0);
        put32(&b[o], kTdefMagic);
        put32(&b[o + 4], x.number);
        put32(&b[o + 8], x.realIndex);
        b[o + 0x0C] = x.relTableType;
        put32(&b[o + 0x0D], static_cast<uint32_t>(x.relIndex));
        put32(&b[o + 0x11], x.relTablePage);
        b[o + 0x15] = x.cascadeUpdates;
        b[o + 0x16] = x.cascadeDeletes;
        b[o + 0x17] = x.indexType;
    }
    for (auto& x : d.logicalIndexes) {
        Bytes n = utf16ToLe(x.name);
        append16(b, static_cast<uint32_t>(n.size()));
        b.insert(b.end(), n.begin(), n.end());
    }
    for (auto& m : d.lvMaps) {
        append16(b, m.column);
        append32(b, m.ownedMap);
        append32(b, m.freeMap);
    }
    b.push_back(0xFF);
    b.push_back(0xFF);
    put32(&b[0x08], static_cast<uint32_t>(b.size()));
    return b;
}

std::vector<Bytes> layoutTableDefinition(const Bytes& logical, const std::vector<uint32_t>& pages) {
    if (pages.size() != tdefPagesNeeded(logical.size()))
        throw JetError(errUnsupported, "テーブル定義のページ数が合いません。");
    std::vector<Bytes> out;
    size_t pos = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        Bytes p(kPageSize, 0);
        size_t start = i == 0 ? 0 : 8;
        size_t take = std::min(logical.size() - pos, kPageSize - start);
        std::copy(logical.begin() + pos, logical.begin() + pos + take, p.begin() + start);
        pos += take;
        p[0] = 0x02;
        p[1] = 0x01;
        put32(&p[4], i + 1 < pages.size() ? pages[i + 1] : 0);
        // Free space: a full page says 0; the last page keeps 8 spare bytes like Jet does.
        size_t used = start + take;
        uint32_t freeSpace = 0;
        if (i + 1 == pages.size() && used + 8 < kPageSize) freeSpace = static_cast<uint32_t>(kPageSize - used - 8);
        put16(&p[2], freeSpace);
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
            inPage = 8 + (o - kPageSize) % kContinuationPayload;
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
