#include "usage_map.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "data_page.h"

namespace jet {

UsageMap UsageMap::parse(const Bytes& row, Pager& pager, const std::string& what) {
    UsageMap m;
    if (row.empty()) corrupt(what + " の使用ページマップが空");
    if (row[kMapForm] == kMapInline) {
        if (row.size() < kMapBitmap) corrupt(what + " の使用ページマップが短すぎます");
        m.inline_ = true;
        m.start_ = le32(&row[kMapStart]);
        m.bitmapBytes_ = static_cast<uint32_t>(row.size() - kMapBitmap);
        m.setFromBitmap(&row[kMapBitmap], m.bitmapBytes_, m.start_);
    } else if (row[kMapForm] == kMapReference) {
        if (row.size() < kMapRefRowSize) corrupt(what + " の参照型使用ページマップが短すぎます");
        m.inline_ = false;
        for (int s = 0; s < kRefMapSlots; ++s) {
            uint32_t p = le32(&row[kMapRefPages + sizeof(uint32_t) * s]);
            m.refPages_[s] = p;
            if (p == 0) continue;
            const Bytes& bp = pager.read(p);
            if (bp[0] != kPageKindMapBitmap) corrupt(what + " のビットマップページ " + std::to_string(p) + " の種類が不正");
            m.setFromBitmap(&bp[kMapBitmapPageHeader], kPageSize - kMapBitmapPageHeader, s * kRefMapPagesPerBitmap);
        }
    } else {
        corrupt(what + " の使用ページマップの形式が不明");
    }
    return m;
}

void UsageMap::setFromBitmap(const uint8_t* bitmap, size_t bytes, uint32_t base) {
    size_t i = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (base % 8 == 0 && base / 8 + bytes <= kDense / 8) {
        // The stored bytes line up with the bytes of the words: one pass over them.
        size_t last = bytes;
        while (last >= 8) {
            uint64_t w;
            std::memcpy(&w, bitmap + last - 8, 8);
            if (w) break;
            last -= 8;
        }
        while (last > 0 && !bitmap[last - 1]) --last;
        if (!last) return;
        const size_t words = (base / 8 + last + 7) / 8;
        if (bits_.size() < words) bits_.resize(words, 0);
        uint8_t* to = reinterpret_cast<uint8_t*>(bits_.data()) + base / 8;
        for (; i + 8 <= last; i += 8) {
            uint64_t a, b;
            std::memcpy(&a, to + i, 8);
            std::memcpy(&b, bitmap + i, 8);
            a |= b;
            std::memcpy(to + i, &a, 8);
        }
        for (; i < last; ++i) to[i] |= bitmap[i];
        listed_ = false;
        return;
    }
#endif
    for (; i < bytes; ++i) {
        const uint8_t b = bitmap[i];
        for (int k = 0; b && k < 8; ++k)
            if (b & (1u << k)) set(static_cast<uint32_t>(base + i * 8 + static_cast<size_t>(k)));
    }
}

void UsageMap::set(uint32_t page) {
    listed_ = false;
    if (page >= kDense) {
        far_.insert(page);
        return;
    }
    if (page / 64 >= bits_.size()) bits_.resize(page / 64 + 1, 0);
    bits_[page / 64] |= uint64_t{1} << (page % 64);
}

void UsageMap::clear(uint32_t page) {
    listed_ = false;
    if (page >= kDense) {
        far_.erase(page);
        return;
    }
    if (page / 64 < bits_.size()) bits_[page / 64] &= ~(uint64_t{1} << (page % 64));
}

void UsageMap::writeBitmap(uint32_t from, size_t bytes, uint8_t* out) const {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (from % 8 == 0) {
        // The words' bytes are the stored bytes: copy those the map has, then the far pages.
        const size_t have = bits_.size() * 8, at = from / 8;
        if (at < have) {
            const size_t n = std::min(bytes, have - at);
            const uint8_t* src = reinterpret_cast<const uint8_t*>(bits_.data()) + at;
            size_t i = 0;
            for (; i + 8 <= n; i += 8) {
                uint64_t a, b;
                std::memcpy(&a, out + i, 8);
                std::memcpy(&b, src + i, 8);
                a |= b;
                std::memcpy(out + i, &a, 8);
            }
            for (; i < n; ++i) out[i] |= src[i];
        }
        const uint64_t to = static_cast<uint64_t>(from) + bytes * 8;
        for (auto it = far_.lower_bound(from); it != far_.end() && *it < to; ++it)
            out[(*it - from) / 8] |= static_cast<uint8_t>(1u << ((*it - from) % 8));
        return;
    }
#endif
    const uint64_t to = static_cast<uint64_t>(from) + bytes * 8;
    visitRange(from, static_cast<uint32_t>(std::min<uint64_t>(to, 0xFFFFFFFFu)), [&](uint32_t p) {
        out[(p - from) / 8] |= static_cast<uint8_t>(1u << ((p - from) % 8));
    });
}

bool UsageMap::anyIn(uint32_t from, uint32_t to) const {
    bool any = false;
    const size_t firstWord = from / 64, endWord = std::min<size_t>(bits_.size(), (static_cast<size_t>(to) + 63) / 64);
    for (size_t w = firstWord; w < endWord && !any; ++w) {
        uint64_t b = bits_[w];
        if (!b) continue;
        if (w == firstWord) b &= ~uint64_t{0} << (from % 64);
        if (w + 1 == endWord && to % 64) b &= ~(~uint64_t{0} << (to % 64));
        any = b != 0;
    }
    auto it = far_.lower_bound(from);
    return any || (it != far_.end() && *it < to);
}

const std::set<uint32_t>& UsageMap::pages() const {
    if (!listed_) {
        list_.clear();
        visitRange(0, 0xFFFFFFFFu, [this](uint32_t p) { list_.insert(list_.end(), p); });
        if (far_.count(0xFFFFFFFFu)) list_.insert(0xFFFFFFFFu);
        listed_ = true;
    }
    return list_;
}

bool UsageMap::empty() const {
    if (!far_.empty()) return false;
    for (uint64_t w : bits_)
        if (w) return false;
    return true;
}

uint32_t UsageMap::first() const {
    for (size_t w = 0; w < bits_.size(); ++w)
        if (bits_[w]) return static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(bits_[w])));
    return far_.empty() ? 0 : *far_.begin();
}

uint32_t UsageMap::last() const {
    if (!far_.empty()) return *far_.rbegin();
    for (size_t w = bits_.size(); w-- > 0;)
        if (bits_[w]) return static_cast<uint32_t>(w * 64 + static_cast<size_t>(63 - __builtin_clzll(bits_[w])));
    return 0;
}

UsageMap UsageMap::inlineMap(uint32_t start, uint32_t bitmapBytes) {
    UsageMap m;
    m.inline_ = true;
    m.start_ = start;
    m.bitmapBytes_ = bitmapBytes;
    return m;
}

bool UsageMap::covers(uint32_t page) const {
    if (inline_) return page >= start_ && page < start_ + bitmapBytes_ * 8;
    return page < kRefMapPagesPerBitmap * kRefMapSlots;
}

std::vector<uint32_t> UsageMap::bitmapPages() const {
    std::vector<uint32_t> out;
    if (!inline_)
        for (uint32_t p : refPages_)
            if (p) out.push_back(p);
    return out;
}

Bytes UsageMap::encode(size_t rowLength, size_t room, bool mayMove, Pager& pager, const std::function<uint32_t()>& allocate) {
    if (inline_) {
        const uint32_t bits = static_cast<uint32_t>(rowLength > kMapBitmap ? (rowLength - kMapBitmap) * 8 : 0);
        uint32_t lo = start_, hi = coverTo_;
        const bool none = empty();
        if (!none) {
            lo = std::min(lo, first());
            hi = std::max(hi, last());
        }
        bool fits = lo >= start_ && (hi < start_ + bits || (none && coverTo_ == 0));
        size_t length = rowLength;
        if (!fits && lo >= start_) {
            // Lengthen in place, first page kept, in kMapGrowStep steps, up to the longest row a
            // page holds.
            uint64_t bytes = (static_cast<uint64_t>(hi) + 1 - start_ + 7) / 8;
            bytes = (bytes + kMapGrowStep - 1) / kMapGrowStep * kMapGrowStep;
            constexpr size_t kLongestRow = kPageSize - kDataPageHeaderSize - kRowSlotSize;
            if (kMapBitmap + bytes <= rowLength + room && kMapBitmap + bytes <= kLongestRow) {
                length = static_cast<size_t>(kMapBitmap + bytes);
                fits = true;
            }
        }
        if (!fits && mayMove && coverTo_ == 0 && !none) {
            // Move the window if every page fits one of the same length.
            uint32_t from = (first() / 8) * 8;
            if (last() < from + bits) {
                start_ = from;
                fits = true;
            }
        }
        if (fits) {
            bitmapBytes_ = static_cast<uint32_t>(length - kMapBitmap);
            Bytes row(length, 0);
            row[kMapForm] = kMapInline;
            put32(&row[kMapStart], start_);
            writeBitmap(start_, length - kMapBitmap, &row[kMapBitmap]);
            return row;
        }
        inline_ = false;
        for (auto& r : refPages_) r = 0;
        rowLength = kMapRefRowSize;
    }
    if (rowLength < kMapRefRowSize) throw JetError(errUnsupported, "参照型使用ページマップの長さが不正です。");
    if (!empty() && last() >= kRefMapPagesPerBitmap * kRefMapSlots)
        throw JetError(errTableTooLarge, "データベースファイルが大きすぎます（使用ページマップの上限）。");
    Bytes row(rowLength, 0);
    row[kMapForm] = kMapReference;
    for (int s = 0; s < kRefMapSlots; ++s) {
        uint32_t lo = s * kRefMapPagesPerBitmap, hi = lo + kRefMapPagesPerBitmap;
        if (refPages_[s] == 0 && !anyIn(lo, hi)) continue;
        if (refPages_[s] == 0) {
            refPages_[s] = allocate();
        }
        Bytes& bp = pager.modify(refPages_[s]);
        std::fill(bp.begin(), bp.end(), 0);
        bp[0] = kPageKindMapBitmap;
        bp[1] = kPageMark;
        writeBitmap(lo, kPageSize - kMapBitmapPageHeader, &bp[kMapBitmapPageHeader]);
        put32(&row[kMapRefPages + sizeof(uint32_t) * s], refPages_[s]);
    }
    return row;
}

Bytes newMapRow() {
    Bytes row(kMapRowSize, 0);
    row[kMapForm] = kMapInline;
    return row;
}

Bytes newMapRow(uint32_t page) {
    Bytes row = newMapRow();
    const uint32_t start = page / kMapWindowPages * kMapWindowPages;
    put32(&row[kMapStart], start);
    row[kMapBitmap + (page - start) / 8] |= static_cast<uint8_t>(1u << ((page - start) % 8));
    return row;
}

Bytes newMapRow(const std::set<uint32_t>& pages) {
    Bytes row = newMapRow();
    for (uint32_t p : pages) row.at(kMapBitmap + p / 8) |= static_cast<uint8_t>(1u << (p % 8));
    return row;
}

Bytes newGlobalMapPage(uint32_t filePages) {
    std::set<uint32_t> freePages;
    for (uint32_t p = filePages; p < kMapWindowPages; ++p) freePages.insert(p);
    Bytes page = makeDataPage(kGlobalMapOwner);
    if (insertRow(page, kGlobalMapPage, newMapRow(freePages)) < 0 || insertRow(page, kGlobalMapPage, newMapRow()) < 0)
        throw std::logic_error("new database: the global map overflowed");
    return page;
}

}  // namespace jet
