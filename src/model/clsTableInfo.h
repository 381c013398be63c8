// One table of a design document: its name, its fields in row order and its primary-key field names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "clsFieldInfo.h"

class clsTableInfo {
public:
    void setName(const std::string& strTableName) { mostrName = strTableName; }
    const std::string& getName() const { return mostrName; }

    // Appends the field itself (shared, not copied).
    void setField(FieldInfoPtr objField) { mocolFields.push_back(std::move(objField)); }
    const std::vector<FieldInfoPtr>& getFields() const { return mocolFields; }

    // Appends a primary-key field name; nothing ties it to the field list.
    void sbAddPKey(const std::string& strField) { mocolPrimaryKeys.push_back(strField); }
    const std::vector<std::string>& getPrimaryKeys() const { return mocolPrimaryKeys; }

private:
    std::string mostrName;
    std::vector<FieldInfoPtr> mocolFields;
    std::vector<std::string> mocolPrimaryKeys;
};

using TableInfoPtr = std::shared_ptr<clsTableInfo>;
