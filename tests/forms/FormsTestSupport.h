// Shared by the screen tests: scripted dialogs, test data and scratch folders.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <initializer_list>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "clsScriptedDialogs.h"

class frmDBDef;
class frmTableList;

namespace formstest {

// Puts fresh scripted dialogs in place and returns them.
std::shared_ptr<clsScriptedDialogs> fnInstallDialogs();

// Path of a file in tests/data/forms, or of a sample database (*.mdb) in tests/data/mdb.
std::string fnData(const std::string& strName);

// Copies a test data file into objDir and returns the copy's path.
std::string fnCopyData(const QTemporaryDir& objDir, const std::string& strName, const std::string& strAs = {});

// The whole file as bytes.
std::string fnReadBytes(const std::string& strPath);

// Fills the eleven boxes of the definition screen: the workbook path, then the ten positions.
void sbFillBoxes(frmDBDef& objForm, const std::string& strPath, const std::vector<QString>& colValues);

// The message texts shown so far.
std::vector<std::string> fnTexts(const clsScriptedDialogs& objDialogs);

// The user tables of a database (system tables left out), sorted.
std::vector<std::string> fnTablesIn(const std::string& strMdb);

// A control of a screen by its object name (the screens keep their controls to themselves).
// Stops the test program when there is none.
template <class T>
T* fnControl(const QObject* objScreen, const char* strName) {
    T* objControl = objScreen->findChild<T*>(QString::fromLatin1(strName));
    if (!objControl) qFatal("no control %s", strName);
    return objControl;
}

// Selects exactly the given rows of the table list.
void sbSelect(frmTableList& frm, std::initializer_list<int> colRows);

}  // namespace formstest
