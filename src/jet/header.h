// Page 0: the database header. Part of it is masked with a fixed RC4 key stream.
#pragma once

#include <cstdint>
#include <string>

#include "bytes.h"

namespace jet {

constexpr uint32_t kPageSize = 4096;

// Page kinds: the first byte of every page but the header page (page 0).
constexpr uint8_t kPageKindData = 0x01;       // rows: a table's, long values, usage maps
constexpr uint8_t kPageKindTdef = 0x02;       // a table definition (or a continuation of one)
constexpr uint8_t kPageKindIndexNode = 0x03;  // an index page above the leaves
constexpr uint8_t kPageKindIndexLeaf = 0x04;  // an index page holding entries that point at rows
constexpr uint8_t kPageKindMapBitmap = 0x05;  // a bitmap page of a reference usage map
// The second byte of data and table-definition pages.
constexpr uint8_t kPageMark = 0x01;

// File format versions (the byte at 0x14).
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

struct DbHeader {
    uint8_t version = 0;        // 0x14: FileFormat
    FileFormat format = FileFormat::Jet4;
    bool aceSignature = false;  // "Standard ACE DB"
    uint16_t codePage = 0;      // 0x3C
    uint32_t databaseKey = 0;   // 0x3E: non-zero = encrypted
    uint16_t sortLcid = 0;      // 0x6E
    uint8_t sortId = 0;         // 0x70
    uint8_t sortVersion = 0;    // 0x71
    double creationDate = 0;    // 0x72
    uint32_t freeMapPointer = 0;     // 0x18
    uint32_t releasedMapPointer = 0; // 0x1C
    uint32_t systemTdefs[4] = {};    // 0x20: MSysObjects, MSysACEs, MSysQueries, MSysRelationships
    bool hasPassword = false;        // 0x42: 40 bytes, XORed with the creation date's integer part
    std::u16string password;         // the database password (up to 20 characters), empty if none
};

// Applies (or removes: the mask is an XOR) the header mask to bytes 0x18-0x97 of a page 0 copy.
void toggleHeaderMask(uint8_t* page0);

// Decodes and validates page 0. Throws JetError with a message that says what the file is when it
// is not a usable Jet 4 or ACE database (not Access, Jet 3, unknown version, encrypted). A database
// password is decoded into `password`, not checked here.
DbHeader decodeHeader(const uint8_t* page0, uint32_t pageCount);

}  // namespace jet
