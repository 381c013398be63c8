#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include "file.h"
#include "file_io.h"

namespace jet {

namespace {

const char kMagic[8] = {'X', 'L', 'S', 'D', 'B', 'J', 'N', 'L'};
const char kTrailer2[8] = {'J', 'N', 'L', 'E', 'N', 'D', '0', '2'};
const char kTrailer3[8] = {'J', 'N', 'L', 'E', 'N', 'D', '0', '3'};
const uint32_t kVersion = 3;

uint64_t fnv1a(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ULL) {
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ULL;
    }
    return h;
}

uint64_t pageHash(const uint8_t* page) { return fnv1a(page, kPageSize); }

constexpr uint64_t kFnvBasis = 1469598103934665603ULL;  // fnv1a of nothing

// fnv1a continued from two states over two runs of bytes of one length, side by side: the two
// chains of multiplications overlap, so this costs about what one hash costs.
void fnv1aTwice(const uint8_t* p, uint64_t& a, const uint8_t* q, uint64_t& b, size_t n) {
    uint64_t x = a, y = b;
    for (size_t i = 0; i < n; ++i) {
        x = (x ^ p[i]) * 1099511628211ULL;
        y = (y ^ q[i]) * 1099511628211ULL;
    }
    a = x;
    b = y;
}

void put64(Bytes& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Layout of version 3 (integers little-endian):
//   head:    magic(8) | version u32 | original size u64 | final size u64 | N u32 | M u32 |
//            device u64 | inode u64 | checksum of the head u64                       (60 bytes)
//   N x      page u32 | hash of original u64 | hash of new content u64 | original 4096 bytes |
//            checksum of the record u64
//   M x      page u32 | new content 4096 bytes | checksum of the record u64   -- pages appended
//   trailer: checksum of everything before u64 | "JNLEND03"
// Version 2 (written by earlier releases) has a 28-byte head without device, inode and checksum,
// records without checksums and the trailer "JNLEND02"; it is still read.
// The hashes and the appended pages let recovery tell a file our interrupted write left from one
// that somebody else changed afterwards: only the former may be rolled back. Device and inode tie
// the journal to its file whatever name either is reached by.
// The head's fields by offset (version 2 ends after kFinalSize and keeps N before its records).
constexpr size_t kMarkSize = 8;          // kMagic, also the size of a trailer's mark
constexpr size_t kVersionField = 8;      // u32
constexpr size_t kOriginalSize = 12;     // u64
constexpr size_t kFinalSize = 20;        // u64
constexpr size_t kOldCount = 28;         // u32: N
constexpr size_t kNewCount = 32;         // u32: M
constexpr size_t kDevice = 36;           // u64
constexpr size_t kInode = 44;            // u64
constexpr size_t kChecksumSize = 8;      // u64: after the head, after each record and in the trailer
constexpr size_t kTrailerSize = kChecksumSize + kMarkSize;
const size_t kHead2 = kFinalSize + 8;
const size_t kHead3 = kInode + 8 + kChecksumSize;
// A record's fields by offset.
constexpr size_t kRecordPage = 0;        // u32
constexpr size_t kRecordOldHash = 4;     // u64: hash of the original (old-page records)
constexpr size_t kRecordNewHash = 12;    // u64: hash of the new content (old-page records)
constexpr size_t kRecordOriginal = 20;   // the original page (old-page records)
constexpr size_t kRecordContent = 4;     // the new page (appended-page records)
const size_t kOldRecord = kRecordOriginal + kPageSize;
const size_t kNewRecord = kRecordContent + kPageSize;

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
};

FileIdentity identityOf(int fd) {
    platform::FileInfo info;
    if (int err = platform::infoOf(fd, info))
        throw JetError(errIo, "ファイル情報の取得に失敗しました（" + systemErrorText(err) + "）。");
    return {info.device, info.inode};
}

// Writes the journal of the pager's transaction to jfd as it is built, a megabyte at a time, so
// that a long transaction needs no more memory than a short one. The checksum of everything
// written is kept as the bytes come.
class JournalWriter {
public:
    explicit JournalWriter(int fd) : fd_(fd) {}
    void add(const Bytes& b) { add(b.data(), b.size()); }
    void add(const uint8_t* p, size_t n) {
        hash_ = fnv1a(p, n, hash_);
        append(p, n);
    }
    // Adds a record followed by its own checksum (fnv1a of the record), both hashes in one pass.
    void addRecord(const Bytes& record) {
        uint64_t own = kFnvBasis;
        fnv1aTwice(record.data(), own, record.data(), hash_, record.size());
        append(record.data(), record.size());
        uint8_t sum[kChecksumSize];
        for (size_t i = 0; i < kChecksumSize; ++i) sum[i] = static_cast<uint8_t>(own >> (8 * i));
        add(sum, kChecksumSize);
    }
    // Checksum of everything added so far.
    uint64_t checksum() const { return hash_; }
    void flush() {
        if (buffer_.empty()) return;
        io::writeFull(fd_, buffer_.data(), buffer_.size(), written_, "journal-write");
        written_ += buffer_.size();
        buffer_.clear();
    }

private:
    void append(const uint8_t* p, size_t n) {
        buffer_.insert(buffer_.end(), p, p + n);
        if (buffer_.size() >= (1u << 20)) flush();
    }
    int fd_;
    Bytes buffer_;
    uint64_t written_ = 0;
    uint64_t hash_ = kFnvBasis;
};

void writeJournal(Pager& pager, int jfd) {
    const FileIdentity id = identityOf(pager.fd());
    JournalWriter w(jfd);
    Bytes head(kMagic, kMagic + kMarkSize);
    append32(head, kVersion);
    put64(head, static_cast<uint64_t>(pager.filePageCount()) * kPageSize);
    put64(head, static_cast<uint64_t>(pager.pageCount()) * kPageSize);
    uint32_t n = 0, m = 0;
    pager.countChanges(n, m);
    append32(head, n);
    append32(head, m);
    put64(head, id.device);
    put64(head, id.inode);
    put64(head, fnv1a(head.data(), head.size()));
    w.add(head);
    // Pages in page order: those inside the file (old content) come before the appended ones.
    Bytes record, orig(kPageSize);
    pager.forEachChange([&](uint32_t page, const Bytes& content) {
        record.clear();
        append32(record, page);
        if (!pager.isNew(page)) {
            // The original comes from disk.
            io::readFull(pager.fd(), orig.data(), kPageSize, static_cast<uint64_t>(page) * kPageSize);
            uint64_t before = kFnvBasis, after = kFnvBasis;
            fnv1aTwice(orig.data(), before, content.data(), after, kPageSize);
            put64(record, before);
            put64(record, after);
            record.insert(record.end(), orig.begin(), orig.end());
        } else {
            record.insert(record.end(), content.begin(), content.end());
        }
        w.addRecord(record);
    });
    Bytes tail;
    put64(tail, w.checksum());
    tail.insert(tail.end(), kTrailer3, kTrailer3 + kMarkSize);
    w.add(tail);
    w.flush();
}

void writeDatabase(Pager& pager) {
    // Every page written here, appended ones included, is described in the journal beforehand.
    pager.forEachChange([&](uint32_t page, const Bytes& content) {
        io::writeFull(pager.fd(), content.data(), kPageSize, static_cast<uint64_t>(page) * kPageSize, "db-write");
    });
    io::sync(pager.fd(), "db-fsync");
}

struct OldPage {
    uint32_t page;
    uint64_t originalHash;
    uint64_t newHash;
    const uint8_t* original;
};

OldPage oldRecordAt(const uint8_t* record) {
    return {le32(record + kRecordPage), get64(record + kRecordOldHash), get64(record + kRecordNewHash),
            record + kRecordOriginal};
}

// What a journal's bytes say.
enum class JournalState {
    Stub,      // a piece of a journal cut off before its head was complete: never led to a write
    CutShort,  // a head without all its records: cut off while written, unless damaged later
    Complete,  // every record there, every checksum right
};

struct ParsedJournal {
    JournalState state = JournalState::Stub;
    uint32_t version = 0;
    uint64_t originalSize = 0;
    uint64_t finalSize = 0;
    bool hasIdentity = false;
    FileIdentity identity;
    std::optional<uint64_t> stubOriginalSize;  // of a version-3 stub long enough to hold it
    std::vector<OldPage> oldPages;
    std::map<uint32_t, const uint8_t*> newPages;  // page -> its intended content
};

// The journal cannot be trusted: neither deleted nor applied, and the database not written.
[[noreturn]] void damaged(const std::string& jpath, const std::string& dbPath, const std::string& detail) {
    throw fileError(errIo, dbPath,
                    {"書き込み記録ファイル『" + jpath + "』が壊れています（" + detail + "）。データベース",
                     "は書き込みの途中で止まった状態かもしれないため、xlsdb は記録ファイルを消さず、データベースにも"
                     "書き込みません。2 つのファイルを消さずにそのまま保管し、データベース",
                     "はバックアップから戻してください。"});
}

// Version 2: complete when trailer and checksum are in place, else a piece never acted on.
void parseVersion2(const Bytes& j, ParsedJournal& out, const std::string& jpath, const std::string& dbPath) {
    out.version = 2;
    if (!(j.size() >= kHead2 + 4 + 4 + kTrailerSize && std::memcmp(j.data() + j.size() - kMarkSize, kTrailer2, kMarkSize) == 0 &&
          get64(j.data() + j.size() - kTrailerSize) == fnv1a(j.data(), j.size() - kTrailerSize))) {
        out.state = JournalState::Stub;
        return;
    }
    const size_t end = j.size() - kTrailerSize;
    out.originalSize = get64(j.data() + kOriginalSize);
    out.finalSize = get64(j.data() + kFinalSize);
    size_t off = kHead2;
    const uint32_t n = le32(j.data() + off);
    off += 4;
    if (static_cast<uint64_t>(n) * kOldRecord > end - off) damaged(jpath, dbPath, "記録の数が合いません");
    for (uint32_t i = 0; i < n; ++i, off += kOldRecord)
        out.oldPages.push_back(oldRecordAt(j.data() + off));
    if (end - off < 4) damaged(jpath, dbPath, "記録の数が合いません");
    const uint32_t m = le32(j.data() + off);
    off += 4;
    if (static_cast<uint64_t>(m) * kNewRecord != end - off) damaged(jpath, dbPath, "記録の数が合いません");
    for (uint32_t i = 0; i < m; ++i, off += kNewRecord)
        out.newPages[le32(j.data() + off + kRecordPage)] = j.data() + off + kRecordContent;
    out.state = JournalState::Complete;
}

void parseVersion3(const Bytes& j, ParsedJournal& out, const std::string& jpath, const std::string& dbPath) {
    out.version = 3;
    if (j.size() < kHead3) {
        out.state = JournalState::Stub;
        if (j.size() >= kFinalSize) out.stubOriginalSize = get64(j.data() + kOriginalSize);
        return;
    }
    if (get64(j.data() + kHead3 - kChecksumSize) != fnv1a(j.data(), kHead3 - kChecksumSize)) damaged(jpath, dbPath, "先頭部分のチェックサムが合いません");
    out.originalSize = get64(j.data() + kOriginalSize);
    out.finalSize = get64(j.data() + kFinalSize);
    const uint32_t n = le32(j.data() + kOldCount), m = le32(j.data() + kNewCount);
    out.hasIdentity = true;
    out.identity = {get64(j.data() + kDevice), get64(j.data() + kInode)};
    const uint64_t expected = kHead3 + static_cast<uint64_t>(n) * (kOldRecord + kChecksumSize) +
                              static_cast<uint64_t>(m) * (kNewRecord + kChecksumSize) + kTrailerSize;
    if (j.size() > expected) damaged(jpath, dbPath, "記録の後ろに余分なデータがあります");
    const bool whole = j.size() == expected;
    if (whole && (std::memcmp(j.data() + j.size() - kMarkSize, kTrailer3, kMarkSize) != 0 ||
                  get64(j.data() + j.size() - kTrailerSize) != fnv1a(j.data(), j.size() - kTrailerSize)))
        damaged(jpath, dbPath, "全体のチェックサムが合いません");
    size_t off = kHead3;
    for (uint32_t i = 0; i < n && off + kOldRecord + kChecksumSize <= j.size(); ++i, off += kOldRecord + kChecksumSize) {
        if (get64(j.data() + off + kOldRecord) != fnv1a(j.data() + off, kOldRecord))
            damaged(jpath, dbPath, "ページ " + std::to_string(le32(j.data() + off + kRecordPage)) + " の記録のチェックサムが合いません");
        out.oldPages.push_back(oldRecordAt(j.data() + off));
    }
    for (uint32_t i = 0; whole && i < m; ++i, off += kNewRecord + kChecksumSize) {
        if (get64(j.data() + off + kNewRecord) != fnv1a(j.data() + off, kNewRecord))
            damaged(jpath, dbPath, "追加ページ " + std::to_string(le32(j.data() + off + kRecordPage)) + " の記録のチェックサムが合いません");
        out.newPages[le32(j.data() + off + kRecordPage)] = j.data() + off + kRecordContent;
    }
    out.state = whole ? JournalState::Complete : JournalState::CutShort;
}

// Reads and checks the journal beside the database. False when there is none.
bool loadJournal(const std::string& jpath, const std::string& dbPath, Bytes& j, ParsedJournal& pj) {
    int jfd = platform::openFile(jpath, platform::OpenMode::Read);
    if (jfd < 0) {
        if (jfd == -ENOENT) return false;
        throw JetError(errIo, "書き込み記録ファイル『" + jpath + "』を開けません（" + systemErrorText(-jfd) + "）。");
    }
    try {
        uint64_t size = io::fileSize(jfd);
        j.resize(static_cast<size_t>(size));
        if (size) io::readFull(jfd, j.data(), j.size(), 0);
    } catch (...) {
        platform::closeFile(jfd);
        throw;
    }
    platform::closeFile(jfd);
    // Only our own journal is acted on: one that starts with our mark, or a stub shorter than the
    // mark that is a piece of it (cut off while being created). Anything else is left alone.
    size_t head = std::min<size_t>(j.size(), kMarkSize);
    if (head > 0 && std::memcmp(j.data(), kMagic, head) != 0)
        throw JetError(errIo, "データベースの横に、このツールのものではないファイル『" + jpath +
                                  "』があります。内容を確認して移動または削除してください。");
    if (j.size() < kVersionField + 4) {
        pj.state = JournalState::Stub;
        return true;
    }
    const uint32_t version = le32(j.data() + kVersionField);
    if (version == 2) {
        parseVersion2(j, pj, jpath, dbPath);
        // A version-3 head whose version field was damaged must not pass for a piece of an old journal.
        if (pj.state == JournalState::Stub && j.size() >= kHead3) {
            Bytes head(j.begin(), j.begin() + kHead3 - kChecksumSize);
            put32(&head[kVersionField], kVersion);
            if (fnv1a(head.data(), head.size()) == get64(j.data() + kHead3 - kChecksumSize)) damaged(jpath, dbPath, "形式の番号が不正です");
        }
    }
    else if (version == 3) parseVersion3(j, pj, jpath, dbPath);
    else
        throw fileError(errIo, dbPath,
                        {"書き込み記録ファイル『" + jpath + "』は、このバージョンの xlsdb では読めない形式です。データベース",
                         "は変更しません。内容を確認して、記録ファイルを移動または削除してください。"});
    if (pj.state == JournalState::Stub) return true;
    if (pj.originalSize % kPageSize != 0 || pj.finalSize % kPageSize != 0 || pj.finalSize < pj.originalSize)
        damaged(jpath, dbPath, "ファイルの長さの記録が不正です");
    for (const OldPage& p : pj.oldPages)
        if (static_cast<uint64_t>(p.page) * kPageSize >= pj.originalSize) damaged(jpath, dbPath, "ページ番号が範囲外です");
    for (auto& kv : pj.newPages) {
        const uint64_t at = static_cast<uint64_t>(kv.first) * kPageSize;
        if (at < pj.originalSize || at >= pj.finalSize) damaged(jpath, dbPath, "ページ番号が範囲外です");
    }
    return true;
}

bool isZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

bool pageIsOriginal(int fd, const OldPage& p, Bytes& page) {
    io::readFull(fd, page.data(), kPageSize, static_cast<uint64_t>(p.page) * kPageSize);
    return pageHash(page.data()) == p.originalHash && std::memcmp(page.data(), p.original, kPageSize) == 0;
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

// Checks that the journal may be acted on for this file; afterwards the state is Stub (nothing to
// do but remove it) or Complete (roll back). Throws, touching nothing, otherwise.
void judge(int fd, const std::string& jpath, const std::string& dbPath, ParsedJournal& pj, JournalOwner owner) {
    if (pj.state == JournalState::Stub) {
        // A stub never led to a write; one whose database has another length than it recorded
        // is a journal damaged after the fact.
        if (pj.stubOriginalSize && io::fileSize(fd) != *pj.stubOriginalSize) damaged(jpath, dbPath, "記録が途中で切れています");
        return;
    }
    if (pj.hasIdentity) {
        const FileIdentity id = identityOf(fd);
        if (id.device != pj.identity.device || id.inode != pj.identity.inode)
            throw fileError(errIo, dbPath,
                            {"書き込み記録ファイル『" + jpath + "』は、データベース",
                             "ではない別のファイルの記録です（ファイルの識別番号が違います）。xlsdb はこの記録ファイルを"
                             "使わず、データベースにも書き込みません。記録ファイルの元のデータベースを確かめ、"
                             "そのデータベースの横に戻してから開き直してください。"});
    }
    if (pj.state == JournalState::CutShort) {
        // The database is written only after the whole journal is on disk, so a journal cut short
        // was cut while it was being written, and the file is as before. Checked all the same:
        // a journal damaged afterwards must not be taken for one.
        Bytes page(kPageSize);
        bool untouched = io::fileSize(fd) == pj.originalSize;
        for (const OldPage& p : pj.oldPages) untouched = untouched && pageIsOriginal(fd, p, page);
        if (!untouched) damaged(jpath, dbPath, "記録が途中で切れています");
        pj.state = JournalState::Stub;
        return;
    }
    if (owner == JournalOwner::EarlierRun && !fileMatchesJournal(fd, pj))
        throw fileError(errIo, dbPath,
                        {"データベース", "は、中断された書き込みの後で別のプログラムによって変更されています。"
                                         "その変更を消してしまうため、xlsdb は書き込み記録ファイル『" + jpath +
                                             "』による復元を行わず、書き込み用に開きません。データベースの内容を確認してから、"
                                             "記録ファイルを別の場所へ移動してください。"});
}

std::string describe(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        return x.what();
    } catch (...) {
    }
    return "書き込みに失敗しました。";
}

}  // namespace

std::string journalPath(const std::string& dbPath) { return dbPath + "-journal"; }

void commitWithJournal(Pager& pager, const std::string& dbPath) {
    if (!pager.inTransaction()) return;
    const std::string jpath = journalPath(dbPath);
    bool journalMade = false;
    try {
        io::step("journal-create");
        int jfd = platform::createNewFile(jpath);
        if (jfd < 0) {
            if (jfd == -EEXIST)
                throw JetError(errIo, "前回の書き込みの記録ファイル『" + jpath + "』が残っています。データベースを開き直してください。");
            throw JetError(errIo, "書き込み記録ファイル『" + jpath + "』を作れません（" + systemErrorText(-jfd) + "）。");
        }
        journalMade = true;
        try {
            writeJournal(pager, jfd);
            io::sync(jfd, "journal-fsync");
        } catch (...) {
            platform::closeFile(jfd);
            throw;
        }
        platform::closeFile(jfd);
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
    } catch (...) {
        std::exception_ptr failure = std::current_exception();
        uint32_t pages = pager.filePageCount();
        pager.discard();
        bool restored = true;
        if (journalMade) {
            // Put the old pages back now; if even that fails the journal stays for the next open.
            try {
                recoverFromJournal(pager.fd(), dbPath, JournalOwner::ThisProcess);
            } catch (...) {
                restored = false;
            }
        }
        pager.reset(pages);
        if (!restored && io::exists(jpath))
            throw JetError(errIo, describe(failure) + " 書き込みを途中で取り消せなかったため、書き込み記録ファイル『" + jpath +
                                      "』を残しました。次にこのデータベースを開くときに、記録ファイルから書き込み前の状態に戻します。");
        throw;
    }
}

bool recoverFromJournal(int fd, const std::string& dbPath, JournalOwner owner) {
    const std::string jpath = journalPath(dbPath);
    Bytes j;
    ParsedJournal pj;
    if (!loadJournal(jpath, dbPath, j, pj)) return false;
    judge(fd, jpath, dbPath, pj, owner);
    const bool rollBack = pj.state == JournalState::Complete;
    if (rollBack) {
        for (const OldPage& p : pj.oldPages)
            io::writeFull(fd, p.original, kPageSize, static_cast<uint64_t>(p.page) * kPageSize, "rollback-write");
        io::truncate(fd, pj.originalSize, "rollback-truncate");
        io::sync(fd, "rollback-fsync");
    }
    // A piece of a journal was never followed by a database write: the file is untouched.
    io::unlink(jpath, "rollback-delete");
    io::syncDirectoryOf(jpath, "rollback-dir-fsync");
    return rollBack;
}

bool readPendingJournal(int fd, const std::string& dbPath, JournalView& view) {
    const std::string jpath = journalPath(dbPath);
    Bytes j;
    ParsedJournal pj;
    if (!loadJournal(jpath, dbPath, j, pj)) return false;
    judge(fd, jpath, dbPath, pj, JournalOwner::EarlierRun);
    if (pj.state != JournalState::Complete) return false;
    view.pageCount = static_cast<uint32_t>(pj.originalSize / kPageSize);
    view.originals.clear();
    for (const OldPage& p : pj.oldPages) view.originals[p.page] = Bytes(p.original, p.original + kPageSize);
    return true;
}

}  // namespace jet
