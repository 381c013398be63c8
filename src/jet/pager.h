// Page access for one open database file, with an overlay for the pages a transaction changes or
// appends. Nothing reaches the database until the journal commits it. The overlay lives in memory;
// past a limit its pages move to a scratch file (nameless, beside the database, gone with the
// process) and come back when used again, so a long transaction needs little memory.
// A savepoint marks a state of the overlay to go back to (one table of a longer transaction).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "bytes.h"
#include "header.h"

namespace jet {

class Pager {
public:
    Pager(int fd, uint32_t pageCount) : fd_(fd), filePages_(pageCount), pages_(pageCount) {}

    int fd() const { return fd_; }
    // Pages in the file plus pages appended by the open transaction.
    uint32_t pageCount() const { return pages_; }
    uint32_t filePageCount() const { return filePages_; }

    // The current content of page n (4096 bytes). Corrupt-database error if n is past the end.
    const Bytes& read(uint32_t n);
    // A writable copy of page n in the transaction overlay.
    Bytes& modify(uint32_t n);
    // Appends a zero page at the end; returns its number.
    uint32_t allocate();
    bool isNew(uint32_t n) const { return n >= filePages_; }

    bool inTransaction() const { return !overlay_.empty() || !spilled_.empty() || pages_ != filePages_; }
    // Every page the transaction changed or appended, in page order, with its new content.
    void forEachChange(const std::function<void(uint32_t page, const Bytes& content)>& visit);
    // How many pages the transaction changed inside the file, and how many it appended.
    void countChanges(uint32_t& changed, uint32_t& appended) const;
    // Forget every change of the open transaction.
    void discard();

    // Pages in memory beyond `pages` are moved to a scratch file in `folder` by spillIfLarge().
    void setSpill(const std::string& folder, size_t pages) {
        spillFolder_ = folder;
        spillLimit_ = pages;
    }
    // Moves the overlay to the scratch file when it holds more pages than the limit (never while
    // a savepoint is open). A scratch file that cannot be written leaves the pages in memory.
    void spillIfLarge();
    size_t pagesInMemory() const { return overlay_.size(); }
    size_t pagesSpilled() const { return spilled_.size(); }

    // Marks the present state; rollbackToSavepoint() returns to it, releaseSavepoint() keeps
    // what was done since.
    void savepoint();
    void rollbackToSavepoint();
    void releaseSavepoint() { savepoint_.reset(); }
    // The overlay is now on disk.
    void markCommitted();
    // Drops cached copies of unchanged pages once there are more than `maxPages`. References
    // returned by read() die with it: call only where none are held.
    void trimCache(size_t maxPages = 1024) {
        if (cache_.size() > maxPages) cache_.clear();
    }
    // The file was changed behind the cache (rollback from a journal): forget all cached pages.
    void reset(uint32_t pageCount);
    // Shows the file as it was before an interrupted write: `pageCount` pages, `before` read in
    // place of the file's own pages. For reading only; reset() ends it.
    void showBefore(uint32_t pageCount, std::map<uint32_t, Bytes> before);
    bool showingBefore() const { return showingBefore_; }

    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;
    ~Pager();

private:
    struct Savepoint {
        uint32_t pages = 0;
        std::map<uint32_t, std::optional<Bytes>> before;  // overlay content before (none: not in it)
    };
    // Brings a spilled page back into the overlay; null when page n is not spilled.
    Bytes* unspill(uint32_t n);
    void dropSpill();

    int fd_;
    uint32_t filePages_;
    uint32_t pages_;
    std::map<uint32_t, Bytes> cache_;
    std::map<uint32_t, Bytes> overlay_;
    std::map<uint32_t, Bytes> before_;
    bool showingBefore_ = false;
    std::map<uint32_t, uint64_t> spilled_;  // page -> offset in the scratch file
    std::string spillFolder_;
    size_t spillLimit_ = 0;  // 0: never spill
    int spillFd_ = -1;
    uint64_t spillEnd_ = 0;
    std::optional<Savepoint> savepoint_;
};

}  // namespace jet
