// Adding entries to an index B-tree in place. The entry goes into the leaf a search for it
// reaches; a page that overflows is split into siblings (chained on their level), its parent
// gets an entry for each new sibling and, where the greatest entry under a child changed, the
// corrected entry; a root that splits gets a new root above it. The entries of the tree stay
// exactly those a rebuild would hold, in the same order; pages are written uncompressed, as
// Jet writes the catalog's, and only the pages on the insertion path (plus the neighbours whose
// sibling links change) are touched.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "index_page.h"
#include "pager.h"

namespace jet {

struct IndexInsert {
    uint32_t root = 0;            // the root afterwards: a new page when the old root split
    std::vector<uint32_t> added;  // pages taken from `allocate` (for the index's usage map)
};

// Inserts `entry` into the tree rooted at `root` whose pages belong to `owner`. In a unique
// index an entry with an equal key is refused (corrupt-database error naming `what`), as is an
// entry the tree already holds. Pages change through pager.modify(); new ones come from
// `allocate`. On an error (a damaged tree, a key too long) pages may be half changed: the caller
// discards its transaction.
IndexInsert insertIndexEntry(Pager& pager, uint32_t root, uint32_t owner, const IndexEntry& entry, bool unique,
                             const std::function<uint32_t()>& allocate, const std::string& what);

// Whether any entry of the tree has exactly these key bytes (one search from the root).
bool indexHasKey(Pager& pager, uint32_t root, uint32_t owner, const Bytes& key);

}  // namespace jet
