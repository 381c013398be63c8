#include "row.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {
bool hasVariable(const TableDefinition& def) {
    for (auto& c : def.columns)
        if (!c.fixed() && c.type != colBoolean) return true;
    return false;
}

size_t fixedAreaSize(const TableDefinition& def) {
    size_t n = 0;
    for (auto& c : def.columns)
        if (c.fixed() && c.type != colBoolean) n = std::max<size_t>(n, c.fixedOffset + c.length);
    return n;
}

// Bytes of the null mask of a row of `count` columns, and its bit of column n.
size_t nullMaskSize(size_t count) { return (count + 7) / 8; }
void setPresent(Bytes& mask, uint16_t n) { mask[n / 8] |= static_cast<uint8_t>(1u << (n % 8)); }

// Storage follows the fixed-length flag, not the type: Access stores some Long columns of its own
// tables in the variable area.
bool isFixedStored(const ColumnDef& c) { return c.fixed(); }
}  // namespace

RowValues decodeRow(const TableDefinition& def, const Bytes& row) {
    Reader r(row.data(), row.size(), "行データ");
    uint16_t count = r.u16(kRowColumnCount);
    if (count == 0 || count > def.maxColumns + 0u) corrupt("行の列数が不正");
    size_t maskLen = nullMaskSize(count);
    r.need(row.size() - maskLen, maskLen);
    if (row.size() < kRowFixedArea + maskLen) corrupt("行が短すぎます");
    const uint8_t* mask = row.data() + row.size() - maskLen;
    auto present = [&](uint16_t n) { return n < count && (mask[n / 8] >> (n % 8)) & 1; };

    RowValues v(def.maxColumns);
    uint16_t nvar = 0;
    std::vector<uint16_t> offsets;
    uint16_t eod = 0;
    if (hasVariable(def)) {
        size_t vpos = row.size() - maskLen - kRowWord;  // the count of variable columns
        nvar = r.u16(vpos);
        if (vpos < kRowWord * (nvar + 1u)) corrupt("行の可変長列数が不正");
        offsets.resize(nvar);
        for (uint16_t j = 0; j < nvar; ++j) offsets[j] = r.u16(vpos - kRowWord * (j + 1u));
        eod = r.u16(vpos - kRowWord * (nvar + 1u));
        if (eod > vpos - kRowWord * (nvar + 1)) corrupt("行の可変長データの終わりが不正");
    }
    for (auto& c : def.columns) {
        if (c.type == colBoolean) {
            v[c.number] = Bytes{static_cast<uint8_t>(present(c.number) ? 1 : 0)};
            continue;
        }
        if (!present(c.number)) continue;
        if (isFixedStored(c)) {
            r.need(kRowFixedArea + c.fixedOffset, c.length);
            v[c.number] = r.copy(kRowFixedArea + c.fixedOffset, c.length);
        } else {
            if (c.varIndex >= nvar) continue;
            uint16_t s = offsets[c.varIndex];
            uint16_t e = c.varIndex + 1 < nvar ? offsets[c.varIndex + 1] : eod;
            if (s > e || e > eod) corrupt("行の可変長列の位置が不正");
            v[c.number] = r.copy(s, e - s);
        }
    }
    return v;
}

Bytes encodeRow(const TableDefinition& def, const RowValues& values) {
    uint16_t count = def.maxColumns;
    Bytes mask(nullMaskSize(count), 0);
    Bytes row(kRowFixedArea + fixedAreaSize(def), 0);
    put16(&row[kRowColumnCount], count);
    auto val = [&](const ColumnDef& c) -> const std::optional<Bytes>& {
        static const std::optional<Bytes> none;
        return c.number < values.size() ? values[c.number] : none;
    };
    std::vector<const ColumnDef*> vars;
    for (auto& c : def.columns) {
        const auto& x = val(c);
        if (c.type == colBoolean) {
            if (x && !x->empty() && (*x)[0]) setPresent(mask, c.number);
            continue;
        }
        if (isFixedStored(c)) {
            if (!x) continue;
            if (x->size() != c.length) throw JetError(errUnsupported, "固定長列の値の長さが不正です。");
            std::copy(x->begin(), x->end(), row.begin() + kRowFixedArea + c.fixedOffset);
            setPresent(mask, c.number);
        } else {
            vars.push_back(&c);
        }
    }
    bool anyVar = hasVariable(def);
    if (anyVar) {
        uint16_t nvar = def.varColumns;
        std::vector<const ColumnDef*> byIndex(nvar, nullptr);
        for (auto* c : vars)
            if (c->varIndex < nvar) byIndex[c->varIndex] = c;
        std::vector<uint16_t> offsets(nvar);
        for (uint16_t j = 0; j < nvar; ++j) {
            offsets[j] = static_cast<uint16_t>(row.size());
            if (!byIndex[j]) continue;
            const auto& x = val(*byIndex[j]);
            if (!x) continue;
            row.insert(row.end(), x->begin(), x->end());
            setPresent(mask, byIndex[j]->number);
        }
        uint16_t eod = static_cast<uint16_t>(row.size());
        append16(row, eod);
        for (int j = nvar - 1; j >= 0; --j) append16(row, offsets[j]);
        append16(row, nvar);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > kMaxRowSize) throw JetError(errTableTooLarge, "行が大きすぎます。");
    return row;
}

std::optional<int32_t> valueLong(const RowValues& v, const ColumnDef& c) {
    if (c.number >= v.size() || !v[c.number]) return std::nullopt;
    if (v[c.number]->size() != sizeof(int32_t)) corrupt("長整数型の値の長さが不正");
    return static_cast<int32_t>(le32(v[c.number]->data()));
}

std::optional<int16_t> valueInteger(const RowValues& v, const ColumnDef& c) {
    if (c.number >= v.size() || !v[c.number]) return std::nullopt;
    if (v[c.number]->size() != sizeof(int16_t)) corrupt("整数型の値の長さが不正");
    return static_cast<int16_t>(le16(v[c.number]->data()));
}

std::optional<std::u16string> valueText(const RowValues& v, const ColumnDef& c) {
    if (c.number >= v.size() || !v[c.number]) return std::nullopt;
    const Bytes& b = *v[c.number];
    if (b.size() >= sizeof kCompressedTextMark && b[0] == kCompressedTextMark[0] && b[1] == kCompressedTextMark[1]) {
        std::u16string s;
        bool single = true;
        size_t i = sizeof kCompressedTextMark;
        while (i < b.size()) {
            if (b[i] == 0) {
                single = !single;
                ++i;
            } else if (single) {
                s.push_back(b[i++]);
            } else {
                if (i + 1 >= b.size()) break;
                s.push_back(static_cast<char16_t>(le16(&b[i])));
                i += sizeof(char16_t);
            }
        }
        return s;
    }
    return utf16FromLe(b.data(), b.size());
}

Bytes longBytes(int32_t v) {
    Bytes b(sizeof(int32_t));
    put32(b.data(), static_cast<uint32_t>(v));
    return b;
}
Bytes integerBytes(int16_t v) {
    Bytes b(sizeof(int16_t));
    put16(b.data(), static_cast<uint16_t>(v));
    return b;
}
Bytes doubleBytes(double v) {
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

}  // namespace jet
