// The table list screen: reads the design document as it loads, lists its tables, creates the
// selected ones in an Access database and writes their HTML documentation.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <string>

#include "clsAccessFieldAttr.h"
#include "clsDBInfo.h"
#include "clsExcelDBDocInfo.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

class frmTableList : public QMainWindow {
    Q_OBJECT
public:
    explicit frmTableList(QWidget* objParent = nullptr);

    // Set by the screen that opens this one, before sbShow: the layout and the type words (the
    // same instances it holds), the workbook path as typed, and the screen itself (the reading's
    // progress and warnings stand over it, as this screen is not shown yet while it reads).
    void sbSetSource(ExcelDBDocInfoPtr objDocInfo, AccessFieldAttrPtr objFAttr, std::string strFilePath,
                     QWidget* objOpener);
    const ExcelDBDocInfoPtr& getDocInfo() const { return moobjExcelDocInfo; }
    const AccessFieldAttrPtr& getFieldAttr() const { return moobjFAttr; }
    const std::string& getFilePath() const { return mostrFilePath; }

    // Loads the screen (reads the design document and lists its tables) and shows it.
    void sbShow();

    // The model read while loading (empty when the reading failed).
    const DBInfoPtr& getDBInfo() const { return moobjDBInfo; }

    // The window of the last 設計書チェック or DB比較 (null once it is closed).
    QWidget* getResultWindow() const { return mofrmResult.data(); }

signals:
    // 戻る: the workbook path and the layout go back to the screen this one was opened from,
    // which shows itself again; this screen closes after the signal.
    void sigBack(const std::string& strFilePath, const ExcelDBDocInfoPtr& objDocInfo);

public slots:
    void cmdBack_Click();
    void mnuMakeTable_Click();
    void mnuMakeTableDoc_Click();
    void mnuCheckDesign_Click();
    void mnuCompareDB_Click();
    void mnuQuit_Click();

private:
    // Controls (their object names are these names).
    QLabel* Label1;
    QListWidget* List1;
    QPushButton* cmdBack;
    QMenu* mnuFile;
    QAction* mnuQuit;
    QMenu* mnuMake;
    QAction* mnuMakeTable;
    QAction* mnuMakeTableDoc;
    QAction* mnuCheckDesign;
    QAction* mnuCompareDB;

    void sbBuildControls();
    void sbGetDBInfo();
    // Shows a result window in place of the one shown before.
    void sbShowResult(QWidget* objWindow);
    std::vector<int> fnSelectedRows() const;
    // The model's table behind the entry in row lngRow.
    TableInfoPtr fnEntryTable(int lngRow) const;

    ExcelDBDocInfoPtr moobjExcelDocInfo;
    AccessFieldAttrPtr moobjFAttr;
    std::string mostrFilePath;
    QPointer<QWidget> moobjOpener;
    QPointer<QWidget> mofrmResult;
    DBInfoPtr moobjDBInfo = std::make_shared<clsDBInfo>();
};
