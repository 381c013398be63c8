#include "clsQtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {
QWidget* fnOwner(QWidget* objOwner) {
    if (objOwner && objOwner->isVisible()) return objOwner->window();
    return QApplication::activeWindow();
}

std::string fnChooseFile(QWidget* objOwner, const std::string& strFilter, bool blnSave) {
    QFileDialog objDlg(fnOwner(objOwner));
    objDlg.setNameFilter(clsQtDialogs::fnQtFilter(strFilter));
    // A typed name is returned as typed, whether the file exists or not.
    objDlg.setFileMode(QFileDialog::AnyFile);
    objDlg.setAcceptMode(blnSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Some platform dialogs refuse a name that does not exist when opening; Qt's own takes it.
    if (!blnSave) objDlg.setOption(QFileDialog::DontUseNativeDialog, true);
    if (objDlg.exec() != QDialog::Accepted) return std::string();
    const QStringList colFiles = objDlg.selectedFiles();
    if (colFiles.isEmpty()) return std::string();
    return QDir::toNativeSeparators(colFiles.first()).toStdString();
}
}  // namespace

QString clsQtDialogs::fnQtFilter(const std::string& strFilter) {
    const QString strAll = QString::fromStdString(strFilter);
    const int lngBar = strAll.indexOf(QLatin1Char('|'));
    if (lngBar < 0) return strAll;
    return strAll.left(lngBar) + QStringLiteral(" (") + strAll.mid(lngBar + 1) + QLatin1Char(')');
}

void clsQtDialogs::sbMsgBox(QWidget* objOwner, const std::string& strText, enmMsgStyle lngStyle) {
    QMessageBox objBox(lngStyle == enmMsgStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                       QString::fromUtf8(kAppTitle), QString::fromStdString(strText), QMessageBox::Ok,
                       fnOwner(objOwner));
    // The busy pointer of a long command must not hide the box's button.
    const bool blnBusy = QApplication::overrideCursor() != nullptr;
    if (blnBusy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    objBox.exec();
    if (blnBusy) QApplication::restoreOverrideCursor();
}

std::string clsQtDialogs::fnOpenFile(QWidget* objOwner, const std::string& strFilter) {
    return fnChooseFile(objOwner, strFilter, false);
}

std::string clsQtDialogs::fnSaveFile(QWidget* objOwner, const std::string& strFilter) {
    return fnChooseFile(objOwner, strFilter, true);
}

std::string clsQtDialogs::fnBrowseFolder(QWidget* objOwner) {
    // Owned by the given window only: without one the chooser stands on its own.
    const QString strDir = QFileDialog::getExistingDirectory(objOwner ? objOwner->window() : nullptr, QString());
    if (strDir.isEmpty()) return std::string();
    return QDir::toNativeSeparators(strDir).toStdString();
}

bool clsQtDialogs::fnAskPassword(QWidget* objOwner, const std::string& strPrompt, std::string& strPassword) {
    bool blnOK = false;
    const QString strText = QInputDialog::getText(fnOwner(objOwner), QString::fromUtf8(kAppTitle), QString::fromStdString(strPrompt),
                                                  QLineEdit::Password, QString(), &blnOK);
    if (!blnOK) return false;
    strPassword = strText.toStdString();
    return true;
}
