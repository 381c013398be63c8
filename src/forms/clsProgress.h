// The progress dialog of work that may take a while (reading a workbook, creating tables).
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <string>

class QWidget;

// Stays hidden until the work has lasted about a second; once shown it lets events through at
// each step, so its cancel button can be pressed. It never shows itself between steps, and it
// stands aside while a message box is open (see clsProgressHold): a message shown during the
// work is never covered or blocked by it. Application modal: nothing else of the program can
// be used while it lets events through.
class clsProgress {
public:
    // strCancel: the caption of the cancel button; empty for a dialog without one.
    clsProgress(QWidget* objOwner, const std::string& strLabel, int lngSteps, const std::string& strCancel = {});
    ~clsProgress();
    clsProgress(const clsProgress&) = delete;
    clsProgress& operator=(const clsProgress&) = delete;

    // lngDone of the steps are done; lngTotal >= 0 changes their number. Returns false once the
    // user cancelled (and goes on returning false).
    bool fnStep(int lngDone, int lngTotal = -1);

    bool wasCancelled() const { return mblnCancelled; }

    // The dialog itself (for a test to look at).
    QProgressDialog* getDialog() const { return moDialog.data(); }

    // Delay after which the dialog may show, in milliseconds.
    static constexpr int kShowAfter = 1000;
    // Another delay for the dialogs made from now on (a test that must see a dialog of short
    // work sets 0); a negative value restores kShowAfter.
    static void sbSetShowAfter(int lngMs);

private:
    friend class clsProgressHold;
    void sbHide();
    void sbRestore();

    QPointer<QProgressDialog> moDialog;
    QElapsedTimer moClock;
    bool mblnCancelled = false;
    bool mblnHeldVisible = false;  // hidden by a hold while it was shown
    int mlngShowAfter = kShowAfter;
};

// While one lives (a message box is open) no progress dialog shows: those shown are hidden, and
// come back when the last hold ends unless their work was cancelled.
class clsProgressHold {
public:
    clsProgressHold();
    ~clsProgressHold();
    clsProgressHold(const clsProgressHold&) = delete;
    clsProgressHold& operator=(const clsProgressHold&) = delete;

    static bool fnActive();
};
