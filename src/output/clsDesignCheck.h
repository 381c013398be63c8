// Finds, without any database, every problem the Access builder would meet when creating the
// tables of a design: it applies the builder's own rules (AccessTableRules.h) and the engine's
// checks of a table definition, plus the sort order's keys of the table names and the names the
// design repeats. Each problem names its sheet and cell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clsAccessFieldAttr.h"
#include "clsDBInfo.h"
#include "text_key.h"

struct DesignProblem {
    std::int32_t lngSheetNo = 0;  // 1-based position of the sheet (0: not read from a workbook)
    std::string strSheetName;
    std::string strCell;          // A1 notation; empty when the problem has no cell of its own
    std::string strTable;
    std::string strField;         // empty for a problem of the table
    std::string strKind;          // one of designProblemKinds()
    std::string strMessage;       // what the builder says, or would have to say
};

// The kinds of problem, each with a short Japanese description, in a stable order.
struct DesignProblemKind {
    const char* strKind;
    const char* strDescription;
};
const std::vector<DesignProblemKind>& designProblemKinds();

class clsDesignCheck {
public:
    // Keeps the map (shared, not copied); the default notations apply without one.
    void sbSetFieldAttr(AccessFieldAttrPtr objFieldAttr) { moobjFieldAttr = std::move(objFieldAttr); }
    // The sort order of the database the tables are meant for (Japanese unless set).
    void sbSetSortOrder(jet::SortOrder enmOrder) { moenmOrder = enmOrder; }

    // Every problem of the design's tables, in sheet order and, within a table, in the order the
    // builder meets them (fields top to bottom, then the key, then the table as a whole).
    std::vector<DesignProblem> fnCheck(const clsDBInfo& objDB) const;

private:
    AccessFieldAttrPtr moobjFieldAttr;
    jet::SortOrder moenmOrder = jet::SortOrder::Japanese;
};

// One problem as a line for people: "シート2「顧客」 E7: テーブル「顧客」 フィールド「電話」: message [kind]".
std::string designProblemLine(const DesignProblem& objProblem);
