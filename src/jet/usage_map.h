// Usage maps: which pages belong to something (a table, an index, a long-value column), or, for
// the global map, which pages are free. Inline form: 00, first page, bitmap of any length (the
// window). Reference form: 01, then page numbers of type-05 bitmap pages (17 in the usual 69-byte
// row), bitmap page k covering pages k x 32736 ... (k + 1) x 32736 - 1.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "bytes.h"
#include "pager.h"

namespace jet {

constexpr uint32_t kRefMapPagesPerBitmap = (kPageSize - 4) * 8;  // 32736
constexpr int kRefMapSlots = 17;

class UsageMap {
public:
    // Parses a map row. Reference maps read their bitmap pages through the pager.
    static UsageMap parse(const Bytes& row, Pager& pager, const std::string& what);
    // A new inline map of 64 bitmap bytes starting at `start` (a multiple of 8).
    static UsageMap inlineMap(uint32_t start, uint32_t bitmapBytes = 64);

    bool isInline() const { return inline_; }
    uint32_t start() const { return start_; }
    // Pages whose bit is set.
    const std::set<uint32_t>& pages() const { return pages_; }
    bool has(uint32_t page) const { return pages_.count(page) != 0; }
    // Highest page the map can describe without changing form.
    bool covers(uint32_t page) const;
    // The type-05 bitmap pages of a reference map (none for an inline map).
    std::vector<uint32_t> bitmapPages() const;

    void set(uint32_t page) { pages_.insert(page); }
    void clear(uint32_t page) { pages_.erase(page); }

    // The window of an inline map must reach `page` even where no bit is set (the global map
    // describes every page of the file, free or not).
    void requireCover(uint32_t page) { coverTo_ = std::max(coverTo_, page); }
    // First page past an inline map's window.
    uint32_t windowEnd() const { return start_ + bitmapBytes_ * 8; }

    // Encodes the map for writing back into its row, now `rowLength` bytes long. An inline map
    // whose window does not hold every page is grown as Access grows it: the row is lengthened in
    // place in 4-byte steps, keeping its first page, when `room` more bytes fit its holder page;
    // else, if `mayMove`, the window is moved when every page fits the same length; else the map
    // becomes a 69-byte reference map, taking bitmap pages from `allocate`. Bitmap pages of a
    // reference map are written through the pager. The result may differ in length from the row.
    Bytes encode(size_t rowLength, size_t room, bool mayMove, Pager& pager, const std::function<uint32_t()>& allocate);

private:
    bool inline_ = true;
    uint32_t start_ = 0;
    uint32_t bitmapBytes_ = 64;
    std::set<uint32_t> pages_;
    uint32_t coverTo_ = 0;
    uint32_t refPages_[kRefMapSlots] = {};
};

}  // namespace jet
