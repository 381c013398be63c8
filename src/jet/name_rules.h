// The rules for the names of tables, fields and indexes, in one place: what a name may hold, and
// when two names are the same name.
#pragma once

#include <string>

namespace jet {

// Checks a Jet object name (table, field, index): 1-64 characters, no control characters,
// none of . ! ` [ ], no leading space. Throws JetError(errInvalidName) naming `what`.
void validateObjectName(const std::u16string& name, const std::string& what);

// Names are compared without regard to letter case. Beyond ASCII the folding covers the letters
// that have a case in Latin-1, Greek and Cyrillic, and full-width Latin letters count as their
// ASCII letters: two names a user would read as the same word never become two columns of one
// table, or two tables (refusing one name too many is harmless; one too few is not). Two names
// are the same name when their folds are equal.
std::u16string foldNameCase(std::u16string name);
// The same for a UTF-8 name (the result is UTF-8).
std::string foldNameCaseUtf8(const std::string& name);

}  // namespace jet
