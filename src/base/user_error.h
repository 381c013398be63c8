// The one error type for what the user reads: a number, the subject (the file, table, sheet and
// cell it is about, whichever apply) and the Japanese reason. what() is the whole sentence the
// user sees. The libraries' own error classes (the engine's, the workbook readers', the text
// files', ...) derive from it and add what their callers need besides.
//
// Numbers, one scheme for all:
//      5 .. 999   the classic run-time errors (5 invalid text, 6 overflow, 13 type mismatch,
//                 52 bad file name, 53 file not found, 57 device I/O error, 61 disk full,
//                 75 path/file access error, 76 path not found);
//   1000 .. 1099  workbook reading (ErrorNumber below);
//   3000 .. 3999  the database engine (jet_error.h).
#pragma once

#include <stdexcept>
#include <string>

namespace base {

// What an error is about. Empty members do not apply.
struct Subject {
    std::string file;   // the path as the user gave it
    std::string table;  // a table name
    std::string sheet;  // a worksheet, as the message names it
    std::string cell;   // a cell reference such as "E12"

    static Subject ofFile(std::string path) { return Subject{std::move(path), {}, {}, {}}; }
    static Subject ofTable(std::string name) { return Subject{{}, std::move(name), {}, {}}; }
};

enum ErrorNumber : int {
    errInvalidText = 5,        // a character a text file cannot hold, bytes that are no text
    errOverflow = 6,           // a number outside the wanted range
    errTypeMismatch = 13,      // a text that is no number
    errBadFileName = 52,       // a name that cannot be a file name
    errFileNotFound = 53,
    errDeviceIo = 57,
    errDiskFull = 61,
    errPathFileAccess = 75,
    errPathNotFound = 76,
    // Workbook reading.
    errWorkbookNotFound = 1001,    // no such file
    errWorkbookNotAFile = 1002,    // a folder or device
    errWorkbookCannotOpen = 1003,  // the system refused to open or read it
    errWorkbookEmpty = 1004,
    errNotWorkbook = 1005,
    errWorkbookTooOld = 1006,      // BIFF2 - BIFF4
    errWorkbookEncrypted = 1007,
    errWorkbookTruncated = 1008,
    errWorkbookDamaged = 1009,
    errCellRead = 1010,            // a cell holding an error value, a position below 1, damaged sheet data
};

class UserError : public std::runtime_error {
public:
    // message: the whole sentence; reason: the cause alone, without the subject (the message
    // when empty).
    UserError(int number, const std::string& message, Subject subject = {}, std::string reason = {})
        : std::runtime_error(message), number_(number), subject_(std::move(subject)),
          reason_(reason.empty() ? message : std::move(reason)) {}

    int number() const { return number_; }
    const Subject& subject() const { return subject_; }
    const std::string& reason() const { return reason_; }

private:
    int number_;
    Subject subject_;
    std::string reason_;
};

}  // namespace base
