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

// A map row: its form byte, then (inline) the first page and the bitmap, or (reference) the
// bitmap pages; a bitmap page starts with its kind, kPageMark and two spare bytes.
constexpr size_t kMapForm = 0;           // u8: kMapInline or kMapReference
constexpr uint8_t kMapInline = 0x00, kMapReference = 0x01;
constexpr size_t kMapStart = 1;          // inline: u32, the page of the bitmap's first bit
constexpr size_t kMapBitmap = 5;         // inline: the bitmap, a bit per page
constexpr size_t kMapRefPages = 1;       // reference: u32 page numbers of the bitmap pages
constexpr size_t kMapRowSize = 69;       // the usual row: 64 bitmap bytes, or 17 bitmap pages
constexpr uint32_t kMapWindowPages = (kMapRowSize - kMapBitmap) * 8;  // 512: pages of a usual inline row
constexpr size_t kMapBitmapPageHeader = 4;
constexpr uint32_t kRefMapPagesPerBitmap = (kPageSize - kMapBitmapPageHeader) * 8;  // 32736
constexpr int kRefMapSlots = 17;
constexpr size_t kMapRefRowSize = kMapRefPages + sizeof(uint32_t) * kRefMapSlots;  // 69, a reference row
constexpr size_t kMapGrowStep = 4;       // an inline bitmap grows in place by this many bytes at a time

// A new inline map row of the usual size: empty, or naming one page (its window then starts at
// the multiple of kMapWindowPages below that page).
Bytes newMapRow();
Bytes newMapRow(uint32_t page);
// A new inline map row of the usual size whose window starts at page 0, naming `pages` (each
// below kMapWindowPages).
Bytes newMapRow(const std::set<uint32_t>& pages);
// The global page map of a new database of `filePages` pages (page 1): row 0 the free pages
// (every page of the first window past the end of the file), row 1 the released pages (none).
Bytes newGlobalMapPage(uint32_t filePages);

class UsageMap {
public:
    // Parses a map row. Reference maps read their bitmap pages through the pager.
    static UsageMap parse(const Bytes& row, Pager& pager, const std::string& what);
    // A new inline map of 64 bitmap bytes starting at `start` (a multiple of 8).
    static UsageMap inlineMap(uint32_t start, uint32_t bitmapBytes = 64);

    bool isInline() const { return inline_; }
    uint32_t start() const { return start_; }
    // Pages whose bit is set (a list made when asked for; the map itself is a bitmap).
    const std::set<uint32_t>& pages() const;
    bool has(uint32_t page) const {
        if (page >= kDense) return far_.count(page) != 0;
        return page / 64 < bits_.size() && ((bits_[page / 64] >> (page % 64)) & 1u);
    }
    bool empty() const;
    // Lowest and highest page whose bit is set (the map must not be empty).
    uint32_t first() const;
    uint32_t last() const;
    // Calls visit(page) for the pages whose bit is set, highest first, until it returns false.
    template <class Visit>
    void visitDescending(Visit visit) const {
        for (auto it = far_.rbegin(); it != far_.rend(); ++it)
            if (!visit(*it)) return;
        for (size_t w = bits_.size(); w-- > 0;)
            for (uint64_t b = bits_[w]; b;) {
                const int k = 63 - __builtin_clzll(b);
                b &= ~(uint64_t{1} << k);
                if (!visit(static_cast<uint32_t>(w * 64 + static_cast<size_t>(k)))) return;
            }
    }
    // Highest page the map can describe without changing form.
    bool covers(uint32_t page) const;
    // The type-05 bitmap pages of a reference map (none for an inline map).
    std::vector<uint32_t> bitmapPages() const;

    void set(uint32_t page);
    void clear(uint32_t page);

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
    std::vector<uint64_t> bits_;  // bit p: page p, for pages below kDense
    std::set<uint32_t> far_;      // pages from kDense on (only a damaged map names them)
    static constexpr uint32_t kDense = 0x01000000;  // no page of a file lies further
    mutable std::set<uint32_t> list_;
    mutable bool listed_ = false;
    uint32_t coverTo_ = 0;
    // Calls visit(page) for the pages in [from, to) whose bit is set, lowest first.
    template <class Visit>
    void visitRange(uint32_t from, uint32_t to, Visit visit) const {
        const size_t endWord = std::min<size_t>(bits_.size(), (static_cast<size_t>(to) + 63) / 64);
        for (size_t w = from / 64; w < endWord; ++w)
            for (uint64_t b = bits_[w]; b; b &= b - 1) {
                const uint32_t p = static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(b)));
                if (p >= from && p < to) visit(p);
            }
        for (auto it = far_.lower_bound(from); it != far_.end() && *it < to; ++it) visit(*it);
    }
    // ORs the map's bits for pages [from, from + 8 x bytes) into a stored bitmap.
    void writeBitmap(uint32_t from, size_t bytes, uint8_t* out) const;
    // Whether any page in [from, to) is set.
    bool anyIn(uint32_t from, uint32_t to) const;
    // Sets the bits of a stored bitmap whose first bit stands for page `base`.
    void setFromBitmap(const uint8_t* bitmap, size_t bytes, uint32_t base);
    uint32_t refPages_[kRefMapSlots] = {};
};

}  // namespace jet
