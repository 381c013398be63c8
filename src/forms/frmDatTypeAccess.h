// The type notation screen: the words of the design document for the eight Access field types,
// for Yes/No and Memo (blank: no word of their own), and the switches for the built-in type
// dictionary and for sizes written in the type cell (WORD(N)). Shown modeless beside the
// definition screen; its boxes reach the map when it closes.
#pragma once

#include <QMainWindow>
#include <string>
#include <utility>
#include <vector>

#include "clsAccessFieldAttr.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class clsTextBox;

class frmDatTypeAccess : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDatTypeAccess(QWidget* objParent = nullptr);

    // The map being edited: the definition screen's own instance.
    void sbSetMap(AccessFieldAttrPtr objMap) { moDataType = std::move(objMap); }
    const AccessFieldAttrPtr& getMap() const { return moDataType; }

    // Shows the screen; the first showing loads it (boxes filled from the map), later ones only
    // bring it forward and keep the boxes as they are.
    void sbShow();

    // Fills the boxes again from the map (after the map was replaced, e.g. by 自動検出); nothing
    // before the first showing.
    void sbReload();

    // The eight boxes that must not be blank (unless the dictionary is on), in screen order.
    const std::vector<clsTextBox*>& getTypeTextBox() const { return mocolTypeTextBox; }

signals:
    // The boxes were stored in the map as the screen closed (the map edited, moDataType).
    void sigStored(const AccessFieldAttrPtr& objFAttr);

public slots:
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuQuit_Click();

protected:
    void closeEvent(QCloseEvent* objEvent) override;

private:
    // Controls, top to bottom (their object names are these names).
    clsTextBox* txtText;
    clsTextBox* txtDate;
    clsTextBox* txtInt;
    clsTextBox* txtLong;
    clsTextBox* txtAutoNumber;
    clsTextBox* txtSingle;
    clsTextBox* txtDouble;
    clsTextBox* txtCurrency;
    clsTextBox* txtYesNo;
    clsTextBox* txtMemo;
    QCheckBox* chkDictionary;
    QCheckBox* chkSizeInType;
    std::vector<QLabel*> Label1;  // the ten captions, top to bottom
    QMenu* mnuFile;
    QAction* mnuOpen;
    QAction* mnuSave;
    QAction* mnuSep;
    QAction* mnuQuit;

    void sbBuildControls();
    // Widens the boxes and the window for the notations and the caption.
    void sbFitWidth(QWidget* objClient);
    void sbInitTextBoxList();
    void sbClearTextBox();
    void sbAttrToTextBox();
    void sbTextBoxToAttr();
    bool fnCheckInput();

    AccessFieldAttrPtr moDataType;
    std::vector<clsTextBox*> mocolTypeTextBox;
    bool moblnLoaded = false;
};
