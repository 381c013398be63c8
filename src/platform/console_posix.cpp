#include "console.h"

#include <termios.h>
#include <unistd.h>

namespace platform {

void useUtf8Console(int&, char**&) {}

bool stdinIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

bool setStdinEcho(bool on) {
    termios t{};
    if (::tcgetattr(STDIN_FILENO, &t) != 0) return false;
    if (on) t.c_lflag |= ECHO;
    else t.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &t);
    return true;
}

}  // namespace platform
