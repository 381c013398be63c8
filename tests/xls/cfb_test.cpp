// The compound-file container: streams in regular sectors and in the mini stream, the choice of
// the workbook stream, and damaged containers refused cleanly.
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

constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;

void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

// A version-3 file (512-byte sectors): header, FAT in sector 0, directory in sector 1 (root and
// up to three streams, chained through right links), mini FAT in sector 2, then the mini
// stream and the regular streams. start[i] is stream i's first (mini) sector.
struct Cfb {
    Bytes file;
    std::vector<std::uint32_t> start;
    static constexpr std::size_t kDir = 2 * 512, kFat = 512, kMiniFat = 3 * 512;
};

Cfb build(const std::vector<std::pair<std::string, Bytes>>& streams) {
    Cfb c;
    c.file.assign(4 * 512, 0);
    std::vector<std::uint32_t> fat = {0xFFFFFFFD, kEnd, kEnd};  // FAT, directory, mini FAT
    Bytes mini;
    std::uint32_t miniSectors = 0;
    auto chain = [&](const Bytes& data, std::vector<std::uint32_t>& table, std::size_t unit, Bytes& into,
                     std::uint32_t& count) {
        if (data.empty()) return kEnd;
        const std::uint32_t first = count;
        for (std::size_t off = 0; off < data.size(); off += unit) {
            Bytes piece(data.begin() + off, data.begin() + std::min(off + unit, data.size()));
            piece.resize(unit, 0);
            into.insert(into.end(), piece.begin(), piece.end());
            table.push_back(++count);
        }
        table.back() = kEnd;
        return first;
    };
    std::vector<std::uint32_t> miniFat;
    Bytes big;
    std::uint32_t bigCount = 3;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Bytes& data = streams[i].second;
        c.start.push_back(data.size() < 4096 ? chain(data, miniFat, 64, mini, miniSectors) : kEnd);
    }
    const std::uint32_t miniStart = mini.empty() ? kEnd : chain(mini, fat, 512, big, bigCount);
    for (std::size_t i = 0; i < streams.size(); ++i)
        if (streams[i].second.size() >= 4096) c.start[i] = chain(streams[i].second, fat, 512, big, bigCount);

    auto entry = [&](std::size_t i, const std::string& name, std::uint8_t type, std::uint32_t child,
                     std::uint32_t right, std::uint32_t first, std::size_t size) {
        const std::size_t at = Cfb::kDir + 128 * i;
        for (std::size_t k = 0; k < name.size(); ++k) c.file[at + 2 * k] = std::uint8_t(name[k]);
        c.file[at + 64] = std::uint8_t(2 * (name.size() + 1));
        c.file[at + 66] = type;
        set32(c.file, at + 68, kFree);
        set32(c.file, at + 72, right);
        set32(c.file, at + 76, child);
        set32(c.file, at + 116, first);
        set32(c.file, at + 120, std::uint32_t(size));
    };
    entry(0, "Root Entry", 5, streams.empty() ? kFree : 1, kFree, miniStart, mini.size());
    for (std::size_t i = 0; i < streams.size(); ++i)
        entry(i + 1, streams[i].first, 2, kFree, i + 1 < streams.size() ? std::uint32_t(i + 2) : kFree, c.start[i],
              streams[i].second.size());
    fat.resize(128, kFree);
    for (std::size_t i = 0; i < 128; ++i) set32(c.file, Cfb::kFat + 4 * i, fat[i]);
    miniFat.resize(128, kFree);
    for (std::size_t i = 0; i < 128; ++i) set32(c.file, Cfb::kMiniFat + 4 * i, miniFat[i]);

    const std::uint8_t header[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(header, header + 8, c.file.begin());
    c.file[24] = 0x3E, c.file[26] = 3, c.file[28] = 0xFE, c.file[29] = 0xFF, c.file[30] = 9, c.file[32] = 6;
    set32(c.file, 44, 1);       // one FAT sector
    set32(c.file, 48, 1);       // directory
    set32(c.file, 56, 4096);    // mini stream cutoff
    set32(c.file, 60, 2);       // mini FAT
    set32(c.file, 64, 1);
    set32(c.file, 68, kEnd);    // no DIFAT sectors
    set32(c.file, 76, 0);
    for (int i = 1; i < 109; ++i) set32(c.file, 76 + 4 * i, kFree);
    c.file.insert(c.file.end(), big.begin(), big.end());
    return c;
}

Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(seed + i * 7 + (i >> 8));
    return b;
}

std::string refusal(const Bytes& file) {
    try {
        xls::cfb::CompoundFile cf(file.data(), file.size());
        cf.readRootStream("Workbook");
        cf.readRootStream("small");
    } catch (const xls::Error& e) {
        return e.what();
    }
    return "(read)";
}

TEST(CompoundFile, StreamsFromSectorsAndFromTheMiniStream) {
    const Bytes big = pattern(9000, 1), small = pattern(700, 2);
    const Cfb c = build({{"Workbook", big}, {"small", small}, {"empty", {}}});
    xls::cfb::CompoundFile cf(c.file.data(), c.file.size());
    EXPECT_EQ(cf.readRootStream("Workbook"), big);
    EXPECT_EQ(cf.readRootStream("WORKBOOK"), big);  // names compare without letter case
    EXPECT_EQ(cf.readRootStream("small"), small);
    EXPECT_EQ(cf.readRootStream("empty"), Bytes{});
    EXPECT_FALSE(cf.readRootStream("Book").has_value());
}

TEST(CompoundFile, DamagedChainsAreRefused) {
    const Cfb c = build({{"Workbook", pattern(5000, 1)}, {"small", pattern(300, 2)}});
    const std::uint32_t s = c.start[0];
    auto damaged = [&](std::size_t at, std::uint32_t value) {
        Bytes f = c.file;
        set32(f, at, value);
        return refusal(f);
    };
    EXPECT_NE(damaged(Cfb::kFat + 4 * (s + 1), s).find("ストリームのセクター連鎖が循環"), std::string::npos);  // loops back
    EXPECT_NE(damaged(Cfb::kFat + 4 * s, 100000).find("ファイルの外を指して"), std::string::npos);
    EXPECT_NE(damaged(Cfb::kFat + 4 * s, kEnd).find("途中で終わって"), std::string::npos);
    EXPECT_NE(damaged(Cfb::kMiniFat + 4 * c.start[1], c.start[1]).find("ミニストリームのセクター連鎖が循環"),
              std::string::npos);
    EXPECT_NE(damaged(Cfb::kDir + 128 + 72, 1).find("リンクが循環"), std::string::npos);  // entry is its own sibling
    EXPECT_NE(damaged(Cfb::kDir + 76, 4000).find("ディレクトリの外"), std::string::npos);
    EXPECT_NE(damaged(Cfb::kDir + 128 + 120, 0x7FFFFFFF).find("ファイルが途中で切れています"), std::string::npos);  // size > file
    EXPECT_NE(damaged(48, 0x00FFFFFF).find("ディレクトリのセクター連鎖がファイルの外"), std::string::npos);  // directory start
    EXPECT_NE(damaged(28, 0).find("バイト順マーク"), std::string::npos);
    EXPECT_NE(refusal(Bytes(c.file.begin(), c.file.end() - 700)).find("ファイルが途中で切れています"), std::string::npos);
    EXPECT_NE(refusal(Bytes(c.file.begin(), c.file.begin() + 300)).find("ファイルが途中で切れています（ヘッダー"),
              std::string::npos);
}

// Spreads the allocation table over 110 sectors (all but the first one empty), so that the
// 110th is found through a DIFAT sector rather than the header's list of 109.
Bytes withDifat(Bytes file) {
    const std::uint32_t first = std::uint32_t(file.size() / 512 - 1);  // next free sector number
    for (std::uint32_t i = 0; i < 109; ++i) {
        file.insert(file.end(), 512, 0xFF);  // an empty FAT sector
        set32(file, Cfb::kFat + 4 * (first + i), 0xFFFFFFFD);
        if (i < 108) set32(file, 76 + 4 * (i + 1), first + i);
    }
    const std::uint32_t difat = first + 109;
    file.insert(file.end(), 512, 0xFF);
    set32(file, file.size() - 512, first + 108);                      // the 110th FAT sector
    set32(file, file.size() - 4, kEnd);                               // no further DIFAT sector
    set32(file, Cfb::kFat + 4 * difat, 0xFFFFFFFC);
    set32(file, 44, 110);
    set32(file, 68, difat);
    set32(file, 72, 1);
    return file;
}

TEST(CompoundFile, AllocationTableBeyondTheHeaderList) {
    const Bytes small = pattern(600, 5);
    const Bytes file = withDifat(build({{"Workbook", small}}).file);
    xls::cfb::CompoundFile cf(file.data(), file.size());
    EXPECT_EQ(cf.readRootStream("Workbook"), small);
    Bytes lost = file;
    set32(lost, 68, 5000);  // the DIFAT sector lies past the end of the file
    EXPECT_NE(refusal(lost).find("ファイルが途中で切れています（割り当て表の索引（DIFAT）がありません）。"), std::string::npos) << refusal(lost);
    Bytes wrong = file;
    set32(wrong, wrong.size() - 512, 0xFFFFFFFE);  // the DIFAT lists no valid FAT sector
    EXPECT_NE(refusal(wrong).find("割り当て表のセクター番号が範囲外"), std::string::npos) << refusal(wrong);
}

// The smallest workbook stream: globals BOF and EOF, no sheets.
Bytes emptyWorkbook(std::uint8_t version) {
    return {0x09, 0x08, 0x08, 0x00, 0x00, version, 0x05, 0x00, 0, 0, 0, 0, 0x0A, 0x00, 0x00, 0x00};
}

TEST(CompoundFile, WorkbookStreamChoice) {
    EXPECT_EQ(xls::openBiffWorkbookBytes(build({{"Workbook", emptyWorkbook(6)}}).file)->sheetCount(), 0);
    EXPECT_EQ(xls::openBiffWorkbookBytes(build({{"Book", emptyWorkbook(5)}}).file)->sheetCount(), 0);  // Excel 95
    auto reason = [](const Cfb& c) {
        try {
            xls::openBiffWorkbookBytes(c.file);
        } catch (const xls::Error& e) {
            return std::string(e.what());
        }
        return std::string("(read)");
    };
    EXPECT_NE(reason(build({{"WordDocument", pattern(5000, 9)}})).find("Excel のブックではありません（複合ファイルに Workbook／Book ストリームがありません）"), std::string::npos);
    // A password-protected .xlsx travels in a compound file.
    EXPECT_NE(reason(build({{"EncryptionInfo", pattern(200, 1)}, {"EncryptedPackage", pattern(5000, 2)}})).find("パスワードで保護（暗号化）されたブックは読み込めません"),
              std::string::npos);
}

}  // namespace
