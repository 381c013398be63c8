// The design document reader over hand-made design sheets (see data/reading/gen_edge_cases.py).
#include <gtest/gtest.h>

#include <dirent.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "clsExcel.h"
#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/reading/";
const std::string kEdge = kData + "edge_cases.xlsx";

int openFileCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

clsExcelDBDocInfo layout(int start, int end) {
    clsExcelDBDocInfo info;
    info.sbSetPage(start, end);
    return info;
}

DBInfoPtr read(const clsExcelDBDocInfo& info, const std::string& path = kEdge) {
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    EXPECT_TRUE(doc.fnReadDBDoc(path)) << doc.getLastError();
    return doc.getDBInfo();
}

std::vector<std::string> names(const DBInfoPtr& db) {
    std::vector<std::string> out;
    for (const auto& t : db->getTables()) out.push_back(t->getName());
    return out;
}

}  // namespace

TEST(Reader, TablesFieldsKeysAndNullMarksAsWritten) {
    const DBInfoPtr db = read(layout(1, 5));
    // Sheet 2's name is only blanks (U+3000 counts as one): no table. Two tables share a name.
    ASSERT_EQ(names(db), (std::vector<std::string>{"  T_MAIN  ", "T_EMPTY", "T_99", "T_EMPTY"}));

    const auto& main = db->getTables()[0];
    const auto& f = main->getFields();
    ASSERT_EQ(f.size(), 4u);  // the full-width-space name on row 10 ends the list; LOST is not read
    EXPECT_EQ(f[0]->getName(), " ID ");
    EXPECT_EQ(f[0]->getAttr(), "AutoNumber");
    EXPECT_EQ(f[0]->getSize(), "");
    EXPECT_FALSE(f[0]->getNull());
    EXPECT_EQ(f[1]->getName(), "NAME");
    EXPECT_EQ(f[1]->getSize(), "50");  // a number cell
    EXPECT_TRUE(f[1]->getNull());       // "0" is a mark like any other text
    EXPECT_EQ(f[2]->getSize(), "10");
    EXPECT_FALSE(f[2]->getNull());      // U+3000 alone is blank
    EXPECT_EQ(f[3]->getSize(), "1.5");
    EXPECT_TRUE(f[3]->getNull());
    // Marked rows in row order; the repeated name stands twice, spaces kept.
    EXPECT_EQ(main->getPrimaryKeys(), (std::vector<std::string>{" ID ", "CODE", " ID "}));

    EXPECT_TRUE(db->getTables()[1]->getFields().empty());
    EXPECT_TRUE(db->getTables()[1]->getPrimaryKeys().empty());

    const auto& to99 = db->getTables()[2]->getFields();
    ASSERT_EQ(to99.size(), 94u);  // rows 6..99
    EXPECT_EQ(to99.back()->getName(), "F99");
    EXPECT_EQ(to99.back()->getSize(), "99");
}

// Each table knows its sheet and the cell of its name, each field its row and the cell of each part,
// so that messages can point at them.
TEST(Reader, TablesAndFieldsKnowWhereTheyWereRead) {
    clsExcelDBDocInfo info = layout(1, 4);
    const DBInfoPtr db = read(info);
    const auto& main = db->getTables()[0];
    EXPECT_EQ(main->getSheetNo(), 1);
    EXPECT_EQ(main->getSheetName(), "Main");
    EXPECT_EQ(main->getNameCellA1(), "C3");
    EXPECT_EQ(main->getPlace(), "シート1「Main」のセルC3");
    const auto& f = main->getFields();
    EXPECT_EQ(f[1]->getRow(), 7);
    EXPECT_EQ(f[1]->getCellA1(FieldPart::Name), "D7");
    EXPECT_EQ(f[1]->getCellA1(FieldPart::Type), "E7");
    EXPECT_EQ(f[1]->getCellA1(FieldPart::Size), "F7");
    EXPECT_EQ(f[1]->getCellA1(FieldPart::PrimaryKey), "G7");
    EXPECT_EQ(f[1]->getCellA1(FieldPart::Null), "I7");
    EXPECT_EQ(f[1]->getCellA1(FieldPart::Decimals), "");  // no such column in this layout
    EXPECT_EQ(main->getPlace(*f[3], FieldPart::Size), "シート1「Main」のセルF9");

    // Sheet 2 holds no table: the next table's sheet number is still its place in tab order.
    const auto& to99 = db->getTables()[2];
    EXPECT_EQ(to99->getSheetNo(), 4);
    EXPECT_EQ(to99->getSheetName(), "ToRow99");
    EXPECT_EQ(to99->getFields().back()->getCellA1(FieldPart::Name), "D99");

    // Positions move with the layout.
    info.sbSetTableNmPos(3, 2);
    info.sbSetFieldDefPos(4, 9, 7, 6, 5);
    const DBInfoPtr moved = read(info);
    ASSERT_EQ(moved->getTables().size(), 1u);  // only Main has text in B3
    EXPECT_EQ(moved->getTables()[0]->getNameCellA1(), "B3");
    const auto& g = moved->getTables()[0]->getFields();
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[2]->getCellA1(FieldPart::Type), "I8");
    EXPECT_EQ(g[2]->getCellA1(FieldPart::Null), "E8");
}

TEST(Reader, ErrorValuesInTheRowThatEndsTheListDoNotMatter) {
    // Row 10 of sheet 1 has a blank name and error values in the four other columns.
    const DBInfoPtr db = read(layout(1, 1));
    ASSERT_EQ(db->getTables().size(), 1u);
    EXPECT_EQ(db->getTables()[0]->getFields().size(), 4u);
}

TEST(Reader, SheetRanges) {
    EXPECT_TRUE(read(layout(3, 2))->getTables().empty());
    EXPECT_TRUE(read(layout(INT_MIN, 0))->getTables().empty());
    EXPECT_TRUE(read(layout(9, INT_MAX))->getTables().empty());
    // Numbers beyond the workbook are skipped; the whole int range is no trouble.
    const std::string hr = kData + "hr_design_ja.xlsx";
    EXPECT_EQ(names(read(layout(1, 10), hr)), (std::vector<std::string>{"シャイン", "ブショ", "キュウヨ"}));
    EXPECT_EQ(names(read(layout(INT_MIN, INT_MAX), hr)), (std::vector<std::string>{"シャイン", "ブショ", "キュウヨ"}));
    // The chart sheet in range gives no table.
    EXPECT_TRUE(read(layout(8, 8))->getTables().empty());
}

TEST(Reader, PositionsBeyondTheBounds) {
    clsExcelDBDocInfo info = layout(1, 1);
    info.setColNULL(100);
    info.setColPrimaryKey(100);
    info.setColFieldType(100);
    auto t = read(info)->getTables();
    ASSERT_EQ(t.size(), 1u);
    ASSERT_EQ(t[0]->getFields().size(), 4u);
    EXPECT_FALSE(t[0]->getFields()[1]->getNull());
    EXPECT_EQ(t[0]->getFields()[1]->getAttr(), "");
    EXPECT_TRUE(t[0]->getPrimaryKeys().empty());

    info = layout(1, 1);
    info.setColFieldName(100);
    t = read(info)->getTables();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_TRUE(t[0]->getFields().empty());

    info = layout(1, 1);
    info.setStartRowFieldDef(100);
    t = read(info)->getTables();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_TRUE(t[0]->getFields().empty());

    info = layout(1, 5);
    info.sbSetTableNmPos(1000, 3);
    EXPECT_TRUE(read(info)->getTables().empty());
}

namespace {

// Reads and expects a failure at the given sheet and cell; checks that nothing was kept and that
// the workbook was closed.
void expectFailure(const clsExcelDBDocInfo& info, int sheet, const std::string& sheetName, int row, int col,
                   const std::string& cellName) {
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    const int filesBefore = openFileCount();
    try {
        doc.fnReadDBDoc(kEdge);
        ADD_FAILURE() << "the reading should fail";
    } catch (const clsExcelReadError& e) {
        EXPECT_EQ(e.getSheetNo(), sheet);
        EXPECT_EQ(e.getSheetName(), sheetName);
        EXPECT_EQ(e.getRow(), row);
        EXPECT_EQ(e.getCol(), col);
        const std::string what = e.what();
        EXPECT_NE(what.find(sheetName), std::string::npos) << what;
        EXPECT_NE(what.find("シート" + std::to_string(sheet)), std::string::npos) << what;
        if (!cellName.empty()) {
            EXPECT_NE(what.find(cellName), std::string::npos) << what;
        }
    }
    EXPECT_EQ(openFileCount(), filesBefore) << "the workbook was left open";
    EXPECT_TRUE(doc.getDBInfo()->getTables().empty()) << "tables of a failed reading were kept";
}

}  // namespace

TEST(ReaderFailures, ErrorValueInAUsedCell) {
    expectFailure(layout(1, 6), 6, "ErrName", 3, 3, "C3");
    expectFailure(layout(7, 7), 7, "ErrField", 8, 6, "F8");
}

TEST(ReaderFailures, LayoutPositionsBelowOne) {
    clsExcelDBDocInfo info = layout(1, 1);
    info.setColFieldSize(0);
    expectFailure(info, 1, "Main", 6, 0, "");
    info = layout(1, 1);
    info.sbSetTableNmPos(-2, 3);
    expectFailure(info, 1, "Main", -2, 3, "");
    info = layout(1, 1);
    info.setStartRowFieldDef(0);
    expectFailure(info, 1, "Main", 0, 4, "");
}

TEST(ReaderFailures, UnusedCellsCannotFail) {
    // Sheet 3's list ends on its first row: the other four columns of that row are never read,
    // and sheet 2 has no table, so its field cells are never read either.
    clsExcelDBDocInfo info = layout(2, 3);
    info.sbSetFieldDefPos(4, 0, -1, 0, -5);
    const DBInfoPtr db = read(info);
    EXPECT_EQ(names(db), (std::vector<std::string>{"T_EMPTY"}));
}

TEST(ReaderOpen, AWorkbookThatCannotBeOpenedLeavesTheModelAlone) {
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(layout(1, 1));
    ASSERT_TRUE(doc.fnReadDBDoc(kEdge));
    const DBInfoPtr db = doc.getDBInfo();
    EXPECT_FALSE(doc.fnReadDBDoc(""));
    EXPECT_FALSE(doc.fnReadDBDoc(kData + "missing.xlsx"));
    EXPECT_FALSE(doc.fnReadDBDoc(kData + "sales_design.edf"));
    EXPECT_NE(doc.getLastError(), "");
    EXPECT_EQ(doc.getDBInfo(), db);
    EXPECT_EQ(names(db), (std::vector<std::string>{"  T_MAIN  "}));
    // A second reading adds to the same model.
    ASSERT_TRUE(doc.fnReadDBDoc(kEdge));
    EXPECT_EQ(names(db), (std::vector<std::string>{"  T_MAIN  ", "  T_MAIN  "}));
}

TEST(ReaderOpen, TheLayoutIsCopiedWhenGiven) {
    clsExcelDBDocInfo info = layout(1, 1);
    clsExcelDBDoc doc;
    EXPECT_TRUE(doc.getDBInfo()->getTables().empty());
    doc.sbSetDocInfo(info);
    info.sbSetPage(3, 2);  // too late to matter
    ASSERT_TRUE(doc.fnReadDBDoc(kEdge));
    EXPECT_EQ(names(doc.getDBInfo()), (std::vector<std::string>{"  T_MAIN  "}));
}

namespace {

using Calls = std::vector<std::pair<int, int>>;

// Reads with a progress function that records its calls and answers false at call number
// stopAt (0-based; -1: never).
bool readWithProgress(clsExcelDBDoc& doc, const clsExcelDBDocInfo& info, const std::string& path, Calls& calls,
                      int stopAt = -1) {
    doc.sbSetDocInfo(info);
    doc.sbSetProgress([&calls, stopAt](int done, int total) {
        calls.emplace_back(done, total);
        return static_cast<int>(calls.size()) - 1 != stopAt;
    });
    return doc.fnReadDBDoc(path);
}

Calls steps(int total) {
    Calls out;
    for (int i = 0; i <= total; ++i) out.emplace_back(i, total);
    return out;
}

}  // namespace

TEST(ReaderProgress, OneReportPerSheetReadInSheetOrder) {
    const std::string hr = kData + "hr_design_ja.xlsx";
    struct Case {
        clsExcelDBDocInfo info;
        std::string path;
        int total;  // sheets of the range that exist in the workbook
    };
    for (const Case& c : {Case{layout(1, 5), kEdge, 5}, Case{layout(3, 3), kEdge, 1}, Case{layout(8, 20), kEdge, 1},
                          Case{layout(INT_MIN, INT_MAX), hr, 3}, Case{layout(3, 2), kEdge, 0},
                          Case{layout(9, INT_MAX), kEdge, 0}}) {
        clsExcelDBDoc doc;
        Calls calls;
        EXPECT_TRUE(readWithProgress(doc, c.info, c.path, calls)) << doc.getLastError();
        EXPECT_EQ(calls, steps(c.total)) << c.path << " " << c.info.getStartPage() << ".." << c.info.getEndPage();
        EXPECT_FALSE(doc.wasCancelled());
    }
    // The reading itself is the same with or without the reports.
    clsExcelDBDoc doc;
    Calls calls;
    ASSERT_TRUE(readWithProgress(doc, layout(1, 5), kEdge, calls));
    EXPECT_EQ(names(doc.getDBInfo()), names(read(layout(1, 5))));
    // A failing sheet ends the reports: sheet 5 is read, sheet 6 holds an error value.
    calls.clear();
    EXPECT_THROW(readWithProgress(doc, layout(5, 7), kEdge, calls), clsExcelReadError);
    EXPECT_EQ(calls, (Calls{{0, 3}, {1, 3}}));
    // A workbook that does not open reports nothing.
    calls.clear();
    EXPECT_FALSE(readWithProgress(doc, layout(1, 5), kData + "missing.xlsx", calls));
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(doc.wasCancelled());
}

TEST(ReaderProgress, StoppingKeepsNoTableAndClosesTheWorkbook) {
    // Stopped before the first sheet, in the middle, and at the very last report.
    for (int stopAt : {0, 2, 5}) {
        SCOPED_TRACE(stopAt);
        clsExcelDBDoc doc;
        Calls calls;
        ASSERT_TRUE(readWithProgress(doc, layout(1, 1), kEdge, calls));
        const int filesBefore = openFileCount();
        calls.clear();
        EXPECT_FALSE(readWithProgress(doc, layout(1, 5), kEdge, calls, stopAt));
        EXPECT_TRUE(doc.wasCancelled());
        EXPECT_EQ(doc.getLastError(), "読み込みを中止しました。");
        EXPECT_EQ(calls.size(), static_cast<size_t>(stopAt + 1)) << "reading went on after the stop";
        EXPECT_EQ(names(doc.getDBInfo()), (std::vector<std::string>{"  T_MAIN  "})) << "a stopped reading added tables";
        EXPECT_EQ(openFileCount(), filesBefore) << "the workbook was left open";

        // The next reading of the same reader is whole again.
        calls.clear();
        EXPECT_TRUE(readWithProgress(doc, layout(1, 1), kEdge, calls));
        EXPECT_FALSE(doc.wasCancelled());
        EXPECT_EQ(doc.getLastError(), "");
        EXPECT_EQ(doc.getDBInfo()->getTables().size(), 2u);
    }
}
