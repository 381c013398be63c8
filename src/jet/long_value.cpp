#include "long_value.h"

#include <set>

#include "data_page.h"

namespace jet {

LongValueHeader parseLongValueHeader(const Bytes& f) {
    if (f.size() < kLongValueHeaderSize) corrupt("長い値のヘッダーが短すぎます");
    LongValueHeader h;
    h.length = le24(&f[kLongValueLength]);
    h.form = f[kLongValueForm];
    h.first = RowPointer::fromLe(le32(&f[kLongValueFirstRow]));
    h.stamp = le32(&f[kLongValueStamp]);
    return h;
}

Bytes makeLongValueHeader(uint32_t length, uint8_t form, RowPointer first, uint32_t stamp) {
    Bytes h(kLongValueHeaderSize, 0);
    h[kLongValueLength] = length & 0xFF;  // u24
    h[kLongValueLength + 1] = (length >> 8) & 0xFF;
    h[kLongValueLength + 2] = (length >> 16) & 0xFF;
    h[kLongValueForm] = form;
    put32(&h[kLongValueFirstRow], first.toLe());
    put32(&h[kLongValueStamp], stamp);
    return h;
}

namespace {
Bytes lvalRow(Pager& pager, RowPointer p) {
    const Bytes& page = pager.read(p.page);
    DataPageView v = parseDataPage(page, p.page);
    if (v.owner != kLvalOwner) corrupt("長い値がページ " + std::to_string(p.page) + "（LVAL でない）を指しています");
    return rowBytes(page, p.page, p.row);
}
}  // namespace

Bytes readLongValue(Pager& pager, const Bytes& field) {
    LongValueHeader h = parseLongValueHeader(field);
    Bytes out;
    switch (h.form) {
        case kLongValueInline:
            if (field.size() - kLongValueHeaderSize != h.length) corrupt("行内の長い値の長さが不正");
            return Bytes(field.begin() + kLongValueHeaderSize, field.end());
        case kLongValueOneRow:
            out = lvalRow(pager, h.first);
            if (out.size() != h.length) corrupt("長い値の長さが行と一致しません");
            return out;
        case kLongValueChain: {
            std::set<uint32_t> seen;
            RowPointer p = h.first;
            while (true) {
                if (!seen.insert(p.toLe()).second) corrupt("長い値の連鎖が循環しています");
                Bytes row = lvalRow(pager, p);
                if (row.size() < kLongValueNextSize) corrupt("長い値の連鎖の行が短すぎます");
                out.insert(out.end(), row.begin() + kLongValueNextSize, row.end());
                if (out.size() > h.length) corrupt("長い値の連鎖が長さを超えています");
                uint32_t next = le32(row.data());
                if (next == 0) break;
                p = RowPointer::fromLe(next);
            }
            if (out.size() != h.length) corrupt("長い値の連鎖の長さが不正");
            return out;
        }
        default:
            corrupt("長い値の形式が不明");
    }
}

}  // namespace jet
