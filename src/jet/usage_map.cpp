#include "usage_map.h"

#include <string>

namespace jet {

UsageMap UsageMap::parse(const Bytes& row, Pager& pager, const std::string& what) {
    UsageMap m;
    if (row.empty()) corrupt(what + " の使用ページマップが空");
    if (row[0] == 0x00) {
        if (row.size() < 5) corrupt(what + " の使用ページマップが短すぎます");
        m.inline_ = true;
        m.start_ = le32(&row[1]);
        m.bitmapBytes_ = static_cast<uint32_t>(row.size() - 5);
        for (uint32_t i = 0; i < m.bitmapBytes_; ++i) {
            uint8_t b = row[5 + i];
            for (int k = 0; k < 8; ++k)
                if (b & (1u << k)) m.pages_.insert(m.start_ + i * 8 + k);
        }
    } else if (row[0] == 0x01) {
        if (row.size() < 1 + 4 * kRefMapSlots) corrupt(what + " の参照型使用ページマップが短すぎます");
        m.inline_ = false;
        for (int s = 0; s < kRefMapSlots; ++s) {
            uint32_t p = le32(&row[1 + 4 * s]);
            m.refPages_[s] = p;
            if (p == 0) continue;
            const Bytes& bp = pager.read(p);
            if (bp[0] != 0x05) corrupt(what + " のビットマップページ " + std::to_string(p) + " の種類が不正");
            for (uint32_t i = 0; i < kPageSize - 4; ++i) {
                uint8_t b = bp[4 + i];
                if (!b) continue;
                for (int k = 0; k < 8; ++k)
                    if (b & (1u << k)) m.pages_.insert(s * kRefMapPagesPerBitmap + i * 8 + k);
            }
        }
    } else {
        corrupt(what + " の使用ページマップの形式が不明");
    }
    return m;
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
        const uint32_t bits = static_cast<uint32_t>(rowLength > 5 ? (rowLength - 5) * 8 : 0);
        uint32_t lo = start_, hi = coverTo_;
        if (!pages_.empty()) {
            lo = std::min(lo, *pages_.begin());
            hi = std::max(hi, *pages_.rbegin());
        }
        bool fits = lo >= start_ && (hi < start_ + bits || (pages_.empty() && coverTo_ == 0));
        size_t length = rowLength;
        if (!fits && lo >= start_) {
            // Lengthen in place, first page kept, in 4-byte steps.
            uint64_t bytes = (static_cast<uint64_t>(hi) + 1 - start_ + 7) / 8;
            bytes = (bytes + 3) / 4 * 4;
            if (5 + bytes <= rowLength + room && 5 + bytes <= kPageSize - 16) {
                length = static_cast<size_t>(5 + bytes);
                fits = true;
            }
        }
        if (!fits && mayMove && coverTo_ == 0 && !pages_.empty()) {
            // Move the window if every page fits one of the same length.
            uint32_t first = (*pages_.begin() / 8) * 8;
            if (*pages_.rbegin() < first + bits) {
                start_ = first;
                fits = true;
            }
        }
        if (fits) {
            bitmapBytes_ = static_cast<uint32_t>(length - 5);
            Bytes row(length, 0);
            row[0] = 0x00;
            put32(&row[1], start_);
            for (uint32_t p : pages_) {
                uint32_t i = p - start_;
                row[5 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
            }
            return row;
        }
        inline_ = false;
        for (auto& r : refPages_) r = 0;
        rowLength = 1 + 4 * kRefMapSlots;
    }
    if (rowLength < 1 + 4 * kRefMapSlots) throw JetError(errUnsupported, "参照型使用ページマップの長さが不正です。");
    for (uint32_t p : pages_)
        if (p >= kRefMapPagesPerBitmap * kRefMapSlots)
            throw JetError(errTableTooLarge, "データベースファイルが大きすぎます（使用ページマップの上限）。");
    Bytes row(rowLength, 0);
    row[0] = 0x01;
    for (int s = 0; s < kRefMapSlots; ++s) {
        uint32_t lo = s * kRefMapPagesPerBitmap, hi = lo + kRefMapPagesPerBitmap;
        auto it = pages_.lower_bound(lo);
        bool any = it != pages_.end() && *it < hi;
        if (!any && refPages_[s] == 0) continue;
        if (refPages_[s] == 0) {
            refPages_[s] = allocate();
        }
        Bytes& bp = pager.modify(refPages_[s]);
        std::fill(bp.begin(), bp.end(), 0);
        bp[0] = 0x05;
        bp[1] = 0x01;
        for (; it != pages_.end() && *it < hi; ++it) {
            uint32_t i = *it - lo;
            bp[4 + i / 8] |= static_cast<uint8_t>(1u << (i % 8));
        }
        put32(&row[1 + 4 * s], refPages_[s]);
    }
    return row;
}

}  // namespace jet
