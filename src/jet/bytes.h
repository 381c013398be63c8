// Little- and big-endian accessors on byte buffers, bounds-checked where data comes from a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jet_error.h"
#include "little_endian.h"
#include "utf_codec.h"

namespace jet {

using Bytes = std::vector<uint8_t>;

using base::le16;
using base::le32;
inline uint32_t le24(const uint8_t* p) { return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16); }
inline uint32_t be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) | (p[2] << 8) | p[3];
}
inline uint32_t be24(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2]; }
inline void put16(uint8_t* p, uint32_t v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; }
inline void put32(uint8_t* p, uint32_t v) {
    p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = (v >> 24) & 0xFF;
}
inline void putBe32(uint8_t* p, uint32_t v) {
    p[0] = (v >> 24) & 0xFF; p[1] = (v >> 16) & 0xFF; p[2] = (v >> 8) & 0xFF; p[3] = v & 0xFF;
}
inline void putBe24(uint8_t* p, uint32_t v) { p[0] = (v >> 16) & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = v & 0xFF; }

inline void append16(Bytes& b, uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); }
inline void append32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

// A row pointer: row number in the low byte, page number in the upper 24 bits.
struct RowPointer {
    uint32_t page = 0;
    uint8_t row = 0;
    static RowPointer fromLe(uint32_t v) { return RowPointer{v >> 8, static_cast<uint8_t>(v & 0xFF)}; }
    uint32_t toLe() const { return (page << 8) | row; }
    bool operator==(const RowPointer& o) const { return page == o.page && row == o.row; }
    bool operator<(const RowPointer& o) const { return page != o.page ? page < o.page : row < o.row; }
};

// Thrown for anything structurally wrong in a file: a corrupt-database JetError.
[[noreturn]] void corrupt(const std::string& what);

// Checked reads from a buffer that came from disk.
class Reader {
public:
    Reader(const uint8_t* data, size_t size, std::string what) : d_(data), n_(size), what_(std::move(what)) {}
    size_t size() const { return n_; }
    void need(size_t off, size_t len) const {
        if (off > n_ || len > n_ - off) corrupt(what_ + ": 範囲外の位置 " + std::to_string(off));
    }
    uint8_t u8(size_t off) const { need(off, 1); return d_[off]; }
    uint16_t u16(size_t off) const { need(off, 2); return le16(d_ + off); }
    uint32_t u32(size_t off) const { need(off, 4); return le32(d_ + off); }
    const uint8_t* at(size_t off, size_t len) const { need(off, len); return d_ + off; }
    Bytes copy(size_t off, size_t len) const { need(off, len); return Bytes(d_ + off, d_ + off + len); }

private:
    const uint8_t* d_;
    size_t n_;
    std::string what_;
};

// UTF-8 <-> UTF-16 (names are UTF-8 in memory, UTF-16LE in the file).
std::u16string utf8ToUtf16(const std::string& s);  // JetError (invalid name) on malformed input
using base::utf16ToUtf8;
std::u16string utf16FromLe(const uint8_t* p, size_t bytes);
Bytes utf16ToLe(const std::u16string& s);

}  // namespace jet
