#include "biff_sheet.h"

#include <cstring>
#include <string>
#include <utility>

#include "little_endian.h"
#include "workbook.h"

namespace xls::biff {
namespace {

// Every cell record starts with row, column and XF index (the cell's format).
constexpr std::size_t kCellRowOffset = 0;
constexpr std::size_t kCellColOffset = 2;
constexpr std::size_t kCellXfOffset = 4;
constexpr std::size_t kCellHeaderSize = 6;  // where the value begins
// NUMBER: a double. RK: an RK number.
constexpr std::size_t kNumberSize = kCellHeaderSize + 8;
constexpr std::size_t kRkSize = kCellHeaderSize + 4;
// MULRK: row, first column, then (XF, RK) pairs, then the last column.
constexpr std::size_t kMulRkEntriesOffset = 4;
constexpr std::size_t kMulRkEntrySize = 6;
constexpr std::size_t kMulRkEntryRkOffset = 2;
constexpr std::size_t kMulRkMinSize = 6;
// LABELSST: the shared string's index.
constexpr std::size_t kLabelSstSize = kCellHeaderSize + 4;
// BOOLERR: the value, then whether it is an error code (else a boolean).
constexpr std::size_t kBoolErrValueOffset = kCellHeaderSize;
constexpr std::size_t kBoolErrIsErrorOffset = kCellHeaderSize + 1;
constexpr std::size_t kBoolErrSize = kCellHeaderSize + 2;
// FORMULA: the cached result (8 bytes) after the cell header; options and the formula follow.
constexpr std::size_t kFormulaResultOffset = kCellHeaderSize;
constexpr std::size_t kFormulaMinSize = kFormulaResultOffset + 8;
// A result whose last two bytes are FFFF is no double: its first byte tells what it is, its
// third byte holds a boolean's or an error's value.
constexpr std::size_t kResultMarkerOffset = 6;
constexpr std::uint16_t kResultNotNumber = 0xFFFF;
constexpr std::size_t kResultKindOffset = 0;
constexpr std::size_t kResultValueOffset = 2;
constexpr std::uint8_t kResultString = 0;   // in the STRING record that follows
constexpr std::uint8_t kResultBoolean = 1;
constexpr std::uint8_t kResultError = 2;
constexpr std::uint8_t kResultEmpty = 3;    // an empty string
// RK number: two flag bits below 30 bits of value.
constexpr std::uint32_t kRkDividedBy100 = 0x1;
constexpr std::uint32_t kRkInteger = 0x2;  // a 30-bit signed integer, else a double's high 30 bits
constexpr std::uint32_t kRkValueMask = 0xFFFFFFFCu;

const char* const kNoSuchString = "セルが存在しない共有文字列を指しています";

double rkValue(std::uint32_t rk) {
    double d;
    if (rk & kRkInteger) {
        d = double(std::int32_t(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t(rk & kRkValueMask) << 32;
        std::memcpy(&d, &bits, sizeof d);
    }
    return (rk & kRkDividedBy100) ? d / 100.0 : d;
}

// The text of an error code in a BOOLERR record or a formula result.
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

Cell textCell(std::string t) {
    Cell c;
    c.kind = CellKind::Text;
    c.text = std::move(t);
    return c;
}

Cell errorCell(std::uint8_t code) {
    Cell c;
    c.kind = CellKind::Error;
    c.text = errorName(code);
    return c;
}

Cell booleanCell(bool value) {
    Cell c;
    c.kind = CellKind::Boolean;
    c.boolean = value;
    return c;
}

class SheetWalker {
public:
    SheetWalker(const std::vector<std::uint8_t>& stream, const Globals& globals, int maxRow, int maxCol)
        : s_(stream), g_(globals), maxRow_(maxRow), maxCol_(maxCol) {}

    std::size_t walk(std::size_t index, CellMap* out);

private:
    // A formula's text result comes in the STRING record after it: the cell it goes to.
    struct PendingString {
        bool waiting = false;
        std::uint32_t key = 0;
    };

    void readCellRecord(const Record& r, RecordCursor& cur, CellMap& out);
    Cell formulaCell(const std::uint8_t* d);
    void readString(const Record& r, RecordCursor& cur, CellMap& out);

    void put(CellMap& out, unsigned row0, unsigned col0, Cell c) const {
        if (int(row0) >= maxRow_ || int(col0) >= maxCol_) return;
        if (int(row0) >= kMaxRows || int(col0) >= kMaxCols) return;  // beyond any sheet: no key of its own
        out[cellKey(row0, col0)] = std::move(c);
    }

    Cell numberCell(double v, std::uint16_t xf) const {
        Cell c;
        c.kind = CellKind::Number;
        c.number = v;
        if (xf < g_.xfIsDate.size() && g_.xfIsDate[xf]) {
            c.isDate = true;
            c.date1904 = g_.date1904;
        }
        return c;
    }

    const std::vector<std::uint8_t>& s_;
    const Globals& g_;
    const int maxRow_;
    const int maxCol_;
    PendingString pending_;
};

std::size_t SheetWalker::walk(std::size_t index, CellMap* out) {
    const SheetInfo& info = g_.sheets[index];
    if (info.offset >= s_.size()) corrupt("シートの位置がブックのストリームの外にあります");
    RecordCursor cur(s_, info.offset);
    Record r;
    if (!cur.next(r) || !isBof(r.type)) corrupt("シートの位置に BOF レコードがありません");
    // Chart, macro and module sheets have no cells.
    bool worksheet = info.type == kSheetWorksheet;
    if (r.size >= kBofMinSize && base::le16(&s_[r.offset + kBofKindOffset]) != kBofWorksheet) worksheet = false;
    int depth = 0;  // embedded chart substreams nest inside a worksheet
    while (cur.next(r)) {
        if (isBof(r.type)) {
            ++depth;
            continue;
        }
        if (r.type == rec::kEof) {
            if (depth == 0) return cur.pos();
            --depth;
            continue;
        }
        if (depth > 0 || !worksheet) continue;
        if (out == nullptr) {  // checking only: the record chain, and shared-string numbers
            if (r.type == rec::kLabelSst &&
                (r.size < kLabelSstSize || base::le32(s_.data() + r.offset + kCellHeaderSize) >= g_.sst.size()))
                corrupt(kNoSuchString);
            continue;
        }
        readCellRecord(r, cur, *out);
    }
    corrupt("シートが EOF レコードなしで終わっています");
}

// One record of a worksheet: the cells it holds go into out.
void SheetWalker::readCellRecord(const Record& r, RecordCursor& cur, CellMap& out) {
    const std::uint8_t* d = s_.data() + r.offset;
    auto need = [&](std::size_t n) {
        if (r.size < n) corrupt("セルのレコードが短すぎます");
    };
    auto row = [&] { return base::le16(d + kCellRowOffset); };
    auto col = [&] { return base::le16(d + kCellColOffset); };
    auto xf = [&] { return base::le16(d + kCellXfOffset); };
    switch (r.type) {
        case rec::kNumber:
            need(kNumberSize);
            put(out, row(), col(), numberCell(base::leDouble(d + kCellHeaderSize), xf()));
            break;
        case rec::kRk:
            need(kRkSize);
            put(out, row(), col(), numberCell(rkValue(base::le32(d + kCellHeaderSize)), xf()));
            break;
        case rec::kMulRk: {
            need(kMulRkMinSize);
            const unsigned first = col();
            const std::size_t n = (r.size - kMulRkMinSize) / kMulRkEntrySize;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t* e = d + kMulRkEntriesOffset + kMulRkEntrySize * i;
                put(out, row(), unsigned(first + i), numberCell(rkValue(base::le32(e + kMulRkEntryRkOffset)), base::le16(e)));
            }
            break;
        }
        case rec::kLabelSst: {
            need(kLabelSstSize);
            const std::uint32_t isst = base::le32(d + kCellHeaderSize);
            if (isst >= g_.sst.size()) corrupt(kNoSuchString);
            put(out, row(), col(), textCell(g_.sst[isst]));
            break;
        }
        case rec::kLabel:
        case rec::kRString: {
            need(kCellHeaderSize);
            RecordReader rd(s_, r, cur.continues());
            rd.skip(kCellHeaderSize);
            put(out, row(), col(), textCell(rd.string16(g_.text)));
            break;
        }
        case rec::kBoolErr:
            need(kBoolErrSize);
            put(out, row(), col(),
                d[kBoolErrIsErrorOffset] ? errorCell(d[kBoolErrValueOffset]) : booleanCell(d[kBoolErrValueOffset] != 0));
            break;
        case rec::kFormula:
            need(kFormulaMinSize);
            put(out, row(), col(), formulaCell(d));
            break;
        case rec::kString:
            readString(r, cur, out);
            break;
        default:
            break;
    }
}

// The cached result of a FORMULA record d.
Cell SheetWalker::formulaCell(const std::uint8_t* d) {
    const std::uint8_t* v = d + kFormulaResultOffset;
    pending_.waiting = false;
    if (base::le16(v + kResultMarkerOffset) != kResultNotNumber)
        return numberCell(base::leDouble(v), base::le16(d + kCellXfOffset));
    switch (v[kResultKindOffset]) {
        case kResultString:  // the STRING record that follows holds it
            pending_.waiting = true;
            pending_.key = cellKey(base::le16(d + kCellRowOffset), base::le16(d + kCellColOffset));
            return textCell({});
        case kResultBoolean:
            return booleanCell(v[kResultValueOffset] != 0);
        case kResultError:
            return errorCell(v[kResultValueOffset]);
        case kResultEmpty:
        default:
            return textCell({});
    }
}

// STRING: the text result of the formula before it.
void SheetWalker::readString(const Record& r, RecordCursor& cur, CellMap& out) {
    RecordReader rd(s_, r, cur.continues());
    std::string text = rd.string16(g_.text);
    if (pending_.waiting) {
        const auto it = out.find(pending_.key);
        if (it != out.end()) it->second.text = std::move(text);
        pending_.waiting = false;
    }
}

}  // namespace

std::size_t walkSheet(const std::vector<std::uint8_t>& stream, const Globals& globals, std::size_t index,
                      int maxRow, int maxCol, CellMap* out) {
    return SheetWalker(stream, globals, maxRow, maxCol).walk(index, out);
}

}  // namespace xls::biff
