#include "AppControl.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <QUrl>
#include <QWidget>

namespace {
std::function<void()>& fnAction() {
    static std::function<void()> fnAct;
    return fnAct;
}
bool gblnEnding = false;
}  // namespace

void sbSetEndProgramAction(std::function<void()> fnAct) { fnAction() = std::move(fnAct); }

bool fnProgramEnding() { return gblnEnding; }

void sbEndProgram() {
    if (fnAction()) {
        fnAction()();
        return;
    }
    gblnEnding = true;
    for (QWidget* objWin : QApplication::topLevelWidgets()) objWin->hide();
    QCoreApplication::quit();
}

bool fnLoadQtJapanese() {
    // Owned by the application, so it goes with it.
    static QPointer<QTranslator> objQt;
    if (objQt) return true;
    auto* objNew = new QTranslator(qApp);
    if (!objNew->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(objNew)) {
        delete objNew;
        return false;
    }
    objQt = objNew;
    return true;
}

QString fnWorkbookArgument(const QStringList& colArguments) {
    if (colArguments.size() < 2) return QString();
    const QString& strArg = colArguments.at(1);
    if (strArg.isEmpty() || strArg.startsWith(QLatin1Char('-'))) return QString();
    QString strPath = strArg;
    if (strArg.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) || strArg.contains(QLatin1String("://"))) {
        const QUrl objUrl(strArg);
        if (!objUrl.isLocalFile()) return QString();
        strPath = objUrl.toLocalFile();
    }
    return QDir::toNativeSeparators(QFileInfo(strPath).absoluteFilePath());
}
