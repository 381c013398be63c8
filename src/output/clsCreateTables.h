// Creating the selected tables in an open database, as the table list screen and xlsdb-cli
// create both do it: one table after another in the order given, each failure reported with the
// builder's reason, then the database closed (the tables reach the file together then).
#pragma once

#include <string>
#include <vector>

#include "clsAccessDB.h"
#include "clsMessageOut.h"
#include "clsTableInfo.h"

// The lines both callers show.
extern const char* const kMsgNoTableSelected;  // "テーブルが１つも選択されていません"
extern const char* const kMsgCreateFinished;   // "作成処理を終了しました。"
extern const char* const kMsgCreateStopped;    // "作成処理を中止しました。"
// "<table>作成に失敗しました"
std::string createFailedLine(const std::string& strTable);

// Where a run reports, in the order things happen. It is the builder's message layer as well:
// give the same object to the clsAccessDB the run creates through, and the field-level messages
// (each a field left out of its table) come between the reports of their tables.
class clsCreateTablesReport : public clsMessageOut {
public:
    // Before each table and once at the end (lngDone of lngTotal tables done); false before a
    // table stops the run there. The tables done so far are kept.
    virtual bool fnProgress(int lngDone, int lngTotal) {
        (void)lngDone;
        (void)lngTotal;
        return true;
    }
    // A table taken although the design gives it no field: nothing is written for it.
    virtual void sbNoFields(const std::string& strTable) { (void)strTable; }
    // A table not created; strReason is the builder's (empty when it gave none), objAbout what
    // the reason names (its table when it names the table: clsAccessDB::getLastSubject).
    virtual void sbTableFailed(const std::string& strTable, const std::string& strReason,
                               const base::Subject& objAbout) = 0;
    // The closing write failed: the run's tables that are not in the file (none when the
    // database could not even be closed), and why.
    virtual void sbNotWritten(const std::vector<std::string>& colTables, const std::string& strReason) = 0;
};

struct CreateTablesResult {
    int lngFailed = 0;        // tables not created, those lost with the closing write included
    bool blnStopped = false;  // stopped through fnProgress
    bool blnClosed = false;   // the closing write succeeded
};

// Creates colTables (null entries are skipped) in objAccess, which must be open for writing,
// then closes it, reporting through objReport.
CreateTablesResult fnCreateTables(clsAccessDB& objAccess, const std::vector<TableInfoPtr>& colTables,
                                  clsCreateTablesReport& objReport);
