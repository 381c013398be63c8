#include "frmResultText.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "FormLook.h"
#include "clsDialogs.h"

frmResultText::frmResultText(QWidget* objParent, const std::string& strTitle, const std::string& strHeading,
                             const std::vector<std::string>& colLines)
    : QDialog(objParent) {
    setWindowTitle(QString::fromUtf8(kAppTitle) + QStringLiteral(" - ") + QString::fromStdString(strTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    formlook::sbSetScreenFont(this);

    auto* objLayout = new QVBoxLayout(this);
    lblHeading = new QLabel(QString::fromStdString(strHeading), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    lblHeading->setWordWrap(true);
    objLayout->addWidget(lblHeading);

    txtResult = new QPlainTextEdit(this);
    txtResult->setObjectName(QStringLiteral("txtResult"));
    txtResult->setReadOnly(true);
    txtResult->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString strText;
    for (const std::string& s : colLines) strText += QString::fromStdString(s) + QLatin1Char('\n');
    txtResult->setPlainText(strText);
    objLayout->addWidget(txtResult, 1);

    cmdClose = new QPushButton(QString::fromUtf8("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    objLayout->addWidget(cmdClose, 0, Qt::AlignRight);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    resize(formlook::fnPx(11000, this), formlook::fnPx(6000, this));
}
