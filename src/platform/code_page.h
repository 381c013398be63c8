// Conversion between UTF-8 and the code pages of Windows (932 = Shift_JIS as Windows writes it,
// 1252, ...): iconv on POSIX, MultiByteToWideChar/WideCharToMultiByte on Windows.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

constexpr int kUtf8 = 65001;

class CodePageConverter {
public:
    // One side must be kUtf8. ok() is false when the system has no such code page.
    CodePageConverter(int toCodePage, int fromCodePage);
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;
    bool ok() const;

    // Converts as much as possible and appends it to `out`; returns false and sets `stop` to the
    // offset of the first input character that has no form in the target (or is no valid
    // character of the source). Characters are never replaced by look-alikes or '?'.
    bool run(std::string_view in, std::string& out, std::size_t& stop);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
