// The console of the command-line program: UTF-8 in and out, the arguments as UTF-8.
#pragma once

namespace platform {

// Call first in main(). On Windows the console is switched to UTF-8, standard output and error
// write bytes as they are (no CR added), and argv is replaced by the UTF-8 form of the wide
// command line (so that Japanese file names arrive intact). Nothing changes on POSIX.
void useUtf8Console(int& argc, char**& argv);

bool stdinIsTerminal();
// Turns echoing of typed characters on the terminal off or on; false when input is no terminal.
bool setStdinEcho(bool on);

}  // namespace platform
