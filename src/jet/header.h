// Page 0: the database header. Part of it is masked with a fixed RC4 key stream.
#pragma once

#include <cstdint>
#include <string>

#include "bytes.h"

namespace jet {

constexpr uint32_t kPageSize = 4096;
constexpr uint32_t kHeaderPage = 0;  // the page this file is about
constexpr uint32_t kMaxPages = 0x00FFFFFF;  // a row pointer holds its page number in 24 bits

// Page kinds: the first byte of every page but the header page (page 0).
constexpr uint8_t kPageKindData = 0x01;       // rows: a table's, long values, usage maps
constexpr uint8_t kPageKindTdef = 0x02;       // a table definition (or a continuation of one)
constexpr uint8_t kPageKindIndexNode = 0x03;  // an index page above the leaves
constexpr uint8_t kPageKindIndexLeaf = 0x04;  // an index page holding entries that point at rows
constexpr uint8_t kPageKindMapBitmap = 0x05;  // a bitmap page of a reference usage map
// The second byte of data and table-definition pages.
constexpr uint8_t kPageMark = 0x01;

// File format versions (the byte at header::kVersion).
enum class FileFormat : uint8_t {
    Jet4 = 1,   // Access 2000-2003 (.mdb)
    Ace12 = 2,  // Access 2007 (.accdb)
    Ace14 = 3,  // Access 2010
    Ace16 = 5,  // Access 2016
    Ace17 = 6,  // Access 2019 and later
};
bool isAce(FileFormat f);
// "Jet 4（Access 2000〜2003）", "ACE 14（Access 2010）", ...
const char* formatName(FileFormat f);

// The definition pages of the four system tables every file has; page 0 names them in this order.
constexpr uint32_t kMSysObjectsPage = 2;         // the catalog
constexpr uint32_t kMSysAcesPage = 3;            // the permissions
constexpr uint32_t kMSysQueriesPage = 4;
constexpr uint32_t kMSysRelationshipsPage = 5;
constexpr uint32_t kSystemTableCount = 4;

// The layout of page 0, offsets into the page. Everything from kMaskStart for kMaskSize bytes is
// stored XORed with the RC4 key stream of kMaskKey (toggleHeaderMask); the rest is plain.
namespace header {
constexpr size_t kMagic = 0x00;          // 4 bytes: kMagicBytes
constexpr uint8_t kMagicBytes[4] = {0x00, 0x01, 0x00, 0x00};
constexpr size_t kSignature = 0x04;      // 16 bytes: kJetSignature or kAceSignature, NUL-terminated
constexpr size_t kSignatureSize = 16;
constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr size_t kVersion = 0x14;        // u8: FileFormat
constexpr size_t kIdentifyingSize = 0x20;  // a file shorter than this cannot be told as Jet or ACE

constexpr size_t kMaskStart = 0x18;      // the masked area starts here ...
constexpr size_t kMaskSize = 128;        // ... and ends before 0x98
constexpr uint8_t kMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};  // the fixed RC4 key of the mask
constexpr size_t kFreeMap = 0x18;        // u32: row pointer of the free-page map (kGlobalMapPage)
constexpr size_t kReleasedMap = 0x1C;    // u32: row pointer of the released-page map (kGlobalMapPage)
constexpr size_t kSystemTdefs = 0x20;    // kSystemTableCount x u32: kMSysObjectsPage ... kMSysRelationshipsPage
constexpr size_t kCodePage = 0x3C;       // u16: the code page of the text, 1252 or 932
constexpr size_t kDatabaseKey = 0x3E;    // u32: the encryption key; 0 = not encrypted
constexpr size_t kPassword = 0x42;       // kPasswordSize bytes: the password (UTF-16), XORed with the password mask
constexpr size_t kPasswordSize = 40;     // 20 characters; the 4-byte password mask repeats over it
constexpr size_t kUnknown6A = 0x6A;      // 2 bytes of unknown meaning, different in every file
constexpr size_t kSortLcid = 0x6E;       // u16: the LCID of the database's sort order (1033, 1041)
constexpr size_t kSortId = 0x70;         // u8: the sort id (the LCID's high word), 0
constexpr size_t kSortVersion = 0x71;    // u8: 0 General Legacy and Japanese, 1 General of Access 2010 and later
constexpr size_t kCreationDate = 0x72;   // f64: creation time, an OLE automation date; its integer part is the password mask

constexpr size_t kFixed98 = 0x98;        // u32: kFixed98Value in every file, meaning unknown
constexpr uint32_t kFixed98Value = 1620;
constexpr size_t kEngineVersion = 0x9C;  // "4.0" and a NUL
constexpr size_t kTrailer = 0xE00;       // the last 512 bytes: values of unknown meaning (see newDatabaseHeader)
}  // namespace header

struct DbHeader {
    uint8_t version = 0;        // header::kVersion: FileFormat
    FileFormat format = FileFormat::Jet4;
    bool aceSignature = false;  // header::kAceSignature
    uint16_t codePage = 0;      // header::kCodePage
    uint32_t databaseKey = 0;   // header::kDatabaseKey: non-zero = encrypted
    uint16_t sortLcid = 0;      // header::kSortLcid
    uint8_t sortId = 0;         // header::kSortId
    uint8_t sortVersion = 0;    // header::kSortVersion
    double creationDate = 0;    // header::kCreationDate
    uint32_t freeMapPointer = 0;     // header::kFreeMap
    uint32_t releasedMapPointer = 0; // header::kReleasedMap
    uint32_t systemTdefs[kSystemTableCount] = {};  // header::kSystemTdefs: MSysObjects, MSysACEs, MSysQueries, MSysRelationships
    bool hasPassword = false;        // header::kPassword: anything but the bare password mask
    std::u16string password;         // the database password (up to 20 characters), empty if none
};

// Applies (or removes: the mask is an XOR) the header mask to the masked area of a page 0 copy.
void toggleHeaderMask(uint8_t* page0);

// The 4-byte mask XORed over the password: the creation date's integer part, little-endian.
// An empty password is therefore stored as the mask itself, repeated.
uint32_t passwordMask(double creationDate);

// Decodes and validates page 0. Throws JetError with a message that says what the file is when it
// is not a usable Jet 4 or ACE database (not Access, Jet 3, unknown version, encrypted). A database
// password is decoded into `password`, not checked here.
DbHeader decodeHeader(const uint8_t* page0, uint32_t pageCount);

}  // namespace jet
