// The system tables of a new .accdb database; see ace_system_objects.h.
#include "ace_system_objects.h"

namespace jet {

namespace {
#include "ace_system_objects.inc"
}  // namespace

const std::vector<AceTableSpec>& aceSystemTables() { return kAceSystemTables; }

}  // namespace jet
