// 設計書チェック and DB比較 on the table list screen: the results in their window, the same lines
// as the command line's, and the database chooser's answers (a database, none, an unreadable file).
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "FormsTestSupport.h"
#include "clsAccessDB.h"
#include "clsDesignCheck.h"
#include "clsExcelDBDoc.h"
#include "frmResultText.h"
#include "frmTableList.h"

using namespace formstest;

namespace {

const std::string kApp = std::string(XLSDB_TEST_DATA) + "/app/";

QStringList fnShownLines(const frmTableList& frm) {
    auto* objWindow = qobject_cast<frmResultText*>(frm.getResultWindow());
    if (!objWindow) return {};
    return fnControl<QPlainTextEdit>(objWindow, "txtResult")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString fnHeading(const frmTableList& frm) {
    auto* objWindow = qobject_cast<frmResultText*>(frm.getResultWindow());
    return objWindow ? fnControl<QLabel>(objWindow, "lblHeading")->text() : QString();
}

// The table list screen over a workbook of tests/data/app (default layout unless given).
void sbLoad(frmTableList& frm, const std::string& strBook, const std::string& strLayout = {}) {
    auto objInfo = std::make_shared<clsExcelDBDocInfo>();
    if (!strLayout.empty()) QVERIFY(objInfo->fnReadFile(kApp + strLayout));
    frm.sbSetSource(objInfo, std::make_shared<clsAccessFieldAttr>(), kApp + strBook, nullptr);
    frm.sbShow();
}

}  // namespace

class TestCheckDiff : public QObject {
    Q_OBJECT
    std::shared_ptr<clsScriptedDialogs> moDlg;

private slots:
    void init() { moDlg = fnInstallDialogs(); }

    void designCheckShowsEveryProblemInAWindow() {
        frmTableList frm;
        sbLoad(frm, "failures.xlsx", "failures.edf");
        QVERIFY(fnControl<QMenu>(&frm, "mnuMake")->actions().contains(fnControl<QAction>(&frm, "mnuCheckDesign")));
        QCOMPARE(fnControl<QAction>(&frm, "mnuCheckDesign")->text(), QString::fromUtf8("設計書チェック"));
        fnControl<QAction>(&frm, "mnuCheckDesign")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        QVERIFY(frm.getResultWindow() && frm.getResultWindow()->isVisible());
        // The same lines as xlsdb-cli check prints.
        clsDesignCheck objCheck;
        QStringList colExpected;
        for (const DesignProblem& p : objCheck.fnCheck(*frm.getDBInfo()))
            colExpected << QString::fromStdString(designProblemLine(p));
        QCOMPARE(colExpected.size(), 7);
        QCOMPARE(fnShownLines(frm), colExpected);
        QVERIFY(fnHeading(frm).contains(QStringLiteral("7 件")));

        // A clean design says so; the new window replaces the old one.
        frmTableList frmClean;
        sbLoad(frmClean, "sales_design.xlsx", "sales_design.edf");
        fnControl<QAction>(&frmClean, "mnuCheckDesign")->trigger();
        QVERIFY(fnShownLines(frmClean).isEmpty());
        QCOMPARE(fnHeading(frmClean), QString::fromUtf8("テーブル作成で問題になるものは見つかりませんでした。"));
    }

    void compareWithADatabaseMadeFromTheEarlierDesign() {
        QTemporaryDir objDir;
        const std::string strMdb = objDir.filePath("made.mdb").toStdString();
        {
            clsExcelDBDoc objDoc;
            objDoc.sbSetDocInfo(clsExcelDBDocInfo());
            QVERIFY(objDoc.fnReadDBDoc(kApp + "diff/before.xlsx"));
            clsAccessDB objAccess;
            QVERIFY(objAccess.fnCreateDB(strMdb));
            for (const TableInfoPtr& t : objDoc.getDBInfo()->getTables()) QVERIFY(objAccess.fnCreateTable(*t));
            objAccess.fnCloseDB();
        }
        const std::string strBefore = fnReadBytes(strMdb);
        frmTableList frm;
        sbLoad(frm, "diff/after.xlsx");

        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(&frm, "mnuCompareDB")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        QCOMPARE(moDlg->mocolFileDialogs.size(), size_t(1));
        QCOMPARE(moDlg->mocolFileDialogs[0].strFilter, std::string("Access データベース|*.mdb *.accdb"));
        const QStringList colLines = fnShownLines(frm);
        QCOMPARE(colLines.size(), 8);
        QCOMPARE(colLines[0], QString::fromUtf8("テーブル「customer」: 違いがあります"));
        QCOMPARE(colLines[1], QString::fromUtf8("  フィールド「NAME」: サイズが違います（設計書 80、データベース 50）"));
        QCOMPARE(colLines[7], QString::fromUtf8("テーブル「product」: 同じです"));
        QVERIFY(fnHeading(frm).contains(QString::fromUtf8("違いがあります")));

        // Only the selected table.
        sbSelect(frm, {2});
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(&frm, "mnuCompareDB")->trigger();
        QCOMPARE(fnShownLines(frm), QStringList({QString::fromUtf8("テーブル「product」: 同じです")}));
        QVERIFY(fnHeading(frm).contains(QString::fromUtf8("一致しています")));
        QCOMPARE(fnReadBytes(strMdb), strBefore);

        // Cancelled: the window stays as it was. A file that is no database: a warning.
        QPointer<QWidget> objShown = frm.getResultWindow();
        moDlg->mocolFileAnswers = {""};
        fnControl<QAction>(&frm, "mnuCompareDB")->trigger();
        QVERIFY(frm.getResultWindow() == objShown);
        moDlg->mocolFileAnswers = {kApp + "diff/before.xlsx"};
        fnControl<QAction>(&frm, "mnuCompareDB")->trigger();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind("『" + kApp + "diff/before.xlsx』を読めませんでした\n", 0) == 0);
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
    }
};

QTEST_MAIN(TestCheckDiff)
#include "checkdiff_test.moc"
