// Why the last call on a database failed, as the user reads it: the whole sentence, and for the
// engine's sentences about the database file, that file and the sentence without it (for a line
// that names the file already).
#pragma once

#include <string>

#include "user_error.h"

namespace accessrules {

struct DatabaseFailure {
    std::string strText;
    base::Subject objAbout;
    std::string strReason;
};

}  // namespace accessrules
