// The type notation screen: the words of the design document for the eight Access field types.
// Shown modeless beside the definition screen; its boxes reach the map when it closes.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <string>
#include <vector>

#include "clsAccessFieldAttr.h"

class QAction;
class QLabel;
class QMenu;
class clsTextBox;
class frmDBDef;

class frmDatTypeAccess : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDatTypeAccess(QWidget* objParent = nullptr);

    // The map being edited: the definition screen's own instance.
    AccessFieldAttrPtr moDataType;
    QPointer<frmDBDef> mofrmDBDef;

    // Shows the screen; the first showing loads it (boxes filled from the map), later ones only
    // bring it forward and keep the boxes as they are.
    void sbShow();

    const std::vector<clsTextBox*>& getTypeTextBox() const { return mocolTypeTextBox; }

    // Controls, top to bottom.
    clsTextBox* txtText;
    clsTextBox* txtDate;
    clsTextBox* txtInt;
    clsTextBox* txtLong;
    clsTextBox* txtAutoNumber;
    clsTextBox* txtSingle;
    clsTextBox* txtDouble;
    clsTextBox* txtCurrency;
    std::vector<QLabel*> Label1;  // the eight captions, top to bottom
    QMenu* mnuFile;
    QAction* mnuOpen;
    QAction* mnuSave;
    QAction* mnuSep;
    QAction* mnuQuit;

public slots:
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuQuit_Click();

protected:
    void closeEvent(QCloseEvent* objEvent) override;

private:
    void sbBuildControls();
    // Widens the boxes and the window for the notations and the caption.
    void sbFitWidth(QWidget* objClient);
    void sbInitTextBoxList();
    void sbClearTextBox();
    void sbAttrToTextBox();
    void sbTextBoxToAttr();
    bool fnCheckInput();

    std::vector<clsTextBox*> mocolTypeTextBox;
    bool moblnLoaded = false;
};
