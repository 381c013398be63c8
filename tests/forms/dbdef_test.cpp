// The definition screen: controls, input check, number conversion, file chooser, layout files.
#include <QFileDialog>
#include <QGroupBox>
#include <QMessageBox>
#include <QTimer>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <algorithm>

#include "AppControl.h"
#include "FormLook.h"
#include "FormsTestSupport.h"
#include "clsQtDialogs.h"
#include "clsRefFolder.h"
#include "clsTextBox.h"
#include "frmDatTypeAccess.h"
#include "frmDBDef.h"
#include "frmTableList.h"
#include "xlsdb_version.h"

using namespace formstest;

namespace {
const std::vector<QString> kDefaults = {"1", "4", "3", "3", "6", "4", "5", "6", "7", "9"};
const std::string kBlank = "未入力です";
const std::string kNumeric = "数値のみ入力してください";

// Types a text that may hold characters beyond Latin-1, one key event per character.
void sbType(QWidget* objWidget, const QString& strText) {
    for (const QChar ch : strText) {
        QKeyEvent objPress(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(objWidget, &objPress);
        QKeyEvent objRelease(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(objWidget, &objRelease);
    }
}
}  // namespace

class TestDBDef : public QObject {
    Q_OBJECT
    std::shared_ptr<clsScriptedDialogs> moDlg;
    int molngEndCalls = 0;

private slots:
    void init() {
        moDlg = fnInstallDialogs();
        molngEndCalls = 0;
        sbSetEndProgramAction([this] { ++molngEndCalls; });
    }

    void tabOrderAndScale() {
        frmDBDef frm;
        frm.sbShow();
        QCOMPARE(frm.windowTitle(), QString("xlsdb"));
        // The type notation item acts from the menu bar itself.
        QVERIFY(fnControl<QAction>(&frm, "mnuFieldAttr")->menu() == nullptr);
        QVERIFY(frm.menuBar()->actions().contains(fnControl<QAction>(&frm, "mnuFieldAttr")));
        // Sizes follow twips / 15 at the screen's scale.
        const double dblScale = frm.screen()->logicalDotsPerInchX() / 96.0;
        QCOMPARE(frm.centralWidget()->width(), qRound(8175 / 15.0 * dblScale));
        QCOMPARE(frm.centralWidget()->height(), qRound(6315 / 15.0 * dblScale));

        // Tab order.
        const QList<QWidget*> colExpected = {fnControl<clsTextBox>(&frm, "txtFile"),      fnControl<clsTextBox>(&frm, "txtSSheet"),  fnControl<clsTextBox>(&frm, "txtESheet"),  fnControl<clsTextBox>(&frm, "txtTableNmRow"),
                                             fnControl<clsTextBox>(&frm, "txtTableNmCol"), fnControl<clsTextBox>(&frm, "txtFieldStart"), fnControl<clsTextBox>(&frm, "txtFieldNm"), fnControl<clsTextBox>(&frm, "txtFieldAttr"),
                                             fnControl<clsTextBox>(&frm, "txtFieldSize"), fnControl<clsTextBox>(&frm, "txtPKey"),    fnControl<clsTextBox>(&frm, "txtNull"),    fnControl<QPushButton>(&frm, "cmdOK"),
                                             fnControl<QPushButton>(&frm, "cmdRefFile")};
        QList<QWidget*> colChain;
        QWidget* objWidget = fnControl<clsTextBox>(&frm, "txtFile");
        do {
            if (colExpected.contains(objWidget)) colChain << objWidget;
            objWidget = objWidget->nextInFocusChain();
        } while (objWidget != fnControl<clsTextBox>(&frm, "txtFile") && colChain.size() < 20);
        QCOMPARE(colChain, colExpected);
    }

    void fieldFrameCaptionStandsOnItsBorder() {
        frmDBDef frm;
        frm.sbShow();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        const QImage objImage = fnControl<QGroupBox>(&frm, "Frame1")->grab().toImage();
        const QColor objBack = fnControl<QGroupBox>(&frm, "Frame1")->palette().color(QPalette::Window);
        auto fnInk = [&](int x, int y) { return objImage.pixelColor(x, y) != objBack; };
        const int lngWidth = objImage.width();
        // The top border: the first row drawn across the right half, where no caption stands.
        auto fnBorderRow = [&](int y) {
            for (int x = lngWidth / 2; x < lngWidth - 10; ++x) {
                if (!fnInk(x, y)) return false;
            }
            return true;
        };
        int lngBorder = -1;
        for (int y = 0; y < objImage.height() && lngBorder < 0; ++y) {
            if (fnBorderRow(y)) lngBorder = y;
        }
        QVERIFY(lngBorder >= 0);
        int lngBorderEnd = lngBorder;
        while (lngBorderEnd < lngBorder + 2 && lngBorderEnd + 1 < objImage.height() && fnBorderRow(lngBorderEnd + 1))
            ++lngBorderEnd;
        // The caption's strokes stand above and below that line: pixels of the caption's span
        // that differ from the same row further right (inside the frame a style may fill).
        const int lngCaptionRight = std::min(
            lngWidth / 2, QFontMetrics(fnControl<QGroupBox>(&frm, "Frame1")->font()).horizontalAdvance(fnControl<QGroupBox>(&frm, "Frame1")->title()) + 20);
        auto fnCaptionInk = [&](int y) {
            const QColor objRow = objImage.pixelColor(lngWidth * 3 / 4, y);
            for (int x = 4; x < lngCaptionRight; ++x) {
                if (objImage.pixelColor(x, y) != objRow) return true;
            }
            return false;
        };
        bool blnAbove = false;
        bool blnBelow = false;
        for (int y = 0; y < lngBorder; ++y) blnAbove = blnAbove || fnCaptionInk(y);
        for (int y = lngBorderEnd + 1; y <= lngBorderEnd + 3 && y < objImage.height(); ++y) blnBelow = blnBelow || fnCaptionInk(y);
        QVERIFY2(blnAbove && blnBelow, qPrintable(QString("border at row %1").arg(lngBorder)));
        // The contents keep their places.
        QCOMPARE(fnControl<QGroupBox>(&frm, "Frame1")->geometry(), formlook::fnRect(120, 1560, 7815, 3375, &frm));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtTableNmRow")->geometry(), formlook::fnRect(2160, 480, 375, 375, fnControl<QGroupBox>(&frm, "Frame1")));
    }

    void positionBoxesTakeTwoHalfWidthCharacters() {
        frmDBDef frm;
        frm.sbShow();
        for (clsTextBox* objBox : frm.getNumTextBox()) {
            objBox->setText(QString());
            QTest::keyClicks(objBox, "123");
            QCOMPARE(objBox->text(), QString("12"));
        }
        QTest::keyClicks(fnControl<clsTextBox>(&frm, "txtFile"), "/a/very/long/path/of/more/than/two/characters.xls");
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("/a/very/long/path/of/more/than/two/characters.xls"));

        // The program may put longer texts in; the user may then shorten them.
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("100");
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->text(), QString("100"));
        fnControl<clsTextBox>(&frm, "txtSSheet")->end(false);
        QTest::keyClick(fnControl<clsTextBox>(&frm, "txtSSheet"), Qt::Key_Backspace);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->text(), QString("10"));

        // Direct input only, except in the table-name row and the size column.
        const QList<clsTextBox*> colWithImm = {fnControl<clsTextBox>(&frm, "txtTableNmRow"), fnControl<clsTextBox>(&frm, "txtFieldSize")};
        for (clsTextBox* objBox : frm.getNumTextBox()) {
            objBox->setText(QString());
            sbType(objBox, "３");
            const bool blnImm = colWithImm.contains(objBox);
            QCOMPARE(objBox->text(), blnImm ? QString("３") : QString());
            QCOMPARE(objBox->testAttribute(Qt::WA_InputMethodEnabled), blnImm);
        }
    }

    void emptyStartAndBlankCheckOnWorkbookBox() {
        frmDBDef frm;
        frm.sbShow();
        for (clsTextBox* objBox : frm.getAllTextBox()) QVERIFY(objBox->text().isEmpty());
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtFile")));

        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QCOMPARE(moDlg->mocolMessages[0].strText, kBlank);
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtFile")));
        QVERIFY(frm.getTableList() == nullptr);
        QVERIFY(frm.isVisible());
    }

    void blankPassComesBeforeNumericPass() {
        frmDBDef frm;
        frm.sbShow();
        sbFillBoxes(frm, "book.xls", kDefaults);
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("a");
        fnControl<clsTextBox>(&frm, "txtNull")->setText("");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({kBlank}));
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtNull")));

        // Then the numeric pass finds the letter; its box gets the focus with the text selected.
        fnControl<clsTextBox>(&frm, "txtNull")->setText("9");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({kBlank, kNumeric}));
        QVERIFY(moDlg->mocolMessages[1].lngStyle == enmMsgStyle::Exclamation);
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtSSheet")));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->selectedText(), QString("a"));
        QVERIFY(frm.getTableList() == nullptr);

        // A box of spaces is blank; the failing box has its spaces selected.
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("1");
        fnControl<clsTextBox>(&frm, "txtPKey")->setText("  ");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(moDlg->mocolMessages.back().strText, kBlank);
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtPKey")));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtPKey")->selectedText(), QString("  "));

        // A workbook path of spaces is blank too.
        fnControl<clsTextBox>(&frm, "txtPKey")->setText("7");
        fnControl<clsTextBox>(&frm, "txtFile")->setText("   ");
        fnControl<QPushButton>(&frm, "cmdOK")->click();
        QCOMPARE(moDlg->mocolMessages.back().strText, kBlank);
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtFile")));
        QCOMPARE(moDlg->mocolMessages.size(), size_t(4));
    }

    void numbersAreRoundedAndPathKeptAsTyped() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        const std::string strPath = "  " + objDir.filePath("no such book.xls").toStdString() + " ";
        sbFillBoxes(frm, strPath, {".5", "1.", "-3", " 7", "2.5", "3.5", "+4", "5", "6", "9"});
        fnControl<QPushButton>(&frm, "cmdOK")->click();

        // Nothing stops the check; the unreadable workbook is reported by the table list screen.
        frmTableList* objList = frm.getTableList();
        QVERIFY(objList != nullptr);
        QCOMPARE(objList->getFilePath(), strPath);
        QVERIFY(objList->getDocInfo() == frm.getDocInfo());
        const clsExcelDBDocInfo& objInfo = *frm.getDocInfo();
        QCOMPARE(objInfo.getStartPage(), 0);
        QCOMPARE(objInfo.getEndPage(), 1);
        QCOMPARE(objInfo.getRowTableName(), -3);
        QCOMPARE(objInfo.getColTableName(), 7);
        QCOMPARE(objInfo.getStartRowFieldDef(), 2);
        QCOMPARE(objInfo.getColFieldName(), 4);
        QCOMPARE(objInfo.getColFieldType(), 4);
        QCOMPARE(objInfo.getColFieldSize(), 5);
        QCOMPARE(objInfo.getColPrimaryKey(), 6);
        QCOMPARE(objInfo.getColNULL(), 9);
        QVERIFY(!frm.isVisible());
        QVERIFY(objList->isVisible());
        QCOMPARE(fnControl<QListWidget>(objList, "List1")->count(), 0);
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind("『" + strPath + "』", 0) == 0);
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        objList->close();
    }

    void tabSelectsWholeText() {
        frmDBDef frm;
        frm.sbShow();
        frm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frm));
        sbFillBoxes(frm, "book.xls", kDefaults);
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("12");
        fnControl<QPushButton>(&frm, "cmdOK")->setFocus(Qt::OtherFocusReason);
        fnControl<clsTextBox>(&frm, "txtFile")->setFocus(Qt::OtherFocusReason);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->selectedText(), QString("book.xls"));
        QTest::keyClick(fnControl<clsTextBox>(&frm, "txtFile"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtSSheet")));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->selectedText(), QString("12"));
        // Typing replaces the selected text.
        QTest::keyClicks(fnControl<clsTextBox>(&frm, "txtSSheet"), "3");
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->text(), QString("3"));
    }

    void menusActOnTheUsersSelection() {
        frmDBDef frm;
        frm.sbShow();
        frm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frm));
        fnControl<clsTextBox>(&frm, "txtFile")->setText("/data/old book.xls");
        fnControl<QPushButton>(&frm, "cmdOK")->setFocus(Qt::OtherFocusReason);
        fnControl<clsTextBox>(&frm, "txtFile")->setFocus(Qt::OtherFocusReason);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->selectedText(), QString("/data/old book.xls"));

        // The box's own context menu deletes the part the user selected, not the whole text.
        fnControl<clsTextBox>(&frm, "txtFile")->setSelection(6, 4);
        QContextMenuEvent objRightClick(QContextMenuEvent::Mouse, QPoint(5, 5), fnControl<clsTextBox>(&frm, "txtFile")->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(fnControl<clsTextBox>(&frm, "txtFile"), &objRightClick);
        QMenu* objPopup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(objPopup);
        QAction* objDelete = nullptr;
        for (QAction* objItem : objPopup->actions()) {
            if (objItem->text().startsWith(QStringLiteral("Delete"))) objDelete = objItem;
        }
        QVERIFY(objDelete && objDelete->isEnabled());
        // A chosen item closes the menu first, then acts.
        objPopup->hide();
        objDelete->trigger();
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("/data/book.xls"));

        // A menu of the menu bar opened and closed again leaves the selection as it was.
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("12");
        fnControl<clsTextBox>(&frm, "txtSSheet")->setFocus(Qt::OtherFocusReason);
        fnControl<clsTextBox>(&frm, "txtSSheet")->setSelection(1, 1);
        fnControl<QMenu>(&frm, "mnuDBDef")->popup(frm.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QApplication::activePopupWidget() == fnControl<QMenu>(&frm, "mnuDBDef"));
        fnControl<QMenu>(&frm, "mnuDBDef")->hide();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtSSheet")));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->selectedText(), QString("2"));

        // Tab still selects the whole text.
        QTest::keyClick(fnControl<clsTextBox>(&frm, "txtSSheet"), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->selectedText(), QString("/data/book.xls"));
    }

    void fileChooserReplacesOrKeepsPath() {
        frmDBDef frm;
        frm.sbShow();
        fnControl<clsTextBox>(&frm, "txtFile")->setText("old.xls");
        moDlg->mocolFileAnswers = {"/data/new book.xls", "", "   "};
        fnControl<QPushButton>(&frm, "cmdRefFile")->click();
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("/data/new book.xls"));
        QCOMPARE(moDlg->mocolFileDialogs[0].strFilter, std::string("Excelﾌｧｲﾙ|*.xls *.xlsx"));
        QCOMPARE(moDlg->mocolFileDialogs[0].strKind, std::string("open"));
        fnControl<QPushButton>(&frm, "cmdRefFile")->click();
        fnControl<QPushButton>(&frm, "cmdRefFile")->click();
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("/data/new book.xls"));
        QVERIFY(moDlg->mocolMessages.empty());
    }

    void droppedFileGoesIntoWorkbookBox() {
        frmDBDef frm;
        frm.sbShow();
        QMimeData objMime;
        objMime.setUrls({QUrl::fromLocalFile("/data/dropped book.xlsx")});
        QDragEnterEvent objEnter(QPoint(5, 5), Qt::CopyAction, &objMime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(fnControl<clsTextBox>(&frm, "txtNull"), &objEnter);
        QVERIFY(objEnter.isAccepted());
        QDropEvent objDrop(QPointF(5, 5), Qt::CopyAction, &objMime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(fnControl<clsTextBox>(&frm, "txtNull"), &objDrop);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("/data/dropped book.xlsx"));
        QVERIFY(fnControl<clsTextBox>(&frm, "txtNull")->text().isEmpty());
    }

    void layoutFileSave() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        sbFillBoxes(frm, "", kDefaults);
        const std::string strPath = objDir.filePath("layout.edf").toStdString();

        // A blank workbook path is allowed when saving.
        moDlg->mocolFileAnswers = {strPath};
        fnControl<QAction>(&frm, "mnuSaveDBDef")->trigger();
        QCOMPARE(moDlg->mocolFileDialogs.back().strFilter, std::string("Excel設計書定義ファイル|*.edf"));
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"保存しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::OkOnly);
        QCOMPARE(fnReadBytes(strPath),
                 std::string("<StartSheetNo>1</StartSheetNo>\r\n<EndSheetNo>4</EndSheetNo>\r\n"
                             "<StartRowFieldDef>6</StartRowFieldDef>\r\n<RowTableName>3</RowTableName>\r\n"
                             "<ColTableName>3</ColTableName>\r\n<ColFieldName>4</ColFieldName>\r\n"
                             "<ColFieldType>5</ColFieldType>\r\n<ColFieldSize>6</ColFieldSize>\r\n"
                             "<ColPrimarykey>7</ColPrimarykey>\r\n<ColNull>9</ColNull>\r\n"));

        // Any other blank or non-numeric box stops saving before a file is asked for.
        moDlg->sbClear();
        fnControl<clsTextBox>(&frm, "txtFieldSize")->setText("x");
        fnControl<QAction>(&frm, "mnuSaveDBDef")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({kNumeric}));
        QVERIFY(moDlg->mocolFileDialogs.empty());
        QCOMPARE(frm.focusWidget(), static_cast<QWidget*>(fnControl<clsTextBox>(&frm, "txtFieldSize")));

        // Cancel: nothing; a folder that does not exist: the failure.
        moDlg->sbClear();
        fnControl<clsTextBox>(&frm, "txtFieldSize")->setText("6");
        moDlg->mocolFileAnswers = {"", objDir.filePath("missing/layout.edf").toStdString()};
        fnControl<QAction>(&frm, "mnuSaveDBDef")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        fnControl<QAction>(&frm, "mnuSaveDBDef")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"保存失敗しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
    }

    void valuesPutInShowFromTheirStart() {
        frmDBDef frm;
        frm.sbShow();
        fnControl<clsTextBox>(&frm, "txtFile")->setFocus(Qt::OtherFocusReason);
        frm.sbSetTextBox();  // the layout, made with its initial values
        frm.getDocInfo()->setStartPage(-2147483647);
        frm.sbSetTextBox();
        // A narrow box would otherwise show the end of the number, which reads as another value.
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->text(), QString("-2147483647"));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->cursorPosition(), 0);

        fnControl<clsTextBox>(&frm, "txtSSheet")->setFocus(Qt::OtherFocusReason);
        fnControl<clsTextBox>(&frm, "txtFile")->setText("/a/long/folder/name/that/does/not/fit/in/the/box/design.xls");
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->cursorPosition(), 0);
    }

    // 自動検出 fills the boxes and the layout's optional parts from the workbook, and the shared
    // type words where the document needs them; a workbook without a layout changes nothing.
    void detectFillsTheBoxes() {
        frmDBDef frm;
        frm.sbShow();
        const std::string strBook = std::string(XLSDB_TEST_DATA) + "/conventions/template.xlsx";
        fnControl<clsTextBox>(&frm, "txtFile")->setText(QString::fromStdString(strBook));
        auto objMap = frm.getFieldAttr();
        fnControl<QAction>(&frm, "mnuDetect")->trigger();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind("自動検出しました\n", 0) == 0);
        QStringList colShown;
        for (clsTextBox* objBox : frm.getNumTextBox()) colShown << objBox->text();
        QCOMPARE(colShown, QStringList({"3", "4", "6", "3", "10", "3", "4", "0", "0", "5"}));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString::fromStdString(strBook));
        QVERIFY(frm.getDocInfo()->getOptions().enmNullMeaning == NullMeaning::NotNull);
        QVERIFY(frm.getFieldAttr()->getDictionary());
        if (objMap) QVERIFY(frm.getFieldAttr() == objMap);  // the same shared map, filled

        moDlg->sbClear();
        fnControl<clsTextBox>(&frm, "txtFile")->setText(QString::fromStdString(fnData("dup_tables.xlsx") + ".none"));
        fnControl<QAction>(&frm, "mnuDetect")->trigger();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QVERIFY(moDlg->mocolMessages[0].strText.rfind("自動検出できませんでした", 0) == 0);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->text(), QString("3"));
    }

    void layoutFileOpen() {
        QTemporaryDir objDir;
        frmDBDef frm;
        frm.sbShow();
        fnControl<clsTextBox>(&frm, "txtFile")->setText("keep.xls");
        moDlg->mocolFileAnswers = {fnData("sales_design.edf")};
        fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
        QVERIFY(moDlg->mocolMessages.empty());
        QStringList colShown;
        for (clsTextBox* objBox : frm.getNumTextBox()) colShown << objBox->text();
        QCOMPARE(colShown, QStringList({"3", "6", "3", "3", "6", "4", "5", "6", "7", "9"}));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("keep.xls"));
        QCOMPARE(frm.getDocInfo()->getEndPage(), 6);

        // A file failing half-way changes neither the boxes nor the layout definition.
        const std::string strBad = objDir.filePath("bad.edf").toStdString();
        {
            QFile objFile(QString::fromStdString(strBad));
            QVERIFY(objFile.open(QIODevice::WriteOnly));
            objFile.write("<StartSheetNo>8</StartSheetNo>\r\n<EndSheetNo>9</EndSheetNo>\r\n");
        }
        fnControl<clsTextBox>(&frm, "txtSSheet")->setText("5");
        moDlg->mocolFileAnswers = {strBad, objDir.filePath("none.edf").toStdString(), ""};
        fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
        fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
        fnControl<QAction>(&frm, "mnuOpenDBDef")->trigger();
        QCOMPARE(fnTexts(*moDlg), std::vector<std::string>({"読み込み失敗しました", "読み込み失敗しました"}));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::Exclamation);
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtSSheet")->text(), QString("5"));
        QCOMPARE(frm.getDocInfo()->getStartPage(), 3);
        QCOMPARE(frm.getDocInfo()->getEndPage(), 6);
    }

    void dialogLayer() {
        // Filters keep their label and patterns.
        QCOMPARE(clsQtDialogs::fnQtFilter("Excelﾌｧｲﾙ|*.xls *.xlsx"), QString("Excelﾌｧｲﾙ (*.xls *.xlsx)"));
        QCOMPARE(clsQtDialogs::fnQtFilter("Access データベース|*.mdb *.accdb"), QString("Access データベース (*.mdb *.accdb)"));

        // The folder chooser hands back a plain path; the root keeps its separator; cancel is empty.
        moDlg->mocolFolderAnswers = {"/data/docs/", "/", "", "C:\\", "/data/日本語 フォルダ"};
        clsRefFolder objFolder;
        QCOMPARE(objFolder.fnShow(), std::string("/data/docs"));
        QCOMPARE(objFolder.fnShow(), std::string("/"));
        QCOMPARE(objFolder.fnShow(), std::string());
        QCOMPARE(objFolder.fnShow(), std::string("C:\\"));
        QCOMPARE(objFolder.fnShow(), std::string("/data/日本語 フォルダ"));
        QCOMPARE(moDlg->mocolFileDialogs.size(), size_t(5));
        QCOMPARE(moDlg->mocolFileDialogs[0].strKind, std::string("folder"));
    }

    void qtOpenChooserTakesTypedNameOfMissingFile() {
        QTemporaryDir objDir;
        const QString strTyped = objDir.filePath("not there.xls");
        QString strFilterSeen;
        bool blnAnswered = false;
        bool blnRefused = false;
        // One timer answers the chooser; a second one closes any complaint the chooser raises
        // while it handles the answer. A chooser that refuses the name is cancelled.
        QTimer objRobot;
        QTimer objCloser;
        objRobot.setInterval(10);
        objCloser.setInterval(10);
        connect(&objCloser, &QTimer::timeout, [&] {
            for (QWidget* objWin : QApplication::topLevelWidgets()) {
                if (auto* objBox = qobject_cast<QMessageBox*>(objWin); objBox && objBox->isVisible()) {
                    blnRefused = true;
                    QMetaObject::invokeMethod(objBox, "reject");
                }
            }
        });
        connect(&objRobot, &QTimer::timeout, [&] {
            for (QWidget* objWin : QApplication::topLevelWidgets()) {
                auto* objDlg = qobject_cast<QFileDialog*>(objWin);
                if (!objDlg || !objDlg->isVisible() || blnAnswered) continue;
                // Typed into the name box, as a user would.
                auto* objName = objDlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!objName) {
                    QMetaObject::invokeMethod(objDlg, "reject");
                    return;
                }
                blnAnswered = true;
                strFilterSeen = objDlg->nameFilters().join(";");
                objName->setText(strTyped);
                QMetaObject::invokeMethod(objDlg, "accept");
                if (objDlg->isVisible()) {
                    blnRefused = true;
                    QMetaObject::invokeMethod(objDlg, "reject");
                }
                return;
            }
        });
        objRobot.start();
        objCloser.start();
        clsQtDialogs objQt;
        const std::string strChosen = objQt.fnOpenFile(nullptr, "Excelﾌｧｲﾙ|*.xls *.xlsx");
        objRobot.stop();
        objCloser.stop();
        QVERIFY(blnAnswered);
        QVERIFY(!blnRefused);
        QCOMPARE(strChosen, strTyped.toStdString());
        QCOMPARE(strFilterSeen, QString("Excelﾌｧｲﾙ (*.xls *.xlsx)"));
    }

    void qtFolderChooserIsOwnedOnlyByTheGivenWindow() {
        frmDBDef frm;
        frm.sbShow();
        frm.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frm));
        sbSetDialogs(std::make_shared<clsQtDialogs>());
        // Cancels every folder chooser it sees and notes the window it belongs to.
        QList<QWidget*> colOwners;
        QTimer objRobot;
        objRobot.setInterval(10);
        connect(&objRobot, &QTimer::timeout, [&] {
            for (QWidget* objWin : QApplication::topLevelWidgets()) {
                auto* objDlg = qobject_cast<QFileDialog*>(objWin);
                if (!objDlg || !objDlg->isVisible()) continue;
                colOwners << objDlg->parentWidget();
                QMetaObject::invokeMethod(objDlg, "reject");
            }
        });
        objRobot.start();
        clsRefFolder objFolder;
        // No owner was given: none, although the definition screen is the active window.
        QCOMPARE(objFolder.fnShow(), std::string());
        objFolder.setHWND(fnControl<clsTextBox>(&frm, "txtNull"));
        QCOMPARE(objFolder.fnShow(), std::string());
        objRobot.stop();
        QCOMPARE(colOwners, QList<QWidget*>({nullptr, &frm}));
    }

    void typeScreenAndQuitMenus() {
        frmDBDef frm;
        frm.sbShow();
        QVERIFY(!frm.getFieldAttr());
        fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
        frmDatTypeAccess* objType = frm.getDatTypeAccess();
        QVERIFY(objType && objType->isVisible());
        QVERIFY(frm.getFieldAttr() && objType->getMap() == frm.getFieldAttr());
        // Again: the same screen, brought forward.
        fnControl<QAction>(&frm, "mnuFieldAttr")->trigger();
        QCOMPARE(frm.getDatTypeAccess(), objType);
        QVERIFY(frm.isVisible());

        fnControl<QAction>(&frm, "mnuQuit")->trigger();
        QCOMPARE(molngEndCalls, 1);
        objType->close();
    }

    void versionBoxAndStartingWithAWorkbook() {
        frmDBDef frm;
        frm.sbShow();
        QCOMPARE(fnControl<QMenu>(&frm, "mnuFile")->actions().first(), fnControl<QAction>(&frm, "mnuVersion"));
        fnControl<QAction>(&frm, "mnuVersion")->trigger();
        QCOMPARE(moDlg->mocolMessages.size(), size_t(1));
        QVERIFY(moDlg->mocolMessages[0].lngStyle == enmMsgStyle::OkOnly);
        QVERIFY(fnTexts(*moDlg)[0].rfind(std::string("xlsdb バージョン ") + XLSDB_VERSION + "\n", 0) == 0);
        QCOMPARE(molngEndCalls, 0);

        // The workbook named when starting: the menu entry gives a full path, a terminal may give
        // one relative to its folder, a file manager a URL; a remote URL or an option Qt left is no workbook.
        QCOMPARE(fnWorkbookArgument({"xlsdb"}), QString());
        QCOMPARE(fnWorkbookArgument({"xlsdb", "--unknown"}), QString());
        QCOMPARE(fnWorkbookArgument({"xlsdb", "/data/設計 書.xls"}), QString("/data/設計 書.xls"));
        QCOMPARE(fnWorkbookArgument({"xlsdb", "sub/book.xlsx"}), QDir::current().absoluteFilePath("sub/book.xlsx"));
        QCOMPARE(fnWorkbookArgument({"xlsdb", "file:///data/%E8%A8%AD%E8%A8%88%20book.xlsx"}),
                 QString("/data/設計 book.xlsx"));
        QCOMPARE(fnWorkbookArgument({"xlsdb", "https://example.org/book.xls"}), QString());
        frm.sbPutWorkbook(fnWorkbookArgument({"xlsdb", "/data/設計 書.xls"}));
        QCOMPARE(fnControl<clsTextBox>(&frm, "txtFile")->text(), QString("/data/設計 書.xls"));
        QVERIFY(fnControl<clsTextBox>(&frm, "txtSSheet")->text().isEmpty());
    }
};

QTEST_MAIN(TestDBDef)
#include "dbdef_test.moc"
