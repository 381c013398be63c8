#include "properties.h"

#include <algorithm>
#include <iterator>

#include "row.h"
#include "tdef.h"

namespace jet {

using namespace props;

namespace {

// A Required / Format / DisplayControl value as Access's table designer writes it.
constexpr uint8_t kDdl = 0x01;
constexpr uint16_t kDisplayControlCheckBox = 106;

}  // namespace

Bytes encodeProperties(const std::vector<PropertyBlock>& blocks) {
    std::vector<std::u16string> names;
    auto nameIndex = [&](const std::u16string& n) {
        auto it = std::find(names.begin(), names.end(), n);
        if (it != names.end()) return static_cast<uint16_t>(it - names.begin());
        names.push_back(n);
        return static_cast<uint16_t>(names.size() - 1);
    };
    std::vector<Bytes> encodedBlocks;
    for (auto& blk : blocks) {
        Bytes b(kBlockHeaderSize, 0);
        put16(&b[kBlockType], blk.kind);
        Bytes owner = utf16ToLe(blk.owner);
        append32(b, static_cast<uint32_t>(kOwnerHeaderSize + owner.size()));
        append16(b, static_cast<uint32_t>(owner.size()));
        b.insert(b.end(), owner.begin(), owner.end());
        for (auto& v : blk.values) {
            append16(b, static_cast<uint32_t>(kValueHeaderSize + v.data.size()));
            b.push_back(v.ddl);
            b.push_back(v.type);
            append16(b, nameIndex(v.name));
            append16(b, static_cast<uint32_t>(v.data.size()));
            b.insert(b.end(), v.data.begin(), v.data.end());
        }
        put32(&b[kBlockLength], static_cast<uint32_t>(b.size()));
        encodedBlocks.push_back(std::move(b));
    }
    Bytes out(std::begin(kPropertiesMagic), std::end(kPropertiesMagic));
    Bytes nameBlock(kBlockHeaderSize, 0);
    put16(&nameBlock[kBlockType], kBlockNames);
    for (auto& n : names) {
        Bytes nb = utf16ToLe(n);
        append16(nameBlock, static_cast<uint32_t>(nb.size()));
        nameBlock.insert(nameBlock.end(), nb.begin(), nb.end());
    }
    put32(&nameBlock[kBlockLength], static_cast<uint32_t>(nameBlock.size()));
    out.insert(out.end(), nameBlock.begin(), nameBlock.end());
    for (auto& b : encodedBlocks) out.insert(out.end(), b.begin(), b.end());
    return out;
}

namespace {

void decodeNames(const Reader& r, size_t p, size_t end, std::vector<std::u16string>& names) {
    while (p < end) {
        uint16_t n = r.u16(p);
        if (p + kNameLengthSize + n > end) corrupt("プロパティ名の長さが不正");
        names.push_back(utf16FromLe(r.at(p + kNameLengthSize, n), n));
        p += kNameLengthSize + n;
    }
}

PropertyBlock decodeBlock(const Reader& r, uint16_t type, size_t p, size_t end, const std::vector<std::u16string>& names) {
    PropertyBlock blk;
    blk.kind = type;
    uint32_t ownerLen = r.u32(p + kOwnerLength);
    uint16_t n = r.u16(p + kOwnerNameLength);
    if (ownerLen < kOwnerHeaderSize || p + ownerLen > end || kOwnerHeaderSize + n > ownerLen)
        corrupt("プロパティの所有者の長さが不正");
    blk.owner = utf16FromLe(r.at(p + kOwnerHeaderSize, n), n);
    p += ownerLen;
    while (p < end) {
        uint16_t vlen = r.u16(p + kValueLength);
        if (vlen < kValueHeaderSize || p + vlen > end) corrupt("プロパティ値の長さが不正");
        PropertyValue v;
        v.ddl = r.u8(p + kValueDdl);
        v.type = r.u8(p + kValueType);
        uint16_t ni = r.u16(p + kValueName);
        uint16_t dl = r.u16(p + kValueDataLength);
        if (ni >= names.size() || kValueHeaderSize + dl > vlen) corrupt("プロパティ値が不正");
        v.name = names[ni];
        v.data = r.copy(p + kValueHeaderSize, dl);
        blk.values.push_back(std::move(v));
        p += vlen;
    }
    return blk;
}

}  // namespace

std::vector<PropertyBlock> decodeProperties(const Bytes& blob) {
    Reader r(blob.data(), blob.size(), "プロパティ");
    for (size_t i = 0; i < sizeof kPropertiesMagic; ++i)
        if (r.u8(i) != kPropertiesMagic[i]) corrupt("プロパティの形式が不明");
    size_t off = sizeof kPropertiesMagic;
    std::vector<std::u16string> names;
    std::vector<PropertyBlock> blocks;
    while (off < blob.size()) {
        uint32_t len = r.u32(off + kBlockLength);
        uint16_t type = r.u16(off + kBlockType);
        if (len < kBlockHeaderSize) corrupt("プロパティのブロック長が不正");
        r.need(off, len);
        size_t end = off + len;
        if (type == kBlockNames) decodeNames(r, off + kBlockHeaderSize, end, names);
        else if (type == kBlockTable || type == kBlockColumn)
            blocks.push_back(decodeBlock(r, type, off + kBlockHeaderSize, end, names));
        off = end;
    }
    return blocks;
}

Bytes requiredProperties(const std::vector<NewColumnProperties>& columns) {
    std::vector<PropertyBlock> blocks;
    for (auto& c : columns) {
        PropertyBlock b;
        b.kind = kBlockColumn;
        b.owner = c.name;
        if (c.yesNo) b.values.push_back(PropertyValue{u"Format", colText, kDdl, utf16ToLe(u"Yes/No")});
        b.values.push_back(PropertyValue{u"Required", colBoolean, kDdl, {static_cast<uint8_t>(c.required ? 1 : 0)}});
        if (c.yesNo) b.values.push_back(PropertyValue{u"DisplayControl", colInteger, kDdl, integerBytes(kDisplayControlCheckBox)});
        blocks.push_back(std::move(b));
    }
    return encodeProperties(blocks);
}

}  // namespace jet
