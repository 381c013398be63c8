#include "cfb.h"

#include <algorithm>
#include <cstring>

#include "little_endian.h"
#include "workbook.h"

namespace xls::cfb {
namespace {

// Sector numbers with a meaning of their own; real sectors are numbered up to kMaxRegSect.
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFAu;  // MAXREGSECT: the last real sector number
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;  // ENDOFCHAIN: a chain's last sector points here
constexpr std::uint32_t kFreeSect = 0xFFFFFFFFu;    // FREESECT: unallocated (as a start: no sectors)
constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;    // NOSTREAM: a directory link to no entry
constexpr std::size_t kSectorIdSize = 4;            // a sector number in the tables

// The header: the first 512 bytes of the file; sector 0 begins one sector size into the file.
const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kByteOrderOffset = 28;          // 0xFFFE: little-endian
constexpr std::size_t kSectorShiftOffset = 30;        // sector size as a power of two
constexpr std::size_t kMiniSectorShiftOffset = 32;    // mini sector size as a power of two
constexpr std::size_t kNumFatSectorsOffset = 44;
constexpr std::size_t kFirstDirSectorOffset = 48;
constexpr std::size_t kMiniStreamCutoffOffset = 56;   // smaller streams live in the mini stream
constexpr std::size_t kFirstMiniFatSectorOffset = 60;
constexpr std::size_t kNumMiniFatSectorsOffset = 64;
constexpr std::size_t kFirstDifatSectorOffset = 68;
constexpr std::size_t kNumDifatSectorsOffset = 72;
constexpr std::size_t kHeaderDifatOffset = 76;        // the first FAT sectors' numbers
constexpr std::size_t kHeaderDifat = 109;             // how many of them the header holds
constexpr std::uint16_t kByteOrderMark = 0xFFFE;
constexpr unsigned kSectorShift512 = 9;    // version 3 files
constexpr unsigned kSectorShift4096 = 12;  // version 4 files
constexpr unsigned kMiniSectorShift = 6;   // 64-byte mini sectors

// A directory entry: 128 bytes, several to a sector.
constexpr std::size_t kDirEntrySize = 128;
constexpr std::size_t kDirNameOffset = 0;         // UTF-16LE, NUL-terminated
constexpr std::size_t kDirNameMaxBytes = 64;
constexpr std::size_t kDirNameLengthOffset = 64;  // in bytes, the terminator included
constexpr std::size_t kDirTypeOffset = 66;
constexpr std::size_t kDirLeftOffset = 68;        // siblings form a binary tree
constexpr std::size_t kDirRightOffset = 72;
constexpr std::size_t kDirChildOffset = 76;       // the root of a storage's tree of children
constexpr std::size_t kDirStartOffset = 116;      // first sector of the stream
constexpr std::size_t kDirSizeOffset = 120;       // stream size: 32 bits, 64 with 4096-byte sectors
constexpr std::size_t kDirSizeHighOffset = 124;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;

using base::le16;
using base::le32;

[[noreturn]] void corrupt(const std::string& what) { throw Error(Error::Kind::Damaged, what); }
// part: what is missing, e.g. "ディレクトリ".
[[noreturn]] void truncated(const std::string& part) { throw Error(Error::Kind::Truncated, part + "がありません"); }
[[noreturn]] void chainEndsEarly(const char* what) { corrupt(std::string(what) + "のセクター連鎖が途中で終わっています"); }

// Names of the container's parts, as the messages show them.
const char* const kHeader = "ヘッダー";
const char* const kFatName = "セクター割り当て表";
const char* const kDifatName = "割り当て表の索引（DIFAT）";
const char* const kDirName = "ディレクトリ";
const char* const kMiniFatName = "ミニセクター割り当て表";
const char* const kMiniStreamName = "ミニストリーム";

char16_t asciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

bool sameName(const std::u16string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(char16_t(static_cast<unsigned char>(b[i])))) return false;
    return true;
}

}  // namespace

bool hasSignature(const std::uint8_t* data, std::size_t size) {
    return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

CompoundFile::CompoundFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
    if (!hasSignature(data, size))
        throw Error(Error::Kind::NotWorkbook, "複合ファイルの署名がありません");
    if (size < kHeaderSize) truncated(kHeader);
    const std::uint8_t* h = data;
    if (le16(h + kByteOrderOffset) != kByteOrderMark) corrupt("ヘッダーのバイト順マークが不正です");
    const unsigned shift = le16(h + kSectorShiftOffset);
    const unsigned miniShift = le16(h + kMiniSectorShiftOffset);
    if (shift != kSectorShift512 && shift != kSectorShift4096) corrupt("ヘッダーのセクターサイズが不正です");
    if (miniShift != kMiniSectorShift) corrupt("ヘッダーのミニセクターサイズが不正です");
    sectorSize_ = std::size_t(1) << shift;
    miniSectorSize_ = std::size_t(1) << miniShift;
    const std::uint32_t numFat = le32(h + kNumFatSectorsOffset);
    const std::uint32_t firstDir = le32(h + kFirstDirSectorOffset);
    miniCutoff_ = le32(h + kMiniStreamCutoffOffset);
    const std::uint32_t firstMiniFat = le32(h + kFirstMiniFatSectorOffset);
    const std::uint32_t numMiniFat = le32(h + kNumMiniFatSectorsOffset);
    const std::uint32_t difatSector = le32(h + kFirstDifatSectorOffset);
    const std::uint32_t numDifat = le32(h + kNumDifatSectorsOffset);

    // The file cannot hold more sectors than its size allows; anything beyond that is a lie
    // (or a truncation) and must not drive allocations.
    const std::size_t sectorsInFile = (size_ > sectorSize_) ? (size_ - 1) / sectorSize_ : 0;  // after the header
    if (numFat == 0) corrupt("セクター割り当て表がありません");
    if (numFat > sectorsInFile) truncated(kFatName);

    readFat(h, numFat, difatSector, numDifat, sectorsInFile);
    readDirectory(firstDir, sectorsInFile, shift == kSectorShift4096);
    readMiniFat(firstMiniFat, numMiniFat, sectorsInFile);
}

// The sector allocation table: the locations of its sectors, 109 in the header and the rest in
// the DIFAT chain, then their contents.
void CompoundFile::readFat(const std::uint8_t* h, std::uint32_t numFat, std::uint32_t difatSector,
                           std::uint32_t numDifat, std::size_t sectorsInFile) {
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(numFat);
    for (std::size_t i = 0; i < kHeaderDifat && fatSectors.size() < numFat; ++i)
        fatSectors.push_back(le32(h + kHeaderDifatOffset + kSectorIdSize * i));
    const std::size_t perDifat = sectorSize_ / kSectorIdSize - 1;  // the last one names the next DIFAT sector
    std::size_t difatSeen = 0;
    while (fatSectors.size() < numFat) {
        if (difatSector > kMaxRegSect || difatSeen >= numDifat || difatSeen > sectorsInFile)
            corrupt("割り当て表のセクターの連鎖が切れています");
        std::size_t avail = 0;
        const std::uint8_t* s = sector(difatSector, &avail);
        if (!s || avail < sectorSize_) truncated(kDifatName);
        for (std::size_t i = 0; i < perDifat && fatSectors.size() < numFat; ++i)
            fatSectors.push_back(le32(s + kSectorIdSize * i));
        difatSector = le32(s + kSectorIdSize * perDifat);
        ++difatSeen;
    }

    fat_.reserve(numFat * (sectorSize_ / kSectorIdSize));
    for (std::uint32_t fs : fatSectors) {
        if (fs > kMaxRegSect) corrupt("割り当て表のセクター番号が範囲外です");
        std::size_t avail = 0;
        const std::uint8_t* s = sector(fs, &avail);
        if (!s || avail < sectorSize_) truncated(kFatName);
        for (std::size_t i = 0; i < sectorSize_ / kSectorIdSize; ++i) fat_.push_back(le32(s + kSectorIdSize * i));
    }
}

// The directory: a chain of 128-byte entries. `bigSectors`: 4096-byte sectors, whose entries
// have 64-bit stream sizes.
void CompoundFile::readDirectory(std::uint32_t firstDir, std::size_t sectorsInFile, bool bigSectors) {
    const std::vector<std::uint32_t> dirChain = chain(fat_, firstDir, sectorsInFile, kDirName);
    if (dirChain.empty()) corrupt("ディレクトリがありません");
    for (std::uint32_t sec : dirChain) {
        std::size_t avail = 0;
        const std::uint8_t* s = sector(sec, &avail);
        if (!s || avail < sectorSize_) truncated(kDirName);
        for (std::size_t off = 0; off + kDirEntrySize <= sectorSize_; off += kDirEntrySize) {
            const std::uint8_t* e = s + off;
            Entry entry;
            unsigned nameBytes = le16(e + kDirNameLengthOffset);
            if (nameBytes > kDirNameMaxBytes) nameBytes = kDirNameMaxBytes;
            for (unsigned i = 0; i + 1 < nameBytes; i += 2) {
                char16_t c = char16_t(le16(e + kDirNameOffset + i));
                if (c == 0) break;
                entry.name.push_back(c);
            }
            entry.type = e[kDirTypeOffset];
            entry.left = le32(e + kDirLeftOffset);
            entry.right = le32(e + kDirRightOffset);
            entry.child = le32(e + kDirChildOffset);
            entry.start = le32(e + kDirStartOffset);
            entry.size = le32(e + kDirSizeOffset);
            if (bigSectors) entry.size |= std::uint64_t(le32(e + kDirSizeHighOffset)) << 32;
            entries_.push_back(std::move(entry));
        }
    }
    if (entries_.empty() || entries_[0].type != kTypeRoot) corrupt("ディレクトリにルート項目がありません");
}

void CompoundFile::readMiniFat(std::uint32_t firstMiniFat, std::uint32_t numMiniFat, std::size_t sectorsInFile) {
    if (numMiniFat > 0 && firstMiniFat <= kMaxRegSect) {
        if (numMiniFat > sectorsInFile) truncated(kMiniFatName);
        const std::vector<std::uint32_t> mfChain = chain(fat_, firstMiniFat, numMiniFat, kMiniFatName);
        for (std::uint32_t sec : mfChain) {
            std::size_t avail = 0;
            const std::uint8_t* s = sector(sec, &avail);
            if (!s || avail < sectorSize_) truncated(kMiniFatName);
            for (std::size_t i = 0; i < sectorSize_ / kSectorIdSize; ++i) miniFat_.push_back(le32(s + kSectorIdSize * i));
        }
    }
}

const std::uint8_t* CompoundFile::sector(std::uint32_t index, std::size_t* available) const {
    // Sector 0 follows the header, which takes the room of one sector.
    const std::uint64_t off = (std::uint64_t(index) + 1) * sectorSize_;
    if (off >= size_) {
        *available = 0;
        return nullptr;
    }
    *available = std::min<std::uint64_t>(sectorSize_, size_ - off);
    return data_ + off;
}

std::vector<std::uint32_t> CompoundFile::chain(const std::vector<std::uint32_t>& table,
                                               std::uint32_t start, std::size_t maxSectors,
                                               const char* what) const {
    std::vector<std::uint32_t> out;
    std::vector<bool> seen(table.size(), false);
    std::uint32_t s = start;
    while (s != kEndOfChain) {
        if (s == kFreeSect && out.empty()) break;  // "no sectors"
        if (s >= table.size()) corrupt(std::string(what) + "のセクター連鎖がファイルの外を指しています");
        if (seen[s]) corrupt(std::string(what) + "のセクター連鎖が循環しています");
        seen[s] = true;
        out.push_back(s);
        if (out.size() >= maxSectors) break;  // enough to cover the declared size
        s = table[s];
    }
    return out;
}

std::vector<std::uint8_t> CompoundFile::readChain(std::uint32_t start, std::uint64_t size,
                                                  const char* what) const {
    std::vector<std::uint8_t> out;
    if (size == 0) return out;
    if (size > size_) truncated(what);  // no stream can be larger than the file holding it
    const std::size_t need = std::size_t((size + sectorSize_ - 1) / sectorSize_);
    const std::vector<std::uint32_t> secs = chain(fat_, start, need, what);
    if (secs.size() < need) chainEndsEarly(what);
    out.reserve(std::size_t(size));
    for (std::uint32_t sec : secs) {
        std::size_t avail = 0;
        const std::uint8_t* s = sector(sec, &avail);
        const std::size_t want = std::min<std::size_t>(sectorSize_, std::size_t(size) - out.size());
        if (!s || avail < want) truncated(what);
        out.insert(out.end(), s, s + want);
    }
    return out;
}

std::vector<int> CompoundFile::rootChildren() const {
    // The children of a storage form a binary tree through left/right links, rooted at its
    // child link. Walk it iteratively; a link seen twice means a damaged directory.
    std::vector<int> out;
    std::vector<bool> seen(entries_.size(), false);
    std::vector<std::uint32_t> todo{entries_[0].child};
    while (!todo.empty()) {
        const std::uint32_t i = todo.back();
        todo.pop_back();
        if (i == kNoStream) continue;
        if (i >= entries_.size() || i == 0) corrupt("ディレクトリのリンクがディレクトリの外を指しています");
        if (seen[i]) corrupt("ディレクトリのリンクが循環しています");
        seen[i] = true;
        out.push_back(int(i));
        todo.push_back(entries_[i].left);
        todo.push_back(entries_[i].right);
    }
    return out;
}

int CompoundFile::findRootEntry(const std::string& name) const {
    for (int i : rootChildren())
        if (entries_[i].type == kTypeStream && sameName(entries_[i].name, name)) return i;
    return -1;
}

bool CompoundFile::hasRootStream(const std::string& name) const { return findRootEntry(name) >= 0; }

std::optional<std::vector<std::uint8_t>> CompoundFile::readRootStream(const std::string& name) const {
    const int i = findRootEntry(name);
    if (i < 0) return std::nullopt;
    const Entry& e = entries_[i];
    if (e.size >= miniCutoff_) return readChain(e.start, e.size, "ストリーム");

    // Small streams live in the mini stream, which is itself the root entry's chain.
    if (!miniStreamLoaded_) {
        miniStream_ = readChain(entries_[0].start, entries_[0].size, kMiniStreamName);
        miniStreamLoaded_ = true;
    }
    std::vector<std::uint8_t> out;
    if (e.size == 0) return out;
    const std::size_t need = std::size_t((e.size + miniSectorSize_ - 1) / miniSectorSize_);
    const std::vector<std::uint32_t> secs = chain(miniFat_, e.start, need, kMiniStreamName);
    if (secs.size() < need) chainEndsEarly(kMiniStreamName);
    out.reserve(std::size_t(e.size));
    for (std::uint32_t sec : secs) {
        const std::size_t off = std::size_t(sec) * miniSectorSize_;
        const std::size_t want = std::min<std::size_t>(miniSectorSize_, std::size_t(e.size) - out.size());
        if (off + want > miniStream_.size()) truncated(kMiniStreamName);
        out.insert(out.end(), miniStream_.begin() + off, miniStream_.begin() + off + want);
    }
    return out;
}

}  // namespace xls::cfb
