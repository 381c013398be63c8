// CP932 (Shift_JIS as Windows writes it) text and files, through the system's converters.
// Text in memory is UTF-8; text files are CP932 with CR LF line ends.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "system_error_text.h"
#include "user_error.h"

// A failure of a text file operation (a base::UserError). errNo() follows the numbering of the
// classic run-time errors so that callers can record a number beside the message:
//   5  invalid text (a character CP932 cannot hold, bytes that are not CP932 or UTF-8)
//  53  file not found          57  device I/O error
//  61  disk full               75  path/file access error
//  76  path not found
//
// what() is the whole sentence for the user. A failure about a file also tells the file
// (path()) and why apart (reason(): the cause alone, without the path, e.g.
// 「ファイルまたはフォルダが見つかりません」), so that a caller that names the file in its own
// words can add the reason without taking the sentence apart. A failure not about a file
// has an empty path() and its whole message as reason().
class TextFileError : public base::UserError {
public:
    TextFileError(int errNo, const std::string& strMessage) : base::UserError(errNo, strMessage) {}
    TextFileError(int errNo, const std::string& strMessage, const std::string& strPath,
                  const std::string& strReason)
        : base::UserError(errNo, strMessage, base::Subject::ofFile(strPath), strReason) {}
    int errNo() const { return number(); }
    const std::string& path() const { return subject().file; }
};

// What a failed read or write of a text file tells its caller, from the exception being handled
// (call inside a catch): a TextFileError's message, reason and number; another std::exception's
// text as both, with number 75. False, and nothing set, for anything else.
bool fnTextFileFailure(std::string& strMsg, std::string& strReason, std::int32_t& lngErrNo);

// A character that CP932 cannot represent (errNo 5). The message names the
// character and its code point, e.g. 文字 "𠮷" (U+20BB7) は CP932 で表せません.
class Cp932EncodeError : public TextFileError {
public:
    Cp932EncodeError(char32_t ch, const std::string& strMessage)
        : TextFileError(base::errInvalidText, strMessage), mochChar(ch) {}
    // The same failure, met while writing the file strPath (the message is unchanged).
    Cp932EncodeError(const Cp932EncodeError& e, const std::string& strPath)
        : TextFileError(base::errInvalidText, e.what(), strPath, e.what()), mochChar(e.mochChar) {}
    char32_t character() const { return mochChar; }

private:
    char32_t mochChar;
};

// Bytes that are not valid CP932 (errNo 5); offset is the byte position in the input.
class Cp932DecodeError : public TextFileError {
public:
    Cp932DecodeError(std::size_t nOffset, const std::string& strMessage)
        : TextFileError(base::errInvalidText, strMessage), mnOffset(nOffset) {}
    Cp932DecodeError(std::size_t nOffset, const std::string& strMessage, const std::string& strPath,
                     const std::string& strReason)
        : TextFileError(base::errInvalidText, strMessage, strPath, strReason), mnOffset(nOffset) {}
    std::size_t offset() const { return mnOffset; }

private:
    std::size_t mnOffset;
};

// Text to put in place of a character CP932 cannot represent; the result is itself
// UTF-8 and must be representable (e.g. "&#x20BB7;").
using Cp932Fallback = std::function<std::string(char32_t)>;

// True when the code point has a CP932 form that reads back as the same code point.
// Characters that would come back as a look-alike (U+301C as U+FF5E, U+00A5 as the
// backslash, U+2212 as U+FF0D, ...) count as unrepresentable.
bool cp932CanEncode(char32_t ch);

// UTF-8 to CP932; what is written reads back as the same text. Without a fallback
// an unrepresentable character (see cp932CanEncode) throws
// Cp932EncodeError; invalid UTF-8 throws TextFileError (5).
std::string utf8ToCp932(std::string_view strUtf8);
std::string utf8ToCp932(std::string_view strUtf8, const Cp932Fallback& fnFallback);

// CP932 to UTF-8; throws Cp932DecodeError on bytes that are not CP932.
std::string cp932ToUtf8(std::string_view strCp932);

// Writes the text converted to CP932 to the file (created or replaced). The text
// is converted completely before the file is touched, and the new content is
// written beside the old file and then put in its place, so a failure leaves an
// existing file as it was. An existing file that is read-only (not writable for us,
// or without any write permission) is refused, not replaced. Throws TextFileError
// (or Cp932EncodeError), naming the file in path().
void writeCp932File(const std::string& strPath, std::string_view strUtf8);
void writeCp932File(const std::string& strPath, std::string_view strUtf8,
                    const Cp932Fallback& fnFallback);

// Writes each line followed by CR LF (an empty list gives an empty file).
void writeCp932Lines(const std::string& strPath, const std::vector<std::string>& colLines);

// Reads the whole file and converts it to UTF-8. Throws TextFileError (53 when the
// file does not exist, 75 when it cannot be opened, 57 on a read error) or
// Cp932DecodeError, naming the file in path().
std::string readCp932File(const std::string& strPath);

// Splits text into lines at CR LF, LF or a lone CR; a line end at the very end
// gives no final empty line.
std::vector<std::string> splitLines(std::string_view strText);

// Reads a CP932 file and splits it into lines as splitLines does.
std::vector<std::string> readCp932Lines(const std::string& strPath);

// Why the system refused a file operation (an errno value): see system_error_text.h.
using base::systemErrorText;
