// The whole path through the screens: definition -> table list -> tables created in a copy of a
// sample database -> documentation -> Back -> Next again, with scripted dialogs.
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "AppControl.h"
#include "FormsTestSupport.h"
#include "clsAccessDB.h"
#include "clsTextBox.h"
#include "frmDBDef.h"
#include "frmDatTypeAccess.h"
#include "frmTableList.h"

using namespace formstest;

namespace {
const std::string kNoSelection = "テーブルが１つも選択されていません";
const std::string kDone = "作成処理を終了しました。";

QStringList fnListed(const frmTableList& frm) {
    QStringList colNames;
    for (int i = 0; i < fnControl<QListWidget>(&frm, "List1")->count(); ++i) colNames << fnControl<QListWidget>(&frm, "List1")->item(i)->text();
    return colNames;
}

}  // namespace

class TestWorkflow : public QObject {
    Q_OBJECT
    std::shared_ptr<clsScriptedDialogs> moDlg;
    int molngEndCalls = 0;

private slots:
    void init() {
        moDlg = fnInstallDialogs();
        molngEndCalls = 0;
        sbSetEndProgramAction([this] { ++molngEndCalls; });
    }

    void definitionToTablesToDocumentationAndBack() {
        QTemporaryDir objDir;
        const std::string strBook = fnCopyData(objDir, "sales_design.xlsx");
        const std::string strMdb = fnCopyData(objDir, "jet_created_adox_jet4.mdb", "target.mdb");
        frmDBDef frm;
        frm.sbShow();

        // Definition: a layout file, the workbook, and a changed notation on the type notation screen.
        moDlg->mocolFileAnswers = {fnData("sales_design.edf"), strBook};
        fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
        fnControl<QPushButton>(&frm, "cmdRefFile")->click();
        fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
        frmDatTypeAccess* objType = frm.getDatTypeAccess();
        const AccessFieldAttrPtr objMap = frm.getFieldAttr();
        fnControl<clsTextBox>(objType, "txtLong")->setText("長整数");
        const ExcelDBDocInfoPtr objInfo = frm.getDocInfo();
        QVERIFY(moDlg->mocolMessages.empty());

        // Next: the table list gets the same layout and map; the type screen stores its boxes as it
        // closes. It opens where the definition screen stood.
        frm.move(frm.screen()->availableGeometry().topLeft() + QPoint(40, 30));
        const QPoint objDefAt = frm.pos();
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QVERIFY(moDlg->mocolMessages.empty());
        frmTableList* objList = frm.getTableList();
        QVERIFY(objList && objList->isVisible());
        QCOMPARE(objList->pos(), objDefAt);
        QVERIFY(!frm.isVisible());
        QVERIFY(!objType->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(objList->getDocInfo() == objInfo);
        QVERIFY(objList->getFieldAttr() == objMap);
        QCOMPARE(objMap->getLong(), std::string("長整数"));
        QCOMPARE(objList->getFilePath(), strBook);
        QCOMPARE(fnListed(*objList), QStringList({"M_CUSTOMER", "M_PRODUCT", "T_ORDER", "T_ORDER_NOTE"}));
        QVERIFY(fnControl<QListWidget>(objList, "List1")->selectedItems().isEmpty());
        QCOMPARE(objList->focusWidget(), static_cast<QWidget*>(fnControl<QListWidget>(objList, "List1")));

        // Nothing selected.
        moDlg->sbClear();
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({kNoSelection, kNoSelection}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        QVERIFY(moDlg->mocolFileDialogs.empty());

        // Create the last and the first table, selected bottom first. The map reached the builder:
        // "Long" no longer names a type, so the Long fields are refused one by one (OK only).
        moDlg->sbClear();
        sbSelect(*objList, {3, 0});
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        QCOMPARE(moDlg->mocolFileDialogs[0].strFilter, std::string("Access データベース|*.mdb *.accdb"));
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"Longは未定義です（テーブル『T_ORDER_NOTE』、フィールド『ORDER_ID』、シート6「T_ORDER_NOTE」のセルE7）", kDone}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::OkOnly);
        QVERIFY(moDlg->mocolMessages[1].lngStyle == enmMsgStyle::OkOnly);
        QCOMPARE(fnTablesIn(strMdb), std::vector<std::string>({"M_CUSTOMER", "T_ORDER_NOTE"}));

        // Again: both exist now, each failure is told in list order, then the closing notice.
        moDlg->sbClear();
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        // The screen's line first, the builder's reason on the next.
        QCOMPARE(moDlg->mocolMessages.size(), size_t(3));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind(
                    "M_CUSTOMER作成に失敗しました\nテーブル『M_CUSTOMER』は既にデータベースにあります", 0) == 0);
        QVERIFY(moDlg->mocolMessages[1].strText.rfind(
                    "T_ORDER_NOTE作成に失敗しました\nテーブル『T_ORDER_NOTE』は既にデータベースにあります", 0) == 0);
        QCOMPARE(moDlg->mocolMessages[2].strText, kDone);
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);

        // Cancelled dialog, a path of spaces: nothing. A database that does not exist: the open failure.
        moDlg->sbClear();
        const std::string strMissing = objDir.filePath("missing.mdb").toStdString();
        moDlg->mocolFileAnswers = {"", "   ", strMissing};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"『" + strMissing + "』Openに失敗しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        QVERIFY(!QFile::exists(QString::fromStdString(strMissing)));

        // Documentation of the two middle tables.
        moDlg->sbClear();
        const QString strDocs = objDir.filePath("docs");
        QDir().mkpath(strDocs);
        sbSelect(*objList, {2, 1});
        moDlg->mocolFolderAnswers = {"", strDocs.toStdString()};
        fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        QVERIFY(QDir(strDocs).isEmpty());
        fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"作成しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::OkOnly);
        QDir objDocs(strDocs);
        for (const char* strFile : {"index.htm", "leftframe.htm", "rightframe.htm", "M_PRODUCT.htm", "T_ORDER.htm"})
            QVERIFY2(objDocs.exists(strFile), strFile);
        QVERIFY(!objDocs.exists("M_CUSTOMER.htm"));
        const std::string strList = fnReadBytes(strDocs.toStdString() + "/leftframe.htm");
        QVERIFY(strList.find("M_PRODUCT") < strList.find("T_ORDER"));
        // The title in CP932: "テーブル定義書 - sales_design.xlsx".
        const std::string strIndex = fnReadBytes(strDocs.toStdString() + "/index.htm");
        QVERIFY(strIndex.find("\x83\x65\x81\x5b\x83\x75\x83\x8b\x92\xe8\x8b\x60\x8f\x91 - sales_design.xlsx") !=
                std::string::npos);

        // A folder that cannot be written: the failure and its reason.
        moDlg->sbClear();
        moDlg->mocolFolderAnswers = {objDir.filePath("no/such/folder").toStdString()};
        fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind("作成に失敗しました\n", 0) == 0);
        QVERIFY(moDlg->mocolMessages[0].strText.size() > std::string("作成に失敗しました\n").size());
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);

        // Back: the definition screen shows the confirmed layout and the workbook path, where
        // the table list stood (kept on the screen).
        moDlg->sbClear();
        const QRect objArea = objList->screen()->availableGeometry();
        objList->move(objArea.right() - objList->width() / 2, objArea.top() + 50);  // partly off the screen
        fnControl<QPushButton>(objList, "cmdBack")->click();
        QCOMPARE(frm.pos().y(), objArea.top() + 50);
        QVERIFY(objArea.contains(frm.frameGeometry()));
        QVERIFY(!objList->isVisible());
        QVERIFY(frm.isVisible());
        QVERIFY(frm.getDocInfo() == objInfo);
        QVERIFY(frm.getFieldAttr() == objMap);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString::fromStdString(strBook));
        QStringList colShown;
        for (clsTextBox* objBox : frm.getNumTextBox()) colShown << objBox->text();
        QCOMPARE(colShown, QStringList({"3", "6", "3", "3", "6", "4", "5", "6", "7", "9"}));

        // Next again reads the workbook anew: another workbook, another range.
        fnControl<clsTextBox>(&frm, "txtFile")->setText(QString::fromStdString(fnCopyData(objDir, "dup_tables.xlsx")));
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("1");
        fnControl<clsTextBox>(&frm, "txtESheet")->setText("3");
        objMap->setLong("Long");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QVERIFY(moDlg->mocolMessages.empty());
        frmTableList* objList2 = frm.getTableList();
        QVERIFY(objList2 && objList2 != objList && objList2->isVisible());
        QCOMPARE(fnListed(*objList2), QStringList({"T_DUP", "T_OTHER", "T_DUP"}));
        QCOMPARE(objInfo->getStartPage(), 1);

        // Both entries of the same name: the first is created, the second refused by its name.
        const std::string strMdb2 = fnCopyData(objDir, "jet_created_adox_jet4.mdb", "second.mdb");
        sbSelect(*objList2, {2, 0});
        moDlg->mocolFileAnswers = {strMdb2};
        fnControl<QAction>(objList2, "mnuMakeTable")->trigger();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(2));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind("T_DUP作成に失敗しました\n", 0) == 0);
        QVERIFY(moDlg->mocolMessages[0].strText.find("T_DUP", 10) != std::string::npos);  // the reason names it
        QCOMPARE(moDlg->mocolMessages[1].strText, kDone);
        QCOMPARE(fnTablesIn(strMdb2), std::vector<std::string>({"T_DUP"}));

        // The second entry alone builds the table of its own sheet (a Long key, here no longer
        // a known type word), not the first sheet's table of that name (AutoNumber and Text).
        moDlg->sbClear();
        const std::string strMdb3 = fnCopyData(objDir, "jet_created_adox_jet4.mdb", "third.mdb");
        objMap->setLong("長整数");
        sbSelect(*objList2, {2});
        moDlg->mocolFileAnswers = {strMdb3};
        fnControl<QAction>(objList2, "mnuMakeTable")->trigger();
        objMap->setLong("Long");
        QVERIFY(!moDlg->mocolMessages.empty());
        QCOMPARE(moDlg->mocolMessages.front().strText, std::string("Longは未定義です（テーブル『T_DUP』、フィールド『KEY_NO』、シート3「Dup2」のセルE6）"));
        QCOMPARE(moDlg->mocolMessages.back().strText, kDone);

        // Closing the last open screen ends the run.
        // (The guard timer only stops a run that would otherwise never end.)
        QSignalSpy objLast(qApp, &QGuiApplication::lastWindowClosed);
        QTimer objGuard;
        objGuard.setSingleShot(true);
        connect(&objGuard, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        objGuard.start(30000);
        QTimer::singleShot(0, objList2, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        objGuard.stop();
        QCOMPARE(objLast.count(), 1);
    }

    void unreadableWorkbookIsReportedAndListsNothing() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        // A layout file is no workbook.
        const std::string strNotBook = fnCopyData(objDir, "sales_design.edf", "book.xls");
        sbFillBoxes(frm, strNotBook, {"1", "4", "3", "3", "6", "4", "5", "6", "7", "9"});
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        frmTableList* objList = frm.getTableList();
        QVERIFY(objList && objList->isVisible());
        QCOMPARE(fnControl<QListWidget>(objList, "List1")->count(), 0);
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        const std::string& strText = moDlg->mocolMessages[0].strText;
        // The reason follows on the second line, in Japanese, without the path a second time.
        const std::string strHead = "『" + strNotBook + "』を読み込めませんでした\n";
        QVERIFY2(strText.rfind(strHead + "Excel のブックではありません（", 0) == 0, strText.c_str());
        QVERIFY(strText.find(strNotBook, strHead.size()) == std::string::npos);
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        // The reading's progress dialog is gone with the reading.
        QVERIFY(frm.findChildren<QProgressDialog*>().isEmpty() && objList->findChildren<QProgressDialog*>().isEmpty());

        // Back, a layout whose table-name column is 0, Next: the reader's failure is told too.
        moDlg->sbClear();
        fnControl<QPushButton>(objList, "cmdBack")->click();
        fnControl<clsTextBox>(&frm, "txtFile")->setText(QString::fromStdString(fnCopyData(objDir, "hr_design_ja.xls")));
        fnControl<clsTextBox>(&frm, "txtTableNmCol")->setText("0");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(fnControl<QListWidget>(frm.getTableList(), "List1")->count(), 0);
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        const std::string& strCell = moDlg->mocolMessages[0].strText;
        QVERIFY2(strCell.find("』を読み込めませんでした\nシート1「") != std::string::npos, strCell.c_str());
        QVERIFY2(strCell.find("の行3・列0は読み込めません。") != std::string::npos, strCell.c_str());

        // And a good reading after that lists the tables (Japanese names as read).
        moDlg->sbClear();
        fnControl<QPushButton>(frm.getTableList(), "cmdBack")->click();
        fnControl<clsTextBox>(&frm, "txtTableNmCol")->setText("3");
        fnControl<clsTextBox>(&frm, "txtESheet")->setText("3");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QVERIFY(moDlg->mocolMessages.empty());
        QCOMPARE(fnListed(*frm.getTableList()), QStringList({"シャイン", "ブショ", "キュウヨ"}));
        fnControl<QAction>(frm.getTableList(), "mnuQuit")->trigger();
        QCOMPARE(molngEndCalls, 1);
        frm.getTableList()->close();
    }

    void typeScreenWithEmptyBoxStaysOpenBesideTheList() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
        frmDatTypeAccess* objType = frm.getDatTypeAccess();
        fnControl<clsTextBox>(objType, "txtDate")->setText("");
        fnControl<clsTextBox>(objType, "txtText")->setText("文字");
        sbFillBoxes(frm, fnCopyData(objDir, "hr_design_ja.xls"), {"1", "3", "3", "3", "6", "4", "5", "6", "7", "9"});
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"未入力です"}));
        QVERIFY(frm.getTableList()->isVisible());
        QVERIFY(!frm.isVisible());
        QVERIFY(objType->isVisible());
        QCOMPARE(frm.getFieldAttr()->getText(), std::string("Text"));
        QVERIFY(frm.getTableList()->getFieldAttr() == frm.getFieldAttr());

        // Once filled, closing it stores into the map the table list holds.
        fnControl<clsTextBox>(objType, "txtDate")->setText("日付");
        QVERIFY(objType->close());
        QCOMPARE(frm.getTableList()->getFieldAttr()->getText(), std::string("文字"));
        frm.getTableList()->close();
    }

    void quitEndsTheRunWithoutClosingChecks() {
        sbSetEndProgramAction(nullptr);
        frmDBDef frm;
        frm.sbShow();
        fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
        frmDatTypeAccess* objType = frm.getDatTypeAccess();
        fnControl<clsTextBox>(objType, "txtText")->setText("");
        fnControl<QAction>(&frm, "mnuQuit")->trigger();
        QVERIFY(fnProgramEnding());
        QVERIFY(!frm.isVisible());
        QVERIFY(!objType->isVisible());
        QVERIFY(moDlg->mocolMessages.empty());
        QCOMPARE(frm.getFieldAttr()->getText(), std::string("Text"));
    }
};

QTEST_MAIN(TestWorkflow)
#include "workflow_test.moc"
