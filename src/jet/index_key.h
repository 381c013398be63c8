// Index key bytes of the non-text values the engine writes (ascending order).
#pragma once

#include <cstdint>

#include "bytes.h"

namespace jet {

// Each column's part of a key starts with its order byte, then the value's bytes: as they are
// for an ascending column, each one inverted for a descending one. A NULL value is the one byte
// kKeyNullAscending / kKeyNullDescending (sorting first / last).
constexpr uint8_t kKeyAscending = 0x7F;
constexpr uint8_t kKeyDescending = 0x80;
constexpr uint8_t kKeyNullAscending = 0x00;
constexpr uint8_t kKeyNullDescending = 0xFF;
// Numbers are stored big-endian with the sign bit (kKeySignBit of the first byte) flipped, so that
// negative numbers sort before positive ones; a negative floating-point number is inverted whole.
constexpr uint8_t kKeySignBit = 0x80;
constexpr uint32_t kLongKeySignFlip = 0x80000000u;  // the same flip on a Long as one value
constexpr size_t kLongKeySize = 1 + sizeof(int32_t);  // kKeyAscending, then the four bytes

// 7F + big-endian value with the sign bit flipped.
Bytes longKey(int32_t value);
// MSysObjects "ParentIdName": Long(parentId) then 7F + the name's text key.
Bytes parentIdNameKey(uint32_t parentId, const Bytes& textKey);

}  // namespace jet
