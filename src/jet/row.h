// Jet 4 row records: column count, fixed area, variable data, offsets, null mask.
#pragma once

#include <optional>
#include <vector>

#include "bytes.h"
#include "tdef.h"

namespace jet {

constexpr size_t kMaxRowSize = 4060;

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
