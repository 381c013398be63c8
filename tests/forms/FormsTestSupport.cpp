#include "FormsTestSupport.h"

#include <QFile>
#include <QListWidget>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "clsTextBox.h"
#include "frmDBDef.h"
#include "frmTableList.h"
#include "clsAccessDB.h"

namespace formstest {

std::shared_ptr<clsScriptedDialogs> fnInstallDialogs() {
    auto objDialogs = std::make_shared<clsScriptedDialogs>();
    sbSetDialogs(objDialogs);
    return objDialogs;
}

std::string fnData(const std::string& strName) {
    const bool blnSample = strName.size() > 4 && strName.compare(strName.size() - 4, 4, ".mdb") == 0;
    return std::string(XLSDB_TEST_DATA) + (blnSample ? "/mdb/" : "/forms/") + strName;
}

std::string fnCopyData(const QTemporaryDir& objDir, const std::string& strName, const std::string& strAs) {
    const QString strTarget = objDir.filePath(QString::fromStdString(strAs.empty() ? strName : strAs));
    QFile::remove(strTarget);
    QFile::copy(QString::fromStdString(fnData(strName)), strTarget);
    QFile::setPermissions(strTarget, QFile::ReadOwner | QFile::WriteOwner);
    return strTarget.toStdString();
}

std::string fnReadBytes(const std::string& strPath) {
    std::ifstream objIn(strPath, std::ios::binary);
    std::ostringstream objOut;
    objOut << objIn.rdbuf();
    return objOut.str();
}

void sbFillBoxes(frmDBDef& objForm, const std::string& strPath, const std::vector<QString>& colValues) {
    fnControl<clsTextBox>(&objForm, "txtFile")->setText(QString::fromStdString(strPath));
    const auto& colBoxes = objForm.getNumTextBox();
    for (size_t i = 0; i < colBoxes.size() && i < colValues.size(); ++i) colBoxes[i]->setText(colValues[i]);
}

std::vector<std::string> fnTexts(const clsScriptedDialogs& objDialogs) {
    std::vector<std::string> colTexts;
    for (const auto& objMsg : objDialogs.mocolMessages) colTexts.push_back(objMsg.strText);
    return colTexts;
}

std::vector<std::string> fnTablesIn(const std::string& strMdb) {
    clsAccessDB objDB;
    if (!objDB.fnOpenDB(strMdb)) return {"<cannot open>"};
    std::vector<std::string> colNames;
    for (const auto& strName : objDB.getTableNames()) {
        if (strName.rfind("MSys", 0) != 0) colNames.push_back(strName);
    }
    objDB.fnCloseDB();
    std::sort(colNames.begin(), colNames.end());
    return colNames;
}

void sbSelect(frmTableList& frm, std::initializer_list<int> colRows) {
    fnControl<QListWidget>(&frm, "List1")->clearSelection();
    for (int lngRow : colRows) fnControl<QListWidget>(&frm, "List1")->item(lngRow)->setSelected(true);
}

}  // namespace formstest
