#include "clsScriptedDialogs.h"

void clsScriptedDialogs::sbMsgBox(QWidget*, const std::string& strText, enmMsgStyle lngStyle) {
    mocolMessages.push_back({strText, lngStyle});
    if (mofnOnMessage) mofnOnMessage(strText);
}

std::string clsScriptedDialogs::fnNextFile(const std::string& strKind, const std::string& strFilter) {
    mocolFileDialogs.push_back({strKind, strFilter});
    if (mocolFileAnswers.empty()) return std::string();
    std::string strAnswer = mocolFileAnswers.front();
    mocolFileAnswers.pop_front();
    return strAnswer;
}

std::string clsScriptedDialogs::fnOpenFile(QWidget*, const std::string& strFilter) {
    return fnNextFile("open", strFilter);
}

std::string clsScriptedDialogs::fnSaveFile(QWidget*, const std::string& strFilter) {
    return fnNextFile("save", strFilter);
}

std::string clsScriptedDialogs::fnBrowseFolder(QWidget*) {
    mocolFileDialogs.push_back({"folder", std::string()});
    if (mocolFolderAnswers.empty()) return std::string();
    std::string strAnswer = mocolFolderAnswers.front();
    mocolFolderAnswers.pop_front();
    return strAnswer;
}

bool clsScriptedDialogs::fnAskPassword(QWidget*, const std::string& strPrompt, std::string& strPassword) {
    mocolFileDialogs.push_back({"password", strPrompt});
    if (mocolPasswordAnswers.empty()) return false;
    strPassword = mocolPasswordAnswers.front();
    mocolPasswordAnswers.pop_front();
    return true;
}
