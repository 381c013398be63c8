#include "biff_record.h"

#include <algorithm>

#include "biff_text.h"
#include "little_endian.h"
#include "workbook.h"

namespace xls::biff {

bool isBof(std::uint16_t type) {
    return type == rec::kBof || type == rec::kBofBiff2 || type == rec::kBofBiff3 || type == rec::kBofBiff4;
}

void corrupt(const std::string& what) { throw Error(Error::Kind::Damaged, what); }

bool RecordCursor::next(Record& r) {
    if (pos_ + kHeaderSize > s_.size()) return false;
    r.type = base::le16(&s_[pos_ + kHeaderTypeOffset]);
    r.size = base::le16(&s_[pos_ + kHeaderSizeOffset]);
    r.offset = pos_ + kHeaderSize;
    if (r.offset + r.size > s_.size()) corrupt("レコードがブックのストリームの終わりを越えています");
    pos_ = r.offset + r.size;
    return true;
}

std::vector<Record> RecordCursor::continues() {
    std::vector<Record> out;
    while (pos_ + kHeaderSize <= s_.size() && base::le16(&s_[pos_ + kHeaderTypeOffset]) == rec::kContinue) {
        Record r;
        next(r);
        out.push_back(r);
    }
    return out;
}

namespace {
[[noreturn]] void endsEarly() { corrupt("レコードがデータの途中で終わっています"); }
}  // namespace

RecordReader::RecordReader(const std::vector<std::uint8_t>& stream, const Record& first,
                           const std::vector<Record>& more)
    : s_(stream) {
    segs_.push_back(first);
    segs_.insert(segs_.end(), more.begin(), more.end());
}

bool RecordReader::atEnd() {
    while (seg_ < segs_.size() && pos_ >= segs_[seg_].size) {
        ++seg_;
        pos_ = 0;
    }
    return seg_ >= segs_.size();
}

std::uint8_t RecordReader::u8() {
    if (atEnd()) endsEarly();
    return s_[segs_[seg_].offset + pos_++];
}

std::uint16_t RecordReader::u16() {
    const std::uint16_t lo = u8();
    return std::uint16_t(lo | (u8() << 8));
}

std::uint32_t RecordReader::u32() {
    const std::uint32_t lo = u16();
    return lo | (std::uint32_t(u16()) << 16);
}

void RecordReader::skip(std::size_t n) {
    while (n > 0) {
        if (atEnd()) endsEarly();
        const std::size_t k = std::min(n, segs_[seg_].size - pos_);
        pos_ += k;
        n -= k;
    }
}

void RecordReader::chars8(std::string& out, std::size_t cch, bool highByte) {
    while (cch > 0) {
        if (seg_ < segs_.size() && pos_ >= segs_[seg_].size) {
            // The array goes on in the next record, which starts with a fresh flag byte.
            ++seg_;
            pos_ = 0;
            if (seg_ >= segs_.size()) endsEarly();
            highByte = (u8() & kStrHighByte) != 0;
            continue;
        }
        if (seg_ >= segs_.size()) endsEarly();
        const std::size_t left = segs_[seg_].size - pos_;
        const std::size_t n = std::min(cch, highByte ? left / 2 : left);
        if (n == 0) endsEarly();  // half a character before the record ends
        const std::uint8_t* p = &s_[segs_[seg_].offset + pos_];
        if (highByte) {
            // U+FFFE and U+FFFF are not characters: no writer stores them, damage does.
            for (std::size_t i = 0; i < n; ++i)
                if (p[2 * i + 1] == 0xFF && p[2 * i] >= 0xFE) corrupt("文字列に非文字 U+FFFF があります");
            appendUtf16le(out, p, n);
        } else {
            appendLatin1(out, p, n);
        }
        pos_ += highByte ? 2 * n : n;
        cch -= n;
    }
}

std::vector<std::uint8_t> RecordReader::bytes(std::size_t n) {
    std::vector<std::uint8_t> out;
    out.reserve(std::min<std::size_t>(n, 65536));
    while (n > 0) {
        if (atEnd()) endsEarly();
        const std::size_t k = std::min(n, segs_[seg_].size - pos_);
        const std::uint8_t* p = &s_[segs_[seg_].offset + pos_];
        out.insert(out.end(), p, p + k);
        pos_ += k;
        n -= k;
    }
    return out;
}

std::string RecordReader::string16(const TextForm& form) {
    const std::size_t cch = u16();
    if (form.biff8) {
        const std::uint8_t flags = u8();
        std::string out;
        if (flags & kStrRich) skip(2);      // run count (the runs follow the characters)
        if (flags & kStrPhonetic) skip(4);  // phonetic block size (the block follows the runs)
        chars8(out, cch, flags & kStrHighByte);
        return out;
    }
    const std::vector<std::uint8_t> b = bytes(cch);
    return decodeCodePage(b.data(), b.size(), form.codePage);
}

std::string RecordReader::string8(const TextForm& form) {
    const std::size_t cch = u8();
    if (form.biff8) {
        const std::uint8_t flags = u8();
        std::string out;
        chars8(out, cch, flags & kStrHighByte);
        return out;
    }
    const std::vector<std::uint8_t> b = bytes(cch);
    return decodeCodePage(b.data(), b.size(), form.codePage);
}

}  // namespace xls::biff
