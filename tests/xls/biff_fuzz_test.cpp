// Damaged files: sample workbooks truncated and mutated at many positions, as whole files and
// as bare workbook streams. Each must either read or be refused with xls::Error; nothing else
// (a crash, another exception, a read outside the buffer under the address sanitizer).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "biff_workbook.h"
#include "cell.h"
#include "cfb.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/xls/";

Bytes readFile(const std::string& path) {
    Bytes b;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return b;
    int c;
    while ((c = std::fgetc(f)) != EOF) b.push_back(std::uint8_t(c));
    std::fclose(f);
    return b;
}

// Small fixed-seed generator: every run damages the same bytes, so a failure can be replayed.
struct Lcg {
    std::uint64_t state;
    std::uint32_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::uint32_t(state >> 33);
    }
};

// Opens and reads every sheet; true when read, false when refused. Any other outcome fails.
template <typename Open>
bool tryRead(Open open, std::string* why) {
    try {
        auto book = open();
        for (int s = 0; s < book->sheetCount(); ++s) {
            book->sheetName(s);
            for (int r = 1; r <= 45; ++r) xls::cellText(book->cell(s, r, 1));
            xls::cellText(book->cell(s, 999, 99));
        }
        return true;
    } catch (const xls::Error& e) {
        *why = e.what();
        return false;
    }
}

const char* const kSamples[] = {"lo_kitchen.xls", "xlwt_kitchen.xls", "gnm_biff8.xls",
                                "gnm_biff7_cp932_longlabel.xls", "sheettypes.xls", "lo_chart_embedded.xls"};

TEST(Fuzz, TruncatedFilesAreRefused) {
    for (const char* name : kSamples) {
        const Bytes file = readFile(kData + name);
        ASSERT_FALSE(file.empty()) << name;
        for (std::size_t cut = 0; cut < file.size(); cut += 97) {
            const Bytes part(file.begin(), file.begin() + cut);
            std::string why;
            // Every sample's workbook stream reaches its last sectors, so any cut loses data.
            EXPECT_FALSE(tryRead([&] { return xls::openBiffWorkbookBytes(part); }, &why)) << name << " cut at " << cut;
        }
    }
}

TEST(Fuzz, MutatedFilesReadOrAreRefused) {
    Lcg rng{12345};
    int refused = 0, read = 0;
    for (const char* name : kSamples) {
        const Bytes file = readFile(kData + name);
        for (int round = 0; round < 1000; ++round) {
            Bytes damaged = file;
            const int flips = 1 + int(rng.next() % 8);
            for (int i = 0; i < flips; ++i) {
                const std::size_t at = rng.next() % damaged.size();
                // Mostly extreme values: they make lengths, counts and sector numbers absurd.
                const std::uint32_t kind = rng.next() % 4;
                damaged[at] = kind == 0 ? 0xFF : kind == 1 ? 0x00 : std::uint8_t(rng.next());
            }
            std::string why;
            if (tryRead([&] { return xls::openBiffWorkbookBytes(damaged); }, &why))
                ++read;
            else
                ++refused;
        }
    }
    // Both outcomes occur: the damage is neither all harmless nor all fatal.
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, 0);
}

TEST(Fuzz, MutatedWorkbookStreamsReadOrAreRefused) {
    Lcg rng{777};
    for (const char* name : kSamples) {
        const Bytes file = readFile(kData + name);
        const xls::cfb::CompoundFile cf(file.data(), file.size());
        auto stream = cf.readRootStream("Workbook");
        if (!stream) stream = cf.readRootStream("Book");
        ASSERT_TRUE(stream.has_value()) << name;

        // Record boundaries, to damage lengths and types where they matter most.
        std::vector<std::size_t> headers;
        for (std::size_t p = 0; p + 4 <= stream->size();) {
            headers.push_back(p);
            p += 4 + ((*stream)[p + 2] | ((*stream)[p + 3] << 8));
        }
        for (int round = 0; round < 1500; ++round) {
            Bytes damaged = *stream;
            const std::uint32_t what = rng.next() % 3;
            if (what == 0) {  // a record's length
                const std::size_t h = headers[rng.next() % headers.size()];
                damaged[h + 2 + rng.next() % 2] = std::uint8_t(rng.next());
            } else if (what == 1) {  // the first bytes of a record's data: counts, rows, indexes
                const std::size_t h = headers[rng.next() % headers.size()];
                const std::size_t at = h + 4 + rng.next() % 12;
                if (at < damaged.size()) damaged[at] = std::uint8_t(rng.next() % 2 ? 0xFF : rng.next());
            } else {  // anywhere
                damaged[rng.next() % damaged.size()] = std::uint8_t(rng.next());
            }
            if (round % 5 == 0) damaged.resize(rng.next() % damaged.size());
            std::string why;
            tryRead([&] { return xls::openBiffStream(damaged); }, &why);
        }
    }
}

}  // namespace
