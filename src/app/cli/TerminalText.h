// Text from workbooks and databases on a terminal: control characters, terminal escape
// sequences and the characters that reorder or hide text are written as escapes (\x1b, \t,
// \u202e...), so that a table name can neither move the cursor, change colours nor forge a line.
#pragma once

#include <streambuf>
#include <string>
#include <string_view>

// The text with every C0 control (but the line feed when blnKeepLineEnds), DEL, C1 control,
// bidirectional or invisible format character, and every byte that is not UTF-8, escaped.
// Everything else, backslashes included, is unchanged.
std::string terminalText(std::string_view strText, bool blnKeepLineEnds = false);

// Passes what is written to it through terminalText (line ends kept) to another buffer. A
// UTF-8 sequence split between two writes is held back until it is whole.
class clsTerminalBuf : public std::streambuf {
public:
    explicit clsTerminalBuf(std::streambuf* objTarget) : moTarget(objTarget) {}
    ~clsTerminalBuf() override;
    clsTerminalBuf(const clsTerminalBuf&) = delete;
    clsTerminalBuf& operator=(const clsTerminalBuf&) = delete;

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    // Passes the whole lines, or with blnAll everything but an unfinished UTF-8 sequence (that
    // too with blnFinal).
    void sbPass(bool blnAll, bool blnFinal = false);

    std::streambuf* moTarget;
    std::string mostrPending;
};
