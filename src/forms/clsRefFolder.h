// Lets the user pick a folder and hands back its plain path.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

class clsRefFolder {
public:
    // The window the chooser is modal to; without it the chooser has no owner.
    void setHWND(QWidget* hWnd) { mohWnd = hWnd; }

    // Shows a new chooser each call. The chosen folder's path (no trailing separator except for
    // the root), or empty text when nothing was chosen.
    std::string fnShow();

private:
    QPointer<QWidget> mohWnd;
};
