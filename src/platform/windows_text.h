// Windows only: UTF-8 and the system's UTF-16, and the errno value for a system error code.
#pragma once

#include <string>

namespace platform::windows {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
// The errno value that says the same as GetLastError()'s code (EIO for those without one).
int errnoOf(unsigned long winError);
int lastErrno();

}  // namespace platform::windows
