// Creating a table in an open database: every page of the write set is built in the pager's
// overlay, then committed through the rollback journal (all or nothing).
#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>
#include <set>

#include "checker.h"
#include "data_page.h"
#include "database_file.h"
#include "file_io.h"
#include "index_key.h"
#include "index_insert.h"
#include "index_page.h"
#include "journal.h"
#include "long_value.h"
#include "name_rules.h"
#include "properties.h"

namespace jet {

namespace {

constexpr uint32_t kAceFullAccess = 0xFFEFF;
// How many of a table's pages with free space a new row may try before a new page is taken.
constexpr int kPagesTried = 8;

double nowOleDate() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    // Days from 1899-12-30 to the local calendar date, plus the time of day.
    // Count days with a civil-from-days formula (no time zone involved).
    auto days = [](int y, unsigned m, unsigned d) {
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<int>(doe) - 719468;
    };
    int d = days(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) - days(1899, 12, 30);
    double frac = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
    return d + frac;
}

// A usage-map row loaded for change and written back at the end.
struct MapEdit {
    RowPointer where;
    size_t length = 0;
    UsageMap map;
};

class WriteSet {
public:
    explicit WriteSet(Pager& pager) : pager_(pager) {}
    uint32_t allocate() { return pager_.allocate(); }
    MapEdit& map(uint32_t rowPointer, const std::string& what) {
        auto it = maps_.find(rowPointer);
        if (it != maps_.end()) return it->second;
        RowPointer p = RowPointer::fromLe(rowPointer);
        Bytes row = rowBytes(pager_.read(p.page), p.page, p.row);
        MapEdit e{p, row.size(), UsageMap::parse(row, pager_, what)};
        return maps_.emplace(rowPointer, std::move(e)).first->second;
    }
    void flushMaps() {
        for (auto& kv : maps_) {
            MapEdit& e = kv.second;
            const uint16_t room = parseDataPage(pager_.read(e.where.page), e.where.page).freeSpace;
            Bytes row = e.map.encode(e.length, room, true, pager_, [this] { return allocate(); });
            replaceRow(pager_.modify(e.where.page), e.where.page, e.where.row, row);
            e.length = row.size();
        }
    }
    // Inserts a row into a page of `owner` listed in the free-space map, or into a new page
    // added to both maps. Returns where it went. Access leaves the free-space map of some
    // long-value columns unset (row pointer 0): the owned pages are searched instead, and
    // only the owned map is kept.
    RowPointer insert(uint32_t owner, uint32_t ownedMap, uint32_t freeMap, const Bytes& row, const std::string& what) {
        MapEdit& om = map(ownedMap, what);
        const UsageMap& candidates = freeMap != 0 ? map(freeMap, what).map : om.map;
        // The newest pages first, and only a few of them: older pages are mostly full, and looking
        // through all of them would make every row cost more than the one before.
        int tries = 0;
        std::optional<RowPointer> placed;
        candidates.visitDescending([&](uint32_t pg) {
            // Only pages the table really owns: a row elsewhere would be invisible to a scan.
            if (pg >= pager_.pageCount() || !om.map.has(pg)) return true;
            const Bytes& page = pager_.read(pg);
            if (!isDataPage(page) || le32(&page[4]) != owner) return true;
            ++tries;
            if (le16(&page[2]) >= rowCost(row.size())) {
                DataPageView v = parseDataPage(page, pg);
                if (v.freeSpace >= rowCost(row.size()) && v.slots.size() < static_cast<size_t>(kMaxRowsPerPage)) {
                    Bytes& w = pager_.modify(pg);
                    int slot = insertRow(w, pg, row);
                    if (slot >= 0) {
                        placed = RowPointer{pg, static_cast<uint8_t>(slot)};
                        return false;
                    }
                }
            }
            return tries < kPagesTried;
        });
        if (placed) return *placed;
        uint32_t pg = allocate();
        Bytes& w = pager_.modify(pg);
        w = makeDataPage(owner);
        int slot = insertRow(w, pg, row);
        if (slot < 0) throw JetError(errTableTooLarge, "行がページに収まりません。");
        map(ownedMap, what).map.set(pg);
        if (freeMap != 0) map(freeMap, what).map.set(pg);
        return RowPointer{pg, static_cast<uint8_t>(slot)};
    }
    // Adds entries to an index, each into its place in the tree. Returns the root afterwards.
    uint32_t insertIndexEntries(const TableDefinition& def, uint32_t tdefPage, size_t realIndex,
                                const std::vector<IndexEntry>& add, const std::string& what) {
        const RealIndexDef& ri = def.realIndexes[realIndex];
        uint32_t root = ri.rootPage;
        MapEdit& im = map(ri.usageMap, what + " の索引");
        for (auto& e : add) {
            IndexInsert r = insertIndexEntry(pager_, root, tdefPage, e, (ri.flags & kIdxUnique) != 0,
                                             [this] { return allocate(); }, what);
            for (uint32_t pg : r.added) im.map.set(pg);
            root = r.root;
        }
        if (root != ri.rootPage) patchTableDefinition32(pager_, def, ri.blockOffset + 0x26, root);
        return root;
    }

private:
    Pager& pager_;
    std::map<uint32_t, MapEdit> maps_;
};

// Global page map (page 1, row 0): bit set = free. Clears the bits of the appended pages. The
// map keeps its first page (pages below it are never handed out) and is grown to reach the last
// page of the file (see UsageMap::encode); pages newly described past the end of the file are
// marked free, as Jet marks them. `firstNew`: the first page the file did not have;
// `firstAppended`: the first page this table appended (pages appended before it, in the same
// transaction, are already cleared).
void updateGlobalMap(Pager& pager, uint32_t firstNew, uint32_t firstAppended) {
    const uint32_t mapPage = 1;
    const Bytes& page = pager.read(mapPage);
    DataPageView v = parseDataPage(page, mapPage);
    if (v.slots.empty()) corrupt("ページ割り当てマップがありません");
    const Bytes row0 = rowBytes(page, mapPage, 0);
    UsageMap m = UsageMap::parse(row0, pager, "ページ割り当てマップ");
    if (m.isInline() && m.start() >= firstNew)
        throw JetError(errUnsupported, "このデータベースのページ割り当てマップの形式には対応していません（先頭ページ " +
                                           std::to_string(m.start()) + "）。");
    Bytes newRow;
    // Bitmap pages a reference map takes are appended too: repeat until none is added.
    for (uint32_t done = std::max(firstNew, firstAppended);;) {
        const uint32_t end = pager.pageCount();
        for (uint32_t p = done; p < end; ++p) m.clear(p);
        m.requireCover(end - 1);
        const uint32_t oldEnd = m.isInline() ? m.windowEnd() : end;
        const uint16_t room = parseDataPage(pager.read(mapPage), mapPage).freeSpace;
        newRow = m.encode(row0.size(), room, false, pager, [&pager] { return pager.allocate(); });
        if (m.isInline())
            for (uint32_t p = std::max(oldEnd, end); p < m.windowEnd(); ++p) m.set(p);
        done = end;
        if (pager.pageCount() == end) {
            if (m.isInline()) newRow = m.encode(newRow.size(), 0, false, pager, [&pager] { return pager.allocate(); });
            break;
        }
    }
    replaceRow(pager.modify(mapPage), mapPage, 0, newRow);
}

}  // namespace


const std::set<std::u16string>& DatabaseFile::foldedTableNames() {
    if (folded_) return *folded_;
    TableDefinition objs = readTdef(kMSysObjectsPage);
    size_t ri = realIndexOf(objs, u"ParentIdName", "MSysObjects");
    IndexTree tree = readIndexTree(*pager_, objs.realIndexes[ri].rootPage, kMSysObjectsPage);
    std::set<std::u16string> names;
    for (auto& e : tree.entries) {
        if (e.key.size() < 5 || be32(&e.key[1]) != (static_cast<uint32_t>(kTablesContainerId) ^ 0x80000000u)) continue;
        auto row = readRow(*pager_, e.row, kMSysObjectsPage);
        if (!row) continue;
        names.insert(foldNameCase(decodeCatalogObject(objs, *row, e.row).name));
    }
    folded_ = std::move(names);
    return *folded_;
}

const Bytes& DatabaseFile::catalogOwner() {
    if (owner_) return *owner_;
    TableDefinition objs = readTdef(kMSysObjectsPage);
    CatalogColumns c(objs);
    for (auto& r : scanRows(*pager_, objs, kMSysObjectsPage)) {
        RowValues v = decodeRow(objs, r.bytes);
        if (valueInteger(v, *c.type).value_or(0) == kObjectTypeDatabase &&
            valueText(v, *c.name).value_or(u"") == u"MSysDb" && v[c.owner->number]) {
            owner_ = *v[c.owner->number];
            return *owner_;
        }
    }
    throw JetError(errUnsupported, "データベースの所有者情報（MSysDb）が見つからないため、テーブルを作成できません。");
}

const std::vector<Bytes>& DatabaseFile::tableAceSids() {
    if (aceSids_) return *aceSids_;
    TableDefinition aces = readTdef(kMSysAcesPage);
    const ColumnDef& obj = aces.columnByName(u"ObjectId", "MSysACEs");
    const ColumnDef& sid = aces.columnByName(u"SID", "MSysACEs");
    const ColumnDef& acm = aces.columnByName(u"ACM", "MSysACEs");
    std::vector<Bytes> full, all;
    for (auto& r : scanRows(*pager_, aces, kMSysAcesPage)) {
        RowValues v = decodeRow(aces, r.bytes);
        if (valueLong(v, obj).value_or(0) != kTablesContainerId || !v[sid.number]) continue;
        Bytes s = *v[sid.number];
        if (std::find(all.begin(), all.end(), s) == all.end()) all.push_back(s);
        if (static_cast<uint32_t>(valueLong(v, acm).value_or(0)) == kAceFullAccess &&
            std::find(full.begin(), full.end(), s) == full.end())
            full.push_back(s);
    }
    aceSids_ = full.empty() ? all : full;
    return *aceSids_;
}

uint32_t DatabaseFile::createTable(const NewTable& t) {
    if (fd_ < 0) throw JetError(errDatabaseClosed, "データベースは閉じられています。");
    if (readOnly_) throw JetError(errReadOnly, "データベースは読み取り専用で開かれています。");
    if (pendingRollback_)
        throw JetError(errIo, "前の書き込みに失敗し、書き込み記録ファイル『" + journal() +
                                  "』が残っているため、このデータベースにはこれ以上書き込みません。次にこのデータベースを開くときに、"
                                  "記録ファイルから書き込み前の状態に戻します。");
    validateNewTable(t);
    pager_->trimCache();
    const std::string tn = utf16ToUtf8(t.name);
    refuseWhenAccessHasIt();
    auto order = catalogSortOrder();
    if (!order) {
        const TableDefinition objs = readTdef(kMSysObjectsPage);
        const ColumnDef& name = objs.columnByName(u"Name", "MSysObjects");
        throw JetError(errUnsupported, "このデータベースの並べ替え順（" + sortOrderName(name.lcid, name.sortVersion) +
                                           "）には対応していないため、テーブルを作成できません。作成できるのは並べ替え順が「一般 - 従来」"
                                           "「一般」（1033）または「日本語」（1041）のデータベースです。");
    }
    TextKey tk = encodeTextKey(t.name, *order);
    if (!tk.ok) throw JetError(errNameNotKeyable, "テーブル名『" + tn + "』は作成できません。" + tk.reason);
    Bytes nameKey = parentIdNameKey(static_cast<uint32_t>(kTablesContainerId), tk.bytes);
    // Names already present under the Tables container: compare keys (what the unique index
    // compares) and, to be safe, names without regard to letter case.
    {
        TableDefinition objs = readTdef(kMSysObjectsPage);
        size_t ri = realIndexOf(objs, u"ParentIdName", "MSysObjects");
        if (indexHasKey(*pager_, objs.realIndexes[ri].rootPage, kMSysObjectsPage, nameKey))
            throw JetError(errTableExists, "テーブル『" + tn + "』は既に存在します。");
        if (foldedTableNames().count(foldNameCase(t.name)))
            throw JetError(errTableExists, "テーブル『" + tn + "』は既に存在します（大文字と小文字の違いだけの名前は使えません）。");
    }
    if (!verified_) {
        // Before the first write: never write into a damaged file.
        const std::vector<std::string> damage = checkBeforeWrite(*this);
        if (!damage.empty())
            throw JetError(errDamaged, "データベース『" + path_ + "』は壊れているため、書き込みません（" + damage.front() +
                                           (damage.size() > 1 ? "。ほかに " + std::to_string(damage.size() - 1) + " 件の問題があります" : "") +
                                           "）。Access でデータベースの最適化/修復を行ってから、もう一度実行してください。");
        verified_ = true;
    }
    catalogOwner();
    tableAceSids();
    uint32_t id = 0;
    tables_.reset();
    pager_->savepoint();
    try {
        writeTable(t, nameKey, id);
    } catch (...) {
        pager_->rollbackToSavepoint();
        if (!inTransaction_) pager_->discard();
        throw;
    }
    pager_->releaseSavepoint();
    folded_->insert(foldNameCase(t.name));
    if (inTransaction_) {
        pager_->spillIfLarge();
        return id;
    }
    commitChanges();
    return id;
}

void DatabaseFile::commitChanges() {
    try {
        commitWithJournal(*pager_, realPath_);
    } catch (...) {
        pager_->discard();
        folded_.reset();
        tables_.reset();
        if (io::exists(journal())) {
            // The write could not be undone: from now on the file is read as it was before it,
            // and nothing more is written (the next open rolls it back).
            pendingRollback_ = true;
            try {
                JournalView before;
                if (readPendingJournal(fd_, realPath_, before)) pager_->showBefore(before.pageCount, std::move(before.originals));
            } catch (...) {
            }
        }
        throw;
    }
}

void DatabaseFile::refuseWhenAccessHasIt() {
    if (io::exists(lockFilePath(path_)) || io::exists(lockFilePath(realPath_)))
        throw JetError(errLockedByAccess, "データベースは Access で開かれています（ロックファイル " + lockFileExtension(path_) +
                                              " があります）。Access を閉じてから実行してください。");
}

void DatabaseFile::beginTransaction(size_t spillPages) {
    if (fd_ < 0) throw JetError(errDatabaseClosed, "データベースは閉じられています。");
    if (readOnly_) throw JetError(errReadOnly, "データベースは読み取り専用で開かれています。");
    if (inTransaction_) return;
    const std::string::size_type slash = realPath_.find_last_of('/');
    pager_->setSpill(slash == std::string::npos ? "." : slash == 0 ? "/" : realPath_.substr(0, slash), spillPages);
    inTransaction_ = true;
}

void DatabaseFile::commit() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    pager_->setSpill("", 0);
    try {
        refuseWhenAccessHasIt();
    } catch (...) {
        rollback();
        throw;
    }
    commitChanges();
}

void DatabaseFile::rollback() {
    inTransaction_ = false;
    if (!pager_) return;
    pager_->setSpill("", 0);
    pager_->discard();
    folded_.reset();
    tables_.reset();
}

void DatabaseFile::writeTable(const NewTable& t, const Bytes& nameKey, uint32_t& newId) {
    Pager& pager = *pager_;
    const uint32_t firstNew = pager.filePageCount();
    const uint32_t firstAppended = pager.pageCount();
    WriteSet ws(pager);
    TableDefinition objs = readTdef(kMSysObjectsPage);
    TableDefinition aces = readTdef(kMSysAcesPage);
    CatalogColumns cc(objs);
    const uint16_t lcid = cc.name->lcid;
    const uint8_t sortVersion = cc.name->sortVersion;

    // The new table's definition.
    TableDefinition d;
    d.tableType = 0x4E;
    d.autoIncrement = 1;
    uint16_t fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const NewColumn& nc = t.columns[i];
        ColumnDef c;
        c.type = nc.type;
        c.number = static_cast<uint16_t>(i);
        c.ordinal = static_cast<uint16_t>(i);
        c.lcid = lcid;
        // The sort-order version only concerns text: Access 2010 and later mark their General
        // (version 1) Text and Memo columns 1 and every other column 0.
        const bool text = nc.type == colText || nc.type == colMemo;
        c.sortVersion = text ? sortVersion : 0;
        c.name = nc.name;
        if (text) {
            // Variable length, Unicode compression on (Access's default for both). A Memo's value
            // lives in long-value rows; its descriptor gives no length.
            c.flags = kColUpdatable;
            c.extFlags = 0x01;
            c.length = nc.type == colText ? static_cast<uint16_t>(nc.textChars * 2) : 0;
            c.varIndex = varIndex++;
        } else if (nc.type == colBoolean) {
            // A Yes/No value is its null-mask bit: the column is fixed but takes no room in the
            // fixed area, so it sits at offset 0 and the next fixed column does not move.
            c.flags = kColFixed | kColUpdatable;
            c.length = 1;
            c.varIndex = varIndex;
            c.fixedOffset = 0;
        } else {
            c.flags = kColFixed | kColUpdatable | (nc.autoIncrement ? kColAutoNumber : 0);
            switch (nc.type) {
                case colInteger: c.length = 2; break;
                case colLong: case colSingle: c.length = 4; break;
                default: c.length = 8; break;
            }
            c.varIndex = varIndex;
            c.fixedOffset = fixedOffset;
            fixedOffset = static_cast<uint16_t>(fixedOffset + c.length);
        }
        d.columns.push_back(c);
    }
    d.maxColumns = static_cast<uint16_t>(t.columns.size());
    d.varColumns = varIndex;
    auto colNumber = [&](const std::u16string& n) -> uint16_t {
        for (auto& c : d.columns)
            if (c.name == n) return c.number;
        for (auto& c : d.columns) {
            std::u16string a = c.name, b = n;
            for (auto& x : a) if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
            for (auto& x : b) if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
            if (a == b) return c.number;
        }
        throw JetError(errIndexField, "インデックスのフィールドがテーブルにありません。");
    };
    // Primary key first, as Jet lists it.
    std::vector<const NewIndex*> idx;
    for (auto& x : t.indexes) if (x.primary) idx.push_back(&x);
    for (auto& x : t.indexes) if (!x.primary) idx.push_back(&x);
    for (size_t i = 0; i < idx.size(); ++i) {
        RealIndexDef r;
        for (auto& cn : idx[i]->columns) r.columns.emplace_back(colNumber(cn), 0x01);
        r.flags = idx[i]->primary ? (0x80 | kIdxUnique | kIdxRequired) : 0x80;
        d.realIndexes.push_back(r);
        LogicalIndexDef l;
        l.realIndex = static_cast<uint32_t>(i);
        l.relIndex = -1;
        l.cascadeUpdates = 4;  // what Jet writes for an index that is not a relationship's
        l.cascadeDeletes = 4;
        l.indexType = idx[i]->primary ? 1 : 0;
        l.name = idx[i]->name;
        d.logicalIndexes.push_back(l);
    }
    // Jet lists the named indexes by name.
    auto upper = [](std::u16string s) {
        for (auto& c : s)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        return s;
    };
    std::stable_sort(d.logicalIndexes.begin(), d.logicalIndexes.end(),
                     [&](const LogicalIndexDef& a, const LogicalIndexDef& b) { return upper(a.name) < upper(b.name); });
    for (size_t i = 0; i < d.logicalIndexes.size(); ++i) d.logicalIndexes[i].number = static_cast<uint32_t>(i);

    // A long-value map for each Memo column, in column order (its map rows are set below).
    for (auto& c : d.columns)
        if (isLongValueType(c.type)) d.lvMaps.push_back(LongValueMap{c.number, 0, 0});

    // Pages: definition (and continuations), usage-map page(s), one root leaf per index.
    Bytes probe = encodeTableDefinition(d);
    size_t tdefPages = tdefPagesNeeded(probe.size());
    if (tdefPages > 16) throw JetError(errTableTooLarge, "テーブルの定義が大きすぎます。");
    std::vector<uint32_t> tdefPageNos;
    for (size_t i = 0; i < tdefPages; ++i) tdefPageNos.push_back(ws.allocate());
    const uint32_t id = tdefPageNos[0];
    newId = id;
    // The usage maps, in Access's order: the table's owned and free pages, the owned and free
    // long-value pages of each Memo column, one per real index. A map page holds 57 of them; a
    // table of many Memo columns and indexes goes on to another page.
    constexpr size_t kMapsPerPage = (kPageSize - 14) / (69 + 2);
    const size_t mapCount = 2 + 2 * d.lvMaps.size() + d.realIndexes.size();
    std::vector<uint32_t> mapPages;
    for (size_t i = 0; i < mapCount; i += kMapsPerPage) mapPages.push_back(ws.allocate());
    size_t nextMap = 0;
    auto mapAt = [&]() {
        size_t k = nextMap++;
        return RowPointer{mapPages[k / kMapsPerPage], static_cast<uint8_t>(k % kMapsPerPage)}.toLe();
    };
    d.ownedMap = mapAt();
    d.freeMap = mapAt();
    for (auto& m : d.lvMaps) {
        m.ownedMap = mapAt();
        m.freeMap = mapAt();
    }
    std::vector<uint32_t> roots;
    for (size_t i = 0; i < d.realIndexes.size(); ++i) {
        uint32_t root = ws.allocate();
        roots.push_back(root);
        d.realIndexes[i].rootPage = root;
        d.realIndexes[i].usageMap = mapAt();
        pager.modify(root) = makeEmptyLeaf(id);
    }
    Bytes logical = encodeTableDefinition(d);
    if (logical.size() != probe.size()) throw JetError(errUnsupported, "テーブル定義の長さが一定しません。");
    auto images = layoutTableDefinition(logical, tdefPageNos);
    for (size_t i = 0; i < images.size(); ++i) pager.modify(tdefPageNos[i]) = images[i];
    {
        // Empty maps, then each index's map naming its root leaf.
        std::vector<Bytes> maps(mapCount - roots.size(), Bytes(69, 0));
        for (uint32_t root : roots) {
            Bytes m(69, 0);
            uint32_t start = root / 512 * 512;
            put32(&m[1], start);
            m[5 + (root - start) / 8] |= static_cast<uint8_t>(1u << ((root - start) % 8));
            maps.push_back(m);
        }
        for (size_t k = 0; k < maps.size(); ++k) {
            const uint32_t page = mapPages[k / kMapsPerPage];
            Bytes& mp = pager.modify(page);
            if (k % kMapsPerPage == 0) mp = makeDataPage(0);
            if (insertRow(mp, page, maps[k]) != static_cast<int>(k % kMapsPerPage))
                throw JetError(errUnsupported, "使用ページマップを作れません。");
        }
    }

    // Properties (Required of every field, a Yes/No one's check box) as one long-value row of MSysObjects.LvProp.
    std::vector<NewColumnProperties> req;
    for (auto& c : t.columns) req.push_back({c.name, c.required, c.type == colBoolean});
    Bytes blob = requiredProperties(req);
    const LongValueMap* lvm = objs.lvMap(cc.lvProp->number);
    if (!lvm) corrupt("MSysObjects.LvProp の長い値のマップがありません");
    if (blob.size() > 0xFFFFFF) throw JetError(errTableTooLarge, "テーブルのプロパティが大きすぎます。");
    Bytes lvHeader;
    if (blob.size() <= kMaxRowSize) {
        // One long-value row.
        RowPointer lvRow = ws.insert(kLvalOwner, lvm->ownedMap, lvm->freeMap, blob, "MSysObjects.LvProp");
        lvHeader = makeLongValueHeader(static_cast<uint32_t>(blob.size()), kLongValueOneRow, lvRow, 0);
    } else {
        // A chain of rows, each led by the pointer to the next one (0 on the last). Written from
        // the end so that every row knows its successor.
        constexpr size_t kChunk = 4072;
        size_t chunks = (blob.size() + kChunk - 1) / kChunk;
        RowPointer next{0, 0};
        for (size_t i = chunks; i-- > 0;) {
            size_t from = i * kChunk, len = std::min(kChunk, blob.size() - from);
            Bytes row(4, 0);
            put32(row.data(), next.toLe());
            row.insert(row.end(), blob.begin() + from, blob.begin() + from + len);
            next = ws.insert(kLvalOwner, lvm->ownedMap, lvm->freeMap, row, "MSysObjects.LvProp");
        }
        // The header repeats bytes 8-11 of the page holding the first chunk.
        const Bytes& first = pager.read(next.page);
        lvHeader = makeLongValueHeader(static_cast<uint32_t>(blob.size()), kLongValueChain, next, le32(&first[8]));
    }

    // The catalog row.
    double now = nowOleDate();
    RowValues v(objs.maxColumns);
    v[cc.id->number] = longBytes(static_cast<int32_t>(id));
    v[cc.parentId->number] = longBytes(kTablesContainerId);
    v[cc.name->number] = utf16ToLe(t.name);
    v[cc.type->number] = integerBytes(kObjectTypeTable);
    v[cc.dateCreate->number] = doubleBytes(now);
    v[cc.dateUpdate->number] = doubleBytes(now);
    v[cc.owner->number] = catalogOwner();
    v[cc.flags->number] = longBytes(0);
    v[cc.lvProp->number] = lvHeader;
    Bytes catalogRow = encodeRow(objs, v);
    RowPointer objRow = ws.insert(kMSysObjectsPage, objs.ownedMap, objs.freeMap, catalogRow, "MSysObjects");

    // MSysObjects counts and indexes.
    patchTableDefinition32(pager, objs, 0x10, objs.rowCount + 1);
    for (auto& ri : objs.realIndexes) {
        patchTableDefinition32(pager, objs, ri.countsOffset + 4, ri.distinctKeys + 1);
        if (ri.rowCountField == objs.rowCount && ri.rowCountField != 0)
            patchTableDefinition32(pager, objs, ri.countsOffset, objs.rowCount + 1);
    }
    ws.insertIndexEntries(objs, kMSysObjectsPage, realIndexOf(objs, u"ParentIdName", "MSysObjects"),
                          {IndexEntry{nameKey, objRow}}, "MSysObjects");
    ws.insertIndexEntries(objs, kMSysObjectsPage, realIndexOf(objs, u"Id", "MSysObjects"),
                          {IndexEntry{longKey(static_cast<int32_t>(id)), objRow}}, "MSysObjects");

    // Permissions.
    const ColumnDef& aObj = aces.columnByName(u"ObjectId", "MSysACEs");
    const ColumnDef& aSid = aces.columnByName(u"SID", "MSysACEs");
    const ColumnDef& aAcm = aces.columnByName(u"ACM", "MSysACEs");
    const ColumnDef& aInh = aces.columnByName(u"FInheritable", "MSysACEs");
    std::vector<IndexEntry> aceEntries;
    for (auto& sid : tableAceSids()) {
        RowValues av(aces.maxColumns);
        av[aObj.number] = longBytes(static_cast<int32_t>(id));
        av[aSid.number] = sid;
        av[aAcm.number] = longBytes(static_cast<int32_t>(kAceFullAccess));
        av[aInh.number] = Bytes{0};
        RowPointer p = ws.insert(kMSysAcesPage, aces.ownedMap, aces.freeMap, encodeRow(aces, av), "MSysACEs");
        aceEntries.push_back(IndexEntry{longKey(static_cast<int32_t>(id)), p});
    }
    if (!aceEntries.empty()) {
        std::sort(aceEntries.begin(), aceEntries.end());
        patchTableDefinition32(pager, aces, 0x10, aces.rowCount + static_cast<uint32_t>(aceEntries.size()));
        for (auto& ri : aces.realIndexes) {
            patchTableDefinition32(pager, aces, ri.countsOffset + 4, ri.distinctKeys + 1);
            if (ri.rowCountField == aces.rowCount && ri.rowCountField != 0)
                patchTableDefinition32(pager, aces, ri.countsOffset, aces.rowCount + static_cast<uint32_t>(aceEntries.size()));
        }
        for (size_t i = 0; i < aces.realIndexes.size(); ++i) {
            auto& cols = aces.realIndexes[i].columns;
            if (cols.size() != 1 || cols[0].first != aObj.number)
                throw JetError(errUnsupported, "MSysACEs の索引の形が想定と違うため、テーブルを作成できません。");
            ws.insertIndexEntries(aces, kMSysAcesPage, i, aceEntries, "MSysACEs");
        }
    }

    ws.flushMaps();
    updateGlobalMap(pager, firstNew, firstAppended);
}

}  // namespace jet
