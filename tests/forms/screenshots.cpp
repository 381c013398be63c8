// Writes pictures of the three screens, filled with the sample design documents, as PNG files
// into the folder given as the only argument. Run it under a display with a Japanese font.
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTimer>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "AppControl.h"
#include "FormsTestSupport.h"
#include "clsProgress.h"
#include "clsQtDialogs.h"
#include "clsTextBox.h"
#include "frmDBDef.h"
#include "frmDatTypeAccess.h"
#include "frmTableList.h"

using namespace formstest;

namespace {
// With XLSDB_SCREEN_DIR set, the whole screen as well (window frames and places included), as
// screen_<name>: for looking at where the windows stand.
void sbSaveScreen(const char* strName) {
    const QString strDir = qEnvironmentVariable("XLSDB_SCREEN_DIR");
    if (strDir.isEmpty()) return;
    QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(strDir).filePath(QStringLiteral("screen_") +
                                                                              QString::fromLatin1(strName)));
}

bool fnSave(QWidget* objWidget, const QDir& objOut, const char* strName) {
    objWidget->show();
    objWidget->raise();
    if (!QTest::qWaitForWindowExposed(objWidget)) return false;
    QTest::qWait(200);
    const QString strPath = objOut.filePath(QString::fromLatin1(strName));
    if (!objWidget->grab().save(strPath)) return false;
    sbSaveScreen(strName);
    std::printf("%s\n", qPrintable(strPath));
    return true;
}
}  // namespace

int main(int argc, char* argv[]) {
    QApplication objApp(argc, argv);
    fnLoadQtJapanese();
    if (argc != 2) {
        std::fprintf(stderr, "usage: forms_screenshots <folder>\n");
        return 2;
    }
    const QDir objOut(QString::fromLocal8Bit(argv[1]));
    auto objDlg = fnInstallDialogs();
    QTemporaryDir objTmp;

    frmDBDef frm;
    frm.sbShow();
    objDlg->mocolFileAnswers = {fnData("sales_design.edf")};
    fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
    fnControl<clsTextBox>(&frm, "txtFile")->setText(QStringLiteral("/home/user/設計書/sales_design.xlsx"));
    fnControl<clsTextBox>(&frm, "txtFile")->setCursorPosition(0);
    fnControl<QPushButton>(&frm, "cmdOK")->setFocus();
    if (!fnSave(&frm, objOut, "frmDBDef.png")) return 1;

    // The warning box of the input check, as the real dialogs show it.
    bool blnBoxSaved = false;
    QTimer::singleShot(500, [&] {
        QWidget* objBox = QApplication::activeModalWidget();
        if (!objBox) return;
        blnBoxSaved = objBox->grab().save(objOut.filePath(QStringLiteral("message.png")));
        objBox->close();
    });
    fnControl<clsTextBox>(&frm, "txtNull")->setText(QString());
    sbSetDialogs(std::make_shared<clsQtDialogs>());
    fnControl<QPushButton>(&frm, "cmdOK")->click();
    sbSetDialogs(objDlg);
    if (!blnBoxSaved) return 1;
    fnControl<clsTextBox>(&frm, "txtNull")->setText(QStringLiteral("9"));

    fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
    frmDatTypeAccess* objType = frm.getDatTypeAccess();
    objDlg->mocolFileAnswers = {fnData("hr_design_ja.afa")};
    fnControl<QAction>(objType, "mnuOpen")->trigger();
    fnControl<clsTextBox>(objType, "txtText")->setFocus();
    fnControl<clsTextBox>(objType, "txtText")->deselect();
    if (!fnSave(objType, objOut, "frmDatTypeAccess.png")) return 1;
    for (clsTextBox* objBox : objType->getTypeTextBox()) objBox->setText(QStringLiteral("x"));
    objType->close();

    fnControl<clsTextBox>(&frm, "txtFile")->setText(QString::fromStdString(fnCopyData(objTmp, "sales_design.xlsx")));
    fnControl<QPushButton>(&frm, "cmdOK")->click();
    frmTableList* objList = frm.getTableList();
    if (!objList) return 1;
    fnControl<QListWidget>(objList, "List1")->item(0)->setSelected(true);
    fnControl<QListWidget>(objList, "List1")->item(2)->setSelected(true);
    if (!fnSave(objList, objOut, "frmTableList.png")) return 1;
    if (!objDlg->mocolMessages.empty()) return 1;

    // The documentation's progress dialog (shown at once here: the work is short), and the
    // failure of a table with its reason, as the real message box shows it.
    bool blnProgressSaved = false;
    QTimer objLook;
    objLook.setInterval(0);
    QObject::connect(&objLook, &QTimer::timeout, [&] {
        for (auto* objProg : objList->findChildren<QProgressDialog*>()) {
            if (!objProg->isVisible() || blnProgressSaved) continue;
            objLook.stop();
            QTest::qWait(300);
            blnProgressSaved = objProg->grab().save(objOut.filePath(QStringLiteral("progress.png")));
            sbSaveScreen("progress.png");
        }
    });
    objDlg->mocolFolderAnswers = {objTmp.filePath(QStringLiteral("docs")).toStdString()};
    QDir().mkpath(objTmp.filePath(QStringLiteral("docs")));
    clsProgress::sbSetShowAfter(0);
    objLook.start();
    fnControl<QAction>(objList, "mnuMakeTableDoc")->trigger();
    clsProgress::sbSetShowAfter(-1);
    if (!blnProgressSaved) return 1;

    // The default type words again (the type screen above was left with others).
    *objList->getFieldAttr() = clsAccessFieldAttr();
    const std::string strMdb = fnCopyData(objTmp, "jet_created_adox_jet4.mdb", "target.mdb");
    objDlg->mocolFileAnswers = {strMdb};
    fnControl<QAction>(objList, "mnuMakeTable")->trigger();  // M_CUSTOMER and T_ORDER are made
    bool blnReasonSaved = false;
    QTimer::singleShot(500, [&] {
        QWidget* objBox = QApplication::activeModalWidget();
        if (!objBox) return;
        blnReasonSaved = objBox->grab().save(objOut.filePath(QStringLiteral("message_reason.png")));
        sbSaveScreen("message_reason.png");
        objBox->close();
    });
    fnControl<QListWidget>(objList, "List1")->item(2)->setSelected(false);
    objDlg->mocolFileAnswers = {strMdb};
    objDlg->mofnOnMessage = [&](const std::string& strText) {
        // The first failure as the user meets it; the rest stay scripted.
        if (strText.find("作成に失敗しました") == std::string::npos || blnReasonSaved) return;
        clsQtDialogs().sbMsgBox(objList, strText, enmMsgStyle::Exclamation);
    };
    fnControl<QAction>(objList, "mnuMakeTable")->trigger();
    objDlg->mofnOnMessage = nullptr;
    return blnReasonSaved ? 0 : 1;
}
