// The user's dialogs: the message box and the file and folder choosers. The screens talk to the
// user only through fnDialogs(), so a test can put a scripted set of answers in place of the
// real dialogs.
#pragma once

#include <memory>
#include <string>

class QWidget;

// Caption of every window and message box.
extern const char* const kAppTitle;

enum class enmMsgStyle {
    Exclamation = 48,  // warnings and refusals: exclamation icon and an OK button
    OkOnly = 0         // notices: an OK button alone
};

class clsDialogs {
public:
    virtual ~clsDialogs() = default;

    // Shows strText modally with the application title as caption; returns when it is closed.
    virtual void sbMsgBox(QWidget* objOwner, const std::string& strText, enmMsgStyle lngStyle) = 0;

    // strFilter is one entry "label|pattern" (patterns separated by blanks). Returns the chosen
    // file's full path, or empty text on cancel. The open chooser accepts a typed name of a file
    // that does not exist and returns it as typed (with its folder); neither adds an extension.
    virtual std::string fnOpenFile(QWidget* objOwner, const std::string& strFilter) = 0;
    virtual std::string fnSaveFile(QWidget* objOwner, const std::string& strFilter) = 0;

    // A folder's plain path, or empty text on cancel. Modal to objOwner's window; without an
    // owner the chooser has none.
    virtual std::string fnBrowseFolder(QWidget* objOwner) = 0;

    // A password box: the text typed (not shown while typed), or false on cancel.
    virtual bool fnAskPassword(QWidget* objOwner, const std::string& strPrompt, std::string& strPassword) = 0;
};

// The dialogs in use: the Qt ones unless sbSetDialogs replaced them.
clsDialogs& fnDialogs();
void sbSetDialogs(std::shared_ptr<clsDialogs> objDialogs);

// Shorthands for the two message styles.
void sbWarn(QWidget* objOwner, const std::string& strText);
void sbNotice(QWidget* objOwner, const std::string& strText);
