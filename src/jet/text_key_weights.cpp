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
    uint8_t step;  // 1: the two inline bytes, read as a number, rise by one per code point
    uint8_t inlineLength;
    uint8_t inlineBytes[4];
    uint8_t extraLength;
    uint8_t extraBytes[2];
    uint8_t small;
};

#include "text_key_weights_genleg.inc"
#include "text_key_weights_jp1041.inc"

}  // namespace

GenLegEntry genLeg(char16_t c) {
    GenLegEntry e;
    const GenLegRun* end = kGenLegRuns + sizeof(kGenLegRuns) / sizeof(kGenLegRuns[0]);
    const GenLegRun* run = std::upper_bound(kGenLegRuns, end, c,
                                            [](char16_t v, const GenLegRun& r) { return v < r.first; });
    if (run == kGenLegRuns) return e;
    --run;
    if (c > run->last) return e;  // the surrogate gap
    e.found = true;
    e.cls = run->cls;
    e.inlineLength = run->inlineLength;
    std::copy(run->inlineBytes, run->inlineBytes + 4, e.inlineBytes);
    if (run->step == 1) {
        unsigned w = (unsigned(run->inlineBytes[0]) << 8 | run->inlineBytes[1]) + (c - run->first);
        e.inlineBytes[0] = uint8_t(w >> 8);
        e.inlineBytes[1] = uint8_t(w);
    }
    e.extraLength = run->extraLength;
    std::copy(run->extraBytes, run->extraBytes + 2, e.extraBytes);
    e.small = run->small != 0;
    return e;
}

bool isSingleByteWeight(uint8_t b) {
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
