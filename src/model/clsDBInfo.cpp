#include "clsDBInfo.h"

TableInfoPtr clsDBInfo::getTable(const std::string& strTableName) const {
    for (const auto& objTable : mocolTables) {
        if (objTable && objTable->getName() == strTableName) return objTable;
    }
    return nullptr;
}
