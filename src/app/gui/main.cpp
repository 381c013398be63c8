// xlsdb: the definition screen, the table list screen and the type notation screen.
#include <QApplication>
#include <QLocale>

#include "AppControl.h"
#include "clsDialogs.h"
#include "frmDBDef.h"

int main(int argc, char* argv[]) {
    QApplication objApp(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
    // Qt's own dialogs in Japanese like the screens (English where the translation is missing),
    // with Japanese dates and sizes whatever the desktop's locale.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    fnLoadQtJapanese();
    // Closing the last open screen ends the run.
    QApplication::setQuitOnLastWindowClosed(true);

    frmDBDef objStart;
    objStart.sbShow();
    return QApplication::exec();
}
