// Ending the program from a screen's Quit command, and what the program sets up at its start.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Ends the run at once: every screen is hidden without its closing checks and the event loop
// stops. A test may put its own action in place with sbSetEndProgramAction.
void sbEndProgram();
void sbSetEndProgramAction(std::function<void()> fnAction);

// True once sbEndProgram ran with the standard action; the screens' closing checks then stand aside.
bool fnProgramEnding();

// The screens speak Japanese whatever the user's locale, and so do Qt's own dialogs (file
// chooser, folder chooser, message box buttons): loads Qt's Japanese translation into the
// running application. False when it is not installed; Qt's dialogs then stay in English.
bool fnLoadQtJapanese();

// The workbook named when the program was started (the first argument after Qt's own, as the
// desktop entry's %f or a terminal gives it: a path, relative to the current folder, or a file
// URL) as a full native path; empty text when none was named or it is not a local file.
QString fnWorkbookArgument(const QStringList& colArguments);
