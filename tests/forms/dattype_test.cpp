// The type notation screen: defaults, the empty-box check at closing, storing, .afa files, Yes/No
// and Memo words and the dictionary and WORD(N) switches.
#include <QCheckBox>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

#include "FormsTestSupport.h"
#include "clsTextBox.h"
#include "frmDBDef.h"
#include "frmDatTypeAccess.h"

using namespace formstest;

class TestDatType : public QObject {
    Q_OBJECT
    std::shared_ptr<clsScriptedDialogs> moDlg;

    static QStringList fnBoxTexts(const frmDatTypeAccess& frm) {
        QStringList colTexts;
        for (clsTextBox* objBox : frm.getTypeTextBox()) colTexts << objBox->text();
        return colTexts;
    }

    static frmDatTypeAccess* fnOpen(frmDBDef& frm) {
        fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
        return frm.getDatTypeAccess();
    }

private slots:
    void init() { moDlg = fnInstallDialogs(); }

    void newMapShowsDefaultsTopToBottom() {
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        QCOMPARE(objType->windowTitle(), QString("Access フィールド属性の表記"));
        QCOMPARE(fnBoxTexts(*objType),
                 QStringList({"Text", "Date", "Integer", "Long", "AutoNumber", "Single", "Double", "Currency"}));
        // Boxes stand top to bottom in list order.
        const auto& colBoxes = objType->getTypeTextBox();
        for (size_t i = 1; i < colBoxes.size(); ++i) QVERIFY(colBoxes[i]->y() > colBoxes[i - 1]->y());
        QCOMPARE(objType->focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(objType, "txtText")));
        objType->close();
    }

    // Wide enough for its caption and for long notations; it opens beside the definition
    // screen, on the screen.
    void wideEnoughAndBesideTheDefinitionScreen() {
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        QVERIFY(QTest::qWaitForWindowExposed(objType));
        QVERIFY(objType->width() >= objType->fontMetrics().horizontalAdvance(objType->windowTitle()));
        for (clsTextBox* objBox : objType->getTypeTextBox()) {
            for (const QString& strWord : {QStringLiteral("AutoNumber"), QStringLiteral("Currency"),
                                           QString::fromUtf8("単精度浮動小数点型")}) {
                objBox->setText(strWord);
                QVERIFY2(objBox->contentsRect().width() > objBox->fontMetrics().horizontalAdvance(strWord),
                         qPrintable(objBox->objectName() + " " + strWord));
            }
            QVERIFY(objType->rect().contains(objBox->mapTo(objType, objBox->rect().bottomRight())));
        }
        const QRect objArea = frm.screen()->availableGeometry();
        QVERIFY(objArea.contains(objType->frameGeometry()));
        QVERIFY(objArea.contains(frm.frameGeometry()));
        QVERIFY(!objType->frameGeometry().contains(frm.frameGeometry().topLeft()));
        objType->close();
    }

    void emptyBoxesKeepTheScreenOpen() {
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        const AccessFieldAttrPtr objMap = frm.getFieldAttr();
        fnControl<clsTextBox>(objType, "txtText")->setText("文字列");
        fnControl<clsTextBox>(objType, "txtDate")->setText("");
        fnControl<clsTextBox>(objType, "txtSingle")->setText("");
        fnControl<QAction>(objType, "mnuQuit")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"未入力です"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        QCOMPARE(objType->focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(objType, "txtDate")));
        QVERIFY(objType->isVisible());
        QCOMPARE(frm.getDatTypeAccess(), objType);
        QCOMPARE(objMap->getText(), std::string("Text"));
        QCOMPARE(objMap->getDate(), std::string("Date"));

        // Spaces only count as empty too, and the closing by the window's close box is checked alike.
        fnControl<clsTextBox>(objType, "txtDate")->setText("   ");
        fnControl<clsTextBox>(objType, "txtSingle")->setText("単精度");
        QVERIFY(!objType->close());
        QCOMPARE(moDlg->mocolMessages.size(), size_t(2));
        QCOMPARE(objType->focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(objType, "txtDate")));
        QCOMPARE(fnControl<clsTextBox>(objType, "txtDate")->selectedText(), QString("   "));

        // Surrounding spaces pass and are stored with them, into the definition screen's own map.
        fnControl<clsTextBox>(objType, "txtDate")->setText(" 日付 ");
        QVERIFY(objType->close());
        QCOMPARE(moDlg->mocolMessages.size(), size_t(2));
        QVERIFY(frm.getFieldAttr() == objMap);
        QCOMPARE(objMap->getDate(), std::string(" 日付 "));
        QCOMPARE(objMap->getText(), std::string("文字列"));
        QCOMPARE(objMap->getSingle(), std::string("単精度"));

        // A new opening shows what was stored.
        QVERIFY(!objType->isVisible());
        objType = fnOpen(frm);
        QCOMPARE(fnBoxTexts(*objType), QStringList({"文字列", " 日付 ", "Integer", "Long", "AutoNumber", "単精度",
                                                   "Double", "Currency"}));
        objType->close();
    }

    void showingAgainKeepsUnsavedEdits() {
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        fnControl<clsTextBox>(objType, "txtLong")->setText("長整数");
        QCOMPARE(fnOpen(frm), objType);
        QCOMPARE(fnControl<clsTextBox>(objType, "txtLong")->text(), QString("長整数"));
        QCOMPARE(frm.getFieldAttr()->getLong(), std::string("Long"));
        objType->close();
    }

    void openTypeFile() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        fnControl<clsTextBox>(objType, "txtText")->setText("edited");
        moDlg->mocolFileAnswers = {fnData("hr_design_ja.afa")};
        fnControl<QAction>(objType, "mnuOpen")->trigger();
        QCOMPARE(moDlg->mocolFileDialogs[0].strFilter, std::string("Accessﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.afa"));
        QVERIFY(moDlg->mocolMessages.empty());
        const QStringList colLoaded = {"テキスト", "日付/時刻", "整数", "長整数", "オートナンバー",
                                       "単精度浮動小数点型", "倍精度浮動小数点型", "通貨"};
        QCOMPARE(fnBoxTexts(*objType), colLoaded);
        QCOMPARE(frm.getFieldAttr()->getAutoNumber(), std::string("オートナンバー"));

        // A missing file leaves map and boxes; a cancelled dialog does nothing.
        fnControl<clsTextBox>(objType, "txtText")->setText("edited");
        moDlg->mocolFileAnswers = {objDir.filePath("none.afa").toStdString(), ""};
        fnControl<QAction>(objType, "mnuOpen")->trigger();
        fnControl<QAction>(objType, "mnuOpen")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"読み込みに失敗しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        QCOMPARE(frm.getFieldAttr()->getText(), std::string("テキスト"));
        QCOMPARE(fnControl<clsTextBox>(objType, "txtText")->text(), QString("edited"));

        // A file without the Date line empties that notation; closing then asks for it.
        const std::string strPartial = objDir.filePath("partial.afa").toStdString();
        {
            QFile objFile(QString::fromStdString(strPartial));
            QVERIFY(objFile.open(QIODevice::WriteOnly));
            objFile.write("<Long>L</Long>\r\n<Text>T</Text>\r\n");
        }
        moDlg->sbClear();
        moDlg->mocolFileAnswers = {strPartial};
        fnControl<QAction>(objType, "mnuOpen")->trigger();
        QCOMPARE(fnControl<clsTextBox>(objType, "txtDate")->text(), QString());
        QCOMPARE(fnControl<clsTextBox>(objType, "txtText")->text(), QString("T"));
        QCOMPARE(frm.getFieldAttr()->getLong(), std::string("L"));
        QVERIFY(!objType->close());
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"未入力です"}));
        QCOMPARE(objType->focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(objType, "txtDate")));
        for (clsTextBox* objBox : objType->getTypeTextBox()) objBox->setText("x");
        QVERIFY(objType->close());
    }

    void saveTypeFile() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        const std::string strPath = objDir.filePath("types.afa").toStdString();

        // The boxes are checked and stored into the map before the file is asked for.
        fnControl<clsTextBox>(objType, "txtCurrency")->setText(" ");
        moDlg->mocolFileAnswers = {strPath};
        fnControl<QAction>(objType, "mnuSave")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"未入力です"}));
        QVERIFY(moDlg->mocolFileDialogs.empty());
        QCOMPARE(objType->focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(objType, "txtCurrency")));

        moDlg->sbClear();
        fnControl<clsTextBox>(objType, "txtCurrency")->setText("通貨");
        moDlg->mocolFileAnswers = {strPath};
        fnControl<QAction>(objType, "mnuSave")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"保存しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::OkOnly);
        QCOMPARE(frm.getFieldAttr()->getCurrency(), std::string("通貨"));
        QCOMPARE(fnReadBytes(strPath),
                 std::string("<Text>Text</Text>\r\n<AutoNumber>AutoNumber</AutoNumber>\r\n<Date>Date</Date>\r\n"
                             "<Integer>Integer</Integer>\r\n<Long>Long</Long>\r\n<Single>Single</Single>\r\n"
                             "<Double>Double</Double>\r\n<Currency>\x92\xca\x89\xdd</Currency>\r\n"));

        moDlg->sbClear();
        moDlg->mocolFileAnswers = {"", objDir.filePath("missing/types.afa").toStdString()};
        fnControl<QAction>(objType, "mnuSave")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        fnControl<QAction>(objType, "mnuSave")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"保存に失敗しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        objType->close();
    }

    // Yes/No and Memo words and the two switches: filled by 自動検出 while the screen is open,
    // stored at closing (the eight may then be blank: the dictionary names them), shown again,
    // saved to and read from a file; with the dictionary off the eight are required again.
    void yesNoMemoAndTheSwitches() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        frmDatTypeAccess* objType = fnOpen(frm);
        QVERIFY(fnControl<clsTextBox>(objType, "txtYesNo")->text().isEmpty() && fnControl<clsTextBox>(objType, "txtMemo")->text().isEmpty());
        QVERIFY(!fnControl<QCheckBox>(objType, "chkDictionary")->isChecked() && !fnControl<QCheckBox>(objType, "chkSizeInType")->isChecked());
        QVERIFY(fnControl<clsTextBox>(objType, "txtMemo")->y() > fnControl<clsTextBox>(objType, "txtCurrency")->y() && fnControl<QCheckBox>(objType, "chkDictionary")->y() > fnControl<clsTextBox>(objType, "txtMemo")->y());
        fnControl<clsTextBox>(&frm, "txtFile")->setText(QString::fromStdString(std::string(XLSDB_TEST_DATA) + "/conventions/template.xlsx"));
        fnControl<QAction>(&frm, "mnuDetect")->trigger();
        QVERIFY(fnControl<QCheckBox>(objType, "chkDictionary")->isChecked() && fnControl<QCheckBox>(objType, "chkSizeInType")->isChecked());

        fnControl<clsTextBox>(objType, "txtYesNo")->setText("真偽値");
        fnControl<clsTextBox>(objType, "txtMemo")->setText("長文");
        fnControl<clsTextBox>(objType, "txtText")->setText("");
        fnControl<QCheckBox>(objType, "chkSizeInType")->setChecked(false);
        QVERIFY(objType->close());
        const clsAccessFieldAttr& objMap = *frm.getFieldAttr();
        QCOMPARE(objMap.getYesNo(), std::string("真偽値"));
        QCOMPARE(objMap.getMemo(), std::string("長文"));
        QCOMPARE(objMap.getText(), std::string());
        QVERIFY(objMap.getDictionary() && !objMap.getSizeInType());

        objType = fnOpen(frm);
        QCOMPARE(fnControl<clsTextBox>(objType, "txtMemo")->text(), QString("長文"));
        QVERIFY(fnControl<QCheckBox>(objType, "chkDictionary")->isChecked() && !fnControl<QCheckBox>(objType, "chkSizeInType")->isChecked());
        const std::string strPath = objDir.filePath("types.afa").toStdString();
        moDlg->sbClear();
        moDlg->mocolFileAnswers = {strPath};
        fnControl<QAction>(objType, "mnuSave")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"保存しました"}));
        clsAccessFieldAttr objRead;
        QVERIFY(fnReadAttrFile(strPath, objRead));
        QCOMPARE(objRead.getYesNo(), std::string("真偽値"));
        QCOMPARE(objRead.getMemo(), std::string("長文"));
        QVERIFY(objRead.getDictionary() && !objRead.getSizeInType());

        fnControl<QCheckBox>(objType, "chkDictionary")->setChecked(false);
        moDlg->sbClear();
        QVERIFY(!objType->close());
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"未入力です"}));
        QCOMPARE(objType->focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(objType, "txtText")));
        fnControl<clsTextBox>(objType, "txtText")->setText("Text");
        QVERIFY(objType->close());
    }
};

QTEST_MAIN(TestDatType)
#include "dattype_test.moc"
