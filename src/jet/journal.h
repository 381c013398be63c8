// Rollback journal. Before a page of the database is overwritten, its old content goes to
// "<database>-journal" beside the database file (the real file: symbolic links are resolved by
// the caller), and the journal is synced; then the database is written and synced; then the
// journal is deleted.
//
// The journal belongs to one file, not to a name: it records the device and inode of the
// database, and a journal found beside a different file is never applied. Its head and every page
// record carry checksums, so damage is told apart from a journal that was cut off while being
// written (which never led to a database write and may go).
//
// A journal found at open time means a write was cut off: its pages are put back and the file is
// cut to its old length, so the database is byte for byte what it was before - but only if the
// file is still as the interrupted write left it; a file somebody else changed since is never
// rolled back. A damaged journal is never deleted: both files are kept and the user is told.
#pragma once

#include <map>
#include <string>

#include "pager.h"

namespace jet {

std::string journalPath(const std::string& dbPath);

// Writes the pager's open transaction to the database crash-safely. On an ordinary failure the
// database is restored in-process before the error is rethrown; should even that fail, the error
// says so, names the journal and what the next open will do, and the journal stays. The pager's
// overlay is committed or discarded either way.
void commitWithJournal(Pager& pager, const std::string& dbPath);

// Restores the database from a journal left by an interrupted write, if there is one.
// Returns true when a rollback was applied. fd must be open for writing. Throws (leaving file and
// journal untouched) when the journal is damaged, belongs to another file, or the file was
// changed after the interrupted write.
// EarlierRun is the check at open; ThisProcess is the clean-up right after a failed write of
// our own, made under the write lock, where the file cannot have been changed by anyone else
// (and a short write on a full disk may have left a page half old, half new).
enum class JournalOwner { EarlierRun, ThisProcess };
bool recoverFromJournal(int fd, const std::string& dbPath, JournalOwner owner = JournalOwner::EarlierRun);

// The database as it was before an interrupted write, read from its journal without changing
// anything (for a file that cannot be written now).
struct JournalView {
    uint32_t pageCount = 0;                // pages of the file before the write
    std::map<uint32_t, Bytes> originals;   // old content of the pages the write overwrote
};
// Fills `view` and returns true when a journal that must be rolled back is pending; false when
// there is none (or only a piece of one that never led to a write). Throws like
// recoverFromJournal when the journal cannot be trusted.
bool readPendingJournal(int fd, const std::string& dbPath, JournalView& view);

}  // namespace jet
