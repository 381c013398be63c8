// The design check against the builder itself: every test design is created in a new database,
// and what the builder reports (its messages, the tables it refuses, the fields it leaves out)
// must be exactly what the check finds beforehand, at the cells the problems come from.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "clsAccessDB.h"
#include "clsDesignCheck.h"
#include "clsExcelDBDoc.h"
#include "dao.h"
#include "table_schema.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const fs::path kData = fs::path(XLSDB_TEST_DATA);

struct Design {
    std::string book, layout, types;  // layout / types empty: the defaults
};

DBInfoPtr readDesign(const Design& d) {
    clsExcelDBDocInfo objInfo;
    if (!d.layout.empty()) {
        EXPECT_TRUE(objInfo.fnReadFile((kData / d.layout).string()));
    }
    clsExcelDBDoc objDoc;
    objDoc.sbSetDocInfo(objInfo);
    EXPECT_TRUE(objDoc.fnReadDBDoc((kData / d.book).string())) << objDoc.getLastError();
    return objDoc.getDBInfo();
}

AccessFieldAttrPtr typesOf(const Design& d) {
    auto objAttr = std::make_shared<clsAccessFieldAttr>();
    if (!d.types.empty()) {
        EXPECT_TRUE(fnReadAttrFile((kData / d.types).string(), *objAttr));
    }
    return objAttr;
}

// Kinds after which the builder refuses the whole table.
const std::set<std::string> kTableFails = {"multipleAutoNumber", "keyFieldSkipped", "duplicateKeyField",
                                           "tooManyKeyFields", "memoKey", "invalidTableName", "nameNotKeyable",
                                           "duplicateTable", "allFieldsSkipped", "other"};
// Kinds of a field the builder leaves out.
const std::set<std::string> kFieldSkipped = {"unknownType", "missingType", "missingSize", "badSize",
                                             "sizeOutOfRange", "invalidFieldName", "duplicateField"};

}  // namespace

TEST(DesignCheck, FindsWhatTheBuilderMeetsInEveryTestDesignAtItsCell) {
    const std::vector<Design> designs = {
        {"app/sales_design.xls", "app/sales_design.edf", ""},
        {"app/sales_design.xlsx", "app/sales_design.edf", ""},
        {"app/hr_design_ja.xls", "app/hr_design_ja.edf", "app/hr_design_ja.afa"},
        {"app/hr_design_ja.xlsx", "app/hr_design_ja.edf", ""},  // its words unknown without its map
        {"app/failures.xlsx", "app/failures.edf", ""},
        {"app/japanese/japanese_names.xlsx", "app/japanese/japanese_names.edf", ""},
        {"app/diff/before.xlsx", "", ""},
        {"app/diff/after.xlsx", "", ""},
        {"forms/dup_tables.xlsx", "", ""},
        {"reading/edge_cases.xlsx", "", ""},
        {"conventions/sql_types.xlsx", "conventions/sql_types.edf", "conventions/sql_types.afa"},
    };
    int lngProblemsSeen = 0;
    for (const Design& d : designs) {
        SCOPED_TRACE(d.book);
        DBInfoPtr objDB = readDesign(d);
        const AccessFieldAttrPtr objAttr = typesOf(d);
        clsDesignCheck objCheck;
        objCheck.sbSetFieldAttr(objAttr);
        const std::vector<DesignProblem> colProblems = objCheck.fnCheck(*objDB);
        lngProblemsSeen += static_cast<int>(colProblems.size());

        testsupport::TempDir dir;
        const std::string mdb = (dir.path() / "new.mdb").string();
        clsMessageList objMessages;
        {
            clsAccessDB objNew;
            ASSERT_TRUE(objNew.fnCreateDB(mdb));
            objNew.fnCloseDB();
        }
        clsAccessDB objBuilder(&objMessages);
        objBuilder.sbSetFieldAttr(objAttr);
        ASSERT_TRUE(objBuilder.fnOpenDB(mdb));
        std::map<int, bool> mapCreated;
        std::map<int, std::vector<std::string>> mapMessages;
        for (const TableInfoPtr& t : objDB->getTables()) {
            objMessages.sbClear();
            mapCreated[t->getSheetNo()] = objBuilder.fnCreateTable(*t);
            mapMessages[t->getSheetNo()] = objMessages.getMessages();
        }
        objBuilder.fnCloseDB();

        auto db = jet::DBEngine().OpenDatabase(mdb, true);
        for (const TableInfoPtr& t : objDB->getTables()) {
            SCOPED_TRACE(t->getName());
            std::vector<const DesignProblem*> colMine;
            for (const DesignProblem& p : colProblems)
                if (p.lngSheetNo == t->getSheetNo()) colMine.push_back(&p);
            bool blnTableFails = false;
            std::set<std::string> setSkipped;
            for (const DesignProblem* p : colMine) {
                EXPECT_EQ(p->strSheetName, t->getSheetName());
                EXPECT_EQ(p->strTable, t->getName());
                blnTableFails = blnTableFails || kTableFails.count(p->strKind);
                if (kFieldSkipped.count(p->strKind)) setSkipped.insert(p->strField);
                // The cell of the part the problem is about, on the row of its field.
                if (p->strField.empty()) {
                    EXPECT_EQ(p->strCell, t->getNameCellA1()) << p->strMessage;
                } else {
                    std::set<std::string> setCells;
                    for (const FieldInfoPtr& f : t->getFields()) {
                        if (f->getName() != p->strField) continue;
                        for (FieldPart e : {FieldPart::Name, FieldPart::Type, FieldPart::Size, FieldPart::PrimaryKey})
                            setCells.insert(f->getCellA1(e));
                    }
                    EXPECT_TRUE(setCells.count(p->strCell)) << p->strCell << " " << p->strMessage;
                }
            }
            // Every message the builder showed for this table is one of the problems found: its
            // words, then the place, which names the same cell.
            for (const std::string& m : mapMessages[t->getSheetNo()]) {
                bool blnFound = false;
                for (const DesignProblem* p : colMine) {
                    blnFound = blnFound || (m.rfind(p->strMessage + "（", 0) == 0 &&
                                            m.find("のセル" + p->strCell + "）") != std::string::npos);
                }
                EXPECT_TRUE(blnFound) << "not found by the check: " << m;
            }
            if (t->getFields().empty()) {
                ASSERT_EQ(colMine.size(), 1u);
                EXPECT_EQ(colMine[0]->strKind, "noFields");
                continue;
            }
            // The table is refused exactly when the check says so; otherwise it holds every field
            // the check did not name as left out.
            EXPECT_EQ(mapCreated[t->getSheetNo()], !blnTableFails);
            if (!mapCreated[t->getSheetNo()]) continue;
            const jet::StoredTable s = jet::readStoredTable(*db, t->getName());
            for (const FieldInfoPtr& f : t->getFields()) {
                EXPECT_EQ(s.field(f->getName()) != nullptr, !setSkipped.count(f->getName())) << f->getName();
            }
            if (colMine.empty()) {
                EXPECT_TRUE(mapMessages[t->getSheetNo()].empty());
                EXPECT_EQ(s.fields.size(), t->getFields().size());
            }
        }
        db->Close();
    }
    EXPECT_GT(lngProblemsSeen, 20);
}
