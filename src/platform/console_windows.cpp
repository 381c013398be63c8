#include "console.h"

#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "windows_text.h"

namespace platform {

void useUtf8Console(int& argc, char**& argv) {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return;
    // Kept for the life of the program, like the argv it replaces.
    static std::vector<std::string> args;
    static std::vector<char*> pointers;
    args.clear();
    for (int i = 0; i < n; ++i) args.push_back(windows::narrow(wide[i]));
    LocalFree(wide);
    pointers.clear();
    for (auto& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    argc = n;
    argv = pointers.data();
}

bool stdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool setStdinEcho(bool on) {
    HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(h, &mode)) return false;
    mode = on ? (mode | ENABLE_ECHO_INPUT) : (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    return SetConsoleMode(h, mode) != 0;
}

}  // namespace platform
