// The engine's one exception type: a number and a Japanese description the user can read
// (a base::UserError).
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "system_error_text.h"
#include "user_error.h"

namespace jet {

// Error numbers. Grouped by what failed; the builder shows what() to the user.
enum JetErrorNumber : int {
    errFileNotFound = 3024,       // the database file does not exist / cannot be opened
    errNotDatabase = 3343,        // not a Jet database, or an unsupported version
    errCorrupt = 3049,            // the file is damaged (a bad page, offset, length or chain)
    errEncrypted = 3031,          // encrypted databases are not supported
    errLockedByAccess = 3045,     // a .ldb lock file is present (Access has the file open)
    errLockedByOther = 3050,      // another run of this tool holds the write lock
    errReadOnly = 3027,           // the database was opened read-only
    errIo = 3043,                 // a read, write, sync or rename of the file failed
    errDatabaseClosed = 3420,     // the object refers to a closed database
    errInvalidName = 3125,        // a name breaks Jet's naming rules
    errNameNotKeyable = 3126,     // a name whose index key cannot be computed exactly
    errDuplicateField = 3191,     // two fields of one table share a name
    errInvalidSize = 3259,        // a text size outside 1-255, or a wrong type code
    errTableExists = 3010,        // a table of that name is already in the database
    errNoFields = 3264,           // a table definition without fields
    errTooManyFields = 3190,      // more than 255 fields
    errIndexField = 3265,         // an index names a field the table does not have / item not found
    errIndexInvalid = 3283,       // an index that cannot be created (no fields, >10 fields, two primaries)
    errAlreadyAppended = 3367,    // an object appended twice
    errTableTooLarge = 3047,      // a definition or row that does not fit the file format
    errUnsupported = 3251,        // something this engine cannot do exactly
    errInterrupted = 3044,        // the write was interrupted (used by fault injection)
    errHardLinked = 3052,         // the file has more than one name: not opened for writing
    errDamaged = 3053,            // a damage the write would depend on: repair in Access first
    errPasswordRequired = 3030,   // the database has a password and none was given
    errWrongPassword = 3029,      // the password given is not the database's
};

// number() is one of the numbers above; the subject, where given, is what the description names
// (the table whose name it quotes, for instance).
class JetError : public base::UserError {
public:
    JetError(int number, const std::string& description, base::Subject subject = {}, std::string reason = {})
        : base::UserError(number, description, std::move(subject), std::move(reason)) {}
};

// An error about a file, the database as a rule. The sentence is given in pieces with the quoted
// path 『path』 between each two; the subject is the file, and reason() is the same sentence
// without the path, for a line that names the file already: {"ファイル", "が見つかりません。"}
// reads "ファイル『P』が見つかりません。" and, without the path, "ファイルが見つかりません。"; a
// sentence that opens with the path and "は" loses both ({"", "はフォルダです。"}: "フォルダです。").
JetError fileError(int number, const std::string& path, std::initializer_list<std::string> pieces);

// Why the system refused a file operation (an errno value): see system_error_text.h.
using base::systemErrorText;

}  // namespace jet
