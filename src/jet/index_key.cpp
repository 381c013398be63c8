#include "index_key.h"

namespace jet {

Bytes longKey(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value) ^ kLongKeySignFlip;
    Bytes b(kLongKeySize);
    b[0] = kKeyAscending;
    putBe32(&b[1], v);
    return b;
}

Bytes parentIdNameKey(uint32_t parentId, const Bytes& textKey) {
    Bytes b = longKey(static_cast<int32_t>(parentId));
    b.push_back(kKeyAscending);
    b.insert(b.end(), textKey.begin(), textKey.end());
    return b;
}

}  // namespace jet
