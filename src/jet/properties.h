// Property blobs ("MR2"): the LvProp long value of a catalog row, holding object and column
// properties such as Required.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "bytes.h"

namespace jet {

struct PropertyValue {
    std::u16string name;
    uint8_t type = 0;     // Jet column type of the value
    uint8_t ddl = 0;
    Bytes data;
};

struct PropertyBlock {
    std::u16string owner;  // column name; empty for the table itself
    uint16_t kind = 0;     // 0 table-level, 1 column
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
