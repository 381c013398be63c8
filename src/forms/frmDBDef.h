// The definition screen: the workbook path and the layout of the design document. The program
// starts with it; "次へ(&N)" hands everything to the table list screen.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <string>
#include <vector>

#include "clsAccessFieldAttr.h"
#include "clsExcelDBDocInfo.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class clsTextBox;
class frmDatTypeAccess;
class frmTableList;

class frmDBDef : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDBDef(QWidget* objParent = nullptr);
    ~frmDBDef() override;

    // Shared with the other screens by reference; they outlive the window's closing. The layout
    // definition and the type notation map of the run, each null until the screen first needs it.
    const ExcelDBDocInfoPtr& getDocInfo() const { return moobjDocInfo; }
    const AccessFieldAttrPtr& getFieldAttr() const { return moobjFAttr; }

    // Loads the screen (all boxes emptied, focus on the workbook box) and shows it.
    void sbShow();
    // Shows the layout definition in the ten position boxes (creating it if there is none).
    void sbSetTextBox();
    // Puts the workbook path handed back by the table list screen into the workbook box.
    void sbSetFileBox();
    // Puts a workbook the user handed over (dropped on the screen, or named when starting the
    // program) into the workbook box.
    void sbPutWorkbook(const QString& strFile);

    // The table list screen opened by the last Next (null when closed), the type notation screen.
    frmTableList* getTableList() const;
    frmDatTypeAccess* getDatTypeAccess() const;

    const std::vector<clsTextBox*>& getAllTextBox() const { return mocolAllTextBox; }
    const std::vector<clsTextBox*>& getNumTextBox() const { return mocolNumTextBox; }

public slots:
    // The table list screen went back: its workbook path and layout, shown here again.
    void sbBackFromTableList(const std::string& strFilePath, const ExcelDBDocInfoPtr& objDocInfo);
    // The type notation screen stored its boxes in this map.
    void sbTypesStored(const AccessFieldAttrPtr& objFAttr);
    void cmdOK_Click();
    void cmdRefFile_Click();
    void mnuVersion_Click();
    void mnuQuit_Click();
    void mnuOpenDBDef_Click();
    void mnuSaveDBDef_Click();
    void mnuDetect_Click();
    void mnuFieldAttr_Click();

protected:
    bool eventFilter(QObject* objWatched, QEvent* objEvent) override;

private:
    // Controls (their object names are these names).
    clsTextBox* txtFile;
    clsTextBox* txtSSheet;
    clsTextBox* txtESheet;
    clsTextBox* txtTableNmRow;
    clsTextBox* txtTableNmCol;
    clsTextBox* txtFieldStart;
    clsTextBox* txtFieldNm;
    clsTextBox* txtFieldAttr;
    clsTextBox* txtFieldSize;
    clsTextBox* txtPKey;
    clsTextBox* txtNull;
    QPushButton* cmdRefFile;
    QPushButton* cmdOK;
    QGroupBox* Frame1;
    std::vector<QLabel*> Label1;
    QMenu* mnuFile;
    QAction* mnuVersion;
    QAction* mnuQuit;
    QMenu* mnuDBDef;
    QAction* mnuOpenDBDef;
    QAction* mnuSaveDBDef;
    QAction* mnuDetect;  // "自動検出": finds the layout and the type words of the workbook
    QAction* mnuFieldAttr;

    void sbBuildControls();
    void sbAddTextBox();
    void sbClearTextBox();
    void sbSelectAll(clsTextBox* objBox);
    void sbFocusBox(clsTextBox* objBox);
    bool fnCheckInput(int lngMode);
    void sbGetTextBox();
    bool fnSaveDBDef(const std::string& strPath);
    clsTextBox* fnNewBox(QWidget* objParent, int lngLeft, int lngTop, int lngWidth, int lngHeight,
                         int lngMaxTyped, bool blnHalfWidth);
    QLabel* fnNewLabel(QWidget* objParent, const char* strCaption, int lngLeft, int lngTop, int lngWidth,
                       int lngHeight, bool blnTop);

    ExcelDBDocInfoPtr moobjDocInfo;
    AccessFieldAttrPtr moobjFAttr;
    std::string mostrFilePath;  // the workbook path handed back by the table list screen
    std::vector<clsTextBox*> mocolAllTextBox;
    std::vector<clsTextBox*> mocolNumTextBox;
    QPointer<frmTableList> mofrmTableList;
    QPointer<frmDatTypeAccess> mofrmDatTypeAccess;
    bool moblnPlaced = false;  // placed on the screen once
};
