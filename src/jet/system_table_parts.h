// What the two new-database generators (Jet 4 and .accdb) share about the system tables they
// describe as data: a logical index as written, and the names, which are ASCII.
#pragma once

#include <cstdint>
#include <string>

#include "tdef.h"

namespace jet {

// A logical index of a system table.
struct SystemLogicalIndex {
    const char* name;
    uint32_t number;
    uint32_t realIndex;
    uint8_t kind;  // tdef::kIndexTypePrimaryKey or 0
};

// Its definition: no relationship, the name in UTF-16.
LogicalIndexDef logicalIndexOf(const SystemLogicalIndex& index);

// An ASCII name in UTF-16.
std::u16string ascii16(const char* s);

}  // namespace jet
