#include "properties.h"

#include <algorithm>

namespace jet {

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
        Bytes b(6, 0);
        put16(&b[4], blk.kind);
        Bytes owner = utf16ToLe(blk.owner);
        append32(b, static_cast<uint32_t>(4 + 2 + owner.size()));
        append16(b, static_cast<uint32_t>(owner.size()));
        b.insert(b.end(), owner.begin(), owner.end());
        for (auto& v : blk.values) {
            append16(b, static_cast<uint32_t>(8 + v.data.size()));
            b.push_back(v.ddl);
            b.push_back(v.type);
            append16(b, nameIndex(v.name));
            append16(b, static_cast<uint32_t>(v.data.size()));
            b.insert(b.end(), v.data.begin(), v.data.end());
        }
        put32(&b[0], static_cast<uint32_t>(b.size()));
        encodedBlocks.push_back(std::move(b));
    }
    Bytes out = {'M', 'R', '2', 0};
    Bytes nameBlock(6, 0);
    put16(&nameBlock[4], 0x80);
    for (auto& n : names) {
        Bytes nb = utf16ToLe(n);
        append16(nameBlock, static_cast<uint32_t>(nb.size()));
        nameBlock.insert(nameBlock.end(), nb.begin(), nb.end());
    }
    put32(&nameBlock[0], static_cast<uint32_t>(nameBlock.size()));
    out.insert(out.end(), nameBlock.begin(), nameBlock.end());
    for (auto& b : encodedBlocks) out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::vector<PropertyBlock> decodeProperties(const Bytes& blob) {
    Reader r(blob.data(), blob.size(), "プロパティ");
    if (!(r.u8(0) == 'M' && r.u8(1) == 'R' && r.u8(2) == '2' && r.u8(3) == 0)) corrupt("プロパティの形式が不明");
    size_t off = 4;
    std::vector<std::u16string> names;
    std::vector<PropertyBlock> blocks;
    while (off < blob.size()) {
        uint32_t len = r.u32(off);
        uint16_t type = r.u16(off + 4);
        if (len < 6) corrupt("プロパティのブロック長が不正");
        r.need(off, len);
        size_t end = off + len;
        if (type == 0x80) {
            size_t p = off + 6;
            while (p < end) {
                uint16_t n = r.u16(p);
                if (p + 2 + n > end) corrupt("プロパティ名の長さが不正");
                names.push_back(utf16FromLe(r.at(p + 2, n), n));
                p += 2 + n;
            }
        } else if (type == 0x00 || type == 0x01) {
            PropertyBlock blk;
            blk.kind = type;
            size_t p = off + 6;
            uint32_t ownerLen = r.u32(p);
            uint16_t n = r.u16(p + 4);
            if (ownerLen < 6 || p + ownerLen > end || 6u + n > ownerLen) corrupt("プロパティの所有者の長さが不正");
            blk.owner = utf16FromLe(r.at(p + 6, n), n);
            p += ownerLen;
            while (p < end) {
                uint16_t vlen = r.u16(p);
                if (vlen < 8 || p + vlen > end) corrupt("プロパティ値の長さが不正");
                PropertyValue v;
                v.ddl = r.u8(p + 2);
                v.type = r.u8(p + 3);
                uint16_t ni = r.u16(p + 4);
                uint16_t dl = r.u16(p + 6);
                if (ni >= names.size() || 8u + dl > vlen) corrupt("プロパティ値が不正");
                v.name = names[ni];
                v.data = r.copy(p + 8, dl);
                blk.values.push_back(std::move(v));
                p += vlen;
            }
            blocks.push_back(std::move(blk));
        }
        off = end;
    }
    return blocks;
}

Bytes requiredProperties(const std::vector<NewColumnProperties>& columns) {
    std::vector<PropertyBlock> blocks;
    for (auto& c : columns) {
        PropertyBlock b;
        b.kind = 1;
        b.owner = c.name;
        if (c.yesNo) b.values.push_back(PropertyValue{u"Format", 0x0A, 0x01, utf16ToLe(u"Yes/No")});
        b.values.push_back(PropertyValue{u"Required", 0x01, 0x01, {static_cast<uint8_t>(c.required ? 1 : 0)}});
        if (c.yesNo) b.values.push_back(PropertyValue{u"DisplayControl", 0x03, 0x01, {106, 0}});  // check box
        blocks.push_back(std::move(b));
    }
    return encodeProperties(blocks);
}

}  // namespace jet
