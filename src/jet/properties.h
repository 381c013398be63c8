// Property blobs ("MR2"): the LvProp long value of a catalog row, holding object and column
// properties such as Required.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "bytes.h"

namespace jet {

// The layout of a blob: kPropertiesMagic, then blocks, each a u32 length (the whole block) and a
// u16 type at kBlockLength / kBlockType, its contents from kBlockHeaderSize on. The names block
// comes first: each name a u16 byte length and UTF-16. A table's or column's block: its owner (u32
// length of this part, u16 byte length of the name, the name), then its values, each
// kValueHeaderSize bytes (u16 length, u8 DDL flag, u8 type, u16 name number, u16 data length)
// and the data.
namespace props {
constexpr uint8_t kPropertiesMagic[4] = {'M', 'R', '2', 0};
constexpr size_t kBlockLength = 0, kBlockType = 4, kBlockHeaderSize = 6;
constexpr uint16_t kBlockNames = 0x80;
constexpr uint16_t kBlockTable = 0x00, kBlockColumn = 0x01;  // PropertyBlock::kind
constexpr size_t kOwnerLength = 0, kOwnerNameLength = 4, kOwnerHeaderSize = 6;
constexpr size_t kValueLength = 0, kValueDdl = 2, kValueType = 3, kValueName = 4, kValueDataLength = 6;
constexpr size_t kValueHeaderSize = 8;
constexpr size_t kNameLengthSize = 2;  // the u16 before each name in the names block
}  // namespace props

struct PropertyValue {
    std::u16string name;
    uint8_t type = 0;     // Jet column type of the value
    uint8_t ddl = 0;
    Bytes data;
};

struct PropertyBlock {
    std::u16string owner;  // column name; empty for the table itself
    uint16_t kind = 0;     // props::kBlockTable or props::kBlockColumn
    std::vector<PropertyValue> values;
};

// Encodes blocks (the name list is built in order of first use).
Bytes encodeProperties(const std::vector<PropertyBlock>& blocks);
// Decodes a blob; corrupt-database error when malformed.
std::vector<PropertyBlock> decodeProperties(const Bytes& blob);

// A new column's properties: Required, and for a Yes/No column the check box Access's table
// designer gives it (Format "Yes/No", DisplayControl 106).
struct NewColumnProperties {
    std::u16string name;
    bool required = false;
    bool yesNo = false;
};

// The blob of a new table: a Required property (01 / 00) for each column, with Format and
// DisplayControl around it for a Yes/No column, in the order Access writes them.
Bytes requiredProperties(const std::vector<NewColumnProperties>& columns);

}  // namespace jet
