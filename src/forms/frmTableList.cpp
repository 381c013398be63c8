#include "frmTableList.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <exception>
#include <utility>

#include "AppControl.h"
#include "FormLook.h"
#include "TextRules.h"
#include "clsAccessDB.h"
#include "clsCreateTables.h"
#include "clsDesignCheck.h"
#include "clsDesignDiff.h"
#include "clsDialogs.h"
#include "clsExcel.h"
#include "clsExcelDBDoc.h"
#include "clsProgress.h"
#include "clsRefFolder.h"
#include "clsTableDocRun.h"
#include "frmResultText.h"

using formlook::fnRect;

namespace {
const char* const kFilterMDB = "Access データベース|*.mdb *.accdb";
// A comparison only reads: any database the engine opens will do.
const char* const kFilterCompareDB = "Access データベース|*.mdb *.accdb";

constexpr int kClientWidth = 7515;
constexpr int kClientHeight = 6180;

// A creation run on this screen: each table that fails in a warning as it happens, the
// builder's own field-level messages with an OK button alone, the steps in the progress. The
// tables the closing write lost are said once the progress is gone (sbShowNotWritten).
class clsCreateBoxes : public clsCreateTablesReport {
public:
    explicit clsCreateBoxes(QWidget* objOwner) : moOwner(objOwner) {}
    void sbSetProgress(clsProgress* objProgress) { moProgress = objProgress; }

    void sbShowMessage(const std::string& strText) override { sbNotice(moOwner, strText); }
    bool fnProgress(int lngDone, int) override { return !moProgress || moProgress->fnStep(lngDone); }
    // The screen's line, then why on the next line when the builder says.
    void sbTableFailed(const std::string& strName, const std::string& strReason, const base::Subject&) override {
        sbWarn(moOwner, createFailedLine(strName) + (strReason.empty() ? "" : "\n" + strReason));
    }
    void sbNotWritten(const std::vector<std::string>& colNames, const std::string& strReason) override {
        std::string strLines;
        for (const std::string& strName : colNames) strLines += createFailedLine(strName) + "\n";
        if (strLines.empty()) strLines = "データベースを閉じられませんでした\n";
        mostrNotWritten = strLines + strReason;
    }
    void sbShowNotWritten() const {
        if (!mostrNotWritten.empty()) sbWarn(moOwner, mostrNotWritten);
    }

private:
    QWidget* moOwner;
    clsProgress* moProgress = nullptr;
    std::string mostrNotWritten;
};

enum class OpenResult { Opened, Failed, Cancelled };

// Reads a database through fnOpen (under the wait cursor the caller set); a database with a
// password: asks for it until it is right or the user cancels. objReader is the clsAccessDB or
// clsDesignDiff that fnOpen reads through. Cancelled leaves the normal cursor.
template <class Reader, class Open>
OpenResult fnOpenAskingPassword(QWidget* objOwner, Reader& objReader, Open fnOpen) {
    bool blnOpened = fnOpen();
    while (!blnOpened && objReader.fnPasswordRefused()) {
        QApplication::restoreOverrideCursor();
        std::string strPassword;
        if (!fnDialogs().fnAskPassword(objOwner, objReader.getLastError() + "\nパスワード:", strPassword))
            return OpenResult::Cancelled;
        objReader.sbSetPassword(strPassword);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        blnOpened = fnOpen();
    }
    return blnOpened ? OpenResult::Opened : OpenResult::Failed;
}

}  // namespace

frmTableList::frmTableList(QWidget* objParent) : QMainWindow(objParent) {
    setWindowTitle(QString::fromUtf8(kAppTitle));
    formlook::sbSetScreenFont(this);
    sbBuildControls();
}

void frmTableList::sbBuildControls() {
    auto* objClient = new QWidget(this);
    objClient->setObjectName(QStringLiteral("client"));
    objClient->setFixedSize(formlook::fnPx(kClientWidth, this), formlook::fnPx(kClientHeight, this));
    formlook::sbSetBackground(objClient, formlook::fnLightCyan());
    setCentralWidget(objClient);

    Label1 = formlook::fnLabel(objClient, QString::fromUtf8("テーブル一覧表"), 120, 120, 1575, 375, false);
    Label1->setWordWrap(false);
    Label1->setObjectName(QStringLiteral("Label1"));

    List1 = new QListWidget(objClient);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(fnRect(120, 480, 7215, 4740, objClient));
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setSortingEnabled(false);
    // The list keeps its own white background.
    List1->setAutoFillBackground(true);

    cmdBack = new QPushButton(QString::fromUtf8("戻る(&B)"), objClient);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdBack->setGeometry(fnRect(120, 5400, 1095, 495, objClient));
    setTabOrder(List1, cmdBack);

    mnuFile = menuBar()->addMenu(QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    mnuQuit = mnuFile->addAction(QString::fromUtf8("終了(&X)"));
    mnuMake = menuBar()->addMenu(QString::fromUtf8("作成(&C)"));
    mnuMakeTable = mnuMake->addAction(QString::fromUtf8("テーブル作成"));
    mnuMakeTableDoc = mnuMake->addAction(QString::fromUtf8("テーブルDoc作成"));
    // Before and after creating: the design's problems, and how a database differs from it.
    mnuMake->addSeparator();
    mnuCheckDesign = mnuMake->addAction(QString::fromUtf8("設計書チェック"));
    mnuCompareDB = mnuMake->addAction(QString::fromUtf8("DB比較"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuQuit->setObjectName(QStringLiteral("mnuQuit"));
    mnuMake->setObjectName(QStringLiteral("mnuMake"));
    mnuMakeTable->setObjectName(QStringLiteral("mnuMakeTable"));
    mnuMakeTableDoc->setObjectName(QStringLiteral("mnuMakeTableDoc"));
    mnuCheckDesign->setObjectName(QStringLiteral("mnuCheckDesign"));
    mnuCompareDB->setObjectName(QStringLiteral("mnuCompareDB"));

    connect(cmdBack, &QPushButton::clicked, this, &frmTableList::cmdBack_Click);
    connect(mnuQuit, &QAction::triggered, this, &frmTableList::mnuQuit_Click);
    connect(mnuMakeTable, &QAction::triggered, this, &frmTableList::mnuMakeTable_Click);
    connect(mnuMakeTableDoc, &QAction::triggered, this, &frmTableList::mnuMakeTableDoc_Click);
    connect(mnuCheckDesign, &QAction::triggered, this, &frmTableList::mnuCheckDesign_Click);
    connect(mnuCompareDB, &QAction::triggered, this, &frmTableList::mnuCompareDB_Click);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmTableList::sbSetSource(ExcelDBDocInfoPtr objDocInfo, AccessFieldAttrPtr objFAttr, std::string strFilePath,
                               QWidget* objOpener) {
    moobjExcelDocInfo = std::move(objDocInfo);
    moobjFAttr = std::move(objFAttr);
    mostrFilePath = std::move(strFilePath);
    moobjOpener = objOpener;
}

void frmTableList::sbShow() {
    sbGetDBInfo();
    List1->clear();
    const auto& colTables = moobjDBInfo->getTables();
    for (size_t i = 0; i < colTables.size(); ++i) {
        auto* objItem = new QListWidgetItem(QString::fromStdString(colTables[i]->getName()), List1);
        objItem->setData(Qt::UserRole, static_cast<int>(i));
    }
    List1->clearSelection();
    List1->setCurrentRow(-1);
    show();
    raise();
    activateWindow();
    List1->setFocus(Qt::OtherFocusReason);
}

void frmTableList::sbGetDBInfo() {
    if (!moobjExcelDocInfo) moobjExcelDocInfo = std::make_shared<clsExcelDBDocInfo>();
    // This screen is not shown yet while it reads: the progress stands over the definition screen.
    QWidget* objOwner = moobjOpener ? moobjOpener.data() : this;
    // Its clock starts before the workbook is opened, so the time spent opening a large file
    // counts too. The number of sheets comes with the first report; until then one step stands in.
    auto objProg = std::make_unique<clsProgress>(objOwner, "DB設計書を読み込んでいます…", 1, "キャンセル");
    auto fnProgressed = [&objProg](int lngDone, int lngTotal) { return objProg->fnStep(lngDone, lngTotal); };

    // A workbook that cannot be read is reported with its reason and lists nothing; so is a
    // reading the user stopped, without a warning.
    std::string strReason;
    bool blnCancelled = false;
    try {
        clsExcelDBDoc objDoc;
        objDoc.sbSetDocInfo(*moobjExcelDocInfo);
        objDoc.sbSetProgress(fnProgressed);
        if (objDoc.fnReadDBDoc(mostrFilePath)) {
            moobjDBInfo = objDoc.getDBInfo();
            if (!moobjDBInfo) moobjDBInfo = std::make_shared<clsDBInfo>();
            return;
        }
        strReason = objDoc.getLastError();
        blnCancelled = objDoc.wasCancelled();
    } catch (const std::exception& objErr) {
        strReason = readFailureReason(objErr);
    } catch (...) {
        strReason.clear();
    }
    objProg.reset();
    moobjDBInfo = std::make_shared<clsDBInfo>();
    if (blnCancelled) return;
    std::string strText = "『" + mostrFilePath + "』を読み込めませんでした";
    if (!strReason.empty()) strText += "\n" + strReason;
    sbWarn(moobjOpener ? moobjOpener.data() : this, strText);
}

std::vector<int> frmTableList::fnSelectedRows() const {
    std::vector<int> colRows;
    for (int i = 0; i < List1->count(); ++i) {
        if (List1->item(i)->isSelected()) colRows.push_back(i);
    }
    return colRows;
}

TableInfoPtr frmTableList::fnEntryTable(int lngRow) const {
    // Each entry stands for the table read from its own sheet, also where two sheets name the
    // same table: a lookup by name would give the first of them for both entries.
    const QListWidgetItem* objItem = List1->item(lngRow);
    if (!objItem) return nullptr;
    const auto& colTables = moobjDBInfo->getTables();
    bool blnIndex = false;
    const int lngIndex = objItem->data(Qt::UserRole).toInt(&blnIndex);
    if (blnIndex && lngIndex >= 0 && lngIndex < static_cast<int>(colTables.size())) return colTables[lngIndex];
    return moobjDBInfo->getTable(objItem->text().toStdString());
}

void frmTableList::cmdBack_Click() {
    emit sigBack(mostrFilePath, moobjExcelDocInfo);
    close();
}

void frmTableList::mnuMakeTable_Click() {
    const std::vector<int> colRows = fnSelectedRows();
    if (colRows.empty()) {
        sbWarn(this, kMsgNoTableSelected);
        return;
    }
    const std::string strPath = fnDialogs().fnOpenFile(this, kFilterMDB);
    if (isBlank(strPath)) return;

    if (!moobjFAttr) moobjFAttr = std::make_shared<clsAccessFieldAttr>();
    clsCreateBoxes objReport(this);
    clsAccessDB objAccess(&objReport);
    objAccess.sbSetFieldAttr(moobjFAttr);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const OpenResult enmOpened = fnOpenAskingPassword(this, objAccess, [&] { return objAccess.fnOpenDB(strPath); });
    if (enmOpened == OpenResult::Cancelled) return;
    if (enmOpened == OpenResult::Failed) {
        QApplication::restoreOverrideCursor();
        sbWarn(this, "『" + strPath + "』Openに失敗しました");
        return;
    }
    if (!objAccess.getOpenNotice().empty()) {
        QApplication::restoreOverrideCursor();
        sbNotice(this, objAccess.getOpenNotice());
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // Top to bottom, whatever order the user selected them in.
    std::vector<TableInfoPtr> colTables;
    for (int lngRow : colRows)
        if (const TableInfoPtr objTable = fnEntryTable(lngRow)) colTables.push_back(objTable);
    // The user may stop the work between two tables; a table is created whole or not at all, and
    // the tables created before a stop are kept.
    auto objProg = std::make_unique<clsProgress>(this, "テーブルを作成しています…",
                                                 static_cast<int>(colTables.size()), "キャンセル");
    objReport.sbSetProgress(objProg.get());
    const CreateTablesResult objResult = fnCreateTables(objAccess, colTables, objReport);
    objReport.sbSetProgress(nullptr);
    objProg.reset();
    QApplication::restoreOverrideCursor();
    objReport.sbShowNotWritten();
    // A stopped run is not reported as a finished one.
    sbNotice(this, objResult.blnStopped ? std::string(kMsgCreateStopped) + "\n" + kMsgCreateFinished : kMsgCreateFinished);
}

void frmTableList::mnuMakeTableDoc_Click() {
    const std::vector<int> colRows = fnSelectedRows();
    if (colRows.empty()) {
        sbWarn(this, kMsgNoTableSelected);
        return;
    }
    clsRefFolder objFolder;
    objFolder.setHWND(this);
    const std::string strFolder = objFolder.fnShow();
    if (strFolder.empty()) return;
    // The chooser is gone before the work starts: the screen is painted again where it stood.
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The selected tables, in list order.
    std::vector<TableInfoPtr> colTables;
    for (int lngRow : colRows)
        if (const TableInfoPtr objTable = fnEntryTable(lngRow)) colTables.push_back(objTable);
    TableDocResult objRun;
    std::string strError;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        // The user may stop the work between two pages (a list of the pages written ends it).
        clsProgress objProg(this, "テーブル定義書を作成しています…", static_cast<int>(colTables.size()) + 3, "キャンセル");
        try {
            objRun = fnWriteTableDoc(colTables, strFolder, defaultDocTitle(mostrFilePath),
                                     [&objProg](int lngDone, int lngTotal) { return objProg.fnStep(lngDone, lngTotal); });
            strError = objRun.strError;
            if (objRun.enmOutcome == TableDocResult::Outcome::Failed && strError.empty()) strError = "?";
        } catch (const std::exception& objErr) {
            strError = objErr.what();
            if (strError.empty()) strError = "?";
        } catch (...) {
            strError = "?";
        }
    }
    QApplication::restoreOverrideCursor();
    if (!strError.empty())
        sbWarn(this, "作成に失敗しました\n" + strError);
    else if (objRun.enmOutcome == TableDocResult::Outcome::Stopped)
        sbNotice(this, "作成を中止しました");
    else
        sbNotice(this, "作成しました");
}

void frmTableList::mnuCheckDesign_Click() {
    // The whole design: a name repeated on another sheet is a problem even when one is selected.
    if (!moobjFAttr) moobjFAttr = std::make_shared<clsAccessFieldAttr>();
    clsDesignCheck objCheck;
    objCheck.sbSetFieldAttr(moobjFAttr);
    std::vector<std::string> colLines;
    for (const DesignProblem& p : objCheck.fnCheck(*moobjDBInfo)) colLines.push_back(designProblemLine(p));
    const std::string strHeading = colLines.empty() ? "テーブル作成で問題になるものは見つかりませんでした。"
                                                    : "テーブル作成で問題になるもの: " + std::to_string(colLines.size()) + " 件";
    sbShowResult(new frmResultText(this, "設計書チェック", strHeading, colLines));
}

void frmTableList::mnuCompareDB_Click() {
    const std::string strPath = fnDialogs().fnOpenFile(this, kFilterCompareDB);
    if (isBlank(strPath)) return;
    // The selected tables; all of them, and the database's other tables too, when none is.
    const std::vector<int> colRows = fnSelectedRows();
    std::vector<TableInfoPtr> colTables;
    if (colRows.empty()) {
        colTables = moobjDBInfo->getTables();
    } else {
        for (int lngRow : colRows)
            if (const TableInfoPtr objTable = fnEntryTable(lngRow)) colTables.push_back(objTable);
    }
    if (!moobjFAttr) moobjFAttr = std::make_shared<clsAccessFieldAttr>();
    clsDesignDiff objDiff;
    objDiff.sbSetFieldAttr(moobjFAttr);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const OpenResult enmRead =
        fnOpenAskingPassword(this, objDiff, [&] { return objDiff.fnCompare(colTables, strPath, colRows.empty()); });
    if (enmRead == OpenResult::Cancelled) return;
    QApplication::restoreOverrideCursor();
    if (enmRead == OpenResult::Failed) {
        sbWarn(this, "『" + strPath + "』を読めませんでした\n" + objDiff.getLastError());
        return;
    }
    const std::string strHeading = (objDiff.isSame() ? "DB設計書とデータベースは一致しています。"
                                                     : "DB設計書とデータベースには違いがあります。") +
                                   std::string("\nデータベース: ") + strPath +
                                   (objDiff.getOpenNotice().empty() ? std::string() : "\n" + objDiff.getOpenNotice());
    sbShowResult(new frmResultText(this, "DB比較", strHeading, comparisonLines(objDiff.getResult())));
}

void frmTableList::sbShowResult(QWidget* objWindow) {
    if (mofrmResult) mofrmResult->close();
    mofrmResult = objWindow;
    objWindow->show();
    objWindow->raise();
    objWindow->activateWindow();
}

void frmTableList::mnuQuit_Click() { sbEndProgram(); }
