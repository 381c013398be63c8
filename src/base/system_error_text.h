// Why the system refused an operation, for the user's eyes: an errno value as a short
// Japanese phrase without the final "。". Platform layers map their own error codes onto
// errno values first, so that these texts are written in this one place.
#pragma once

#include <string>

namespace base {

// Rare values fall back to the system's own text with the number:
// "システムエラー（errno N: ...）". 0 (a failure the system gave no reason for) has a text too.
std::string systemErrorText(int err);

}  // namespace base
