#include "write_set.h"

#include <algorithm>
#include <optional>

#include "data_page.h"
#include "index_page.h"

namespace jet {

namespace {
// How many of a table's pages with free space a new row may try before a new page is taken.
constexpr int kPagesTried = 8;
}  // namespace

WriteSet::MapEdit& WriteSet::map(uint32_t rowPointer, const std::string& what) {
    auto it = maps_.find(rowPointer);
    if (it != maps_.end()) return it->second;
    RowPointer p = RowPointer::fromLe(rowPointer);
    Bytes row = rowBytes(pager_.read(p.page), p.page, p.row);
    MapEdit e{p, row.size(), UsageMap::parse(row, pager_, what)};
    return maps_.emplace(rowPointer, std::move(e)).first->second;
}

void WriteSet::flushMaps() {
    for (auto& kv : maps_) {
        MapEdit& e = kv.second;
        const uint16_t room = parseDataPage(pager_.read(e.where.page), e.where.page).freeSpace;
        Bytes row = e.map.encode(e.length, room, true, pager_, [this] { return allocate(); });
        replaceRow(pager_.modify(e.where.page), e.where.page, e.where.row, row);
        e.length = row.size();
    }
}

std::optional<RowPointer> WriteSet::placeInListedPage(uint32_t owner, const UsageMap& owned,
                                                      const UsageMap& candidates, const Bytes& row) {
    // The newest pages first, and only a few of them: older pages are mostly full, and looking
    // through all of them would make every row cost more than the one before.
    int tries = 0;
    std::optional<RowPointer> placed;
    candidates.visitDescending([&](uint32_t pg) {
        // Only pages the table really owns: a row elsewhere would be invisible to a scan.
        if (pg >= pager_.pageCount() || !owned.has(pg)) return true;
        const Bytes& page = pager_.read(pg);
        if (!isDataPage(page) || le32(&page[kDataPageOwner]) != owner) return true;
        ++tries;
        if (le16(&page[kDataPageFreeSpace]) >= rowCost(row.size())) {
            DataPageView v = parseDataPage(page, pg);
            if (v.freeSpace >= rowCost(row.size()) && v.slots.size() < static_cast<size_t>(kMaxRowsPerPage)) {
                Bytes& w = pager_.modify(pg);
                int slot = insertRow(w, pg, row);
                if (slot >= 0) {
                    placed = RowPointer{pg, static_cast<uint8_t>(slot)};
                    return false;
                }
            }
        }
        return tries < kPagesTried;
    });
    return placed;
}

RowPointer WriteSet::insert(uint32_t owner, uint32_t ownedMap, uint32_t freeMap, const Bytes& row,
                            const std::string& what) {
    MapEdit& om = map(ownedMap, what);
    const UsageMap& candidates = freeMap != 0 ? map(freeMap, what).map : om.map;
    if (std::optional<RowPointer> placed = placeInListedPage(owner, om.map, candidates, row)) return *placed;
    uint32_t pg = allocate();
    Bytes& w = pager_.modify(pg);
    w = makeDataPage(owner);
    int slot = insertRow(w, pg, row);
    if (slot < 0) throw JetError(errTableTooLarge, "行がページに収まりません。");
    map(ownedMap, what).map.set(pg);
    if (freeMap != 0) map(freeMap, what).map.set(pg);
    return RowPointer{pg, static_cast<uint8_t>(slot)};
}

uint32_t WriteSet::insertIndexEntries(const TableDefinition& def, uint32_t tdefPage, size_t realIndex,
                                      const std::vector<IndexEntry>& add, const std::string& what) {
    const RealIndexDef& ri = def.realIndexes[realIndex];
    uint32_t root = ri.rootPage;
    MapEdit& im = map(ri.usageMap, what + " の索引");
    for (auto& e : add) {
        IndexInsert r = insertIndexEntry(pager_, root, tdefPage, e, (ri.flags & kIdxUnique) != 0,
                                         [this] { return allocate(); }, what);
        for (uint32_t pg : r.added) im.map.set(pg);
        root = r.root;
    }
    if (root != ri.rootPage) patchTableDefinition32(pager_, def, ri.blockOffset + tdef::kRealRootPage, root);
    return root;
}

void updateGlobalMap(Pager& pager, uint32_t firstNew, uint32_t firstAppended) {
    const uint32_t mapPage = kGlobalMapPage;
    const Bytes& page = pager.read(mapPage);
    DataPageView v = parseDataPage(page, mapPage);
    if (v.slots.empty()) corrupt("ページ割り当てマップがありません");
    const Bytes row0 = rowBytes(page, mapPage, kGlobalFreeRow);
    UsageMap m = UsageMap::parse(row0, pager, "ページ割り当てマップ");
    if (m.isInline() && m.start() >= firstNew)
        throw JetError(errUnsupported, "このデータベースのページ割り当てマップの形式には対応していません（先頭ページ " +
                                           std::to_string(m.start()) + "）。");
    Bytes newRow;
    // Bitmap pages a reference map takes are appended too: repeat until none is added.
    for (uint32_t done = std::max(firstNew, firstAppended);;) {
        const uint32_t end = pager.pageCount();
        for (uint32_t p = done; p < end; ++p) m.clear(p);
        m.requireCover(end - 1);
        const uint32_t oldEnd = m.isInline() ? m.windowEnd() : end;
        const uint16_t room = parseDataPage(pager.read(mapPage), mapPage).freeSpace;
        newRow = m.encode(row0.size(), room, false, pager, [&pager] { return pager.allocate(); });
        if (m.isInline())
            for (uint32_t p = std::max(oldEnd, end); p < m.windowEnd(); ++p) m.set(p);
        done = end;
        if (pager.pageCount() == end) {
            if (m.isInline()) newRow = m.encode(newRow.size(), 0, false, pager, [&pager] { return pager.allocate(); });
            break;
        }
    }
    replaceRow(pager.modify(mapPage), mapPage, kGlobalFreeRow, newRow);
}

}  // namespace jet
