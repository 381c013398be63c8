// Dialogs that answer from a script instead of asking anyone: file and folder choices are taken
// from queues (an exhausted queue answers as a cancelled dialog), and every message box is
// recorded with its style. Used by the tests and by the screenshot tool.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "clsDialogs.h"

struct stMsgRecord {
    std::string strText;
    enmMsgStyle lngStyle;
};

struct stFileRecord {
    std::string strKind;    // "open", "save" or "folder"
    std::string strFilter;  // the filter passed, empty for a folder
};

class clsScriptedDialogs : public clsDialogs {
public:
    void sbMsgBox(QWidget* objOwner, const std::string& strText, enmMsgStyle lngStyle) override;
    std::string fnOpenFile(QWidget* objOwner, const std::string& strFilter) override;
    std::string fnSaveFile(QWidget* objOwner, const std::string& strFilter) override;
    std::string fnBrowseFolder(QWidget* objOwner) override;
    // Takes the next password answer; cancelled when there is none. Recorded as "password".
    bool fnAskPassword(QWidget* objOwner, const std::string& strPrompt, std::string& strPassword) override;

    // Answers to come, first in first out. Empty text stands for a cancelled dialog.
    std::deque<std::string> mocolFileAnswers;    // open and save choosers
    std::deque<std::string> mocolFolderAnswers;  // folder chooser
    std::deque<std::string> mocolPasswordAnswers;  // password box

    // What was shown, in order.
    std::vector<stMsgRecord> mocolMessages;
    std::vector<stFileRecord> mocolFileDialogs;

    // Called while a message box is "open", after it was recorded (may be empty).
    std::function<void(const std::string&)> mofnOnMessage;

    void sbClear() {
        mocolFileAnswers.clear();
        mocolFolderAnswers.clear();
        mocolPasswordAnswers.clear();
        mocolMessages.clear();
        mocolFileDialogs.clear();
    }

private:
    std::string fnNextFile(const std::string& strKind, const std::string& strFilter);
};
