// Index key bytes of the non-text values the engine writes (ascending order).
#pragma once

#include <cstdint>

#include "bytes.h"

namespace jet {

constexpr uint8_t kKeyAscending = 0x7F;

// 7F + big-endian value with the sign bit flipped.
Bytes longKey(int32_t value);
// MSysObjects "ParentIdName": Long(parentId) then 7F + the name's text key.
Bytes parentIdNameKey(uint32_t parentId, const Bytes& textKey);

}  // namespace jet
