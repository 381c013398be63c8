// The compound-file container: streams in regular sectors and in the mini stream, directory
// lookups, and damaged containers (cycles, links out of range, truncation) refused cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "biff_workbook.h"
#include "cfb.h"
#include "workbook.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD;

void set16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    set16(b, at, v & 0xFFFF);
    set16(b, at + 2, v >> 16);
}
std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

// A version-3 compound file (512-byte sectors) with the given streams in its root storage, and
// optionally one sub-storage holding more streams. Layout: FAT in sector 0, then directory,
// mini FAT, mini stream, regular streams. Positions are recorded for tests that damage them.
struct CfbBuilder {
    std::vector<std::pair<std::string, Bytes>> streams;
    std::vector<std::pair<std::string, Bytes>> inStorage;  // under a storage named "Sub"

    std::uint32_t firstDirSector = 0;
    std::vector<std::uint32_t> streamStart;  // first sector (or mini sector) per root stream
    std::size_t dirOffset = 0;               // file offset of the directory

    Bytes build() {
        std::vector<Bytes> sectors(1, Bytes(512, 0));
        std::vector<std::uint32_t> fat{kFatSect};
        auto allocate = [&](const Bytes& data) -> std::uint32_t {
            if (data.empty()) return kEnd;
            const std::uint32_t first = std::uint32_t(sectors.size());
            for (std::size_t off = 0; off < data.size(); off += 512) {
                Bytes s(512, 0);
                std::copy(data.begin() + off, data.begin() + std::min(off + 512, data.size()), s.begin());
                sectors.push_back(s);
                fat.push_back(std::uint32_t(sectors.size()));
            }
            fat.back() = kEnd;
            return first;
        };

        struct Entry {
            std::string name;
            std::uint8_t type;
            std::uint32_t left = kFree, right = kFree, child = kFree, start = kEnd;
            std::uint32_t size = 0;
        };
        std::vector<Entry> entries{{"Root Entry", 5}};
        Bytes mini, miniFat;
        auto addStream = [&](const std::pair<std::string, Bytes>& s) -> Entry {
            Entry e{s.first, 2};
            e.size = std::uint32_t(s.second.size());
            if (s.second.size() < 4096 && !s.second.empty()) {
                e.start = std::uint32_t(mini.size() / 64);
                const std::size_t n = (s.second.size() + 63) / 64;
                for (std::size_t i = 0; i < n; ++i) {
                    miniFat.resize(miniFat.size() + 4);
                    set32(miniFat, miniFat.size() - 4, i + 1 == n ? kEnd : std::uint32_t(mini.size() / 64 + i + 1));
                }
                Bytes padded = s.second;
                padded.resize(n * 64, 0);
                mini.insert(mini.end(), padded.begin(), padded.end());
            }
            return e;
        };
        // Root streams chained through their right links.
        for (const auto& s : streams) entries.push_back(addStream(s));
        const std::size_t rootStreams = streams.size();
        for (std::size_t i = 1; i < rootStreams; ++i) entries[i].right = std::uint32_t(i + 1);
        if (rootStreams) entries[0].child = 1;
        if (!inStorage.empty()) {
            Entry storage{"Sub", 1};
            const std::uint32_t storageIndex = std::uint32_t(entries.size());
            entries.push_back(storage);
            if (rootStreams)
                entries[rootStreams].right = storageIndex;
            else
                entries[0].child = storageIndex;
            entries[storageIndex].child = storageIndex + 1;
            for (std::size_t i = 0; i < inStorage.size(); ++i) {
                entries.push_back(addStream(inStorage[i]));
                if (i + 1 < inStorage.size()) entries.back().right = std::uint32_t(entries.size());
            }
        }
        while (entries.size() % 4) entries.push_back({"", 0});

        Bytes dir(entries.size() * 128, 0);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            const std::size_t at = i * 128;
            for (std::size_t k = 0; k < e.name.size(); ++k) set16(dir, at + 2 * k, std::uint8_t(e.name[k]));
            set16(dir, at + 64, e.name.empty() ? 0 : unsigned(2 * (e.name.size() + 1)));
            dir[at + 66] = e.type;
            set32(dir, at + 68, e.left);
            set32(dir, at + 72, e.right);
            set32(dir, at + 76, e.child);
            set32(dir, at + 116, e.start);
            set32(dir, at + 120, e.size);
        }
        firstDirSector = allocate(dir);
        const std::uint32_t dirSector = firstDirSector;
        const std::uint32_t miniFatStart = allocate(miniFat);
        const std::uint32_t miniStart = allocate(mini);
        set32(sectors[dirSector], 116, miniStart);  // root entry: the mini stream
        set32(sectors[dirSector], 120, std::uint32_t(mini.size()));
        streamStart.clear();
        std::size_t entryIndex = 1;
        for (const auto& s : streams) {
            if (s.second.size() >= 4096) {
                const std::uint32_t start = allocate(s.second);
                // Directory entries sit in the directory's sectors (4 per sector).
                const std::size_t at = (entryIndex % 4) * 128 + 116;
                set32(sectors[dirSector + entryIndex / 4], at, start);
                streamStart.push_back(start);
            } else {
                streamStart.push_back(get32(sectors[dirSector + entryIndex / 4], (entryIndex % 4) * 128 + 116));
            }
            ++entryIndex;
        }
        EXPECT_LE(fat.size(), 128u) << "builder keeps to one FAT sector";
        fat.resize(128, kFree);
        for (std::size_t i = 0; i < 128; ++i) set32(sectors[0], 4 * i, fat[i]);

        Bytes out(512, 0);
        const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::copy(sig, sig + 8, out.begin());
        set16(out, 24, 0x3E);
        set16(out, 26, 3);
        set16(out, 28, 0xFFFE);
        set16(out, 30, 9);
        set16(out, 32, 6);
        set32(out, 44, 1);
        set32(out, 48, dirSector);
        set32(out, 56, 4096);
        set32(out, 60, miniFat.empty() ? kEnd : miniFatStart);
        set32(out, 64, std::uint32_t((miniFat.size() + 511) / 512));
        set32(out, 68, kEnd);
        set32(out, 72, 0);
        for (int i = 0; i < 109; ++i) set32(out, 76 + 4 * i, i == 0 ? 0 : kFree);
        dirOffset = (std::size_t(dirSector) + 1) * 512;
        for (const Bytes& s : sectors) out.insert(out.end(), s.begin(), s.end());
        return out;
    }
};

Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(seed + i * 7 + (i >> 8));
    return b;
}

std::string refusal(const Bytes& file, const std::string& stream = "Workbook") {
    try {
        xls::cfb::CompoundFile cf(file.data(), file.size());
        cf.readRootStream(stream);
    } catch (const xls::Error& e) {
        return e.what();
    }
    return "";
}

// The smallest workbook stream: globals BOF and EOF, no sheets.
Bytes emptyWorkbookStream(unsigned version) {
    Bytes s = {0x09, 0x08, 0x08, 0x00, 0x00, std::uint8_t(version >> 8), 0x05, 0x00, 0, 0, 0, 0, 0x0A, 0x00, 0x00, 0x00};
    s[4] = std::uint8_t(version);
    return s;
}

TEST(CompoundFile, ReadsStreamsFromSectorsAndFromTheMiniStream) {
    CfbBuilder b;
    const Bytes big = pattern(9000, 1), small = pattern(700, 2), tiny = pattern(5, 3);
    b.streams = {{"Workbook", big}, {"\x05SummaryInformation", small}, {"tiny", tiny}, {"empty", {}}};
    b.inStorage = {{"Nested", pattern(100, 4)}};
    const Bytes file = b.build();
    xls::cfb::CompoundFile cf(file.data(), file.size());
    EXPECT_EQ(cf.readRootStream("Workbook"), big);
    EXPECT_EQ(cf.readRootStream("WORKBOOK"), big);  // names compare without letter case
    EXPECT_EQ(cf.readRootStream("\x05SummaryInformation"), small);
    EXPECT_EQ(cf.readRootStream("tiny"), tiny);
    EXPECT_EQ(cf.readRootStream("empty"), Bytes{});
    EXPECT_FALSE(cf.readRootStream("Book").has_value());
    // A stream inside a sub-storage is not a root stream (embedded documents live there).
    EXPECT_FALSE(cf.readRootStream("Nested").has_value());
    EXPECT_FALSE(cf.hasRootStream("Sub"));
}

TEST(CompoundFile, DamagedChainsAreRefused) {
    CfbBuilder b;
    b.streams = {{"Workbook", pattern(5000, 1)}};
    const Bytes good = b.build();
    const std::uint32_t start = b.streamStart[0];

    Bytes cycle = good;  // the stream's second sector points back to its first
    set32(cycle, 512 + 4 * (start + 1), start);
    EXPECT_NE(refusal(cycle).find("circle"), std::string::npos) << refusal(cycle);

    Bytes outside = good;
    set32(outside, 512 + 4 * start, 100000);
    EXPECT_NE(refusal(outside).find("outside"), std::string::npos) << refusal(outside);

    Bytes early = good;
    set32(early, 512 + 4 * start, kEnd);
    EXPECT_NE(refusal(early).find("ends too early"), std::string::npos) << refusal(early);

    Bytes dirLoop = good;  // the stream entry's right link points to itself
    set32(dirLoop, b.dirOffset + 128 + 72, 1);
    EXPECT_NE(refusal(dirLoop).find("circle"), std::string::npos) << refusal(dirLoop);

    Bytes dirOut = good;
    set32(dirOut, b.dirOffset + 76, 4000);  // root's child link past the directory
    EXPECT_NE(refusal(dirOut).find("outside"), std::string::npos) << refusal(dirOut);

    Bytes huge = good;  // a size no file of this length can hold
    set32(huge, b.dirOffset + 128 + 120, 0x7FFFFFFF);
    EXPECT_NE(refusal(huge).find("cut short"), std::string::npos) << refusal(huge);

    Bytes shift = good;
    set16(shift, 30, 20);
    EXPECT_NE(refusal(shift).find("sector size"), std::string::npos);

    Bytes cut(good.begin(), good.end() - 700);
    EXPECT_NE(refusal(cut).find("cut short"), std::string::npos) << refusal(cut);

    Bytes header(good.begin(), good.begin() + 300);
    EXPECT_NE(refusal(header).find("cut short"), std::string::npos);

    Bytes notCfb = good;
    notCfb[3] = 0;
    EXPECT_NE(refusal(notCfb).find("compound"), std::string::npos);
}

TEST(CompoundFile, MiniStreamChainsAreChecked) {
    CfbBuilder b;
    b.streams = {{"Workbook", pattern(300, 1)}};
    Bytes file = b.build();
    ASSERT_EQ(refusal(file), "");
    // The mini FAT follows the directory sector: make the stream's first mini sector loop.
    const std::size_t miniFatOffset = b.dirOffset + 512;
    set32(file, miniFatOffset, 0);
    EXPECT_NE(refusal(file).find("circle"), std::string::npos) << refusal(file);
}

TEST(CompoundFile, WorkbookStreamChoice) {
    CfbBuilder biff8;
    biff8.streams = {{"Workbook", emptyWorkbookStream(0x0600)}};
    EXPECT_EQ(xls::openBiffWorkbookBytes(biff8.build())->sheetCount(), 0);

    CfbBuilder biff5;  // Excel 95 names its stream "Book"
    biff5.streams = {{"Book", emptyWorkbookStream(0x0500)}};
    EXPECT_EQ(xls::openBiffWorkbookBytes(biff5.build())->sheetCount(), 0);

    auto reason = [](CfbBuilder b) {
        try {
            xls::openBiffWorkbookBytes(b.build());
        } catch (const xls::Error& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    CfbBuilder word;
    word.streams = {{"WordDocument", pattern(5000, 9)}};
    EXPECT_NE(reason(word).find("no Workbook or Book stream"), std::string::npos);

    CfbBuilder encrypted;  // a password-protected .xlsx travels in a compound file
    encrypted.streams = {{"EncryptionInfo", pattern(200, 1)}, {"EncryptedPackage", pattern(5000, 2)}};
    EXPECT_NE(reason(encrypted).find("encrypted"), std::string::npos);

    EXPECT_NE(reason(CfbBuilder{}).find("no Workbook"), std::string::npos);
}

}  // namespace
