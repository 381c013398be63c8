// Reader of the compound-file container (the "structured storage" an .xls lives in):
// header, sector allocation table (with its DIFAT extension), mini stream and directory.
// Works on a byte buffer the caller keeps alive; every sector chain is checked for range
// and cycles, so a damaged file gives an xls::Error, never a crash or a hang.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace xls::cfb {

// True when the buffer starts with the compound-file signature D0 CF 11 E0 A1 B1 1A E1.
bool hasSignature(const std::uint8_t* data, std::size_t size);

class CompoundFile {
public:
    // Parses the header, the allocation tables and the directory. Throws xls::Error when the
    // buffer is not a compound file, or is truncated or corrupt.
    CompoundFile(const std::uint8_t* data, std::size_t size);

    // True when the root storage holds a stream of that name (ASCII, letter case ignored).
    bool hasRootStream(const std::string& name) const;

    // The whole content of the root-level stream of that name, or nothing when there is none.
    // Throws xls::Error when its sectors are missing (truncated file) or its chain is broken.
    std::optional<std::vector<std::uint8_t>> readRootStream(const std::string& name) const;

private:
    struct Entry {
        std::u16string name;
        std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root
        std::uint32_t left = 0, right = 0, child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    std::vector<std::uint32_t> chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                     std::size_t maxSectors, const char* what) const;
    std::vector<std::uint8_t> readChain(std::uint32_t start, std::uint64_t size,
                                        const char* what) const;
    const std::uint8_t* sector(std::uint32_t index, std::size_t* available) const;
    void readFat(const std::uint8_t* header, std::uint32_t numFat, std::uint32_t difatSector, std::uint32_t numDifat,
                 std::size_t sectorsInFile);
    void readDirectory(std::uint32_t firstDir, std::size_t sectorsInFile, bool bigSectors);
    void readMiniFat(std::uint32_t firstMiniFat, std::uint32_t numMiniFat, std::size_t sectorsInFile);
    std::vector<int> rootChildren() const;
    int findRootEntry(const std::string& name) const;

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t sectorSize_ = 512;
    std::size_t miniSectorSize_ = 64;
    std::uint32_t miniCutoff_ = 4096;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<Entry> entries_;
    mutable std::vector<std::uint8_t> miniStream_;  // loaded on first use
    mutable bool miniStreamLoaded_ = false;
};

}  // namespace xls::cfb
