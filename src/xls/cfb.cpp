#include "cfb.h"

#include <algorithm>
#include <cstring>

#include "workbook.h"

namespace xls::cfb {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFFu;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFAu;
constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;
constexpr std::size_t kHeaderDifat = 109;
const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::uint16_t u16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

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
    if (size < 512) truncated(kHeader);
    const std::uint8_t* h = data;
    if (u16(h + 28) != 0xFFFE) corrupt("ヘッダーのバイト順マークが不正です");
    const unsigned shift = u16(h + 30);
    const unsigned miniShift = u16(h + 32);
    if (shift != 9 && shift != 12) corrupt("ヘッダーのセクターサイズが不正です");
    if (miniShift != 6) corrupt("ヘッダーのミニセクターサイズが不正です");
    sectorSize_ = std::size_t(1) << shift;
    miniSectorSize_ = std::size_t(1) << miniShift;
    const std::uint32_t numFat = u32(h + 44);
    const std::uint32_t firstDir = u32(h + 48);
    miniCutoff_ = u32(h + 56);
    const std::uint32_t firstMiniFat = u32(h + 60);
    const std::uint32_t numMiniFat = u32(h + 64);
    const std::uint32_t difatSector = u32(h + 68);
    const std::uint32_t numDifat = u32(h + 72);

    // The file cannot hold more sectors than its size allows; anything beyond that is a lie
    // (or a truncation) and must not drive allocations.
    const std::size_t sectorsInFile = (size_ > sectorSize_) ? (size_ - 1) / sectorSize_ : 0;  // after the header
    if (numFat == 0) corrupt("セクター割り当て表がありません");
    if (numFat > sectorsInFile) truncated(kFatName);

    readFat(h, numFat, difatSector, numDifat, sectorsInFile);
    readDirectory(firstDir, sectorsInFile, shift == 12);
    readMiniFat(firstMiniFat, numMiniFat, sectorsInFile);
}

// The sector allocation table: the locations of its sectors, 109 in the header and the rest in
// the DIFAT chain, then their contents.
void CompoundFile::readFat(const std::uint8_t* h, std::uint32_t numFat, std::uint32_t difatSector,
                           std::uint32_t numDifat, std::size_t sectorsInFile) {
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(numFat);
    for (std::size_t i = 0; i < kHeaderDifat && fatSectors.size() < numFat; ++i)
        fatSectors.push_back(u32(h + 76 + 4 * i));
    const std::size_t perDifat = sectorSize_ / 4 - 1;
    std::size_t difatSeen = 0;
    while (fatSectors.size() < numFat) {
        if (difatSector > kMaxRegSect || difatSeen >= numDifat || difatSeen > sectorsInFile)
            corrupt("割り当て表のセクターの連鎖が切れています");
        std::size_t avail = 0;
        const std::uint8_t* s = sector(difatSector, &avail);
        if (!s || avail < sectorSize_) truncated(kDifatName);
        for (std::size_t i = 0; i < perDifat && fatSectors.size() < numFat; ++i)
            fatSectors.push_back(u32(s + 4 * i));
        difatSector = u32(s + 4 * perDifat);
        ++difatSeen;
    }

    fat_.reserve(numFat * (sectorSize_ / 4));
    for (std::uint32_t fs : fatSectors) {
        if (fs > kMaxRegSect) corrupt("割り当て表のセクター番号が範囲外です");
        std::size_t avail = 0;
        const std::uint8_t* s = sector(fs, &avail);
        if (!s || avail < sectorSize_) truncated(kFatName);
        for (std::size_t i = 0; i < sectorSize_ / 4; ++i) fat_.push_back(u32(s + 4 * i));
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
        for (std::size_t off = 0; off + 128 <= sectorSize_; off += 128) {
            const std::uint8_t* e = s + off;
            Entry entry;
            unsigned nameBytes = u16(e + 64);
            if (nameBytes > 64) nameBytes = 64;
            for (unsigned i = 0; i + 1 < nameBytes; i += 2) {
                char16_t c = char16_t(u16(e + i));
                if (c == 0) break;
                entry.name.push_back(c);
            }
            entry.type = e[66];
            entry.left = u32(e + 68);
            entry.right = u32(e + 72);
            entry.child = u32(e + 76);
            entry.start = u32(e + 116);
            entry.size = u32(e + 120);
            if (bigSectors) entry.size |= std::uint64_t(u32(e + 124)) << 32;
            entries_.push_back(std::move(entry));
        }
    }
    if (entries_.empty() || entries_[0].type != 5) corrupt("ディレクトリにルート項目がありません");
}

void CompoundFile::readMiniFat(std::uint32_t firstMiniFat, std::uint32_t numMiniFat, std::size_t sectorsInFile) {
    if (numMiniFat > 0 && firstMiniFat <= kMaxRegSect) {
        if (numMiniFat > sectorsInFile) truncated(kMiniFatName);
        const std::vector<std::uint32_t> mfChain = chain(fat_, firstMiniFat, numMiniFat, kMiniFatName);
        for (std::uint32_t sec : mfChain) {
            std::size_t avail = 0;
            const std::uint8_t* s = sector(sec, &avail);
            if (!s || avail < sectorSize_) truncated(kMiniFatName);
            for (std::size_t i = 0; i < sectorSize_ / 4; ++i) miniFat_.push_back(u32(s + 4 * i));
        }
    }
}

const std::uint8_t* CompoundFile::sector(std::uint32_t index, std::size_t* available) const {
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
        if (entries_[i].type == 2 && sameName(entries_[i].name, name)) return i;
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
