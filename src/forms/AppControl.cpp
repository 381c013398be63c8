#include "AppControl.h"

#include <QApplication>
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
