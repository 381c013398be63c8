// Data pages (type 01): a 14-byte header, a row-offset table, rows stored from the page end down.
// Also used for usage-map holders (owner 0), the global page map (owner 1) and long values ("LVAL").
#pragma once

#include <cstdint>
#include <vector>

#include "bytes.h"

namespace jet {

// The data page header (after the page kind and kPageMark), then the slot table: one 16-bit
// word per row (its start in the page, with kRowDeleted / kRowLookup flags).
constexpr size_t kDataPageFreeSpace = 0x02;   // u16: bytes free between the slot table and the rows
constexpr size_t kDataPageOwner = 0x04;       // u32: the definition page of the owning table (or below)
constexpr size_t kDataPageStamp = 0x08;       // u32: set by Access; a long-value chain's header repeats it
constexpr size_t kDataPageRowCount = 0x0C;    // u16: slots in the slot table
constexpr size_t kDataPageHeaderSize = 0x0E;  // where the slot table starts
constexpr size_t kRowSlotSize = 2;
constexpr uint16_t kRowSlotFlags = 0xC000;    // the flag bits of a slot word
constexpr uint16_t kRowSlotOffset = 0x1FFF;   // the start bits of a slot word

constexpr uint32_t kUsageMapOwner = 0;       // pages holding usage-map rows
constexpr uint32_t kGlobalMapOwner = 1;      // the page holding the global page map
constexpr uint32_t kGlobalMapPage = 1;       // that page, with the two rows below
constexpr uint8_t kGlobalFreeRow = 0;        // its row of the free pages (a bit set: free)
constexpr uint8_t kGlobalReleasedRow = 1;    // its row of the released pages (none at rest)
constexpr uint32_t kLvalOwner = 0x4C41564C;  // "LVAL" read as little-endian
constexpr uint16_t kRowDeleted = 0x8000;     // skipped by scans (deleted, or target of a lookup row)
constexpr uint16_t kRowLookup = 0x4000;      // holds a row pointer to the real row
constexpr int kMaxRowsPerPage = 255;

struct RowSlot {
    uint16_t start = 0;  // offset in the page
    uint16_t end = 0;    // one past the last byte
    uint16_t flags = 0;  // kRowDeleted / kRowLookup bits
};

struct DataPageView {
    uint32_t owner = 0;
    uint16_t freeSpace = 0;
    std::vector<RowSlot> slots;
};

bool isDataPage(const Bytes& page);
// Parses and checks the header and the row-offset table of a data page.
DataPageView parseDataPage(const Bytes& page, uint32_t pageNo);
// The bytes of one row; corrupt-database error for a bad slot.
Bytes rowBytes(const Bytes& page, uint32_t pageNo, int row);

// A new, empty data page.
Bytes makeDataPage(uint32_t owner);
// Free space a row of `length` bytes needs (the row plus its slot).
constexpr int rowCost(size_t length) { return static_cast<int>(length + kRowSlotSize); }
// Adds a row below the lowest row; returns its slot number, or -1 when the page lacks room.
int insertRow(Bytes& page, uint32_t pageNo, const Bytes& row);
// Replaces a row with bytes of the same length.
void overwriteRow(Bytes& page, uint32_t pageNo, int row, const Bytes& bytes);
// Lays the rows out anew (slot numbers and flags kept), e.g. after a row changed length.
// Error when they do not fit.
void relayRows(Bytes& page, uint32_t pageNo, const std::vector<std::pair<Bytes, uint16_t>>& rows);
// Replaces a row with bytes of any length: in place when the length is the same, else by laying
// the page out anew. Error when the page lacks room.
void replaceRow(Bytes& page, uint32_t pageNo, int row, const Bytes& bytes);

}  // namespace jet
