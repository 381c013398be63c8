// One sheet's substream in a BIFF stream: from the BOF record its BOUNDSHEET entry points at to
// the matching EOF, embedded chart substreams skipped. A worksheet's cell records (numbers, RK
// numbers, strings, shared strings, booleans and errors, cached formula results) become cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "biff_globals.h"
#include "cell.h"

namespace xls::biff {

// The largest sheet BIFF8 can describe.
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

// Cells by cellKey(row0, col0).
using CellMap = std::unordered_map<std::uint32_t, Cell>;
inline std::uint32_t cellKey(unsigned row0, unsigned col0) { return (std::uint32_t(row0) << 16) | col0; }

// Walks sheet `index` of the globals' list. With out == nullptr it only checks the record chain
// (and that shared-string cells name strings that exist); otherwise the cells in rows
// 0..maxRow-1 and columns 0..maxCol-1 go into out. Returns where the sheet's records end.
// Throws Error(Damaged) on damage.
std::size_t walkSheet(const std::vector<std::uint8_t>& stream, const Globals& globals, std::size_t index,
                      int maxRow, int maxCol, CellMap* out);

}  // namespace xls::biff
