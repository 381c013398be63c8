#include "data_page.h"

#include <algorithm>
#include <string>

#include "header.h"

namespace jet {

namespace {
// Where slot `i` lies, and where a slot table of `n` slots ends.
constexpr size_t slotAt(size_t i) { return kDataPageHeaderSize + kRowSlotSize * i; }
constexpr size_t slotTableEnd(size_t n) { return slotAt(n); }
}  // namespace

bool isDataPage(const Bytes& page) { return page.size() == kPageSize && page[0] == kPageKindData && page[1] == kPageMark; }

DataPageView parseDataPage(const Bytes& page, uint32_t pageNo) {
    const std::string where = "データページ " + std::to_string(pageNo);
    if (!isDataPage(page)) corrupt(where + " の種類が不正");
    DataPageView v;
    v.freeSpace = le16(&page[kDataPageFreeSpace]);
    v.owner = le32(&page[kDataPageOwner]);
    uint16_t n = le16(&page[kDataPageRowCount]);
    if (slotTableEnd(n) > kPageSize) corrupt(where + " の行数が不正");
    v.slots.resize(n);
    uint16_t prevStart = kPageSize;
    for (uint16_t i = 0; i < n; ++i) {
        uint16_t word = le16(&page[slotAt(i)]);
        RowSlot s;
        s.flags = word & kRowSlotFlags;
        s.start = word & kRowSlotOffset;
        s.end = prevStart;
        // Zero-length deleted slots may point anywhere at or below the previous row start.
        if (s.start > s.end || s.start < slotTableEnd(n)) {
            if (s.flags & kRowDeleted) {
                s.start = s.end;
            } else {
                corrupt(where + " の行 " + std::to_string(i) + " の位置が不正");
            }
        }
        v.slots[i] = s;
        prevStart = s.start;
    }
    return v;
}

Bytes rowBytes(const Bytes& page, uint32_t pageNo, int row) {
    DataPageView v = parseDataPage(page, pageNo);
    if (row < 0 || row >= static_cast<int>(v.slots.size()))
        corrupt("ページ " + std::to_string(pageNo) + " に行 " + std::to_string(row) + " がありません");
    const RowSlot& s = v.slots[row];
    return Bytes(page.begin() + s.start, page.begin() + s.end);
}

Bytes makeDataPage(uint32_t owner) {
    Bytes p(kPageSize, 0);
    p[0] = kPageKindData;
    p[1] = kPageMark;
    put16(&p[kDataPageFreeSpace], kPageSize - kDataPageHeaderSize);
    put32(&p[kDataPageOwner], owner);
    return p;
}

namespace {
uint16_t lowestStart(const DataPageView& v) {
    uint16_t low = kPageSize;
    for (auto& s : v.slots) low = std::min(low, s.start);
    return low;
}
}  // namespace

int insertRow(Bytes& page, uint32_t pageNo, const Bytes& row) {
    DataPageView v = parseDataPage(page, pageNo);
    if (v.slots.size() >= static_cast<size_t>(kMaxRowsPerPage)) return -1;
    int n = static_cast<int>(v.slots.size());
    int low = lowestStart(v);
    int headerEnd = static_cast<int>(slotTableEnd(n + 1));
    int start = low - static_cast<int>(row.size());
    if (start < headerEnd) return -1;
    std::copy(row.begin(), row.end(), page.begin() + start);
    put16(&page[slotAt(n)], static_cast<uint32_t>(start));
    put16(&page[kDataPageRowCount], static_cast<uint32_t>(n + 1));
    put16(&page[kDataPageFreeSpace], static_cast<uint32_t>(start - headerEnd));
    return n;
}

void overwriteRow(Bytes& page, uint32_t pageNo, int row, const Bytes& bytes) {
    DataPageView v = parseDataPage(page, pageNo);
    if (row < 0 || row >= static_cast<int>(v.slots.size())) corrupt("存在しない行の書き換え");
    const RowSlot& s = v.slots[row];
    if (static_cast<size_t>(s.end - s.start) != bytes.size()) throw JetError(errUnsupported, "行の長さが変わる書き換えはできません。");
    std::copy(bytes.begin(), bytes.end(), page.begin() + s.start);
}

void relayRows(Bytes& page, uint32_t pageNo, const std::vector<std::pair<Bytes, uint16_t>>& rows) {
    (void)pageNo;
    size_t total = slotTableEnd(rows.size());
    for (auto& r : rows) total += r.first.size();
    if (total > kPageSize) throw JetError(errTableTooLarge, "ページに行が収まりません。");
    std::fill(page.begin() + kDataPageHeaderSize, page.end(), 0);
    uint32_t pos = kPageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
        pos -= static_cast<uint32_t>(rows[i].first.size());
        std::copy(rows[i].first.begin(), rows[i].first.end(), page.begin() + pos);
        put16(&page[slotAt(i)], pos | rows[i].second);
    }
    put16(&page[kDataPageRowCount], static_cast<uint32_t>(rows.size()));
    put16(&page[kDataPageFreeSpace], static_cast<uint32_t>(pos - slotTableEnd(rows.size())));
}

void replaceRow(Bytes& page, uint32_t pageNo, int row, const Bytes& bytes) {
    DataPageView v = parseDataPage(page, pageNo);
    if (row < 0 || static_cast<size_t>(row) >= v.slots.size()) corrupt("ページ " + std::to_string(pageNo) + " に行 " + std::to_string(row) + " がありません");
    if (static_cast<size_t>(v.slots[row].end - v.slots[row].start) == bytes.size()) {
        overwriteRow(page, pageNo, row, bytes);
        return;
    }
    std::vector<std::pair<Bytes, uint16_t>> rows;
    for (size_t i = 0; i < v.slots.size(); ++i)
        rows.emplace_back(static_cast<int>(i) == row ? bytes : rowBytes(page, pageNo, static_cast<int>(i)), v.slots[i].flags);
    relayRows(page, pageNo, rows);
}

}  // namespace jet
