#include "journal.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <vector>
#include <unistd.h>

#include "file_io.h"

namespace jet {

namespace {

const char kMagic[8] = {'X', 'L', 'S', 'D', 'B', 'J', 'N', 'L'};
const char kTrailer[8] = {'J', 'N', 'L', 'E', 'N', 'D', '0', '2'};
const uint32_t kVersion = 2;

uint64_t fnv1a(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ULL) {
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ULL;
    }
    return h;
}

uint64_t pageHash(const uint8_t* page) { return fnv1a(page, kPageSize); }

void put64(Bytes& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Layout (integers little-endian):
//   magic(8) | version u32 | original size u64 | final size u64 |
//   N u32 | N x (page u32 | hash of original u64 | hash of new content u64 | original 4096 bytes) |
//   M u32 | M x (page u32 | new content 4096 bytes)             -- the pages appended past the end
//   checksum of everything before (8) | trailer(8)
// The hashes and the appended pages let recovery tell a file our interrupted write left from one
// that somebody else changed afterwards: only the former may be rolled back.
const size_t kHeadSize = 8 + 4 + 8 + 8;
const size_t kOldRecord = 4 + 8 + 8 + kPageSize;
const size_t kNewRecord = 4 + kPageSize;

Bytes buildJournal(Pager& pager) {
    Bytes j(kMagic, kMagic + 8);
    append32(j, kVersion);
    put64(j, static_cast<uint64_t>(pager.filePageCount()) * kPageSize);
    put64(j, static_cast<uint64_t>(pager.pageCount()) * kPageSize);
    uint32_t n = 0, m = 0;
    for (auto& kv : pager.overlay()) (pager.isNew(kv.first) ? m : n) += 1;
    append32(j, n);
    for (auto& kv : pager.overlay()) {
        if (pager.isNew(kv.first)) continue;
        // read() returns the overlay copy; the original comes from disk.
        Bytes orig(kPageSize);
        io::readFull(pager.fd(), orig.data(), kPageSize, static_cast<uint64_t>(kv.first) * kPageSize);
        append32(j, kv.first);
        put64(j, pageHash(orig.data()));
        put64(j, pageHash(kv.second.data()));
        j.insert(j.end(), orig.begin(), orig.end());
    }
    append32(j, m);
    for (auto& kv : pager.overlay()) {
        if (!pager.isNew(kv.first)) continue;
        append32(j, kv.first);
        j.insert(j.end(), kv.second.begin(), kv.second.end());
    }
    put64(j, fnv1a(j.data(), j.size()));
    j.insert(j.end(), kTrailer, kTrailer + 8);
    return j;
}

void writeDatabase(Pager& pager) {
    // Every page written here, appended ones included, is described in the journal beforehand.
    for (auto& kv : pager.overlay())
        io::writeFull(pager.fd(), kv.second.data(), kPageSize, static_cast<uint64_t>(kv.first) * kPageSize,
                      "db-write");
    io::sync(pager.fd(), "db-fsync");
}

struct OldPage {
    uint32_t page;
    uint64_t originalHash;
    uint64_t newHash;
    const uint8_t* original;
};

struct ParsedJournal {
    uint64_t originalSize = 0;
    uint64_t finalSize = 0;
    std::vector<OldPage> oldPages;
    std::map<uint32_t, const uint8_t*> newPages;  // page -> its intended content
};

// Whether the journal's bytes were all written (trailer and checksum in place).
bool isComplete(const Bytes& j) {
    return j.size() >= kHeadSize + 4 + 4 + 16 && std::memcmp(j.data() + j.size() - 8, kTrailer, 8) == 0 &&
           get64(j.data() + j.size() - 16) == fnv1a(j.data(), j.size() - 16);
}

// Reads a complete journal; false if its records do not add up.
bool parseJournal(const Bytes& j, ParsedJournal& out) {
    const size_t end = j.size() - 16;
    out.originalSize = get64(j.data() + 12);
    out.finalSize = get64(j.data() + 20);
    if (out.originalSize % kPageSize != 0 || out.finalSize % kPageSize != 0 || out.finalSize < out.originalSize)
        return false;
    size_t off = kHeadSize;
    uint32_t n = le32(j.data() + off);
    off += 4;
    if (static_cast<uint64_t>(n) * kOldRecord > end - off) return false;
    for (uint32_t i = 0; i < n; ++i, off += kOldRecord) {
        OldPage p{le32(j.data() + off), get64(j.data() + off + 4), get64(j.data() + off + 12), j.data() + off + 20};
        if (static_cast<uint64_t>(p.page) * kPageSize >= out.originalSize) return false;
        out.oldPages.push_back(p);
    }
    if (end - off < 4) return false;
    uint32_t m = le32(j.data() + off);
    off += 4;
    if (static_cast<uint64_t>(m) * kNewRecord != end - off) return false;
    for (uint32_t i = 0; i < m; ++i, off += kNewRecord) {
        uint32_t page = le32(j.data() + off);
        uint64_t at = static_cast<uint64_t>(page) * kPageSize;
        if (at < out.originalSize || at >= out.finalSize) return false;
        out.newPages[page] = j.data() + off + 4;
    }
    return true;
}

bool isZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

// True when the file is in a state our interrupted write (or an interrupted rollback of it)
// can have left: every journaled page holds its old or its new content, and the file is no
// shorter than before and no longer than intended, its added pages (the last one possibly cut
// short, as a full disk leaves it) still zero or as we wrote them.
bool fileMatchesJournal(int fd, const ParsedJournal& pj) {
    const uint64_t size = io::fileSize(fd);
    if (size < pj.originalSize || size > pj.finalSize) return false;
    Bytes page(kPageSize);
    for (const OldPage& p : pj.oldPages) {
        io::readFull(fd, page.data(), kPageSize, static_cast<uint64_t>(p.page) * kPageSize);
        const uint64_t h = pageHash(page.data());
        if (h == p.newHash) continue;
        // The hash picks the candidate; the bytes decide.
        if (h != p.originalHash || std::memcmp(page.data(), p.original, kPageSize) != 0) return false;
    }
    for (uint64_t at = pj.originalSize; at < size; at += kPageSize) {
        const size_t len = static_cast<size_t>(std::min<uint64_t>(kPageSize, size - at));
        io::readFull(fd, page.data(), len, at);
        if (isZero(page.data(), len)) continue;
        auto it = pj.newPages.find(static_cast<uint32_t>(at / kPageSize));
        if (it == pj.newPages.end() || std::memcmp(page.data(), it->second, len) != 0) return false;
    }
    return true;
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
                recoverFromJournal(pager.fd(), dbPath, JournalOwner::ThisProcess);
            } catch (...) {
            }
        }
        pager.reset(pages);
        throw;
    }
}

bool recoverFromJournal(int fd, const std::string& dbPath, JournalOwner owner) {
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
    // The mark and the version go to disk together, so a journal that has the one has the other.
    if (j.size() >= 12 && le32(j.data() + 8) != kVersion)
        throw JetError(errIo, "書き込み記録ファイル『" + jpath +
                                  "』は、このバージョンの xlsdb では読めない形式です。データベース『" + dbPath +
                                  "』は変更しません。内容を確認して、記録ファイルを移動または削除してください。");
    ParsedJournal pj;
    const bool complete = isComplete(j);
    if (complete) {
        if (!parseJournal(j, pj))
            throw JetError(errIo, "書き込み記録ファイル『" + jpath + "』が壊れています。データベース『" + dbPath +
                                      "』は変更しません。内容を確認して、記録ファイルを移動または削除してください。");
        if (owner == JournalOwner::EarlierRun && !fileMatchesJournal(fd, pj))
            throw JetError(errIo, "データベース『" + dbPath + "』は、中断された書き込みの後で別のプログラムによって変更されています。"
                                  "その変更を消してしまうため、xlsdb は書き込み記録ファイル『" + jpath +
                                  "』による復元を行わず、書き込み用に開きません。データベースの内容を確認してから、"
                                  "記録ファイルを別の場所へ移動してください。");
        for (const OldPage& p : pj.oldPages)
            io::writeFull(fd, p.original, kPageSize, static_cast<uint64_t>(p.page) * kPageSize, "rollback-write");
        io::truncate(fd, pj.originalSize, "rollback-truncate");
        io::sync(fd, "rollback-fsync");
    }
    // An incomplete journal was never followed by a database write: the file is untouched.
    io::unlink(jpath, "rollback-delete");
    io::syncDirectoryOf(jpath, "rollback-dir-fsync");
    return complete;
}

}  // namespace jet
