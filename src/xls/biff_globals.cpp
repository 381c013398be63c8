#include "biff_globals.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "date_format.h"
#include "little_endian.h"
#include "workbook.h"

namespace xls::biff {
namespace {

constexpr std::size_t kCodePageOffset = 0;  // CODEPAGE: the code page number
constexpr std::size_t kDateModeOffset = 0;  // DATEMODE: 1 for the 1904 date system
constexpr std::size_t kXfFormatOffset = 2;  // XF: the number format index (after the font index)
constexpr std::size_t kXfMinSize = 4;

class GlobalsReader {
public:
    GlobalsReader(const std::vector<std::uint8_t>& stream, int hintVersion) : s_(stream), hint_(hintVersion) {}

    Globals read() {
        RecordCursor cur(s_, 0);
        Record r;
        readBof(cur, r);
        bool sawEof = false;
        while (cur.next(r)) {
            if (r.type == rec::kEof) {
                sawEof = true;
                break;
            }
            readRecord(r, cur);
        }
        if (!sawEof) corrupt("ブック全体の情報が EOF レコードなしで終わっています");
        g_.end = cur.pos();
        resolveDateFormats();
        return std::move(g_);
    }

private:
    // The BOF record that opens the globals: which BIFF version writes the records.
    void readBof(RecordCursor& cur, Record& r) {
        if (s_.size() < kHeaderSize || !isBof(base::le16(s_.data())) || !cur.next(r))
            throw Error(Error::Kind::NotWorkbook, "ブックのストリームが BOF レコードで始まっていません");
        if (r.type != rec::kBof) throw Error(Error::Kind::TooOld);
        if (r.size < kBofMinSize) corrupt("BOF レコードが短すぎます");
        const std::uint16_t version = base::le16(&s_[r.offset + kBofVersionOffset]);
        const std::uint16_t kind = base::le16(&s_[r.offset + kBofKindOffset]);
        if (version == kVersionBiff8)
            g_.text.biff8 = true;
        else if (version == kVersionBiff5)
            g_.text.biff8 = false;
        else
            g_.text.biff8 = hint_ != 5;
        if (kind != kBofGlobals)
            throw Error(Error::Kind::NotWorkbook, "ストリームがブック全体の情報で始まっていません");
    }

    void readRecord(const Record& r, RecordCursor& cur) {
        const std::uint8_t* d = s_.data() + r.offset;
        switch (r.type) {
            case rec::kFilePass:
                throw Error(Error::Kind::Encrypted);
            case rec::kCodePage:
                if (r.size >= kCodePageOffset + 2) g_.text.codePage = base::le16(d + kCodePageOffset);
                break;
            case rec::kDateMode:
                if (r.size >= kDateModeOffset + 2) g_.date1904 = base::le16(d + kDateModeOffset) == 1;
                break;
            case rec::kFormat:
                formats_.push_back(readFormat(r));
                break;
            case rec::kXf:
                if (r.size >= kXfMinSize) xfFormat_.push_back(base::le16(d + kXfFormatOffset));
                break;
            case rec::kBoundSheet:
                g_.sheets.push_back(readBoundSheet(r));
                break;
            case rec::kSst:
                readSst(r, cur.continues());
                break;
            default:
                break;
        }
    }

    // A FORMAT record: its index, and whether its code shows a date.
    std::pair<int, bool> readFormat(const Record& r) const {
        RecordReader rd(s_, r);
        const int index = rd.u16();
        const std::string code = g_.text.biff8 ? rd.string16(g_.text) : rd.string8(g_.text);
        return {index, isDateFormatCode(code)};
    }

    // BOUNDSHEET: stream position (4 bytes), visibility (1), sheet kind (1), name (8-bit count).
    SheetInfo readBoundSheet(const Record& r) const {
        RecordReader rd(s_, r);
        SheetInfo info;
        info.offset = rd.u32();
        rd.u8();  // visibility: hidden sheets count like any other
        info.type = rd.u8();
        info.name = rd.string8(g_.text);
        return info;
    }

    // SST: references in the workbook (4 bytes), unique strings (4), then the strings, each with
    // its formatting runs and phonetic block after its characters.
    void readSst(const Record& first, const std::vector<Record>& more) {
        RecordReader rd(s_, first, more);
        rd.u32();  // total references
        const std::uint32_t unique = rd.u32();
        std::size_t bytes = first.size;
        for (const Record& m : more) bytes += m.size;
        g_.sst.reserve(std::min<std::size_t>(unique, bytes / 3));  // a string takes 3 bytes at least
        // A table that ends cleanly before its declared count keeps the strings read so far (a
        // cell that refers past them is corruption); one that ends inside a string is corruption.
        for (std::uint32_t i = 0; i < unique && !rd.atEnd(); ++i) {
            const std::size_t cch = rd.u16();
            const std::uint8_t flags = rd.u8();
            std::size_t runs = 0, phonetic = 0;
            if (flags & kStrRich) runs = rd.u16();
            if (flags & kStrPhonetic) phonetic = rd.u32();
            std::string text;
            rd.chars8(text, cch, flags & kStrHighByte);
            rd.skip(kFormatRunSize * runs);
            rd.skip(phonetic);  // furigana
            g_.sst.push_back(std::move(text));
        }
    }

    // Which cell formats (XF) show dates: a FORMAT record overrides a built-in index.
    void resolveDateFormats() {
        const std::unordered_map<int, bool> custom(formats_.begin(), formats_.end());
        g_.xfIsDate.reserve(xfFormat_.size());
        for (std::uint16_t f : xfFormat_) {
            const auto it = custom.find(f);
            g_.xfIsDate.push_back(it != custom.end() ? it->second : isBuiltinDateFormat(f));
        }
    }

    const std::vector<std::uint8_t>& s_;
    const int hint_;
    Globals g_;
    std::vector<std::pair<int, bool>> formats_;  // FORMAT index -> shows a date
    std::vector<std::uint16_t> xfFormat_;        // XF -> its FORMAT index
};

}  // namespace

Globals readGlobals(const std::vector<std::uint8_t>& stream, int hintVersion) {
    return GlobalsReader(stream, hintVersion).read();
}

}  // namespace xls::biff
