// Page access for one open database file, with an in-memory overlay for the pages a
// transaction changes or appends. Nothing reaches the disk until the journal commits it.
#pragma once

#include <cstdint>
#include <map>

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

    bool inTransaction() const { return !overlay_.empty() || pages_ != filePages_; }
    const std::map<uint32_t, Bytes>& overlay() const { return overlay_; }
    // Forget every change of the open transaction.
    void discard();
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

private:
    int fd_;
    uint32_t filePages_;
    uint32_t pages_;
    std::map<uint32_t, Bytes> cache_;
    std::map<uint32_t, Bytes> overlay_;
    std::map<uint32_t, Bytes> before_;
    bool showingBefore_ = false;
};

}  // namespace jet
