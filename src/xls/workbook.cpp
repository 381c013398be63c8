// Opening a workbook: the reader is chosen by the file's first bytes, not by its name.
#include "workbook.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "biff_workbook.h"
#include "file_names.h"
#include "little_endian.h"
#include "xlsx_workbook.h"

namespace xls {
namespace {

const unsigned char kCompoundFileMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const unsigned char kZipMagic[4] = {'P', 'K', 0x03, 0x04};

using base::le16;
using base::le32;

// Reads len bytes at offset; false when the file is shorter.
bool readAt(std::ifstream& in, uint64_t offset, unsigned char* out, size_t len) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return false;
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(len));
    return static_cast<size_t>(in.gcount()) == len;
}

// True when the compound file holds a stream named "EncryptedPackage": an Office Open XML workbook
// protected by a password. Follows the directory's sector chain through the FAT sectors the header
// lists; every step is bounded, so a damaged file just answers false.
bool isEncryptedPackage(const std::string& path) {
    std::ifstream in(platform::fsPath(path), std::ios::binary);
    unsigned char header[512];
    if (!in || !readAt(in, 0, header, sizeof header)) return false;
    const unsigned shift = le16(header + 30);
    if (shift != 9 && shift != 12) return false;
    const uint64_t sectorSize = uint64_t(1) << shift;
    const uint32_t fatSectors = le32(header + 44);
    uint32_t dirSector = le32(header + 48);

    // The FAT sectors named in the header (up to 109), enough for files of several megabytes.
    std::vector<uint32_t> fatIds;
    for (uint32_t i = 0; i < fatSectors && i < 109; ++i) fatIds.push_back(le32(header + 76 + 4 * i));
    const uint32_t perFatSector = static_cast<uint32_t>(sectorSize / 4);
    auto nextSector = [&](uint32_t sector, uint32_t& next) {
        const uint32_t index = sector / perFatSector;
        if (index >= fatIds.size()) return false;
        unsigned char entry[4];
        if (!readAt(in, (uint64_t(fatIds[index]) + 1) * sectorSize + uint64_t(sector % perFatSector) * 4, entry, 4))
            return false;
        next = le32(entry);
        return true;
    };

    static const char16_t kName[] = u"EncryptedPackage";
    std::vector<unsigned char> sector(sectorSize);
    for (int steps = 0; steps < 4096 && dirSector < 0xFFFFFFFA; ++steps) {
        if (!readAt(in, (uint64_t(dirSector) + 1) * sectorSize, sector.data(), sector.size())) return false;
        for (size_t off = 0; off + 128 <= sector.size(); off += 128) {
            const unsigned char* e = sector.data() + off;
            if (le16(e + 64) != 34 || e[66] != 2) continue;  // name length with terminator; stream
            bool same = true;
            for (int i = 0; i < 17 && same; ++i) same = le16(e + 2 * i) == kName[i];
            if (same) return true;
        }
        if (!nextSector(dirSector, dirSector)) return false;
    }
    return false;
}

}  // namespace

std::unique_ptr<Workbook> openWorkbook(const std::string& path, const OpenOptions& options) {
    int err = 0;
    const platform::NodeKind kind = platform::targetKindOf(path, &err);
    if (kind == platform::NodeKind::Missing) {
        if (err == ENOENT || err == ENOTDIR) throw Error(Error::Kind::NotFound).inFile(path);
        throw Error(Error::Kind::CannotOpen, systemReason(err)).inFile(path);
    }
    if (kind != platform::NodeKind::File) throw Error(Error::Kind::NotAFile).inFile(path);

    std::ifstream in(platform::fsPath(path), std::ios::binary);
    if (!in) throw Error(Error::Kind::CannotOpen, systemReason(errno)).inFile(path);
    unsigned char magic[8] = {};
    in.read(reinterpret_cast<char*>(magic), sizeof magic);
    const size_t got = static_cast<size_t>(in.gcount());
    in.close();
    if (got == 0) throw Error(Error::Kind::Empty).inFile(path);

    if (got == sizeof magic && std::memcmp(magic, kCompoundFileMagic, sizeof magic) == 0) {
        try {
            return openBiffWorkbook(path, options);
        } catch (const Error&) {
            // A password-protected .xlsx is a compound file too; say so rather than "no workbook".
            if (isEncryptedPackage(path)) throw Error(Error::Kind::Encrypted).inFile(path);
            throw;
        }
    }
    if (got >= sizeof kZipMagic && std::memcmp(magic, kZipMagic, sizeof kZipMagic) == 0)
        return openXlsxWorkbook(path, options);
    throw Error(Error::Kind::NotWorkbook, ".xls とも .xlsx とも違う形式のファイルです").inFile(path);
}

}  // namespace xls
