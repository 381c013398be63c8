// Index keys of text values, byte for byte as Jet computes them for a sort order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// Sort orders this engine can key. The header and each text column store a sort order as an
// LCID and a version: General Legacy is 1033 version 0 (the order of every Jet 4 file and the
// default of Access 2007), General is 1033 version 1 (the default of Access 2010 and later),
// Japanese is 1041 version 0.
constexpr uint16_t kLcidGeneral = 1033;   // English (United States): the General orders
constexpr uint16_t kLcidJapanese = 1041;
enum class SortOrder : uint16_t {
    General = 1033,        // General Legacy, 1033 version 0 (the name Jet 4 code has always used)
    GeneralLegacy = 1033,  // the same order under its own name
    Japanese = 1041,       // Japanese, 1041 version 0
    General2010 = 0x8409,  // General, 1033 version 1
};

uint16_t sortOrderLcid(SortOrder order);
uint8_t sortOrderVersion(SortOrder order);
// The order of a stored LCID and version, or false when this engine cannot key it.
bool sortOrderOf(uint16_t lcid, uint8_t version, SortOrder& order);

struct TextKey {
    bool ok = false;
    // Ascending key bytes of the value, without the column's leading 7F flag byte:
    // primaries, 01, [extra...], ..., 00. Only meaningful when ok.
    std::vector<uint8_t> bytes;
    // When !ok: a readable Japanese sentence naming the character(s) that cannot be keyed
    // exactly in this sort order (nothing may be written then).
    std::string reason;
};

// Key of one text value (UTF-16 code units) in an ascending text index.
// Only the first 255 code units count and trailing spaces are dropped, as Jet does.
// Anything the engine cannot key exactly (a character without verified weights, a mark in a
// position whose key is not settled, more than 14 kana) is refused: ok = false with a reason.
TextKey encodeTextKey(const std::u16string& text, SortOrder order);

// The same for UTF-8 text; malformed UTF-8 is refused with a reason.
TextKey encodeTextKeyUtf8(const std::string& text, SortOrder order);

}  // namespace jet
