// Rollback journal. Before a page of the database is overwritten, its old content goes to
// "<database>-journal" beside it, and the journal is synced; then the database is written and
// synced; then the journal is deleted. A journal found at open time means a write was cut off:
// its pages are put back and the file is cut to its old length, so the database is byte for byte
// what it was before - but only if the file is still as the interrupted write left it; a file
// somebody else changed since is never rolled back. A journal that is incomplete was never acted
// on and is simply removed.
#pragma once

#include <string>

#include "pager.h"

namespace jet {

std::string journalPath(const std::string& dbPath);

// Writes the pager's open transaction to the database crash-safely. On an ordinary failure the
// database is restored in-process before the error is rethrown; on a SimulatedCrash nothing is
// cleaned up. The pager's overlay is committed or discarded either way.
void commitWithJournal(Pager& pager, const std::string& dbPath);

// Restores the database from a journal left by an interrupted write, if there is one.
// Returns true when a rollback was applied. fd must be open for writing. Throws (leaving file and
// journal untouched) when the file was changed after the interrupted write.
// EarlierRun is the check at open; ThisProcess is the clean-up right after a failed write of
// our own, made under the write lock, where the file cannot have been changed by anyone else
// (and a short write on a full disk may have left a page half old, half new).
enum class JournalOwner { EarlierRun, ThisProcess };
bool recoverFromJournal(int fd, const std::string& dbPath, JournalOwner owner = JournalOwner::EarlierRun);

}  // namespace jet
