#include "biff_workbook.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <utility>

#include "date_format.h"
#include "file_names.h"
#include "biff_text.h"
#include "cfb.h"

namespace xls {
namespace {

// Record types.
constexpr std::uint16_t kBof = 0x0809, kBof2 = 0x0009, kBof3 = 0x0209, kBof4 = 0x0409;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kString = 0x0207;

bool isBof(std::uint16_t type) { return type == kBof || type == kBof2 || type == kBof3 || type == kBof4; }

std::uint16_t u16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
double f64(const std::uint8_t* p) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double rkValue(std::uint32_t rk) {
    double d;
    if (rk & 2) {
        d = double(std::int32_t(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, sizeof d);
    }
    return (rk & 1) ? d / 100.0 : d;
}

std::string errorName(std::uint8_t code) {
    switch (code) {
        case 0x00: return "#NULL!";
        case 0x07: return "#DIV/0!";
        case 0x0F: return "#VALUE!";
        case 0x17: return "#REF!";
        case 0x1D: return "#NAME?";
        case 0x24: return "#NUM!";
        case 0x2A: return "#N/A";
        case 0x2B: return "#GETTING_DATA";
        default: return "#ERR" + std::to_string(code);
    }
}

[[noreturn]] void corrupt(const std::string& what) { throw Error(Error::Kind::Damaged, what); }
const char* const kNoSuchString = "セルが存在しない共有文字列を指しています";

struct Record {
    std::uint16_t type = 0;
    std::size_t offset = 0;  // of the record's data
    std::size_t size = 0;
};

// Reads record headers one after another. A record reaching past the stream's end is corruption.
class RecordCursor {
public:
    RecordCursor(const std::vector<std::uint8_t>& s, std::size_t pos) : s_(s), pos_(pos) {}
    bool next(Record& r) {
        if (pos_ + 4 > s_.size()) return false;
        r.type = u16(&s_[pos_]);
        r.size = u16(&s_[pos_ + 2]);
        r.offset = pos_ + 4;
        if (r.offset + r.size > s_.size()) corrupt("レコードがブックのストリームの終わりを越えています");
        pos_ = r.offset + r.size;
        return true;
    }
    // If CONTINUE records follow, consumes them and returns their data, in order.
    std::vector<Record> continues() {
        std::vector<Record> out;
        while (pos_ + 4 <= s_.size() && u16(&s_[pos_]) == kContinue) {
            Record r;
            next(r);
            out.push_back(r);
        }
        return out;
    }
    std::size_t pos() const { return pos_; }

private:
    const std::vector<std::uint8_t>& s_;
    std::size_t pos_;
};

// Reads across a record and its CONTINUE records. Plain fields run on over record boundaries;
// BIFF8 character arrays re-state their one-byte/two-byte flag at the start of each continuation.
class Reader {
public:
    Reader(const std::vector<std::uint8_t>& s, const Record& first, const std::vector<Record>& more = {})
        : s_(s) {
        segs_.push_back(first);
        segs_.insert(segs_.end(), more.begin(), more.end());
    }

    bool atEnd() {
        while (seg_ < segs_.size() && pos_ >= segs_[seg_].size) {
            ++seg_;
            pos_ = 0;
        }
        return seg_ >= segs_.size();
    }
    std::uint8_t u8() {
        if (atEnd()) short_();
        return s_[segs_[seg_].offset + pos_++];
    }
    std::uint16_t u16v() {
        const std::uint16_t lo = u8();
        return std::uint16_t(lo | (u8() << 8));
    }
    std::uint32_t u32v() {
        const std::uint32_t lo = u16v();
        return lo | (std::uint32_t(u16v()) << 16);
    }
    void skip(std::size_t n) {
        while (n > 0) {
            if (atEnd()) short_();
            const std::size_t k = std::min(n, segs_[seg_].size - pos_);
            pos_ += k;
            n -= k;
        }
    }
    // BIFF8 characters: cch of them, one or two bytes each as highByte says, to UTF-8.
    void chars8(std::string& out, std::size_t cch, bool highByte) {
        while (cch > 0) {
            if (seg_ < segs_.size() && pos_ >= segs_[seg_].size) {
                // The array goes on in the next record, which starts with a fresh flag byte.
                ++seg_;
                pos_ = 0;
                if (seg_ >= segs_.size()) short_();
                highByte = (u8() & 1) != 0;
                continue;
            }
            if (seg_ >= segs_.size()) short_();
            const std::size_t left = segs_[seg_].size - pos_;
            const std::size_t n = std::min(cch, highByte ? left / 2 : left);
            if (n == 0) short_();  // half a character before the record ends
            const std::uint8_t* p = &s_[segs_[seg_].offset + pos_];
            if (highByte) {
                // U+FFFE and U+FFFF are not characters: no writer stores them, damage does.
                for (std::size_t i = 0; i < n; ++i)
                    if (p[2 * i + 1] == 0xFF && p[2 * i] >= 0xFE) corrupt("文字列に非文字 U+FFFF があります");
                biff::appendUtf16le(out, p, n);
            } else {
                biff::appendLatin1(out, p, n);
            }
            pos_ += highByte ? 2 * n : n;
            cch -= n;
        }
    }
    // n plain bytes (BIFF5 byte strings), gathered across records.
    std::vector<std::uint8_t> bytes(std::size_t n) {
        std::vector<std::uint8_t> out;
        out.reserve(std::min<std::size_t>(n, 65536));
        while (n > 0) {
            if (atEnd()) short_();
            const std::size_t k = std::min(n, segs_[seg_].size - pos_);
            const std::uint8_t* p = &s_[segs_[seg_].offset + pos_];
            out.insert(out.end(), p, p + k);
            pos_ += k;
            n -= k;
        }
        return out;
    }

private:
    [[noreturn]] static void short_() { corrupt("レコードがデータの途中で終わっています"); }
    const std::vector<std::uint8_t>& s_;
    std::vector<Record> segs_;
    std::size_t seg_ = 0;
    std::size_t pos_ = 0;
};

struct SheetInfo {
    std::string name;
    std::uint32_t offset = 0;
    std::uint8_t type = 0;  // 0 worksheet, 1 macro sheet, 2 chart, 6 module
};

class BiffWorkbook : public Workbook {
public:
    // path (the file's, or empty) is named by errors found while reading a sheet.
    BiffWorkbook(std::vector<std::uint8_t> stream, const OpenOptions& options, int hintVersion,
                 std::string path)
        : s_(std::move(stream)), options_(options), path_(std::move(path)) {
        readGlobals(hintVersion);
        checkSheets();
    }

    int sheetCount() const override { return int(sheets_.size()); }

    std::string sheetName(int sheet) const override {
        if (sheet < 0 || sheet >= sheetCount()) return {};
        return sheets_[sheet].name;
    }

    Cell cell(int sheet, int row, int col) override {
        if (sheet < 0 || sheet >= sheetCount()) return {};
        if (row < 1 || col < 1 || row > options_.maxRow || col > options_.maxCol) return {};
        if (row > 65536 || col > 256) return {};
        if (sheet != loaded_) loadSheet(sheet);
        const auto it = cells_.find(key(row - 1, col - 1));
        return it == cells_.end() ? Cell{} : it->second;
    }

private:
    static std::uint32_t key(unsigned row0, unsigned col0) { return (std::uint32_t(row0) << 16) | col0; }

    std::string byteString(const std::uint8_t* p, std::size_t n) const {
        return biff::decodeCodePage(p, n, codePage_);
    }

    // XLUnicodeString (BIFF8: 16-bit count, flags, characters) or a BIFF5 byte string with a
    // 16-bit count.
    std::string longString(Reader& r) const {
        const std::size_t cch = r.u16v();
        if (biff8_) {
            const std::uint8_t flags = r.u8();
            std::string out;
            if (flags & 0x08) r.skip(2);  // rich-text run count (runs follow the characters)
            if (flags & 0x04) r.skip(4);  // phonetic block size
            r.chars8(out, cch, flags & 1);
            return out;
        }
        const std::vector<std::uint8_t> b = r.bytes(cch);
        return byteString(b.data(), b.size());
    }

    // The BOF record that opens the workbook globals: which BIFF version writes the records.
    void readBof(RecordCursor& cur, Record& r, int hintVersion) {
        if (s_.size() < 4 || !isBof(u16(s_.data())) || !cur.next(r))
            throw Error(Error::Kind::NotWorkbook, "ブックのストリームが BOF レコードで始まっていません");
        if (r.type != kBof)
            throw Error(Error::Kind::TooOld);
        if (r.size < 4) corrupt("BOF レコードが短すぎます");
        const std::uint16_t vers = u16(&s_[r.offset]);
        const std::uint16_t dt = u16(&s_[r.offset + 2]);
        if (vers == 0x0600)
            biff8_ = true;
        else if (vers == 0x0500)
            biff8_ = false;
        else
            biff8_ = hintVersion != 5;
        if (dt != 0x0005)
            throw Error(Error::Kind::NotWorkbook, "ストリームがブック全体の情報で始まっていません");
    }

    // A FORMAT record: its index, and whether its code shows a date.
    std::pair<int, bool> readFormat(const Record& r) const {
        Reader rd(s_, r);
        const int index = rd.u16v();
        std::string code;
        if (biff8_) {
            code = longString(rd);
        } else {
            const std::size_t n = rd.u8();
            const std::vector<std::uint8_t> b = rd.bytes(n);
            code = byteString(b.data(), b.size());
        }
        return {index, isDateFormatCode(code)};
    }

    SheetInfo readBoundSheet(const Record& r) const {
        Reader rd(s_, r);
        SheetInfo info;
        info.offset = rd.u32v();
        rd.u8();  // visibility: hidden sheets count like any other
        info.type = rd.u8();
        const std::size_t cch = rd.u8();
        if (biff8_) {
            const std::uint8_t flags = rd.u8();
            rd.chars8(info.name, cch, flags & 1);
        } else {
            const std::vector<std::uint8_t> b = rd.bytes(cch);
            info.name = byteString(b.data(), b.size());
        }
        return info;
    }

    void readGlobals(int hintVersion) {
        RecordCursor cur(s_, 0);
        Record r;
        readBof(cur, r, hintVersion);
        std::vector<std::pair<int, bool>> formats;  // index -> shows a date
        std::vector<std::uint16_t> xfFormat;
        bool sawEof = false;
        while (cur.next(r)) {
            if (r.type == kEof) {
                sawEof = true;
                break;
            }
            const std::uint8_t* d = &s_[r.offset];
            switch (r.type) {
                case kFilePass:
                    throw Error(Error::Kind::Encrypted);
                case kCodePage:
                    if (r.size >= 2) codePage_ = u16(d);
                    break;
                case kDateMode:
                    if (r.size >= 2) date1904_ = u16(d) == 1;
                    break;
                case kFormat:
                    formats.push_back(readFormat(r));
                    break;
                case kXf:
                    if (r.size >= 4) xfFormat.push_back(u16(d + 2));
                    break;
                case kBoundSheet:
                    sheets_.push_back(readBoundSheet(r));
                    break;
                case kSst:
                    readSst(r, cur.continues());
                    break;
                default:
                    break;
            }
        }
        if (!sawEof) corrupt("ブック全体の情報が EOF レコードなしで終わっています");
        globalsEnd_ = cur.pos();

        // Which cell formats (XF) show dates: a FORMAT record overrides a built-in index.
        std::unordered_map<int, bool> custom(formats.begin(), formats.end());
        xfIsDate_.reserve(xfFormat.size());
        for (std::uint16_t f : xfFormat) {
            const auto it = custom.find(f);
            xfIsDate_.push_back(it != custom.end() ? it->second : isBuiltinDateFormat(f));
        }
    }

    void readSst(const Record& first, const std::vector<Record>& more) {
        Reader rd(s_, first, more);
        rd.u32v();  // total references
        const std::uint32_t unique = rd.u32v();
        std::size_t bytes = first.size;
        for (const Record& m : more) bytes += m.size;
        sst_.reserve(std::min<std::size_t>(unique, bytes / 3));
        // A table that ends cleanly before its declared count keeps the strings read so far (a
        // cell that refers past them is corruption); one that ends inside a string is corruption.
        for (std::uint32_t i = 0; i < unique && !rd.atEnd(); ++i) {
            const std::size_t cch = rd.u16v();
            const std::uint8_t flags = rd.u8();
            std::size_t runs = 0, ext = 0;
            if (flags & 0x08) runs = rd.u16v();
            if (flags & 0x04) ext = rd.u32v();
            std::string text;
            rd.chars8(text, cch, flags & 1);
            rd.skip(4 * runs);  // formatting runs
            rd.skip(ext);       // phonetic (furigana) block
            sst_.push_back(std::move(text));
        }
    }

    // Every worksheet's records must lie inside the stream, from its BOF to its EOF: a damaged
    // file is refused when it is opened rather than half-way through a reading.
    // Substreams may not overlap one another or the globals, which also keeps this check (and
    // any later reading) linear in the stream's size whatever the sheet list claims.
    void checkSheets() {
        std::vector<std::size_t> order(sheets_.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return sheets_[a].offset < sheets_[b].offset; });
        std::size_t end = globalsEnd_;
        for (std::size_t i : order) {
            try {
                if (sheets_[i].offset < end) corrupt("シートのレコードがほかのレコードと重なっています");
                end = walkSheet(i, nullptr);
            } catch (const Error& e) {
                throw e.inSheet(int(i), sheets_[i].name);
            }
        }
    }

    void loadSheet(int sheet) {
        cells_.clear();
        loaded_ = -1;
        try {
            walkSheet(std::size_t(sheet), &cells_);
        } catch (const Error& e) {
            cells_.clear();
            throw e.inSheet(sheet, sheets_[sheet].name).inFile(path_);
        }
        loaded_ = sheet;
    }

    void put(std::unordered_map<std::uint32_t, Cell>& out, unsigned row0, unsigned col0, Cell c) const {
        if (int(row0) >= options_.maxRow || int(col0) >= options_.maxCol) return;
        out[key(row0, col0)] = std::move(c);
    }

    Cell numberCell(double v, std::uint16_t xf) const {
        Cell c;
        c.kind = CellKind::Number;
        c.number = v;
        if (xf < xfIsDate_.size() && xfIsDate_[xf]) {
            c.isDate = true;
            c.date1904 = date1904_;
        }
        return c;
    }

    static Cell textCell(std::string t) {
        Cell c;
        c.kind = CellKind::Text;
        c.text = std::move(t);
        return c;
    }

    // A formula's text result comes in the STRING record after it: the cell it goes to.
    struct PendingString {
        bool waiting = false;
        std::uint32_t key = 0;
    };

    // The cached result of a FORMULA record (its value field at d + 6).
    Cell formulaCell(const std::uint8_t* d, unsigned row, unsigned col, PendingString& pending) const {
        const std::uint8_t* v = d + 6;
        pending.waiting = false;
        Cell c;
        if (u16(v + 6) != 0xFFFF) {
            c = numberCell(f64(v), u16(d + 4));
        } else if (v[0] == 0) {  // text: the STRING record that follows holds it
            c = textCell({});
            pending.waiting = true;
            pending.key = key(row, col);
        } else if (v[0] == 1) {
            c.kind = CellKind::Boolean;
            c.boolean = v[2] != 0;
        } else if (v[0] == 2) {
            c.kind = CellKind::Error;
            c.text = errorName(v[2]);
        } else {  // 3: empty text
            c = textCell({});
        }
        return c;
    }

    static Cell boolErrCell(const std::uint8_t* d) {
        Cell c;
        if (d[7]) {
            c.kind = CellKind::Error;
            c.text = errorName(d[6]);
        } else {
            c.kind = CellKind::Boolean;
            c.boolean = d[6] != 0;
        }
        return c;
    }

    // One record of a worksheet: the cells it holds go into out.
    void readCellRecord(const Record& r, RecordCursor& cur, std::unordered_map<std::uint32_t, Cell>& out,
                        PendingString& pending) const {
        const std::uint8_t* d = &s_[r.offset];
        auto need = [&](std::size_t n) {
            if (r.size < n) corrupt("セルのレコードが短すぎます");
        };
        switch (r.type) {
            case kNumber:
                need(14);
                put(out, u16(d), u16(d + 2), numberCell(f64(d + 6), u16(d + 4)));
                break;
            case kRk:
                need(10);
                put(out, u16(d), u16(d + 2), numberCell(rkValue(u32(d + 6)), u16(d + 4)));
                break;
            case kMulRk: {
                need(6);
                const unsigned row = u16(d), first = u16(d + 2);
                const std::size_t n = (r.size - 6) / 6;
                for (std::size_t i = 0; i < n; ++i) {
                    const std::uint8_t* e = d + 4 + 6 * i;
                    put(out, row, unsigned(first + i), numberCell(rkValue(u32(e + 2)), u16(e)));
                }
                break;
            }
            case kLabelSst: {
                need(10);
                const std::uint32_t isst = u32(d + 6);
                if (isst >= sst_.size()) corrupt(kNoSuchString);
                put(out, u16(d), u16(d + 2), textCell(sst_[isst]));
                break;
            }
            case kLabel:
            case kRString: {
                need(6);
                Reader rd(s_, r, cur.continues());
                rd.skip(6);
                put(out, u16(d), u16(d + 2), textCell(longString(rd)));
                break;
            }
            case kBoolErr:
                need(8);
                put(out, u16(d), u16(d + 2), boolErrCell(d));
                break;
            case kFormula:
                need(14);
                put(out, u16(d), u16(d + 2), formulaCell(d, u16(d), u16(d + 2), pending));
                break;
            case kString: {
                Reader rd(s_, r, cur.continues());
                std::string text = longString(rd);
                if (pending.waiting) {
                    const auto it = out.find(pending.key);
                    if (it != out.end()) it->second.text = std::move(text);
                    pending.waiting = false;
                }
                break;
            }
            default:
                break;
        }
    }

    // Walks one sheet's substream. With out == nullptr it only checks the record chain.
    // Returns where the sheet's records end.
    std::size_t walkSheet(std::size_t index, std::unordered_map<std::uint32_t, Cell>* out) const {
        const SheetInfo& info = sheets_[index];
        if (info.offset >= s_.size()) corrupt("シートの位置がブックのストリームの外にあります");
        RecordCursor cur(s_, info.offset);
        Record r;
        if (!cur.next(r) || !isBof(r.type)) corrupt("シートの位置に BOF レコードがありません");
        // Chart, macro and module sheets have no cells.
        bool worksheet = info.type == 0;
        if (r.size >= 4 && u16(&s_[r.offset + 2]) != 0x0010) worksheet = false;
        int depth = 0;  // embedded chart substreams nest inside a worksheet
        PendingString pending;
        while (cur.next(r)) {
            if (isBof(r.type)) {
                ++depth;
                continue;
            }
            if (r.type == kEof) {
                if (depth == 0) return cur.pos();
                --depth;
                continue;
            }
            if (depth > 0 || !worksheet) continue;
            const std::uint8_t* d = &s_[r.offset];
            if (out == nullptr) {  // checking only: the record chain, and shared-string numbers
                if (r.type == kLabelSst && (r.size < 10 || u32(d + 6) >= sst_.size()))
                    corrupt(kNoSuchString);
                continue;
            }
            readCellRecord(r, cur, *out, pending);
        }
        corrupt("シートが EOF レコードなしで終わっています");
    }

    std::vector<std::uint8_t> s_;
    OpenOptions options_;
    std::string path_;
    bool biff8_ = true;
    int codePage_ = 1252;
    bool date1904_ = false;
    std::size_t globalsEnd_ = 0;
    std::vector<SheetInfo> sheets_;
    std::vector<std::string> sst_;
    std::vector<bool> xfIsDate_;
    int loaded_ = -1;
    std::unordered_map<std::uint32_t, Cell> cells_;
};

}  // namespace

std::unique_ptr<Workbook> openBiffStream(std::vector<std::uint8_t> stream, const OpenOptions& options) {
    return std::make_unique<BiffWorkbook>(std::move(stream), options, 8, std::string());
}

namespace {

std::unique_ptr<Workbook> openBytes(std::vector<std::uint8_t> fileBytes, const OpenOptions& options,
                                    const std::string& path) {
    if (fileBytes.empty()) throw Error(Error::Kind::Empty);
    int version = 8;
    std::optional<std::vector<std::uint8_t>> stream;
    {
        const cfb::CompoundFile file(fileBytes.data(), fileBytes.size());
        stream = file.readRootStream("Workbook");
        if (!stream) {
            stream = file.readRootStream("Book");  // Excel 95
            version = 5;
        }
        if (!stream) {
            if (file.hasRootStream("EncryptedPackage")) throw Error(Error::Kind::Encrypted);
            throw Error(Error::Kind::NotWorkbook, "複合ファイルに Workbook／Book ストリームがありません");
        }
    }
    fileBytes = {};  // the container is no longer needed: keep only the workbook stream
    return std::make_unique<BiffWorkbook>(std::move(*stream), options, version, path);
}

}  // namespace

std::unique_ptr<Workbook> openBiffWorkbookBytes(std::vector<std::uint8_t> fileBytes,
                                                const OpenOptions& options) {
    return openBytes(std::move(fileBytes), options, std::string());
}

std::unique_ptr<Workbook> openBiffWorkbook(const std::string& path, const OpenOptions& options) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path where = platform::fsPath(path);
    const fs::file_status st = fs::status(where, ec);
    if (ec || !fs::exists(st)) throw Error(Error::Kind::NotFound).inFile(path);
    if (!fs::is_regular_file(st)) throw Error(Error::Kind::NotAFile).inFile(path);
    std::ifstream in(where, std::ios::binary);
    if (!in) throw Error(Error::Kind::CannotOpen, systemReason(errno)).inFile(path);
    std::vector<std::uint8_t> bytes;
    const std::uintmax_t size = fs::file_size(where, ec);
    if (!ec) bytes.reserve(std::size_t(size));
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) bytes.insert(bytes.end(), buf, buf + in.gcount());
    if (in.bad()) throw Error(Error::Kind::CannotOpen, systemReason(errno)).inFile(path);
    try {
        return openBytes(std::move(bytes), options, path);
    } catch (const Error& e) {
        throw e.inFile(path);
    }
}

}  // namespace xls
