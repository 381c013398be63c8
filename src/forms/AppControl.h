// Ending the program from a screen's Quit command.
#pragma once

#include <functional>

// Ends the run at once: every screen is hidden without its closing checks and the event loop
// stops. A test may put its own action in place with sbSetEndProgramAction.
void sbEndProgram();
void sbSetEndProgramAction(std::function<void()> fnAction);

// True once sbEndProgram ran with the standard action; the screens' closing checks then stand aside.
bool fnProgramEnding();
