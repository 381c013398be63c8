#include "frmDBDef.h"

#include "clsLayoutDetect.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "AppControl.h"
#include "FormLook.h"
#include "TextRules.h"
#include "clsDialogs.h"
#include "clsTextBox.h"
#include "frmDatTypeAccess.h"
#include "frmTableList.h"
#include "xlsdb_version.h"

using formlook::fnRect;

namespace {
const char* const kMsgBlank = "未入力です";
const char* const kMsgNumeric = "数値のみ入力してください";
const char* const kFilterBook = "Excelﾌｧｲﾙ|*.xls *.xlsx";
const char* const kFilterDBDef = "Excel設計書定義ファイル|*.edf";

// Client area of the screen, in twips.
constexpr int kClientWidth = 8175;
constexpr int kClientHeight = 6315;

// The workbook named by a drag, or empty text when it carries no local file.
QString fnDroppedFile(const QMimeData* objMime) {
    if (!objMime || !objMime->hasUrls()) return QString();
    for (const QUrl& objUrl : objMime->urls()) {
        if (objUrl.isLocalFile()) return QDir::toNativeSeparators(objUrl.toLocalFile());
    }
    return QString();
}
}  // namespace

frmDBDef::frmDBDef(QWidget* objParent) : QMainWindow(objParent) {
    setWindowTitle(QString::fromUtf8(kAppTitle));
    formlook::sbSetScreenFont(this);
    sbBuildControls();
    sbAddTextBox();
    sbClearTextBox();
}

frmDBDef::~frmDBDef() {
    // The other screens are top-level windows of their own; they go with this one.
    delete mofrmTableList.data();
    delete mofrmDatTypeAccess.data();
}

frmTableList* frmDBDef::getTableList() const { return mofrmTableList.data(); }

frmDatTypeAccess* frmDBDef::getDatTypeAccess() const { return mofrmDatTypeAccess.data(); }

QLabel* frmDBDef::fnNewLabel(QWidget* objParent, const char* strCaption, int lngLeft, int lngTop,
                             int lngWidth, int lngHeight, bool blnTop) {
    QLabel* objLabel = formlook::fnLabel(objParent, QString::fromUtf8(strCaption), lngLeft, lngTop, lngWidth,
                                         lngHeight, blnTop);
    objLabel->setWordWrap(false);
    Label1.push_back(objLabel);
    return objLabel;
}

clsTextBox* frmDBDef::fnNewBox(QWidget* objParent, int lngLeft, int lngTop, int lngWidth, int lngHeight,
                               int lngMaxTyped, bool blnHalfWidth) {
    auto* objBox = new clsTextBox(objParent);
    objBox->setGeometry(fnRect(lngLeft, lngTop, lngWidth, lngHeight, objParent));
    objBox->setMaxTyped(lngMaxTyped);
    objBox->setHalfWidthOnly(blnHalfWidth);
    objBox->installEventFilter(this);
    return objBox;
}

void frmDBDef::sbBuildControls() {
    auto* objClient = new QWidget(this);
    objClient->setObjectName(QStringLiteral("client"));
    objClient->setFixedSize(formlook::fnPx(kClientWidth, this), formlook::fnPx(kClientHeight, this));
    formlook::sbSetBackground(objClient, formlook::fnLightCyan());
    objClient->setAcceptDrops(true);
    objClient->installEventFilter(this);
    setCentralWidget(objClient);

    // Workbook row.
    fnNewLabel(objClient, "DB設計書ﾌｧｲﾙ", 120, 360, 1815, 375, false);
    txtFile = fnNewBox(objClient, 2280, 360, 5055, 375, 0, false);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    txtFile->setToolTip(QString::fromUtf8("*.xlsファイルパスを入力してください"));
    cmdRefFile = new QPushButton(QString::fromUtf8("参照"), objClient);
    cmdRefFile->setObjectName(QStringLiteral("cmdRefFile"));
    cmdRefFile->setGeometry(fnRect(7320, 360, 615, 375, objClient));

    // Sheet row.
    fnNewLabel(objClient, "テーブル定義Sheet", 120, 960, 1815, 375, false);
    txtSSheet = fnNewBox(objClient, 2280, 960, 495, 375, 2, true);
    txtSSheet->setObjectName(QStringLiteral("txtSSheet"));
    txtSSheet->setToolTip(QString::fromUtf8("テーブルが定義されているシートの開始番号を入力してください。"));
    fnNewLabel(objClient, "Sheet番号", 2880, 1080, 855, 375, true);
    fnNewLabel(objClient, "～", 3840, 1080, 375, 375, true);
    txtESheet = fnNewBox(objClient, 4200, 960, 495, 375, 2, true);
    txtESheet->setObjectName(QStringLiteral("txtESheet"));
    txtESheet->setToolTip(QString::fromUtf8("テーブルが定義されているシートの終了番号を入力してください。"));
    fnNewLabel(objClient, "Sheet番号", 4800, 1080, 855, 375, true);

    // The frame of the field layout; its contents are placed relative to it.
    Frame1 = new formlook::clsFrame(QString::fromUtf8("フィールド定義"), objClient);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(fnRect(120, 1560, 7815, 3375, objClient));
    formlook::sbSetBackground(Frame1, formlook::fnLightCyan());

    fnNewLabel(Frame1, "テーブル名", 240, 480, 1815, 375, false);
    txtTableNmRow = fnNewBox(Frame1, 2160, 480, 375, 375, 2, false);
    txtTableNmRow->setObjectName(QStringLiteral("txtTableNmRow"));
    fnNewLabel(Frame1, "行", 2760, 600, 375, 375, true);
    fnNewLabel(Frame1, "～", 3120, 600, 375, 375, true);
    txtTableNmCol = fnNewBox(Frame1, 3480, 480, 375, 375, 2, true);
    txtTableNmCol->setObjectName(QStringLiteral("txtTableNmCol"));
    fnNewLabel(Frame1, "列", 4080, 600, 375, 375, true);

    fnNewLabel(Frame1, "フィールド開始行", 240, 1080, 1815, 375, false);
    txtFieldStart = fnNewBox(Frame1, 2160, 1080, 615, 375, 2, true);
    txtFieldStart->setObjectName(QStringLiteral("txtFieldStart"));
    fnNewLabel(Frame1, "行", 2760, 1200, 375, 375, true);

    const char* const strHeads[5] = {"フィールド名", "フィールド属性", "フィールドサイズ", "主キー", "NULL値"};
    const int lngLefts[5] = {240, 1560, 3120, 4920, 6120};
    const int lngHeadWidths[5] = {1095, 1335, 1575, 855, 855};
    const int lngColLabelLefts[5] = {840, 2160, 3720, 5520, 6720};
    const char* const strNames[5] = {"txtFieldNm", "txtFieldAttr", "txtFieldSize", "txtPKey", "txtNull"};
    clsTextBox* objCols[5];
    for (int i = 0; i < 5; ++i) fnNewLabel(Frame1, strHeads[i], lngLefts[i], 1680, lngHeadWidths[i], 375, false);
    for (int i = 0; i < 5; ++i) {
        // The size column takes the input method like the table-name row; the others are direct input.
        objCols[i] = fnNewBox(Frame1, lngLefts[i], 2040, 375, 375, 2, i != 2);
        objCols[i]->setObjectName(QString::fromLatin1(strNames[i]));
    }
    for (int i = 0; i < 5; ++i) fnNewLabel(Frame1, "列", lngColLabelLefts[i], 2160, 375, 375, true);
    txtFieldNm = objCols[0];
    txtFieldAttr = objCols[1];
    txtFieldSize = objCols[2];
    txtPKey = objCols[3];
    txtNull = objCols[4];

    cmdOK = new QPushButton(QString::fromUtf8("次へ(&N)"), objClient);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(fnRect(120, 5400, 1095, 495, objClient));

    // Tab order.
    QWidget* const objOrder[] = {txtFile,       txtSSheet,  txtESheet,    txtTableNmRow, txtTableNmCol,
                                 txtFieldStart, txtFieldNm, txtFieldAttr, txtFieldSize,  txtPKey,
                                 txtNull,       cmdOK,      cmdRefFile};
    for (size_t i = 0; i + 1 < std::size(objOrder); ++i) setTabOrder(objOrder[i], objOrder[i + 1]);

    // Menus.
    mnuFile = menuBar()->addMenu(QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    mnuVersion = mnuFile->addAction(QString::fromUtf8("バージョン情報(&A)"));
    mnuFile->addSeparator();
    mnuQuit = mnuFile->addAction(QString::fromUtf8("終了(&X)"));
    mnuDBDef = menuBar()->addMenu(QString::fromUtf8("DB設計書定義"));
    mnuOpenDBDef = mnuDBDef->addAction(QString::fromUtf8("開く"));
    mnuSaveDBDef = mnuDBDef->addAction(QString::fromUtf8("保存"));
    mnuDetect = mnuDBDef->addAction(QString::fromUtf8("自動検出"));
    mnuFieldAttr = menuBar()->addAction(QString::fromUtf8("ﾌｨｰﾙﾄﾞ属性"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuVersion->setObjectName(QStringLiteral("mnuVersion"));
    mnuQuit->setObjectName(QStringLiteral("mnuQuit"));
    mnuDBDef->setObjectName(QStringLiteral("mnuDBDef"));
    mnuOpenDBDef->setObjectName(QStringLiteral("mnuOpenDBDef"));
    mnuSaveDBDef->setObjectName(QStringLiteral("mnuSaveDBDef"));
    mnuDetect->setObjectName(QStringLiteral("mnuDetect"));
    mnuFieldAttr->setObjectName(QStringLiteral("mnuFieldAttr"));

    connect(cmdOK, &QPushButton::clicked, this, &frmDBDef::cmdOK_Click);
    connect(cmdRefFile, &QPushButton::clicked, this, &frmDBDef::cmdRefFile_Click);
    connect(mnuVersion, &QAction::triggered, this, &frmDBDef::mnuVersion_Click);
    connect(mnuQuit, &QAction::triggered, this, &frmDBDef::mnuQuit_Click);
    connect(mnuOpenDBDef, &QAction::triggered, this, &frmDBDef::mnuOpenDBDef_Click);
    connect(mnuSaveDBDef, &QAction::triggered, this, &frmDBDef::mnuSaveDBDef_Click);
    connect(mnuDetect, &QAction::triggered, this, &frmDBDef::mnuDetect_Click);
    connect(mnuFieldAttr, &QAction::triggered, this, &frmDBDef::mnuFieldAttr_Click);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmDBDef::sbAddTextBox() {
    mocolAllTextBox = {txtFile,       txtSSheet,  txtESheet,    txtTableNmRow, txtTableNmCol, txtFieldStart,
                       txtFieldNm,    txtFieldAttr, txtFieldSize, txtPKey,     txtNull};
    mocolNumTextBox.assign(mocolAllTextBox.begin() + 1, mocolAllTextBox.end());
}

void frmDBDef::sbClearTextBox() {
    for (clsTextBox* objBox : mocolAllTextBox) objBox->setText(QString());
}

void frmDBDef::sbSelectAll(clsTextBox* objBox) { objBox->sbSelectAll(); }

void frmDBDef::sbFocusBox(clsTextBox* objBox) {
    activateWindow();
    objBox->setFocus(Qt::OtherFocusReason);
    sbSelectAll(objBox);
}

void frmDBDef::sbShow() {
    sbClearTextBox();
    // The first showing stands in the middle of the screen; later ones where they are put.
    if (!moblnPlaced) formlook::sbPlaceWindow(this);
    moblnPlaced = true;
    show();
    raise();
    activateWindow();
    txtFile->setFocus(Qt::OtherFocusReason);
}

void frmDBDef::sbSetTextBox() {
    if (!moobjDocInfo) moobjDocInfo = std::make_shared<clsExcelDBDocInfo>();
    const clsExcelDBDocInfo& objInfo = *moobjDocInfo;
    auto sbPut = [](clsTextBox* objBox, std::int32_t lngValue) {
        objBox->setText(QString::fromStdString(intToText(lngValue)));
    };
    sbPut(txtSSheet, objInfo.getStartPage());
    sbPut(txtESheet, objInfo.getEndPage());
    sbPut(txtTableNmRow, objInfo.getRowTableName());
    sbPut(txtTableNmCol, objInfo.getColTableName());
    sbPut(txtFieldStart, objInfo.getStartRowFieldDef());
    sbPut(txtFieldNm, objInfo.getColFieldName());
    sbPut(txtFieldAttr, objInfo.getColFieldType());
    sbPut(txtFieldSize, objInfo.getColFieldSize());
    sbPut(txtPKey, objInfo.getColPrimaryKey());
    sbPut(txtNull, objInfo.getColNULL());
}

void frmDBDef::sbPutWorkbook(const QString& strFile) { txtFile->setText(strFile); }

void frmDBDef::sbSetFileBox() {
    txtFile->setText(QString::fromStdString(mostrFilePath));
    txtFile->setCursorPosition(0);
}

bool frmDBDef::fnCheckInput(int lngMode) {
    // Every box is tested for blankness before any is tested for a number.
    for (clsTextBox* objBox : mocolAllTextBox) {
        if (objBox == txtFile && lngMode == 1) continue;
        if (isBlank(objBox->text().toStdString())) {
            sbWarn(this, kMsgBlank);
            sbFocusBox(objBox);
            return false;
        }
    }
    for (clsTextBox* objBox : mocolNumTextBox) {
        std::int32_t lngValue = 0;
        if (!tryToInt32(objBox->text().toStdString(), lngValue)) {
            sbWarn(this, kMsgNumeric);
            sbFocusBox(objBox);
            return false;
        }
    }
    return true;
}

void frmDBDef::sbGetTextBox() {
    if (!moobjDocInfo) moobjDocInfo = std::make_shared<clsExcelDBDocInfo>();
    auto fnNum = [](const clsTextBox* objBox) { return toInt32(objBox->text().toStdString()); };
    moobjDocInfo->sbSetPage(fnNum(txtSSheet), fnNum(txtESheet));
    moobjDocInfo->sbSetTableNmPos(fnNum(txtTableNmRow), fnNum(txtTableNmCol));
    moobjDocInfo->sbSetFieldPos(fnNum(txtFieldStart));
    moobjDocInfo->sbSetFieldDefPos(fnNum(txtFieldNm), fnNum(txtFieldAttr), fnNum(txtFieldSize), fnNum(txtPKey),
                                   fnNum(txtNull));
}

void frmDBDef::cmdOK_Click() {
    if (!fnCheckInput(2)) return;
    sbGetTextBox();
    QApplication::setOverrideCursor(Qt::WaitCursor);

    if (!moobjFAttr) moobjFAttr = std::make_shared<clsAccessFieldAttr>();
    auto* objList = new frmTableList();
    objList->setAttribute(Qt::WA_DeleteOnClose);
    objList->sbSetSource(moobjDocInfo, moobjFAttr, txtFile->text().toStdString(), this);
    connect(objList, &frmTableList::sigBack, this, &frmDBDef::sbBackFromTableList);
    mofrmTableList = objList;
    formlook::sbPlaceWindow(objList, this);
    objList->sbShow();

    close();
    QApplication::restoreOverrideCursor();
    // The type notation screen stores its boxes as it closes, or stays open when one is empty.
    if (mofrmDatTypeAccess && mofrmDatTypeAccess->isVisible()) mofrmDatTypeAccess->close();
}

void frmDBDef::sbBackFromTableList(const std::string& strFilePath, const ExcelDBDocInfoPtr& objDocInfo) {
    mostrFilePath = strFilePath;
    moobjDocInfo = objDocInfo;
    if (auto* objList = qobject_cast<QWidget*>(sender())) formlook::sbPlaceWindow(this, objList);
    sbShow();
    sbSetTextBox();
    sbSetFileBox();
}

void frmDBDef::sbTypesStored(const AccessFieldAttrPtr& objFAttr) { moobjFAttr = objFAttr; }

void frmDBDef::cmdRefFile_Click() {
    const std::string strName = fnDialogs().fnOpenFile(this, kFilterBook);
    if (!isBlank(strName)) {
        txtFile->setText(QString::fromStdString(strName));
        txtFile->setCursorPosition(0);
    }
}

void frmDBDef::mnuVersion_Click() {
    sbNotice(this, std::string(kAppTitle) + " バージョン " + XLSDB_VERSION +
                       "\n\nExcel の DB設計書から Access のテーブルと\nHTML のテーブル定義書を作成します。");
}

void frmDBDef::mnuQuit_Click() { sbEndProgram(); }

void frmDBDef::mnuOpenDBDef_Click() {
    const std::string strPath = fnDialogs().fnOpenFile(this, kFilterDBDef);
    if (isBlank(strPath)) return;
    if (!moobjDocInfo) moobjDocInfo = std::make_shared<clsExcelDBDocInfo>();
    // Read into a fresh definition so that a file failing half-way leaves ours as it was.
    clsExcelDBDocInfo objRead = *moobjDocInfo;
    bool blnOK = false;
    try {
        blnOK = objRead.fnReadFile(strPath);
    } catch (...) {
        blnOK = false;
    }
    if (!blnOK) {
        sbWarn(this, "読み込み失敗しました");
        return;
    }
    *moobjDocInfo = objRead;
    sbSetTextBox();
}

// Finds the layout of the workbook in the box and fills the boxes (and, where the document needs
// them, the type words) with it; says what it found, or why it found nothing, changing nothing then.
void frmDBDef::mnuDetect_Click() {
    const std::string strBook = txtFile->text().toStdString();
    clsLayoutDetect objDetect;
    bool blnOK = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        blnOK = objDetect.fnDetect(strBook);
    } catch (const std::exception& e) {
        blnOK = false;
    }
    QApplication::restoreOverrideCursor();
    std::string strText;
    for (const auto* pList : {&objDetect.getFindings(), &objDetect.getSkippedSheets(), &objDetect.getProblems()})
        for (const std::string& s : *pList) strText += "\n" + s;
    if (!blnOK) {
        sbWarn(this, "自動検出できませんでした" + strText);
        return;
    }
    if (!moobjDocInfo) moobjDocInfo = std::make_shared<clsExcelDBDocInfo>();
    *moobjDocInfo = objDetect.getLayout();
    sbSetTextBox();
    txtFile->setText(QString::fromStdString(strBook));
    // The type words go into the shared map only where the document needs more than the classic ones.
    if (objDetect.needsTypeFile()) {
        if (!moobjFAttr) moobjFAttr = std::make_shared<clsAccessFieldAttr>();
        *moobjFAttr = objDetect.getTypes();
        // An open type screen shows them (closing it would otherwise store its old boxes).
        if (mofrmDatTypeAccess && mofrmDatTypeAccess->isVisible()) {
            mofrmDatTypeAccess->sbSetMap(moobjFAttr);
            mofrmDatTypeAccess->sbReload();
        }
    }
    sbNotice(this, "自動検出しました" + strText);
}

bool frmDBDef::fnSaveDBDef(const std::string& strPath) {
    sbGetTextBox();
    return fnSaveDBDefFile(*moobjDocInfo, strPath);
}

void frmDBDef::mnuSaveDBDef_Click() {
    // The file holds what the boxes show, so they must be complete; the workbook path may be blank.
    if (!fnCheckInput(1)) return;
    const std::string strPath = fnDialogs().fnSaveFile(this, kFilterDBDef);
    if (isBlank(strPath)) return;
    if (fnSaveDBDef(strPath))
        sbNotice(this, "保存しました");
    else
        sbWarn(this, "保存失敗しました");
}

void frmDBDef::mnuFieldAttr_Click() {
    if (!moobjFAttr) moobjFAttr = std::make_shared<clsAccessFieldAttr>();
    // A screen closed a moment ago is on its way out; a new one is loaded in its place.
    if (!mofrmDatTypeAccess || !mofrmDatTypeAccess->isVisible()) {
        auto* objScreen = new frmDatTypeAccess();
        objScreen->setAttribute(Qt::WA_DeleteOnClose);
        connect(objScreen, &frmDatTypeAccess::sigStored, this, &frmDBDef::sbTypesStored);
        mofrmDatTypeAccess = objScreen;
        formlook::sbPlaceWindow(objScreen, this, true);
    }
    mofrmDatTypeAccess->sbSetMap(moobjFAttr);
    mofrmDatTypeAccess->sbShow();
}

bool frmDBDef::eventFilter(QObject* objWatched, QEvent* objEvent) {
    // A workbook file dropped anywhere on the screen goes into the workbook box.
    switch (objEvent->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* objDrag = static_cast<QDragMoveEvent*>(objEvent);
        if (!fnDroppedFile(objDrag->mimeData()).isEmpty()) {
            objDrag->acceptProposedAction();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* objDrop = static_cast<QDropEvent*>(objEvent);
        const QString strFile = fnDroppedFile(objDrop->mimeData());
        if (!strFile.isEmpty()) {
            sbPutWorkbook(strFile);
            objDrop->acceptProposedAction();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(objWatched, objEvent);
}
