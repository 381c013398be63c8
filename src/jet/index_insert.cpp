#include "index_insert.h"

#include <algorithm>
#include <optional>

namespace jet {

namespace {

// Two node entries of the longest key still fit one page: a split always finds room.
constexpr size_t kMaxEntry = kIndexSpace / 2 - 8;

// A child of a node: its page and the greatest leaf entry below it (key + row pointer) as the
// node lists it; the child-tail is not listed, so its greatest entry is not known here.
struct Child {
    std::optional<Bytes> max;
    uint32_t page = 0;
};

std::vector<Child> childrenOf(const IndexPageView& v) {
    std::vector<Child> out;
    out.reserve(v.entries.size() + 1);
    for (auto& e : v.entries) out.push_back(Child{Bytes(e.begin(), e.end() - 4), be32(&e[e.size() - 4])});
    if (v.tail) out.push_back(Child{std::nullopt, v.tail});
    return out;
}

// The child a search for `target` goes into: the first whose greatest entry is not below the
// target; past all of them the tail (or, in a node without one, its last child).
size_t childFor(const std::vector<Child>& ch, const Bytes& target) {
    for (size_t i = 0; i < ch.size(); ++i)
        if (!ch[i].max || !(*ch[i].max < target)) return i;
    return ch.size() - 1;
}

IndexPageView load(Pager& pager, uint32_t page, uint32_t owner) {
    IndexPageView v = parseIndexPage(pager.read(page), page);
    if (v.owner != owner) corrupt("索引ページ " + std::to_string(page) + " の所有テーブルが不正");
    return v;
}

bool less(const uint8_t* a, size_t an, const Bytes& b) {
    return std::lexicographical_compare(a, a + an, b.begin(), b.end());
}

// A page's header fields a search needs, after the checks of its type and owner.
struct PageHead {
    uint8_t type = 0;
    uint16_t freeSpace = 0;
    uint32_t next = 0, tail = 0;
};

PageHead headOf(const Bytes& page, uint32_t pageNo, uint32_t owner) {
    PageHead h;
    h.type = page[0];
    if ((h.type != kPageKindIndexNode && h.type != kPageKindIndexLeaf) || page[1] != kPageMark) corrupt("索引ページ " + std::to_string(pageNo) + " の種類が不正");
    if (le32(&page[kIndexOwner]) != owner) corrupt("索引ページ " + std::to_string(pageNo) + " の所有テーブルが不正");
    h.freeSpace = le16(&page[kIndexFreeSpace]);
    h.next = le32(&page[kIndexNext]);
    h.tail = le32(&page[kIndexTail]);
    return h;
}

// Calls visit(end) for each entry end the page's bitmap marks, in order: bit k set = an entry
// ends at byte k of the entry area (k = 1 ... kIndexSpace). Stops early when visit returns false;
// returns whether every end was visited.
template <class Visit>
bool forEachEntryEnd(const Bytes& page, Visit visit) {
    for (size_t byte = 0; byte <= kIndexSpace / 8; ++byte) {
        unsigned bits = page[kIndexBitmapStart + byte];
        if (byte == 0) bits &= 0xFEu;  // bit 0 would end an entry of no bytes
        while (bits) {
            const size_t k = byte * 8 + static_cast<size_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            if (k > kIndexSpace) break;
            if (!visit(k)) return false;
        }
    }
    return true;
}

// Reads a page's entries in order without taking the page apart: each entry is handed to
// `visit(entry, end)` whole (the shared prefix put back) in `buf`, which is reused from entry to
// entry; `end` is where it ends in the entry area. `visit` returns false to stop. The checks are
// parseIndexPage's; the free space is compared only when every entry was read.
template <class Visit>
PageHead scanEntries(Pager& pager, uint32_t pageNo, uint32_t owner, Bytes& buf, Visit visit) {
    const Bytes& page = pager.read(pageNo);
    const PageHead h = headOf(page, pageNo, owner);
    const size_t prefix = le16(&page[kIndexPrefix]);
    const size_t trailer = h.type == kPageKindIndexLeaf ? 4 : 8;
    const uint8_t* data = page.data() + kIndexEntriesStart;
    size_t start = 0;
    bool first = true;
    const bool all = forEachEntryEnd(page, [&](size_t k) {
        if (first) {
            if (prefix > k - start) corrupt("索引ページ " + std::to_string(pageNo) + " の共通接頭辞の長さが不正");
            buf.assign(data + start, data + k);
            first = false;
        } else {
            buf.resize(prefix);  // every entry starts with the first one's prefix
            buf.insert(buf.end(), data + start, data + k);
        }
        if (buf.size() <= trailer) corrupt("索引ページ " + std::to_string(pageNo) + " の索引エントリーが短すぎます");
        start = k;
        return static_cast<bool>(visit(static_cast<const Bytes&>(buf), k));
    });
    if (!all) return h;
    if (kIndexSpace - start != h.freeSpace && !(first && h.freeSpace == kIndexSpace))
        corrupt("索引ページ " + std::to_string(pageNo) + " の空き容量が索引エントリーと一致しません");
    return h;
}

// One node on the way down: whether the search went into the node's last child, and whether that
// child is listed in the node (not the tail) with a greatest entry below the target.
struct Step {
    uint32_t page = 0;
    uint32_t next = 0;
    bool lastChild = false;
    bool grows = false;
};

// From the root down to the leaf a search for `target` reaches (the child childFor chooses);
// returns the leaf. Node pages are only read, not taken apart.
uint32_t descend(Pager& pager, uint32_t root, uint32_t owner, const Bytes& target, std::vector<Step>* path) {
    Bytes buf;
    buf.reserve(kIndexSpace);
    uint32_t page = root;
    std::vector<uint32_t> seen;
    for (;;) {
        if (std::find(seen.begin(), seen.end(), page) != seen.end() || seen.size() > kMaxIndexDepth)
            corrupt("索引ページ " + std::to_string(page) + " が循環しています");
        seen.push_back(page);
        if (headOf(pager.read(page), page, owner).type == kPageKindIndexLeaf) return page;
        bool found = false;
        uint32_t child = 0;
        size_t end = 0;
        PageHead h = scanEntries(pager, page, owner, buf, [&](const Bytes& e, size_t k) {
            child = be32(&e[e.size() - 4]);
            end = k;
            found = !less(e.data(), e.size() - 4, target);
            return !found;
        });
        Step s;
        s.page = page;
        s.next = h.next;
        if (found) {
            s.lastChild = !h.tail && end == kIndexSpace - h.freeSpace;
        } else if (h.tail) {
            child = h.tail;
            s.lastChild = true;
        } else {
            if (!end) corrupt("索引の中間ページ " + std::to_string(page) + " が空です");
            s.lastChild = s.grows = true;  // past every entry: the last one
        }
        if (path) path->push_back(s);
        page = child;
    }
}

// The node at `page` taken apart, with the child a search for `target` goes into.
struct PathStep {
    uint32_t page = 0;
    IndexPageView view;
    std::vector<Child> children;
    size_t slot = 0;
};

PathStep nodeAt(Pager& pager, uint32_t page, uint32_t owner, const Bytes& target) {
    PathStep s;
    s.page = page;
    s.view = load(pager, page, owner);
    s.children = childrenOf(s.view);
    if (s.children.empty()) corrupt("索引の中間ページ " + std::to_string(page) + " が空です");
    s.slot = childFor(s.children, target);
    return s;
}

using Groups = std::vector<std::pair<size_t, size_t>>;  // [first, end) of each page's items

// Cuts items of the given sizes into runs of at most one page each, at least `minItems` per run.
// In the middle of a tree: two halves of about equal bytes, so both pages have room for more.
// At the right end of a tree (entries added in ascending order): full pages on the left and
// the rest on the right, which is what a rebuild would give.
Groups split(const std::vector<size_t>& cost, bool atRightEnd, size_t minItems) {
    const size_t n = cost.size();
    size_t total = 0;
    for (size_t c : cost) total += c;
    if (!atRightEnd && n >= 2 * minItems) {
        size_t i = 0, left = 0;
        while (i < n && left + cost[i] <= total / 2) left += cost[i++];
        i = std::min(std::max(i, minItems), n - minItems);
        size_t l = 0;
        for (size_t k = 0; k < i; ++k) l += cost[k];
        if (l <= kIndexSpace && total - l <= kIndexSpace) return {{0, i}, {i, n}};
    }
    Groups g;
    for (size_t s = 0; s < n;) {
        size_t e = s, used = 0;
        while (e < n && used + cost[e] <= kIndexSpace) used += cost[e++];
        if (e == s) ++e;
        g.emplace_back(s, e);
        s = e;
    }
    while (g.size() > 1 && g.back().second - g.back().first < minItems && g[g.size() - 2].second - g[g.size() - 2].first > 1) {
        --g[g.size() - 2].second;
        --g.back().first;
    }
    return g;
}

void setLinks(Bytes& page, uint32_t prev, uint32_t next) {
    put32(&page[kIndexPrev], prev);
    put32(&page[kIndexNext], next);
}

// The page after a split run: its back link now names the run's last page.
void relinkNext(Pager& pager, uint32_t next, uint32_t owner, uint8_t type, uint32_t newPrev) {
    if (!next) return;
    Bytes& p = pager.modify(next);
    if (p[0] != type || le32(&p[kIndexOwner]) != owner) corrupt("索引ページ " + std::to_string(next) + " の隣のページが不正");
    put32(&p[kIndexPrev], newPrev);
}

// Pages for the groups: the first keeps `page`, the others are new.
std::vector<uint32_t> pagesFor(size_t groups, uint32_t page, const std::function<uint32_t()>& allocate,
                               IndexInsert& out) {
    std::vector<uint32_t> pages{page};
    for (size_t k = 1; k < groups; ++k) {
        pages.push_back(allocate());
        out.added.push_back(pages.back());
    }
    return pages;
}

// Writes a level's children as node pages of height `level`; returns one child per page.
std::vector<Child> writeNodes(Pager& pager, uint32_t owner, const std::vector<Child>& children, uint8_t level,
                              const std::vector<uint32_t>& pages, const Groups& groups, uint32_t prev, uint32_t next) {
    std::vector<Child> up;
    for (size_t k = 0; k < groups.size(); ++k) {
        std::vector<Bytes> entries;
        for (size_t i = groups[k].first; i + 1 < groups[k].second; ++i) {
            Bytes e = *children[i].max;
            e.resize(e.size() + 4);
            putBe32(&e[e.size() - 4], children[i].page);
            entries.push_back(std::move(e));
        }
        const Child& last = children[groups[k].second - 1];
        Bytes img = makeIndexPage(kPageKindIndexNode, owner, entries, last.page, level);
        setLinks(img, k ? pages[k - 1] : prev, k + 1 < pages.size() ? pages[k + 1] : next);
        pager.modify(pages[k]) = std::move(img);
        up.push_back(Child{last.max, pages[k]});
    }
    return up;
}

std::vector<size_t> nodeCosts(const std::vector<Child>& children) {
    // Every child counted as listed (the tail of each run is not, so this errs on the safe side).
    std::vector<size_t> cost;
    for (auto& c : children) cost.push_back(c.max ? c.max->size() + 4 : 0);
    return cost;
}

bool fitsOnePage(const std::vector<size_t>& cost) {
    size_t total = 0;
    for (size_t c : cost) total += c;
    return total <= kIndexSpace;
}

// The common case of an insertion: the leaf is stored uncompressed (as every page written here
// is) and keeps room for the entry. Writes the leaf as makeIndexPage would write it with the
// entry added, without taking it apart, and returns true; false when the leaf must be split or
// is compressed (left unchanged then).
bool insertIntoRoomyLeaf(Pager& pager, uint32_t leafPage, uint32_t owner, const Bytes& target, const std::string& what) {
    const Bytes& page = pager.read(leafPage);
    const PageHead h = headOf(page, leafPage, owner);
    if (h.type != kPageKindIndexLeaf || le16(&page[kIndexPrefix]) != 0) return false;
    const size_t used = kIndexSpace - std::min<size_t>(h.freeSpace, kIndexSpace);
    if (used + target.size() > kIndexSpace) return false;
    const uint8_t* data = page.data() + kIndexEntriesStart;
    // Where the entry goes: before the first entry not below it.
    size_t at = used, start = 0, last = 0;
    bool placed = false;
    forEachEntryEnd(page, [&](size_t k) {
        if (k - start <= 4) corrupt("索引ページ " + std::to_string(leafPage) + " の索引エントリーが短すぎます");
        if (!placed && !less(data + start, k - start, target)) {
            if (k - start == target.size() && std::equal(target.begin(), target.end(), data + start))
                corrupt(what + " の索引に同じ項目が既にあります");
            at = start;
            placed = true;
        }
        start = last = k;
        return true;
    });
    if (last != used) corrupt("索引ページ " + std::to_string(leafPage) + " の空き容量が索引エントリーと一致しません");
    Bytes img(kPageSize, 0);
    img[0] = kPageKindIndexLeaf;
    img[1] = kPageMark;
    put32(&img[kIndexOwner], owner);
    put32(&img[kIndexPrev], le32(&page[kIndexPrev]));
    put32(&img[kIndexNext], h.next);
    uint8_t* out = img.data() + kIndexEntriesStart;
    std::copy(data, data + at, out);
    std::copy(target.begin(), target.end(), out + at);
    std::copy(data + at, data + used, out + at + target.size());
    // Entry ends: those before the new entry stay, the new one's is added, the rest move along.
    auto mark = [&](size_t end) { img[kIndexBitmapStart + end / 8] |= static_cast<uint8_t>(1u << (end % 8)); };
    forEachEntryEnd(page, [&](size_t k) {
        mark(k <= at ? k : k + target.size());
        return true;
    });
    mark(at + target.size());
    put16(&img[kIndexFreeSpace], static_cast<uint32_t>(kIndexSpace - used - target.size()));
    pager.modify(leafPage) = std::move(img);
    return true;
}

// Up the path from the leaf, now the pages `items`: each parent takes the pages its child became
// and the child's new greatest entry; a root that split gets new levels above it.
IndexInsert finishUpwards(Pager& pager, uint32_t owner, const Bytes& target, const std::vector<Step>& path,
                          std::vector<Child> items, bool atRightEnd, const std::function<uint32_t()>& allocate,
                          IndexInsert& out) {
    std::vector<size_t> cost;
    Groups groups;
    std::vector<uint32_t> pages;
    for (size_t lvl = path.size(); lvl-- > 0;) {
        if (items.size() == 1 && !path[lvl].grows) return out;  // the parent stays as it is
        // Only now is the parent taken apart (its page is not changed before this point).
        PathStep s = nodeAt(pager, path[lvl].page, owner, target);
        const Child& old = s.children[s.slot];
        const bool listed = old.max.has_value();
        const bool grew = listed && *old.max < target;
        if (grew != path[lvl].grows) corrupt("索引ページ " + std::to_string(s.page) + " の探索結果が一致しません");
        if (listed) items.back().max = grew ? target : *old.max;
        else items.back().max.reset();
        s.children.erase(s.children.begin() + static_cast<std::ptrdiff_t>(s.slot));
        s.children.insert(s.children.begin() + static_cast<std::ptrdiff_t>(s.slot), items.begin(), items.end());
        cost = nodeCosts(s.children);
        groups = fitsOnePage(cost) ? Groups{{0, s.children.size()}} : split(cost, atRightEnd, 2);
        pages = pagesFor(groups.size(), s.page, allocate, out);
        const uint8_t height = static_cast<uint8_t>(path.size() - lvl);
        items = writeNodes(pager, owner, s.children, height, pages, groups, s.view.prev, s.view.next);
        if (pages.size() > 1) relinkNext(pager, s.view.next, owner, kPageKindIndexNode, pages.back());
    }

    // The root split: new levels above it until one page holds them all.
    uint8_t height = static_cast<uint8_t>(path.size());
    while (items.size() > 1) {
        ++height;
        items.back().max.reset();
        cost = nodeCosts(items);
        groups = fitsOnePage(cost) ? Groups{{0, items.size()}} : split(cost, true, 2);
        pages.clear();
        for (size_t k = 0; k < groups.size(); ++k) {
            pages.push_back(allocate());
            out.added.push_back(pages.back());
        }
        items = writeNodes(pager, owner, items, height, pages, groups, 0, 0);
    }
    out.root = items[0].page;
    return out;
}

}  // namespace

// Leaves followed along one key before their chain is taken as a cycle.
constexpr int kMaxLeafHops = 100000;

bool indexHasKey(Pager& pager, uint32_t root, uint32_t owner, const Bytes& key) {
    uint32_t page = descend(pager, root, owner, key, nullptr);
    // Entries starting with the key's bytes lie together; look through them for one whose key is
    // exactly these bytes (a longer key may start the same way).
    Bytes buf;
    buf.reserve(kIndexSpace);
    for (int hops = 0; hops < kMaxLeafHops; ++hops) {
        int answer = -1;  // -1: not decided on this leaf
        PageHead h = scanEntries(pager, page, owner, buf, [&](const Bytes& e, size_t) {
            if (less(e.data(), e.size(), key)) return true;
            if (e.size() < key.size() || !std::equal(key.begin(), key.end(), e.begin())) answer = 0;
            else if (e.size() == key.size() + 4) answer = 1;
            return answer < 0;
        });
        if (h.type != kPageKindIndexLeaf) corrupt("索引の葉 " + std::to_string(page) + " の次のページが葉ではありません");
        if (answer >= 0) return answer == 1;
        if (!h.next) return false;
        page = h.next;
    }
    corrupt("索引の葉のつながりが循環しています");
}

IndexInsert insertIndexEntry(Pager& pager, uint32_t root, uint32_t owner, const IndexEntry& entry, bool unique,
                             const std::function<uint32_t()>& allocate, const std::string& what) {
    const Bytes target = entry.full();
    if (target.size() > kMaxEntry) throw JetError(errTableTooLarge, "索引のキーが長すぎます。");
    if (unique && indexHasKey(pager, root, owner, entry.key)) corrupt(what + " の一意な索引に同じキーが既にあります");
    IndexInsert out;
    out.root = root;
    std::vector<Step> path;
    const uint32_t leafPage = descend(pager, root, owner, target, &path);
    if (insertIntoRoomyLeaf(pager, leafPage, owner, target, what)) {
        // Only a parent whose greatest entry under this leaf grew changes.
        std::vector<Child> items{Child{std::nullopt, leafPage}};
        return finishUpwards(pager, owner, target, path, std::move(items), false, allocate, out);
    }
    IndexPageView leaf = load(pager, leafPage, owner);

    // The leaf.
    std::vector<Bytes>& entries = leaf.entries;
    auto pos = std::lower_bound(entries.begin(), entries.end(), target);
    if (pos != entries.end() && *pos == target) corrupt(what + " の索引に同じ項目が既にあります");
    const bool last = pos == entries.end();
    entries.insert(pos, target);
    bool atRightEnd = last && leaf.next == 0;
    for (auto& s : path) atRightEnd = atRightEnd && s.next == 0 && s.lastChild;

    std::vector<size_t> cost;
    for (auto& e : entries) cost.push_back(e.size());
    Groups groups = fitsOnePage(cost) ? Groups{{0, entries.size()}} : split(cost, atRightEnd, 1);
    std::vector<uint32_t> pages = pagesFor(groups.size(), leafPage, allocate, out);
    std::vector<Child> items;
    for (size_t k = 0; k < groups.size(); ++k) {
        std::vector<Bytes> part(entries.begin() + groups[k].first, entries.begin() + groups[k].second);
        Bytes img = makeIndexPage(kPageKindIndexLeaf, owner, part, 0, 0);
        setLinks(img, k ? pages[k - 1] : leaf.prev, k + 1 < pages.size() ? pages[k + 1] : leaf.next);
        pager.modify(pages[k]) = std::move(img);
        items.push_back(Child{part.back(), pages[k]});
    }
    if (pages.size() > 1) relinkNext(pager, leaf.next, owner, kPageKindIndexLeaf, pages.back());

    return finishUpwards(pager, owner, target, path, std::move(items), atRightEnd, allocate, out);
}

}  // namespace jet
