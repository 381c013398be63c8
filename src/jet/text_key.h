// Index keys of text values, byte for byte as Jet computes them for a sort order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// Sort orders this engine can key (the LCID stored in the header and in each text column).
enum class SortOrder : uint16_t {
    General = 1033,   // "General Legacy", version 0
    Japanese = 1041,  // "Japanese", version 0
};

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
TextKey encodeTextKey(const std::u16string& text, SortOrder order);

}  // namespace jet
