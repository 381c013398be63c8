// What one table may hold. The DAO face checks these as fields and indexes are appended; the
// writer checks the whole request against them again before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tdef.h"

namespace jet {

constexpr size_t kMaxFields = 255;                          // fields of one table
constexpr uint16_t kMaxTextChars = 255;                     // characters of a Text field
constexpr size_t kMaxIndexes = 32;                          // indexes of one table
constexpr size_t kMaxIndexFields = tdef::kRealColumnSlots;  // fields of one index

}  // namespace jet
