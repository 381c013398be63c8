#include "index_insert.h"

#include <algorithm>
#include <optional>
#include <set>

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

struct PathStep {
    uint32_t page = 0;
    IndexPageView view;
    std::vector<Child> children;
    size_t slot = 0;  // the child the search went into
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

// From the root down to the leaf a search for `target` reaches; `leaf` receives that leaf.
std::vector<PathStep> descend(Pager& pager, uint32_t root, uint32_t owner, const Bytes& target, uint32_t& leafPage,
                              IndexPageView& leaf) {
    std::vector<PathStep> path;
    std::set<uint32_t> seen;
    uint32_t page = root;
    for (;;) {
        if (!seen.insert(page).second || path.size() > 16) corrupt("索引ページ " + std::to_string(page) + " が循環しています");
        IndexPageView v = load(pager, page, owner);
        if (v.type == 0x04) {
            leafPage = page;
            leaf = std::move(v);
            return path;
        }
        PathStep s;
        s.page = page;
        s.children = childrenOf(v);
        if (s.children.empty()) corrupt("索引の中間ページ " + std::to_string(page) + " が空です");
        s.slot = childFor(s.children, target);
        s.view = std::move(v);
        page = s.children[s.slot].page;
        path.push_back(std::move(s));
    }
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
    put32(&page[0x0C], prev);
    put32(&page[0x10], next);
}

// The page after a split run: its back link now names the run's last page.
void relinkNext(Pager& pager, uint32_t next, uint32_t owner, uint8_t type, uint32_t newPrev) {
    if (!next) return;
    Bytes& p = pager.modify(next);
    if (p[0] != type || le32(&p[4]) != owner) corrupt("索引ページ " + std::to_string(next) + " の隣のページが不正");
    put32(&p[0x0C], newPrev);
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
        Bytes img = makeIndexPage(0x03, owner, entries, last.page, level);
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

}  // namespace

bool indexHasKey(Pager& pager, uint32_t root, uint32_t owner, const Bytes& key) {
    uint32_t page = 0;
    IndexPageView leaf;
    descend(pager, root, owner, key, page, leaf);
    // Entries starting with the key's bytes lie together; look through them for one whose key is
    // exactly these bytes (a longer key may start the same way).
    for (int hops = 0; hops < 100000; ++hops) {
        auto it = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), key);
        for (; it != leaf.entries.end(); ++it) {
            if (it->size() < key.size() || !std::equal(key.begin(), key.end(), it->begin())) return false;
            if (it->size() == key.size() + 4) return true;
        }
        if (!leaf.next) return false;
        page = leaf.next;
        leaf = load(pager, page, owner);
        if (leaf.type != 0x04) corrupt("索引の葉 " + std::to_string(page) + " の次のページが葉ではありません");
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
    uint32_t leafPage = 0;
    IndexPageView leaf;
    std::vector<PathStep> path = descend(pager, root, owner, target, leafPage, leaf);

    // The leaf.
    std::vector<Bytes>& entries = leaf.entries;
    auto pos = std::lower_bound(entries.begin(), entries.end(), target);
    if (pos != entries.end() && *pos == target) corrupt(what + " の索引に同じ項目が既にあります");
    const bool last = pos == entries.end();
    entries.insert(pos, target);
    bool atRightEnd = last && leaf.next == 0;
    for (auto& s : path) atRightEnd = atRightEnd && s.view.next == 0 && s.slot + 1 == s.children.size();

    std::vector<size_t> cost;
    for (auto& e : entries) cost.push_back(e.size());
    Groups groups = fitsOnePage(cost) ? Groups{{0, entries.size()}} : split(cost, atRightEnd, 1);
    std::vector<uint32_t> pages = pagesFor(groups.size(), leafPage, allocate, out);
    std::vector<Child> items;
    for (size_t k = 0; k < groups.size(); ++k) {
        std::vector<Bytes> part(entries.begin() + groups[k].first, entries.begin() + groups[k].second);
        Bytes img = makeIndexPage(0x04, owner, part, 0, 0);
        setLinks(img, k ? pages[k - 1] : leaf.prev, k + 1 < pages.size() ? pages[k + 1] : leaf.next);
        pager.modify(pages[k]) = std::move(img);
        items.push_back(Child{part.back(), pages[k]});
    }
    if (pages.size() > 1) relinkNext(pager, leaf.next, owner, 0x04, pages.back());

    // Up the path: each parent takes the pages its child became and the child's new greatest entry.
    for (size_t lvl = path.size(); lvl-- > 0;) {
        PathStep& s = path[lvl];
        const Child& old = s.children[s.slot];
        const bool listed = old.max.has_value();
        const bool grew = listed && *old.max < target;
        if (listed) items.back().max = grew ? target : *old.max;
        else items.back().max.reset();
        if (items.size() == 1 && !grew) return out;
        s.children.erase(s.children.begin() + static_cast<std::ptrdiff_t>(s.slot));
        s.children.insert(s.children.begin() + static_cast<std::ptrdiff_t>(s.slot), items.begin(), items.end());
        cost = nodeCosts(s.children);
        groups = fitsOnePage(cost) ? Groups{{0, s.children.size()}} : split(cost, atRightEnd, 2);
        pages = pagesFor(groups.size(), s.page, allocate, out);
        const uint8_t height = static_cast<uint8_t>(path.size() - lvl);
        items = writeNodes(pager, owner, s.children, height, pages, groups, s.view.prev, s.view.next);
        if (pages.size() > 1) relinkNext(pager, s.view.next, owner, 0x03, pages.back());
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

}  // namespace jet
