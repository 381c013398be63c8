// The pages a table creation changes beyond its own: rows placed in the pages of an existing
// table (the catalog, the permissions, long values), the usage maps those pages are listed in,
// entries added to existing indexes, and the global page map. Everything goes through the
// pager's overlay; nothing reaches the file before the journal commit.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bytes.h"
#include "index_insert.h"
#include "pager.h"
#include "tdef.h"
#include "usage_map.h"

namespace jet {

class WriteSet {
public:
    explicit WriteSet(Pager& pager) : pager_(pager) {}
    Pager& pager() { return pager_; }
    // A new page at the end of the file.
    uint32_t allocate() { return pager_.allocate(); }
    // Inserts a row into a page of `owner` listed in the free-space map, or into a new page
    // added to both maps. Returns where it went. Access leaves the free-space map of some
    // long-value columns unset (row pointer 0): the owned pages are searched instead, and
    // only the owned map is kept.
    RowPointer insert(uint32_t owner, uint32_t ownedMap, uint32_t freeMap, const Bytes& row, const std::string& what);
    // Adds entries to an index, each into its place in the tree, and records a new root in the
    // definition. Returns the root afterwards.
    uint32_t insertIndexEntries(const TableDefinition& def, uint32_t tdefPage, size_t realIndex,
                                const std::vector<IndexEntry>& add, const std::string& what);
    // Writes the changed usage maps back into their rows.
    void flushMaps();

private:
    // A usage-map row loaded for change and written back at the end.
    struct MapEdit {
        RowPointer where;
        size_t length = 0;
        UsageMap map;
    };
    MapEdit& map(uint32_t rowPointer, const std::string& what);
    // A page of the table with room for the row, among the few newest its free-space map names.
    std::optional<RowPointer> placeInListedPage(uint32_t owner, const UsageMap& owned, const UsageMap& candidates,
                                                const Bytes& row);

    Pager& pager_;
    std::map<uint32_t, MapEdit> maps_;
};

// Global page map (page 1, row 0): bit set = free. Clears the bits of the appended pages. The
// map keeps its first page (pages below it are never handed out) and is grown to reach the last
// page of the file (see UsageMap::encode); pages newly described past the end of the file are
// marked free, as Jet marks them. `firstNew`: the first page the file did not have;
// `firstAppended`: the first page this table appended (pages appended before it, in the same
// transaction, are already cleared).
void updateGlobalMap(Pager& pager, uint32_t firstNew, uint32_t firstAppended);

}  // namespace jet
