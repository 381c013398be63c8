// Jet 4 row records: column count, fixed area, variable data, offsets, null mask.
//
//   u16 column count | fixed area | variable data | u16 end of the data | u16 offset of each
//   variable column, the last first | u16 variable columns | null mask (a bit per column)
//
// The offsets and counts after the data are only there when the table has variable-length
// columns; they and the null mask are read from the end of the row backwards.
#pragma once

#include <optional>
#include <vector>

#include "bytes.h"
#include "tdef.h"

namespace jet {

constexpr size_t kMaxRowSize = 4060;
constexpr size_t kRowColumnCount = 0;  // u16: the columns the row has values and mask bits for
constexpr size_t kRowFixedArea = 2;    // where the fixed area starts: a column at its fixedOffset
constexpr size_t kRowWord = 2;         // the size of each count and offset after the data
// Compressed text (kColCompressedUnicode) starts with this mark; then runs of one-byte characters
// and of UTF-16 characters, each 00 byte switching from one to the other.
constexpr uint8_t kCompressedTextMark[2] = {0xFF, 0xFE};

// One value per column number (index = column number); nullopt = NULL.
// Booleans read as a one-byte value 0/1 (their null-mask bit).
using RowValues = std::vector<std::optional<Bytes>>;

RowValues decodeRow(const TableDefinition& def, const Bytes& row);
Bytes encodeRow(const TableDefinition& def, const RowValues& values);

// Convenience accessors on decoded values (corrupt() on a wrong length).
std::optional<int32_t> valueLong(const RowValues& v, const ColumnDef& c);
std::optional<int16_t> valueInteger(const RowValues& v, const ColumnDef& c);
std::optional<std::u16string> valueText(const RowValues& v, const ColumnDef& c);  // handles compression
Bytes longBytes(int32_t v);
Bytes integerBytes(int16_t v);
Bytes doubleBytes(double v);

}  // namespace jet
