#include "index_page.h"

#include <algorithm>
#include <set>
#include <string>

namespace jet {

Bytes IndexEntry::full() const {
    Bytes b = key;
    b.push_back((row.page >> 16) & 0xFF);
    b.push_back((row.page >> 8) & 0xFF);
    b.push_back(row.page & 0xFF);
    b.push_back(row.row);
    return b;
}

IndexPageView parseIndexPage(const Bytes& page, uint32_t pageNo) {
    const std::string where = "索引ページ " + std::to_string(pageNo);
    IndexPageView v;
    v.type = page[0];
    if ((v.type != kPageKindIndexNode && v.type != kPageKindIndexLeaf) || page[1] != kPageMark) corrupt(where + " の種類が不正");
    v.freeSpace = le16(&page[kIndexFreeSpace]);
    v.owner = le32(&page[kIndexOwner]);
    v.prev = le32(&page[kIndexPrev]);
    v.next = le32(&page[kIndexNext]);
    v.tail = le32(&page[kIndexTail]);
    v.prefix = le16(&page[kIndexPrefix]);
    v.level = page[kIndexLevel];
    size_t trailer = v.type == kPageKindIndexLeaf ? 4 : 8;
    size_t start = 0;
    Bytes first;
    for (size_t k = 1; k <= kIndexSpace; ++k) {
        if (!((page[kIndexBitmapStart + k / 8] >> (k % 8)) & 1)) continue;
        Bytes e;
        if (v.entries.empty()) {
            e.assign(page.begin() + kIndexEntriesStart + start, page.begin() + kIndexEntriesStart + k);
            if (v.prefix > e.size()) corrupt(where + " の共通接頭辞の長さが不正");
            first = e;
        } else {
            e.assign(first.begin(), first.begin() + v.prefix);
            e.insert(e.end(), page.begin() + kIndexEntriesStart + start, page.begin() + kIndexEntriesStart + k);
        }
        if (e.size() <= trailer) corrupt(where + " の索引エントリーが短すぎます");
        v.entries.push_back(std::move(e));
        start = k;
    }
    if (kIndexSpace - start != v.freeSpace && !(v.entries.empty() && v.freeSpace == kIndexSpace)) {
        // Free space is informational; real files agree with the bitmap. Disagreement is damage.
        corrupt(where + " の空き容量が索引エントリーと一致しません");
    }
    return v;
}

namespace {
void walk(Pager& pager, uint32_t pageNo, uint32_t owner, int depth, std::set<uint32_t>& seen, IndexTree& t,
          int& leafDepth) {
    if (depth > kMaxIndexDepth) corrupt("索引の階層が深すぎます");
    if (!seen.insert(pageNo).second) corrupt("索引ページ " + std::to_string(pageNo) + " が循環しています");
    IndexPageView v = parseIndexPage(pager.read(pageNo), pageNo);
    if (v.owner != owner) corrupt("索引ページ " + std::to_string(pageNo) + " の所有テーブルが不正");
    t.pages.push_back(pageNo);
    if (v.type == kPageKindIndexLeaf) {
        if (leafDepth < 0) leafDepth = depth;
        if (leafDepth != depth) corrupt("索引の葉の深さがそろっていません");
        if (t.levels.empty()) t.levels.resize(1);
        t.levels[0].push_back(pageNo);
        t.leaves.push_back(pageNo);
        for (auto& e : v.entries) {
            IndexEntry x;
            x.key.assign(e.begin(), e.end() - 4);
            x.row.page = be24(&e[e.size() - 4]);
            x.row.row = e[e.size() - 1];
            t.entries.push_back(std::move(x));
        }
        return;
    }
    for (auto& e : v.entries) {
        uint32_t child = be32(&e[e.size() - 4]);
        walk(pager, child, owner, depth + 1, seen, t, leafDepth);
    }
    if (v.tail) walk(pager, v.tail, owner, depth + 1, seen, t, leafDepth);
    else if (v.entries.empty()) corrupt("索引の中間ページ " + std::to_string(pageNo) + " が空です");
    // Node levels: record by height above the leaves.
    size_t height = static_cast<size_t>(leafDepth - depth);
    if (t.levels.size() <= height) t.levels.resize(height + 1);
    t.levels[height].push_back(pageNo);
}
}  // namespace

IndexTree readIndexTree(Pager& pager, uint32_t root, uint32_t owner) {
    IndexTree t;
    std::set<uint32_t> seen;
    int leafDepth = -1;
    walk(pager, root, owner, 0, seen, t, leafDepth);
    return t;
}

Bytes makeEmptyLeaf(uint32_t owner) {
    Bytes p(kPageSize, 0);
    p[0] = kPageKindIndexLeaf;
    p[1] = kPageMark;
    put16(&p[kIndexFreeSpace], kIndexSpace);
    put32(&p[kIndexOwner], owner);
    return p;
}

Bytes makeIndexPage(uint8_t type, uint32_t owner, const std::vector<Bytes>& entries, uint32_t tail, uint8_t level) {
    Bytes p(kPageSize, 0);
    p[0] = type;
    p[1] = kPageMark;
    put32(&p[kIndexOwner], owner);
    put32(&p[kIndexTail], tail);
    p[kIndexLevel] = level;
    size_t pos = 0;
    for (auto& e : entries) {
        std::copy(e.begin(), e.end(), p.begin() + kIndexEntriesStart + pos);
        pos += e.size();
        p[kIndexBitmapStart + pos / 8] |= static_cast<uint8_t>(1u << (pos % 8));
    }
    put16(&p[kIndexFreeSpace], static_cast<uint32_t>(kIndexSpace - pos));
    return p;
}

BuiltIndex buildIndexTree(const std::vector<IndexEntry>& entries, uint32_t owner, const std::vector<uint32_t>& reuse,
                          const std::function<uint32_t()>& allocate, size_t leafFill) {
    leafFill = std::min(std::max<size_t>(leafFill, 64), kIndexSpace);
    BuiltIndex out;
    size_t nextReuse = 0;
    auto take = [&]() -> uint32_t { return nextReuse < reuse.size() ? reuse[nextReuse++] : allocate(); };

    // Leaves.
    struct Child {
        uint32_t page;
        Bytes maxEntry;  // greatest leaf entry (key + row pointer) below it
    };
    std::vector<std::vector<Bytes>> groups;
    {
        std::vector<Bytes> cur;
        size_t used = 0;
        for (auto& e : entries) {
            Bytes f = e.full();
            if (f.size() > kIndexSpace / 2) throw JetError(errTableTooLarge, "索引のキーが長すぎます。");
            if (used + f.size() > leafFill && !cur.empty()) {
                groups.push_back(std::move(cur));
                cur.clear();
                used = 0;
            }
            used += f.size();
            cur.push_back(std::move(f));
        }
        groups.push_back(std::move(cur));  // an empty index is one empty leaf
    }
    std::vector<Child> level;
    std::vector<uint32_t> pagesOfLevel;
    for (auto& g : groups) {
        uint32_t pg = take();
        pagesOfLevel.push_back(pg);
        out.images[pg] = makeIndexPage(kPageKindIndexLeaf, owner, g, 0, 0);
        level.push_back(Child{pg, g.empty() ? Bytes() : g.back()});
    }
    auto chain = [&](const std::vector<uint32_t>& pages) {
        for (size_t i = 0; i < pages.size(); ++i) {
            Bytes& p = out.images[pages[i]];
            put32(&p[kIndexPrev], i > 0 ? pages[i - 1] : 0);
            put32(&p[kIndexNext], i + 1 < pages.size() ? pages[i + 1] : 0);
        }
    };
    chain(pagesOfLevel);
    uint8_t height = 0;
    while (level.size() > 1) {
        ++height;
        std::vector<Child> up;
        std::vector<uint32_t> upPages;
        size_t i = 0;
        while (i < level.size()) {
            std::vector<Bytes> nodeEntries;
            size_t used = 0;
            // Entries for children i.. while they fit; the next child becomes the tail.
            while (i + 1 < level.size()) {
                Bytes e = level[i].maxEntry;
                Bytes child(4);
                putBe32(child.data(), level[i].page);
                e.insert(e.end(), child.begin(), child.end());
                if (used + e.size() > kIndexSpace) break;
                used += e.size();
                nodeEntries.push_back(std::move(e));
                ++i;
            }
            const Child& tail = level[i++];
            uint32_t pg = take();
            upPages.push_back(pg);
            out.images[pg] = makeIndexPage(kPageKindIndexNode, owner, nodeEntries, tail.page, height);
            up.push_back(Child{pg, tail.maxEntry});
        }
        chain(upPages);
        level = std::move(up);
    }
    out.root = level[0].page;
    for (; nextReuse < reuse.size(); ++nextReuse) out.unused.push_back(reuse[nextReuse]);
    return out;
}

}  // namespace jet
