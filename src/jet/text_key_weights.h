// Weight tables behind the text-key encoder (generated data, see tools/gen_text_key_weights.py).
#pragma once

#include <cstdint>

namespace jet {
namespace keyweights {

// One code point's entry in the General Legacy table.
struct GenLegEntry {
    bool found = false;     // false for the surrogate block (not in the table)
    char cls = 'X';         // S simple, I international, Z kana, U ignorable, P modifier, X ignored
    uint8_t inlineLength = 0;
    uint8_t inlineBytes[4] = {0, 0, 0, 0};  // primary weight bytes (S I Z), record code (U), modifier (P)
    uint8_t extraLength = 0;
    uint8_t extraBytes[2] = {0, 0};         // diacritic per weight (I), voicing (Z)
    bool small = false;                     // small kana (Z)
};

// The two tables of the same layout: General Legacy (1033 version 0) and General (1033 version 1).
// In the General table every primary weight is two bytes; class R marks the characters whose
// entry does not fit the key rules (never keyed).
enum class WeightTable { GeneralLegacy, General };

GenLegEntry genLeg(char16_t c);
GenLegEntry lookup(WeightTable table, char16_t c);

// True when b is a one-byte primary weight of the table; any other byte starts a two-byte weight.
bool isSingleByteWeight(uint8_t b);  // General Legacy
bool isSingleByteWeight(WeightTable table, uint8_t b);

enum KanjiKind : uint8_t {
    kJisKanji,    // a JIS X 0208 kanji
    kEquivalent,  // a character weighed right after its kanji (enclosed form, compatibility ideograph)
    kUncertain,   // weight known only to within one: never keyed
};

struct KanjiWeight {
    uint16_t codePoint;
    uint16_t weight;  // the two key bytes, high byte first
    KanjiKind kind;
};

// Entry of the Japanese (1041) kanji table, or nullptr when the character is not in it.
const KanjiWeight* jp1041Kanji(char16_t c);

}  // namespace keyweights
}  // namespace jet
