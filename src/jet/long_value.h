// Long values (Memo, OLE, LvProp): a 12-byte header in the row, the data inline or in rows of
// LVAL pages (one row, or a chain of rows each led by the pointer to the next).
#pragma once

#include "bytes.h"
#include "pager.h"

namespace jet {

constexpr uint8_t kLongValueInline = 0x80;
constexpr uint8_t kLongValueOneRow = 0x40;
constexpr uint8_t kLongValueChain = 0x00;
// The header in the row: u24 length, the form, the first row (row pointer), a stamp.
constexpr size_t kLongValueLength = 0;  // u24: the value's bytes
constexpr size_t kLongValueForm = 3;
constexpr size_t kLongValueFirstRow = 4;
constexpr size_t kLongValueStamp = 8;
constexpr size_t kLongValueHeaderSize = 12;          // inline data follows the header
constexpr uint32_t kLongValueMaxLength = 0xFFFFFF;  // the header's length has 24 bits
constexpr size_t kLongValueNextSize = 4;            // a chain row's lead: pointer to the next row
constexpr size_t kLongValueChunk = 4072;            // value bytes in each row of a chain we write

struct LongValueHeader {
    uint32_t length = 0;
    uint8_t form = 0;
    RowPointer first;
    uint32_t stamp = 0;
};

LongValueHeader parseLongValueHeader(const Bytes& field);  // corrupt() when shorter than 12 bytes
Bytes makeLongValueHeader(uint32_t length, uint8_t form, RowPointer first, uint32_t stamp);

// Reads the whole value (corrupt-database error on a bad pointer, length or a cycle).
Bytes readLongValue(Pager& pager, const Bytes& field);

}  // namespace jet
