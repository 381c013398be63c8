// Index B-tree pages: leaves (type 04) and nodes (type 03). Entries are the key bytes followed by a
// big-endian row pointer (and, on nodes, the child page); a bitmap marks where each entry ends and
// later entries may omit a prefix shared with the first entry.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "bytes.h"
#include "pager.h"

namespace jet {

// The index page header (after the page kind, kPageKindIndexNode or kPageKindIndexLeaf, and kPageMark).
constexpr size_t kIndexFreeSpace = 0x02;   // u16: free bytes of the entry area
constexpr size_t kIndexOwner = 0x04;       // u32: the definition page of the table
constexpr size_t kIndexPrev = 0x0C;        // u32: the page before on the same level, or 0
constexpr size_t kIndexNext = 0x10;        // u32: the page after on the same level, or 0
constexpr size_t kIndexTail = 0x14;        // u32: a node's last child, or 0
constexpr size_t kIndexPrefix = 0x18;      // u16: bytes every entry shares with the first one
constexpr size_t kIndexLevel = 0x1A;       // u8: 0 on the leaves
constexpr size_t kIndexBitmapStart = 0x1B; // a bit per byte of the entry area: where entries end
constexpr size_t kIndexEntriesStart = 0x1E0;
constexpr size_t kIndexSpace = kPageSize - kIndexEntriesStart;  // 3616
constexpr int kMaxIndexDepth = 16;         // levels below a root; a deeper tree is taken as corrupt

// One leaf entry: key bytes + the row it points to. Ordered by their full stored bytes.
struct IndexEntry {
    Bytes key;
    RowPointer row;
    Bytes full() const;  // key || u24 page (BE) || u8 row
    bool operator<(const IndexEntry& o) const { return full() < o.full(); }
    bool operator==(const IndexEntry& o) const { return key == o.key && row == o.row; }
};

struct IndexPageView {
    uint8_t type = 0;       // 3 node, 4 leaf
    uint32_t owner = 0;
    uint16_t freeSpace = 0;
    uint32_t prev = 0, next = 0, tail = 0;
    uint16_t prefix = 0;
    uint8_t level = 0;
    std::vector<Bytes> entries;  // reconstructed (prefix applied), with their trailing pointers
};

IndexPageView parseIndexPage(const Bytes& page, uint32_t pageNo);

struct IndexTree {
    std::vector<IndexEntry> entries;    // in tree order
    std::vector<uint32_t> pages;        // every page of the tree
    std::vector<uint32_t> leaves;       // leaves, left to right, as reached from the root
    std::vector<std::vector<uint32_t>> levels;  // pages of each level, leaves first
};

// Walks the whole tree from its root (node entries, then the child-tail). Checks page types,
// owners, cycles and depth; corrupt-database error on any inconsistency.
IndexTree readIndexTree(Pager& pager, uint32_t root, uint32_t owner);

// Builds a tree holding `entries` (sorted) for index pages owned by `owner`. Pages come from
// `reuse` first (in that order), then from `allocate`. Returns the page images and the root.
struct BuiltIndex {
    uint32_t root = 0;
    std::map<uint32_t, Bytes> images;
    std::vector<uint32_t> unused;  // pages of `reuse` the new tree does not need
};
// `leafFill` caps the entry bytes per leaf (full pages by default; Jet itself leaves room).
BuiltIndex buildIndexTree(const std::vector<IndexEntry>& entries, uint32_t owner,
                          const std::vector<uint32_t>& reuse, const std::function<uint32_t()>& allocate,
                          size_t leafFill = kIndexSpace);

// An empty index: a single leaf.
Bytes makeEmptyLeaf(uint32_t owner);

// One uncompressed page: leaf (type 04) or node (03) holding `entries` (full bytes, trailing
// pointers included), with the child-tail page and level byte given; sibling links 0.
Bytes makeIndexPage(uint8_t type, uint32_t owner, const std::vector<Bytes>& entries, uint32_t tail, uint8_t level);

}  // namespace jet
