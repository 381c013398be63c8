// The dialogs as Qt shows them.
#pragma once

#include <QString>

#include "clsDialogs.h"

class clsQtDialogs : public clsDialogs {
public:
    void sbMsgBox(QWidget* objOwner, const std::string& strText, enmMsgStyle lngStyle) override;
    std::string fnOpenFile(QWidget* objOwner, const std::string& strFilter) override;
    std::string fnSaveFile(QWidget* objOwner, const std::string& strFilter) override;
    std::string fnBrowseFolder(QWidget* objOwner) override;
    bool fnAskPassword(QWidget* objOwner, const std::string& strPrompt, std::string& strPassword) override;

    // "label|*.a *.b" as a Qt name filter "label (*.a *.b)".
    static QString fnQtFilter(const std::string& strFilter);
};
