// Look-ups in the generated weight tables.
#include "text_key_weights.h"

#include <algorithm>

namespace jet {
namespace keyweights {
namespace {

struct GenLegRun {
    uint16_t first;
    uint16_t last;
    char cls;
    uint8_t step;  // 1: the inline bytes, read as a big-endian number, rise by one per code point
    uint8_t inlineLength;
    uint8_t inlineBytes[4];
    uint8_t extraLength;
    uint8_t extraBytes[2];
    uint8_t small;
};

#include "text_key_weights_genleg.inc"
#include "text_key_weights_gen.inc"
#include "text_key_weights_jp1041.inc"

GenLegEntry find(const GenLegRun* begin, const GenLegRun* end, char16_t c) {
    GenLegEntry e;
    const GenLegRun* run = std::upper_bound(begin, end, c,
                                            [](char16_t v, const GenLegRun& r) { return v < r.first; });
    if (run == begin) return e;
    --run;
    if (c > run->last) return e;  // the surrogate gap
    e.found = true;
    e.cls = run->cls;
    e.inlineLength = run->inlineLength;
    std::copy(run->inlineBytes, run->inlineBytes + 4, e.inlineBytes);
    if (run->step == 1) {
        uint32_t w = 0;
        for (int i = 0; i < run->inlineLength; ++i) w = w << 8 | run->inlineBytes[i];
        w += c - run->first;
        for (int i = run->inlineLength; i-- > 0; w >>= 8) e.inlineBytes[i] = uint8_t(w);
    }
    e.extraLength = run->extraLength;
    std::copy(run->extraBytes, run->extraBytes + 2, e.extraBytes);
    e.small = run->small != 0;
    return e;
}

}  // namespace

GenLegEntry genLeg(char16_t c) { return lookup(WeightTable::GeneralLegacy, c); }

GenLegEntry lookup(WeightTable table, char16_t c) {
    if (table == WeightTable::General) return find(kGenRuns, kGenRuns + sizeof(kGenRuns) / sizeof(kGenRuns[0]), c);
    return find(kGenLegRuns, kGenLegRuns + sizeof(kGenLegRuns) / sizeof(kGenLegRuns[0]), c);
}

bool isSingleByteWeight(uint8_t b) { return isSingleByteWeight(WeightTable::GeneralLegacy, b); }

bool isSingleByteWeight(WeightTable table, uint8_t b) {
    if (table == WeightTable::General) return false;  // every General weight is two bytes
    const uint8_t* end = kGenLegSingleByteWeights + sizeof(kGenLegSingleByteWeights);
    return std::binary_search(kGenLegSingleByteWeights, end, b);
}

const KanjiWeight* jp1041Kanji(char16_t c) {
    const KanjiWeight* end = kJp1041Kanji + sizeof(kJp1041Kanji) / sizeof(kJp1041Kanji[0]);
    const KanjiWeight* it = std::lower_bound(
        kJp1041Kanji, end, c, [](const KanjiWeight& k, char16_t v) { return k.codePoint < v; });
    if (it == end || it->codePoint != c) return nullptr;
    return it;
}

}  // namespace keyweights
}  // namespace jet
