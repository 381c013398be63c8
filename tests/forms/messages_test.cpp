// Message boxes shown while long work runs (reading the workbook, creating tables) must stay
// usable: on top, active, never covered or blocked by the work's progress dialog. Also the
// progress dialog's cancel button, and Qt's own dialogs speaking Japanese.
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "AppControl.h"
#include "FormsTestSupport.h"
#include "clsAccessDB.h"
#include "clsProgress.h"
#include "clsQtDialogs.h"
#include "clsTextBox.h"
#include "frmDBDef.h"
#include "frmTableList.h"

using namespace formstest;

namespace {
const std::string kDone = "作成処理を終了しました。";
const std::string kStopped = "作成処理を中止しました。\n作成処理を終了しました。";
const std::string kExists = "M_CUSTOMER作成に失敗しました\nテーブル『M_CUSTOMER』は既にデータベースにあります";

// Longer than the second after which a progress dialog may show itself.
constexpr int kLinger = 1500;


bool fnAnyProgressVisible() {
    for (QWidget* objWin : QApplication::topLevelWidgets()) {
        if (qobject_cast<QProgressDialog*>(objWin) && objWin->isVisible()) return true;
    }
    return false;
}

// File choices from the script, message boxes as Qt really shows them.
class clsRealBoxes : public clsScriptedDialogs {
public:
    void sbMsgBox(QWidget* objOwner, const std::string& strText, enmMsgStyle lngStyle) override {
        mocolMessages.push_back({strText, lngStyle});
        clsQtDialogs().sbMsgBox(objOwner, strText, lngStyle);
    }
};

// Watches for message boxes the way a user meets them: each box is left open a while, then it
// must be the active modal window with no progress dialog shown, and a click on OK must close
// it. A box that does not close is closed by force, so a failing run still ends.
class clsBoxWatcher : public QObject {
public:
    struct stSeen {
        QString strText;
        bool blnActiveModal = false;
        bool blnActiveWindow = false;
        bool blnProgressShown = false;  // a progress dialog was visible at any time while it stood
        bool blnClosedByClick = false;
    };
    std::vector<stSeen> mocolSeen;

    clsBoxWatcher() {
        moTimer.setInterval(20);
        connect(&moTimer, &QTimer::timeout, this, [this] { sbTick(); });
        moTimer.start();
    }

private:
    QTimer moTimer;
    QPointer<QMessageBox> moBox;
    QElapsedTimer moShown;
    QElapsedTimer moClicked;
    bool mblnClicked = false;

    static QMessageBox* fnVisibleBox() {
        for (QWidget* objWin : QApplication::topLevelWidgets()) {
            auto* objBox = qobject_cast<QMessageBox*>(objWin);
            if (objBox && objBox->isVisible()) return objBox;
        }
        return nullptr;
    }

    void sbTick() {
        if (moBox && !moBox->isVisible()) moBox.clear();
        if (!moBox) {
            QMessageBox* objBox = fnVisibleBox();
            if (!objBox) return;
            moBox = objBox;
            mocolSeen.push_back({objBox->text(), false, false, false, false});
            mblnClicked = false;
            moShown.start();
        }
        stSeen& objSeen = mocolSeen.back();
        objSeen.blnProgressShown = objSeen.blnProgressShown || fnAnyProgressVisible();
        if (!mblnClicked && moShown.elapsed() >= kLinger) {
            objSeen.blnActiveModal = QApplication::activeModalWidget() == moBox;
            objSeen.blnActiveWindow = QApplication::activeWindow() == moBox;
            QAbstractButton* objOK = moBox->button(QMessageBox::Ok);
            if (objOK) QTest::mouseClick(objOK, Qt::LeftButton);
            mblnClicked = true;
            objSeen.blnClosedByClick = !moBox || !moBox->isVisible();
            moClicked.start();
        } else if (mblnClicked && moClicked.elapsed() >= 500) {
            // The click did nothing: close it from here.
            mblnClicked = false;
            moBox->done(QMessageBox::Ok);
        }
    }
};

// Opens the table list of the sample workbook through the definition screen.
frmTableList* fnOpenList(frmDBDef& frm, clsScriptedDialogs& objDlg, const std::string& strBook) {
    frm.sbShow();
    objDlg.mocolFileAnswers = {fnData("sales_design.edf"), strBook};
    fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
    fnControl<QPushButton>(&frm, "cmdRefFile")->click();
    fnControl<QPushButton>(&frm, "cmdOK")->click();
    return frm.getTableList();
}
}  // namespace

class TestMessages : public QObject {
    Q_OBJECT
    std::shared_ptr<clsScriptedDialogs> moDlg;

private slots:
    void init() {
        moDlg = fnInstallDialogs();
        sbSetEndProgramAction([] {});
    }

    void messageBoxesDuringCreationStayUsable() {
        QTemporaryDir objDir;
        const std::string strBook = fnCopyData(objDir, "sales_design.xlsx");
        const std::string strMdb = fnCopyData(objDir, "jet_created_adox_jet4.mdb", "target.mdb");
        frmDBDef frm;
        frmTableList* objList = fnOpenList(frm, *moDlg, strBook);
        QVERIFY(objList && objList->isVisible());
        QVERIFY(moDlg->mocolMessages.empty());

        // M_CUSTOMER exists already.
        sbSelect(*objList, {0});
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({kDone}));

        // Now with the real boxes: the failure of M_CUSTOMER, the builder's field message for
        // T_ORDER_NOTE (its Long fields name a type word no longer known), then the closing notice.
        auto objReal = std::make_shared<clsRealBoxes>();
        sbSetDialogs(objReal);
        frm.getFieldAttr()->setLong("長整数");
        sbSelect(*objList, {0, 3});
        objReal->mocolFileAnswers = {strMdb};
        clsBoxWatcher objWatch;
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();

        QCOMPARE(objReal->mocolMessages.size(), size_t(3));
        QVERIFY(objReal->mocolMessages[0].strText.rfind(kExists, 0) == 0);
        QCOMPARE(objReal->mocolMessages[1].strText, std::string("Longは未定義です（テーブル『T_ORDER_NOTE』、フィールド『ORDER_ID』、シート6「T_ORDER_NOTE」のセルE7）"));
        QCOMPARE(objReal->mocolMessages[2].strText, kDone);
        QCOMPARE(objWatch.mocolSeen.size(), size_t(3));
        for (const auto& objSeen : objWatch.mocolSeen) {
            const QByteArray strText = objSeen.strText.toUtf8();
            QVERIFY2(objSeen.blnActiveModal, strText.constData());
            QVERIFY2(objSeen.blnActiveWindow, strText.constData());
            QVERIFY2(!objSeen.blnProgressShown, strText.constData());
            QVERIFY2(objSeen.blnClosedByClick, strText.constData());
        }
        // The other selected tables were still created.
        QCOMPARE(fnTablesIn(strMdb), std::vector<std::string>({"M_CUSTOMER", "T_ORDER_NOTE"}));
        QVERIFY(!fnAnyProgressVisible());
        objList->close();
    }

    void warningAfterReadingStaysUsable() {
        QTemporaryDir objDir;
        auto objReal = std::make_shared<clsRealBoxes>();
        sbSetDialogs(objReal);
        clsBoxWatcher objWatch;
        frmDBDef frm;
        // A layout file is no workbook.
        frmTableList* objList = fnOpenList(frm, *objReal, fnCopyData(objDir, "sales_design.edf", "book.xls"));
        QVERIFY(objList);
        QCOMPARE(objReal->mocolMessages.size(), size_t(1));
        QVERIFY(objReal->mocolMessages[0].strText.find("』を読み込めませんでした\n") != std::string::npos);
        QCOMPARE(objWatch.mocolSeen.size(), size_t(1));
        QVERIFY(objWatch.mocolSeen[0].blnActiveModal);
        QVERIFY(!objWatch.mocolSeen[0].blnProgressShown);
        QVERIFY(objWatch.mocolSeen[0].blnClosedByClick);
        objList->close();
    }

    void creationCanBeCancelledBetweenTables() {
        QTemporaryDir objDir;
        const std::string strBook = fnCopyData(objDir, "sales_design.xlsx");
        const std::string strMdb = fnCopyData(objDir, "jet_created_adox_jet4.mdb", "target.mdb");
        frmDBDef frm;
        frmTableList* objList = fnOpenList(frm, *moDlg, strBook);
        QVERIFY(objList);
        sbSelect(*objList, {0});
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        moDlg->sbClear();

        // The user reads the failure of the first table a while; the progress dialog shows once
        // the box is closed and the work goes on, and the user presses its cancel button.
        bool blnProgressDuringMessage = true;
        bool blnClicked = false;
        QString strButton;
        moDlg->mofnOnMessage = [&](const std::string&) {
            if (moDlg->mocolMessages.size() != 1) return;
            QTest::qWait(kLinger);
            blnProgressDuringMessage = fnAnyProgressVisible();
            QTimer::singleShot(0, [&] {
                for (auto* objProg : objList->findChildren<QProgressDialog*>()) {
                    if (!objProg->isVisible()) continue;
                    for (auto* objButton : objProg->findChildren<QPushButton*>()) {
                        strButton = objButton->text();
                        QTest::mouseClick(objButton, Qt::LeftButton);
                        blnClicked = true;
                    }
                }
            });
        };
        sbSelect(*objList, {0, 1, 2});
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        moDlg->mofnOnMessage = nullptr;

        QVERIFY(!blnProgressDuringMessage);
        QVERIFY(blnClicked);
        QCOMPARE(strButton, QString::fromUtf8("キャンセル"));
        QCOMPARE(moDlg->mocolMessages.size(), size_t(2));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind(kExists, 0) == 0);
        QCOMPARE(moDlg->mocolMessages[1].strText, kStopped);
        QVERIFY(moDlg->mocolMessages[1].lngStyle == enmMsgStyle::OkOnly);
        QVERIFY(!fnAnyProgressVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // Stopped before the next table; the database was closed and can be used again.
        QCOMPARE(fnTablesIn(strMdb), std::vector<std::string>({"M_CUSTOMER"}));
        moDlg->sbClear();
        sbSelect(*objList, {1});
        moDlg->mocolFileAnswers = {strMdb};
        fnControl<QAction>(objList, "mnuMakeTable")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({kDone}));
        QCOMPARE(fnTablesIn(strMdb), std::vector<std::string>({"M_CUSTOMER", "M_PRODUCT"}));
        objList->close();
    }

    // テーブルDoc作成 shows its progress as table creation does (here at once: the work is short)
    // and the user can stop it; the pages written are listed, and the stop is told.
    void documentationShowsProgressAndCanBeCancelled() {
        QTemporaryDir objDir;
        const std::string strBook = fnCopyData(objDir, "sales_design.xlsx");
        frmDBDef frm;
        frmTableList* objList = fnOpenList(frm, *moDlg, strBook);
        QVERIFY(objList);
        const QString strDocs = objDir.filePath("docs");
        QDir().mkpath(strDocs);
        sbSelect(*objList, {0, 1, 2, 3});
        moDlg->sbClear();
        moDlg->mocolFolderAnswers = {strDocs.toStdString()};

        struct {
            bool blnSeen = false, blnActive = false, blnWhole = false;
            QString strLabel, strButton, strTitle;
        } objSeen;
        QTimer objLook;
        objLook.setInterval(0);
        connect(&objLook, &QTimer::timeout, [&] {
            for (auto* objProg : objList->findChildren<QProgressDialog*>()) {
                if (!objProg->isVisible() || objSeen.blnSeen) continue;
                objSeen.blnSeen = true;
                objSeen.blnActive = QApplication::activeModalWidget() == objProg;
                objSeen.strTitle = objProg->windowTitle();
                objSeen.strLabel = objProg->labelText();
                // Every part of the dialog lies inside it, none cut at its edges.
                objSeen.blnWhole = true;
                for (QWidget* objPart : objProg->findChildren<QWidget*>()) {
                    if (objPart->isVisible() && !objProg->rect().contains(objPart->geometry()))
                        objSeen.blnWhole = false;
                }
                objSeen.blnWhole = objSeen.blnWhole && objProg->height() >= objProg->sizeHint().height();
                for (auto* objButton : objProg->findChildren<QPushButton*>()) {
                    objSeen.strButton = objButton->text();
                    QTest::mouseClick(objButton, Qt::LeftButton);
                }
            }
        });
        clsProgress::sbSetShowAfter(0);
        objLook.start();
        fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
        objLook.stop();
        clsProgress::sbSetShowAfter(-1);

        QVERIFY(objSeen.blnSeen);
        QVERIFY(objSeen.blnActive);
        QVERIFY(objSeen.blnWhole);
        QCOMPARE(objSeen.strTitle, QString::fromUtf8(kAppTitle));
        QCOMPARE(objSeen.strLabel, QString::fromUtf8("テーブル定義書を作成しています…"));
        QCOMPARE(objSeen.strButton, QString::fromUtf8("キャンセル"));
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"作成を中止しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::OkOnly);
        QVERIFY(!fnAnyProgressVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // Stopped before the last table: the list links only to pages that were written.
        QDir objDocs(strDocs);
        QVERIFY(objDocs.exists("index.htm") && objDocs.exists("leftframe.htm"));
        QVERIFY(!objDocs.exists("T_ORDER_NOTE.htm"));
        const std::string strList = fnReadBytes(strDocs.toStdString() + "/leftframe.htm");
        for (const char* strName : {"M_CUSTOMER", "M_PRODUCT", "T_ORDER", "T_ORDER_NOTE"}) {
            const bool blnListed = strList.find(std::string("href=\"") + strName + ".htm\"") != std::string::npos;
            QCOMPARE(blnListed, objDocs.exists(QString::fromLatin1(strName) + ".htm"));
        }

        // Not stopped: the whole set, and the notice of success.
        moDlg->sbClear();
        moDlg->mocolFolderAnswers = {strDocs.toStdString()};
        fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"作成しました"}));
        QVERIFY(objDocs.exists("T_ORDER_NOTE.htm"));
        objList->close();
    }

    void qtDialogsSpeakJapanese() {
        if (!fnLoadQtJapanese()) {
            const QString strQm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm";
            QVERIFY2(!QFile::exists(strQm), "qtbase_ja.qm is there but was not loaded");
            QSKIP("Qt's Japanese translation is not installed");
        }
        QDialogButtonBox objButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(objButtons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
        QVERIFY(objButtons.button(QDialogButtonBox::Save)->text() != QStringLiteral("Save"));
    }
};

QTEST_MAIN(TestMessages)
#include "messages_test.moc"
