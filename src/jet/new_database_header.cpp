// Page 0 of a new database, .mdb or .accdb: the header (header.h) as Jet 4 and Access 2016 write
// it for an empty file.
#include <cstring>

#include "data_page.h"
#include "header.h"
#include "new_database.h"

namespace jet {

namespace {

// Values of unknown meaning, as Jet 4 and Access 2016 write them: the word at header::kUnknown6A,
// and the trailer: its first bytes, and kTrailerOddByte in every odd byte after them.
constexpr uint16_t kUnknown6AJet4 = 0x261C;
constexpr uint16_t kUnknown6AAce = 0x11A6;
constexpr uint8_t kTrailerStartJet4[] = {0x01, 0x01};
constexpr uint8_t kTrailerStartAce[] = {0x0E, 0x01, 0x89};
constexpr uint8_t kTrailerOddByte = 0x01;
constexpr char kEngineVersionText[] = "4.0";

}  // namespace

std::vector<uint8_t> newDatabaseHeader(const NewDatabaseSettings& settings) {
    using namespace header;
    const bool ace = settings.format != FileFormat::Jet4;
    Bytes h(kPageSize, 0);
    std::memcpy(&h[kMagic], kMagicBytes, sizeof kMagicBytes);
    std::memcpy(&h[kSignature], ace ? kAceSignature : kJetSignature, kSignatureSize);
    h[kVersion] = static_cast<uint8_t>(settings.format);
    put32(&h[kFreeMap], RowPointer{kGlobalMapPage, kGlobalFreeRow}.toLe());
    put32(&h[kReleasedMap], RowPointer{kGlobalMapPage, kGlobalReleasedRow}.toLe());
    for (uint32_t i = 0; i < kSystemTableCount; ++i) put32(&h[kSystemTdefs + 4 * i], kMSysObjectsPage + i);
    put16(&h[kCodePage], settings.codePage);
    // kDatabaseKey stays 0: not encrypted.
    // No password: the password area holds the bare password mask.
    const uint32_t mask = passwordMask(settings.created);
    for (size_t i = 0; i < kPasswordSize; i += 4) put32(&h[kPassword + i], mask);
    put16(&h[kUnknown6A], ace ? kUnknown6AAce : kUnknown6AJet4);
    put16(&h[kSortLcid], sortOrderLcid(settings.sortOrder));  // kSortId stays 0
    h[kSortVersion] = sortOrderVersion(settings.sortOrder);
    std::memcpy(&h[kCreationDate], &settings.created, sizeof settings.created);
    put32(&h[kFixed98], kFixed98Value);
    std::memcpy(&h[kEngineVersion], kEngineVersionText, sizeof kEngineVersionText);
    if (ace) std::memcpy(&h[kTrailer], kTrailerStartAce, sizeof kTrailerStartAce);
    else std::memcpy(&h[kTrailer], kTrailerStartJet4, sizeof kTrailerStartJet4);
    for (size_t i = kTrailer + 1; i < kPageSize; i += 2) h[i] = kTrailerOddByte;
    toggleHeaderMask(h.data());
    return h;
}

}  // namespace jet
