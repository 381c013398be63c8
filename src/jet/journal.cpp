#include "journal.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "file_io.h"

namespace jet {

namespace {

const char kMagic[8] = {'X', 'L', 'S', 'D', 'B', 'J', 'N', 'L'};
const char kTrailer[8] = {'J', 'N', 'L', 'E', 'N', 'D', '0', '1'};

uint64_t fnv1a(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ULL) {
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ULL;
    }
    return h;
}

void put64(Bytes& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Layout: magic(8) | original size(8) | page count N(4) | N x (page u32 + 4096 bytes) |
//         checksum of everything before (8) | trailer(8)
Bytes buildJournal(Pager& pager) {
    Bytes j(kMagic, kMagic + 8);
    put64(j, static_cast<uint64_t>(pager.filePageCount()) * kPageSize);
    uint32_t n = 0;
    for (auto& kv : pager.overlay())
        if (!pager.isNew(kv.first)) ++n;
    append32(j, n);
    for (auto& kv : pager.overlay()) {
        if (pager.isNew(kv.first)) continue;
        append32(j, kv.first);
        // read() returns the overlay copy; the original comes from disk.
        Bytes orig(kPageSize);
        io::readFull(pager.fd(), orig.data(), kPageSize, static_cast<uint64_t>(kv.first) * kPageSize);
        j.insert(j.end(), orig.begin(), orig.end());
    }
    put64(j, fnv1a(j.data(), j.size()));
    j.insert(j.end(), kTrailer, kTrailer + 8);
    return j;
}

void writeDatabase(Pager& pager) {
    // Grow first (new pages), then overwrite; any order is safe under the journal.
    for (auto& kv : pager.overlay())
        io::writeFull(pager.fd(), kv.second.data(), kPageSize, static_cast<uint64_t>(kv.first) * kPageSize,
                      "db-write");
    io::sync(pager.fd(), "db-fsync");
}

}  // namespace

std::string journalPath(const std::string& dbPath) { return dbPath + "-journal"; }

void commitWithJournal(Pager& pager, const std::string& dbPath) {
    if (!pager.inTransaction()) return;
    const std::string jpath = journalPath(dbPath);
    bool journalMade = false;
    try {
        Bytes j = buildJournal(pager);
        io::step("journal-create");
        int jfd = ::open(jpath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (jfd < 0) {
            if (errno == EEXIST)
                throw JetError(errIo, "前回の書き込みの記録ファイル『" + jpath + "』が残っています。データベースを開き直してください。");
            throw JetError(errIo, "書き込み記録ファイル『" + jpath + "』を作れません（" + systemErrorText(errno) + "）。");
        }
        journalMade = true;
        try {
            io::writeFull(jfd, j.data(), j.size(), 0, "journal-write");
            io::sync(jfd, "journal-fsync");
        } catch (...) {
            ::close(jfd);
            throw;
        }
        ::close(jfd);
        io::syncDirectoryOf(jpath, "journal-dir-fsync");
        writeDatabase(pager);
        // Deleting the journal is the commit point: from here on the table is in the file.
        io::unlink(jpath, "journal-delete");
        pager.markCommitted();
        try {
            io::syncDirectoryOf(jpath, "journal-delete-dir-fsync");
        } catch (const JetError&) {
            // The table is written either way; should the deletion be lost with a power cut,
            // the next open rolls the whole table back, which is still all or nothing.
        }
    } catch (const SimulatedCrash&) {
        // The process "died": leave disk and journal as they are. The next open rolls back.
        pager.reset(pager.filePageCount());
        throw;
    } catch (...) {
        uint32_t pages = pager.filePageCount();
        pager.discard();
        if (journalMade) {
            // Put the old pages back now; if even that fails the journal stays for the next open.
            try {
                recoverFromJournal(pager.fd(), dbPath);
            } catch (...) {
            }
        }
        pager.reset(pages);
        throw;
    }
}

bool recoverFromJournal(int fd, const std::string& dbPath) {
    const std::string jpath = journalPath(dbPath);
    int jfd = ::open(jpath.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd < 0) {
        if (errno == ENOENT) return false;
        throw JetError(errIo, "書き込み記録ファイル『" + jpath + "』を開けません（" + systemErrorText(errno) + "）。");
    }
    Bytes j;
    try {
        uint64_t size = io::fileSize(jfd);
        j.resize(static_cast<size_t>(size));
        if (size) io::readFull(jfd, j.data(), j.size(), 0);
    } catch (...) {
        ::close(jfd);
        throw;
    }
    ::close(jfd);
    // Only our own journal is acted on: one that starts with our mark, or a stub shorter than the
    // mark that is a piece of it (cut off while being created). Anything else is left alone.
    size_t head = std::min<size_t>(j.size(), 8);
    if (head > 0 && std::memcmp(j.data(), kMagic, head) != 0)
        throw JetError(errIo, "データベースの横に、このツールのものではないファイル『" + jpath +
                                  "』があります。内容を確認して移動または削除してください。");
    bool complete = j.size() >= 8 + 8 + 4 + 16 && std::memcmp(j.data(), kMagic, 8) == 0 &&
                    std::memcmp(j.data() + j.size() - 8, kTrailer, 8) == 0 &&
                    get64(j.data() + j.size() - 16) == fnv1a(j.data(), j.size() - 16);
    if (complete) {
        uint64_t origSize = get64(j.data() + 8);
        uint32_t n = le32(j.data() + 16);
        if (static_cast<uint64_t>(n) * (4 + kPageSize) + 20 + 16 != j.size()) complete = false;
        if (complete) {
            size_t off = 20;
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t page = le32(j.data() + off);
                io::writeFull(fd, j.data() + off + 4, kPageSize, static_cast<uint64_t>(page) * kPageSize,
                              "rollback-write");
                off += 4 + kPageSize;
            }
            io::truncate(fd, origSize, "rollback-truncate");
            io::sync(fd, "rollback-fsync");
        }
    }
    // An incomplete journal was never followed by a database write: the file is untouched.
    io::unlink(jpath, "rollback-delete");
    io::syncDirectoryOf(jpath, "rollback-dir-fsync");
    return complete;
}

}  // namespace jet
