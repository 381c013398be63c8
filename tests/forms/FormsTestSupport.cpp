#include "FormsTestSupport.h"

#include <QFile>
#include <fstream>
#include <sstream>

#include "clsTextBox.h"
#include "frmDBDef.h"

namespace formstest {

std::shared_ptr<clsScriptedDialogs> fnInstallDialogs() {
    auto objDialogs = std::make_shared<clsScriptedDialogs>();
    sbSetDialogs(objDialogs);
    return objDialogs;
}

std::string fnData(const std::string& strName) { return std::string(XLSDB_TEST_DATA) + "/forms/" + strName; }

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
    objForm.txtFile->setText(QString::fromStdString(strPath));
    const auto& colBoxes = objForm.getNumTextBox();
    for (size_t i = 0; i < colBoxes.size() && i < colValues.size(); ++i) colBoxes[i]->setText(colValues[i]);
}

std::vector<std::string> fnTexts(const clsScriptedDialogs& objDialogs) {
    std::vector<std::string> colTexts;
    for (const auto& objMsg : objDialogs.mocolMessages) colTexts.push_back(objMsg.strText);
    return colTexts;
}

}  // namespace formstest
