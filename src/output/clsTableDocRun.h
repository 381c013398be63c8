// Writing the documentation of the selected tables, as the table list screen and xlsdb-cli html
// both do it: the tables in the order given, under a title, into an existing folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "clsTableInfo.h"

// The title when none is given: "テーブル定義書 - <the workbook's file name>".
std::string defaultDocTitle(const std::string& strWorkbookPath);

struct TableDocResult {
    enum class Outcome { Written, Stopped, Failed };
    Outcome enmOutcome = Outcome::Written;
    std::string strError;          // why, when Failed (the page writer's sentence)
    std::size_t lngTables = 0;     // tables in the documentation
    std::string strIndexPath;      // the index.htm written
};

// Writes the pages of colTables (null entries are skipped) into strFolder. fnProgress, when
// given, is told before each page and may stop the run (see clsHTMLDoc::sbSetProgress). A page
// that cannot be written ends the run as Failed; other failures (lack of memory) are thrown.
TableDocResult fnWriteTableDoc(const std::vector<TableInfoPtr>& colTables, const std::string& strFolder,
                               const std::string& strTitle,
                               std::function<bool(int lngDone, int lngTotal)> fnProgress = nullptr);
