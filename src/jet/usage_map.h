// Usage maps: which pages belong to something (a table, an index, a long-value column), or, for
// the global map, which pages are free. Inline form: 00, start page, bitmap. Reference form: 01,
// then 17 page numbers of type-05 bitmap pages, each covering 32736 pages.
#pragma once

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

    // Encodes the map for writing back into a row of `rowLength` bytes (the same length it had).
    // An inline map whose pages no longer fit is moved to a window that holds them all, or else
    // turned into a reference map, taking bitmap pages from `allocate`. Bitmap pages of a
    // reference map are written through the pager.
    Bytes encode(size_t rowLength, Pager& pager, const std::function<uint32_t()>& allocate);

private:
    bool inline_ = true;
    uint32_t start_ = 0;
    uint32_t bitmapBytes_ = 64;
    std::set<uint32_t> pages_;
    uint32_t refPages_[kRefMapSlots] = {};
};

}  // namespace jet
