#include "clsCreateTables.h"

#include <exception>

const char* const kMsgNoTableSelected = "テーブルが１つも選択されていません";
const char* const kMsgCreateFinished = "作成処理を終了しました。";
const char* const kMsgCreateStopped = "作成処理を中止しました。";

std::string createFailedLine(const std::string& strTable) { return strTable + "作成に失敗しました"; }

CreateTablesResult fnCreateTables(clsAccessDB& objAccess, const std::vector<TableInfoPtr>& colTables,
                                  clsCreateTablesReport& objReport) {
    CreateTablesResult objResult;
    const int lngTotal = static_cast<int>(colTables.size());
    int lngDone = 0;
    for (const TableInfoPtr& objTable : colTables) {
        if (!objReport.fnProgress(lngDone, lngTotal)) {
            objResult.blnStopped = true;
            break;
        }
        ++lngDone;
        // Each entry stands for the table read from its own sheet, also where two sheets name
        // the same table.
        if (!objTable) continue;
        bool blnOK = false;
        std::string strReason;
        base::Subject objAbout;
        try {
            blnOK = objAccess.fnCreateTable(*objTable);
            if (!blnOK) {
                strReason = objAccess.getLastError();
                objAbout = objAccess.getLastSubject();
            }
        } catch (const std::exception& objErr) {
            strReason = objErr.what();
            if (const auto* pError = dynamic_cast<const base::UserError*>(&objErr)) objAbout = pError->subject();
        } catch (...) {
        }
        if (blnOK) {
            if (objTable->getFields().empty()) objReport.sbNoFields(objTable->getName());
            continue;
        }
        ++objResult.lngFailed;
        objReport.sbTableFailed(objTable->getName(), strReason, objAbout);
    }
    objReport.fnProgress(lngDone, lngTotal);
    // The tables created so far (also when the run was stopped) reach the file now, together.
    objResult.blnClosed = objAccess.fnCloseDB();
    if (!objResult.blnClosed) {
        objResult.lngFailed += static_cast<int>(objAccess.getUnwrittenTables().size());
        objReport.sbNotWritten(objAccess.getUnwrittenTables(), objAccess.getLastError());
    }
    return objResult;
}
