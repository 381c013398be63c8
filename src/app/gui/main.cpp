// xlsdb: the definition screen, the table list screen and the type notation screen.
// Usage: xlsdb [WORKBOOK] | xlsdb --version
#include <QApplication>
#include <QLocale>
#include <cstring>
#include <iostream>

#include "AppControl.h"
#include "clsDialogs.h"
#include "frmDBDef.h"
#include "xlsdb_version.h"

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that it works without a display.
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "xlsdb " << XLSDB_VERSION << '\n';
        return 0;
    }
    QApplication objApp(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
    QApplication::setApplicationVersion(QStringLiteral(XLSDB_VERSION));
    // Qt's own dialogs in Japanese like the screens (English where the translation is missing),
    // with Japanese dates and sizes whatever the desktop's locale.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    fnLoadQtJapanese();
    // Closing the last open screen ends the run.
    QApplication::setQuitOnLastWindowClosed(true);

    frmDBDef objStart;
    objStart.sbShow();
    // A workbook named on the command line (the menu entry's %f) goes into the workbook box,
    // as a dropped one does.
    const QString strWorkbook = fnWorkbookArgument(QApplication::arguments());
    if (!strWorkbook.isEmpty()) objStart.sbPutWorkbook(strWorkbook);
    return QApplication::exec();
}
