#include "clsProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <algorithm>
#include <limits>
#include <vector>

#include "clsDialogs.h"

namespace {
std::vector<clsProgress*>& fnLive() {
    static std::vector<clsProgress*> colLive;
    return colLive;
}
int glngHolds = 0;
int glngShowAfter = clsProgress::kShowAfter;
}  // namespace

void clsProgress::sbSetShowAfter(int lngMs) { glngShowAfter = lngMs < 0 ? kShowAfter : lngMs; }

clsProgress::clsProgress(QWidget* objOwner, const std::string& strLabel, int lngSteps, const std::string& strCancel) {
    moClock.start();
    mlngShowAfter = glngShowAfter;
    moDialog = new QProgressDialog(QString::fromStdString(strLabel),
                                   strCancel.empty() ? QString() : QString::fromStdString(strCancel), 0,
                                   std::max(lngSteps, 1), objOwner);
    moDialog->setWindowTitle(QString::fromUtf8(kAppTitle));
    moDialog->setWindowModality(Qt::ApplicationModal);
    // The dialog's own timer would show it whenever events run, a message box's included: this
    // class alone decides when it shows. Setting the value to the minimum restarts that timer
    // with the new, never reached, delay.
    moDialog->setMinimumDuration(std::numeric_limits<int>::max());
    // Reaching the maximum would reset the dialog and forget a cancel pressed just before.
    moDialog->setAutoReset(false);
    moDialog->setAutoClose(false);
    moDialog->setValue(0);
    // Nothing in it changes size: a fixed size, so that no window manager adds a resize strip
    // or a maximise button to it. In the screens' font, as the screens.
    if (objOwner) moDialog->setFont(objOwner->font());
    moDialog->setFixedSize(moDialog->sizeHint());
    fnLive().push_back(this);
}

clsProgress::~clsProgress() {
    auto& colLive = fnLive();
    colLive.erase(std::remove(colLive.begin(), colLive.end(), this), colLive.end());
    delete moDialog.data();
}

bool clsProgress::fnStep(int lngDone, int lngTotal) {
    if (!moDialog || mblnCancelled) return !mblnCancelled;
    mblnCancelled = moDialog->wasCanceled();
    if (mblnCancelled) return false;
    if (lngTotal >= 0 && moDialog->maximum() != std::max(lngTotal, 1)) moDialog->setMaximum(std::max(lngTotal, 1));
    if (lngDone >= moDialog->maximum()) {
        // The work is done.
        moDialog->setValue(moDialog->maximum());
        moDialog->hide();
        return true;
    }
    moDialog->setValue(lngDone);
    if (!moDialog->isVisible() && !clsProgressHold::fnActive() && moClock.elapsed() >= mlngShowAfter) {
        moDialog->show();
        moDialog->raise();
        moDialog->activateWindow();
    }
    if (moDialog->isVisible()) QCoreApplication::processEvents();
    mblnCancelled = moDialog && moDialog->wasCanceled();
    return !mblnCancelled;
}

void clsProgress::sbHide() {
    if (!moDialog || !moDialog->isVisible()) return;
    mblnHeldVisible = true;
    moDialog->hide();
}

void clsProgress::sbRestore() {
    if (!mblnHeldVisible) return;
    mblnHeldVisible = false;
    if (!moDialog || mblnCancelled || moDialog->wasCanceled()) return;
    moDialog->show();
    moDialog->raise();
}

clsProgressHold::clsProgressHold() {
    if (glngHolds++ == 0) {
        for (clsProgress* objProg : fnLive()) objProg->sbHide();
    }
}

clsProgressHold::~clsProgressHold() {
    if (--glngHolds == 0) {
        for (clsProgress* objProg : fnLive()) objProg->sbRestore();
    }
}

bool clsProgressHold::fnActive() { return glngHolds > 0; }
