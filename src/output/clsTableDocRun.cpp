#include "clsTableDocRun.h"

#include <filesystem>

#include "TextRules.h"
#include "clsDBInfo.h"
#include "clsHTMLDoc.h"
#include "file_names.h"

std::string defaultDocTitle(const std::string& strWorkbookPath) {
    return "テーブル定義書 - " + platform::fsPath(trimBlanks(strWorkbookPath)).filename().u8string();
}

TableDocResult fnWriteTableDoc(const std::vector<TableInfoPtr>& colTables, const std::string& strFolder,
                               const std::string& strTitle, std::function<bool(int lngDone, int lngTotal)> fnProgress) {
    clsDBInfo objSelected;
    for (const TableInfoPtr& objTable : colTables)
        if (objTable) objSelected.setTable(objTable);
    TableDocResult objResult;
    objResult.lngTables = objSelected.getTables().size();
    objResult.strIndexPath = htmldoc::joinPath(strFolder, "index.htm");
    clsHTMLDoc objDoc;
    objDoc.setTitle(strTitle);
    if (fnProgress) objDoc.sbSetProgress(std::move(fnProgress));
    try {
        if (!objDoc.fnWriteFile(objSelected, strFolder)) objResult.enmOutcome = TableDocResult::Outcome::Stopped;
    } catch (const clsHTMLDocError& objErr) {
        objResult.enmOutcome = TableDocResult::Outcome::Failed;
        objResult.strError = objErr.what();
    }
    return objResult;
}
