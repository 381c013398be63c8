#include "frmDatTypeAccess.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <algorithm>

#include "AppControl.h"
#include "FormLook.h"
#include "TextRules.h"
#include "clsDialogs.h"
#include "clsTextBox.h"

using formlook::fnRect;

namespace {
const char* const kFilterAttr = "Accessﾌｨｰﾙﾄﾞ属性定義ﾌｧｲﾙ|*.afa";
constexpr int kClientWidth = 3945;
constexpr int kClientHeight = 6060;
}  // namespace

frmDatTypeAccess::frmDatTypeAccess(QWidget* objParent) : QMainWindow(objParent) {
    setWindowTitle(QString::fromUtf8("Access フィールド属性の表記"));
    formlook::sbSetScreenFont(this);
    sbBuildControls();
}

void frmDatTypeAccess::sbBuildControls() {
    auto* objClient = new QWidget(this);
    objClient->setObjectName(QStringLiteral("client"));
    objClient->setFixedSize(formlook::fnPx(kClientWidth, this), formlook::fnPx(kClientHeight, this));
    formlook::sbSetBackground(objClient, formlook::fnStrongCyan());
    setCentralWidget(objClient);

    struct stRow {
        const char* strCaption;
        int lngTop;
        int lngLabelHeight;
        const char* strName;
    };
    const stRow colRows[10] = {
        {"TEXT型", 120, 375, "txtText"},
        {"日付型", 600, 375, "txtDate"},
        {"整数型(integer)", 1080, 375, "txtInt"},
        {"長整数型(Long)", 1560, 375, "txtLong"},
        {"AutoNumber型", 2040, 375, "txtAutoNumber"},
        {"単精度浮動小数点型(Single)", 2520, 495, "txtSingle"},
        {"倍精度浮動小数点型(Double)", 3120, 495, "txtDouble"},
        {"通貨型", 3720, 375, "txtCurrency"},
        {"Yes/No型", 4200, 375, "txtYesNo"},
        {"メモ型", 4680, 375, "txtMemo"},
    };
    clsTextBox* objBoxes[10];
    for (int i = 0; i < 10; ++i) {
        QLabel* objLabel = formlook::fnLabel(objClient, QString::fromUtf8(colRows[i].strCaption), 120,
                                             colRows[i].lngTop, 1815, colRows[i].lngLabelHeight,
                                             colRows[i].lngLabelHeight > 375);
        Label1.push_back(objLabel);
        objBoxes[i] = new clsTextBox(objClient);
        objBoxes[i]->setObjectName(QString::fromLatin1(colRows[i].strName));
        objBoxes[i]->setGeometry(fnRect(2160, colRows[i].lngTop, 1575, 375, objClient));
    }
    txtText = objBoxes[0];
    txtDate = objBoxes[1];
    txtInt = objBoxes[2];
    txtLong = objBoxes[3];
    txtAutoNumber = objBoxes[4];
    txtSingle = objBoxes[5];
    txtDouble = objBoxes[6];
    txtCurrency = objBoxes[7];
    txtYesNo = objBoxes[8];
    txtMemo = objBoxes[9];
    txtYesNo->setToolTip(QString::fromUtf8("空欄なら Yes/No 型の言葉はありません（型辞書を使うときは辞書の言葉）"));
    txtMemo->setToolTip(QString::fromUtf8("空欄ならメモ型の言葉はありません（型辞書を使うときは辞書の言葉）"));
    chkDictionary = new QCheckBox(QString::fromUtf8("組み込みの型辞書も使う（VARCHAR, INT, 文字列 など）"), objClient);
    chkDictionary->setObjectName(QStringLiteral("chkDictionary"));
    chkDictionary->setGeometry(fnRect(120, 5160, 3615, 300, objClient));
    chkSizeInType = new QCheckBox(QString::fromUtf8("型の欄の「WORD(N)」からサイズも読む"), objClient);
    chkSizeInType->setObjectName(QStringLiteral("chkSizeInType"));
    chkSizeInType->setGeometry(fnRect(120, 5580, 3615, 300, objClient));
    for (int i = 0; i + 1 < 10; ++i) setTabOrder(objBoxes[i], objBoxes[i + 1]);
    setTabOrder(objBoxes[9], chkDictionary);
    setTabOrder(chkDictionary, chkSizeInType);

    mnuFile = menuBar()->addMenu(QString::fromUtf8("ﾌｧｲﾙ(&F)"));
    mnuOpen = mnuFile->addAction(QString::fromUtf8("開く(&O)"));
    mnuSave = mnuFile->addAction(QString::fromUtf8("保存(&S)"));
    mnuSep = mnuFile->addSeparator();
    mnuQuit = mnuFile->addAction(QString::fromUtf8("終了(&X)"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    mnuSave->setObjectName(QStringLiteral("mnuSave"));
    mnuSep->setObjectName(QStringLiteral("mnuSep"));
    mnuQuit->setObjectName(QStringLiteral("mnuQuit"));
    connect(mnuOpen, &QAction::triggered, this, &frmDatTypeAccess::mnuOpen_Click);
    connect(mnuSave, &QAction::triggered, this, &frmDatTypeAccess::mnuSave_Click);
    connect(mnuQuit, &QAction::triggered, this, &frmDatTypeAccess::mnuQuit_Click);

    sbFitWidth(objClient);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmDatTypeAccess::sbFitWidth(QWidget* objClient) {
    // The boxes show the default notations whole and ten full-width characters (Japanese type
    // words such as 単精度浮動小数点型); the window is wide enough for its caption beside the
    // title bar's buttons. Heights and the labels stay as they are.
    const QList<clsTextBox*> colBoxes = objClient->findChildren<clsTextBox*>();
    if (colBoxes.isEmpty()) return;
    const QFontMetrics objMetrics = colBoxes.first()->fontMetrics();
    int lngText = objMetrics.horizontalAdvance(QString(10, QChar(0x6F22)));
    const clsAccessFieldAttr objDefaults;
    for (AccessFieldType enmType : {AccessFieldType::Text, AccessFieldType::AutoNumber, AccessFieldType::Date,
                                    AccessFieldType::Integer, AccessFieldType::Long, AccessFieldType::Single,
                                    AccessFieldType::Double, AccessFieldType::Currency}) {
        lngText = std::max(lngText, objMetrics.horizontalAdvance(QString::fromStdString(objDefaults.get(enmType))));
    }
    // The box's frame and inner margins.
    const int lngBox = std::max(fnRect(2160, 0, 1575, 375, objClient).width(), lngText + formlook::fnPx(180, this));
    int lngRight = 0;
    for (clsTextBox* objBox : colBoxes) {
        QRect objGeometry = objBox->geometry();
        objGeometry.setWidth(lngBox);
        objBox->setGeometry(objGeometry);
        lngRight = std::max(lngRight, objGeometry.right() + 1);
    }
    // The switches as wide as their text.
    for (QCheckBox* objCheck : objClient->findChildren<QCheckBox*>()) {
        QRect objGeometry = objCheck->geometry();
        objGeometry.setWidth(std::max(objGeometry.width(), objCheck->sizeHint().width()));
        objCheck->setGeometry(objGeometry);
        lngRight = std::max(lngRight, objGeometry.right() + 1);
    }
    // The caption at the title bar's size (a little larger than the screen's), and room for the
    // window manager's icon and buttons.
    QFont objTitleFont = font();
    objTitleFont.setPointSizeF(objTitleFont.pointSizeF() * 1.25);
    const int lngCaption = QFontMetrics(objTitleFont).horizontalAdvance(windowTitle()) + formlook::fnPx(2400, this);
    const int lngWidth = std::max({objClient->width(), lngRight + formlook::fnPx(210, this), lngCaption});
    objClient->setFixedSize(lngWidth, objClient->height());
}

void frmDatTypeAccess::sbShow() {
    if (!moblnLoaded) {
        moblnLoaded = true;
        if (!moDataType) moDataType = std::make_shared<clsAccessFieldAttr>();
        sbInitTextBoxList();
        sbClearTextBox();
        sbAttrToTextBox();
        show();
        txtText->setFocus(Qt::OtherFocusReason);
    } else {
        show();
    }
    raise();
    activateWindow();
}

void frmDatTypeAccess::sbReload() {
    if (!moblnLoaded || !moDataType) return;
    sbClearTextBox();
    sbAttrToTextBox();
}

void frmDatTypeAccess::sbInitTextBoxList() {
    mocolTypeTextBox = {txtText, txtDate, txtInt, txtLong, txtAutoNumber, txtSingle, txtDouble, txtCurrency};
}

void frmDatTypeAccess::sbClearTextBox() {
    for (clsTextBox* objBox : mocolTypeTextBox) objBox->setText(QString());
    txtYesNo->setText(QString());
    txtMemo->setText(QString());
    chkDictionary->setChecked(false);
    chkSizeInType->setChecked(false);
}

void frmDatTypeAccess::sbAttrToTextBox() {
    const clsAccessFieldAttr& objMap = *moDataType;
    txtText->setText(QString::fromStdString(objMap.getText()));
    txtDate->setText(QString::fromStdString(objMap.getDate()));
    txtInt->setText(QString::fromStdString(objMap.getInteger()));
    txtLong->setText(QString::fromStdString(objMap.getLong()));
    txtAutoNumber->setText(QString::fromStdString(objMap.getAutoNumber()));
    txtSingle->setText(QString::fromStdString(objMap.getSingle()));
    txtDouble->setText(QString::fromStdString(objMap.getDouble()));
    txtCurrency->setText(QString::fromStdString(objMap.getCurrency()));
    txtYesNo->setText(QString::fromStdString(objMap.getYesNo()));
    txtMemo->setText(QString::fromStdString(objMap.getMemo()));
    chkDictionary->setChecked(objMap.getDictionary());
    chkSizeInType->setChecked(objMap.getSizeInType());
    // Long notations show their beginning.
    for (clsTextBox* objBox : mocolTypeTextBox) objBox->setCursorPosition(0);
    txtYesNo->setCursorPosition(0);
    txtMemo->setCursorPosition(0);
}

void frmDatTypeAccess::sbTextBoxToAttr() {
    clsAccessFieldAttr& objMap = *moDataType;
    objMap.setText(txtText->text().toStdString());
    objMap.setDate(txtDate->text().toStdString());
    objMap.setInteger(txtInt->text().toStdString());
    objMap.setLong(txtLong->text().toStdString());
    objMap.setAutoNumber(txtAutoNumber->text().toStdString());
    objMap.setSingle(txtSingle->text().toStdString());
    objMap.setDouble(txtDouble->text().toStdString());
    objMap.setCurrency(txtCurrency->text().toStdString());
    objMap.setYesNo(txtYesNo->text().toStdString());
    objMap.setMemo(txtMemo->text().toStdString());
    objMap.setDictionary(chkDictionary->isChecked());
    objMap.setSizeInType(chkSizeInType->isChecked());
}

bool frmDatTypeAccess::fnCheckInput() {
    // With the dictionary on, a type may go without a word of its own (the dictionary names it).
    if (chkDictionary->isChecked()) return true;
    for (clsTextBox* objBox : mocolTypeTextBox) {
        if (isBlank(objBox->text().toStdString())) {
            sbWarn(this, "未入力です");
            activateWindow();
            objBox->setFocus(Qt::OtherFocusReason);
            objBox->sbSelectAll();
            return false;
        }
    }
    return true;
}

void frmDatTypeAccess::closeEvent(QCloseEvent* objEvent) {
    // Ending the program closes without storing anything; a screen never loaded has nothing to store.
    if (fnProgramEnding() || !moblnLoaded) {
        objEvent->accept();
        return;
    }
    if (!fnCheckInput()) {
        objEvent->ignore();
        return;
    }
    sbTextBoxToAttr();
    emit sigStored(moDataType);
    objEvent->accept();
}

void frmDatTypeAccess::mnuQuit_Click() { close(); }

void frmDatTypeAccess::mnuOpen_Click() {
    const std::string strPath = fnDialogs().fnOpenFile(this, kFilterAttr);
    if (isBlank(strPath)) return;
    // A file that cannot be read leaves the map as it was.
    if (!fnReadAttrFile(strPath, *moDataType)) {
        sbWarn(this, "読み込みに失敗しました");
        return;
    }
    sbClearTextBox();
    sbAttrToTextBox();
}

void frmDatTypeAccess::mnuSave_Click() {
    // The file holds what the boxes show.
    if (!fnCheckInput()) return;
    sbTextBoxToAttr();
    const std::string strPath = fnDialogs().fnSaveFile(this, kFilterAttr);
    if (isBlank(strPath)) return;
    if (fnSaveAttrFile(*moDataType, strPath))
        sbNotice(this, "保存しました");
    else
        sbWarn(this, "保存に失敗しました");
}
