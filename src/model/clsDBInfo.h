// The tables read from one design document, in sheet order. Names may repeat.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "clsTableInfo.h"

class clsDBInfo {
public:
    // Appends the table itself (shared, not copied); no check of its name.
    void setTable(TableInfoPtr objTable) { mocolTables.push_back(std::move(objTable)); }
    const std::vector<TableInfoPtr>& getTables() const { return mocolTables; }

    // The first table whose name equals strTableName exactly (case-sensitive, untrimmed), or null.
    TableInfoPtr getTable(const std::string& strTableName) const;

private:
    std::vector<TableInfoPtr> mocolTables;
};

using DBInfoPtr = std::shared_ptr<clsDBInfo>;
