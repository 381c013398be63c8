// Creating a table in an open database: every page of the write set is built in the pager's
// overlay, then committed through the rollback journal (all or nothing).
#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

#include "checker.h"
#include "civil_date.h"
#include "data_page.h"
#include "database_file.h"
#include "file_io.h"
#include "file_names.h"
#include "index_key.h"
#include "index_insert.h"
#include "index_page.h"
#include "journal.h"
#include "long_value.h"
#include "name_rules.h"
#include "properties.h"
#include "usage_map.h"
#include "write_set.h"

namespace jet {

namespace {

// --- Step 1: the table's definition, before any page is chosen -------------------------------

// Bytes a fixed-length column takes in the fixed part of a row.
uint16_t fixedLength(uint8_t type) {
    switch (type) {
        case colInteger: return sizeof(int16_t);
        case colLong: return sizeof(int32_t);
        case colSingle: return sizeof(float);
        default: return sizeof(double);  // Currency, Double, Date/Time
    }
}

// The column descriptors: variable-length columns numbered in their own order, fixed ones laid
// out one after the other. `catalogName`: MSysObjects.Name, whose sort order text columns take.
void defineColumns(const NewTable& t, const ColumnDef& catalogName, TableDefinition& d) {
    uint16_t fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const NewColumn& nc = t.columns[i];
        ColumnDef c;
        c.type = nc.type;
        c.number = static_cast<uint16_t>(i);
        c.ordinal = static_cast<uint16_t>(i);
        c.lcid = catalogName.lcid;
        // The sort-order version only concerns text: Access 2010 and later mark their General
        // (version 1) Text and Memo columns 1 and every other column 0.
        const bool text = nc.type == colText || nc.type == colMemo;
        c.sortVersion = text ? catalogName.sortVersion : 0;
        c.name = nc.name;
        if (text) {
            // Variable length, Unicode compression on (Access's default for both). A Memo's value
            // lives in long-value rows; its descriptor gives no length.
            c.flags = kColUpdatable;
            c.extFlags = kColCompressedUnicode;
            c.length = nc.type == colText ? static_cast<uint16_t>(nc.textChars * sizeof(char16_t)) : 0;
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
            c.length = fixedLength(nc.type);
            c.varIndex = varIndex;
            c.fixedOffset = fixedOffset;
            fixedOffset = static_cast<uint16_t>(fixedOffset + c.length);
        }
        d.columns.push_back(c);
    }
    d.maxColumns = static_cast<uint16_t>(t.columns.size());
    d.varColumns = varIndex;
}

// The number of the column an index names (the request was checked: the name is there, as the
// name rules compare names).
uint16_t columnNumber(const TableDefinition& d, const std::u16string& name) {
    for (auto& c : d.columns)
        if (c.name == name) return c.number;
    const std::u16string folded = foldNameCase(name);
    for (auto& c : d.columns)
        if (foldNameCase(c.name) == folded) return c.number;
    throw JetError(errIndexField, "インデックスのフィールドがテーブルにありません。");
}

// Jet lists a table's named indexes by name, ASCII letters compared as capitals.
bool jetIndexNameOrder(const LogicalIndexDef& a, const LogicalIndexDef& b) {
    auto upper = [](std::u16string s) {
        for (auto& c : s)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        return s;
    };
    return upper(a.name) < upper(b.name);
}

// One real index (the tree) and one logical index (the name) per requested index, primary key
// first as Jet lists it.
void defineIndexes(const NewTable& t, TableDefinition& d) {
    std::vector<const NewIndex*> idx;
    for (auto& x : t.indexes) if (x.primary) idx.push_back(&x);
    for (auto& x : t.indexes) if (!x.primary) idx.push_back(&x);
    for (size_t i = 0; i < idx.size(); ++i) {
        RealIndexDef r;
        for (auto& cn : idx[i]->columns) r.columns.emplace_back(columnNumber(d, cn), kIndexColumnAscending);
        r.flags = idx[i]->primary ? (kIdxAlwaysSet | kIdxUnique | kIdxRequired) : kIdxAlwaysSet;
        d.realIndexes.push_back(r);
        LogicalIndexDef l;
        l.realIndex = static_cast<uint32_t>(i);
        l.relIndex = -1;
        l.cascadeUpdates = tdef::kNoRelationship;
        l.cascadeDeletes = tdef::kNoRelationship;
        l.indexType = idx[i]->primary ? tdef::kIndexTypePrimaryKey : 0;
        l.name = idx[i]->name;
        d.logicalIndexes.push_back(l);
    }
    std::stable_sort(d.logicalIndexes.begin(), d.logicalIndexes.end(), jetIndexNameOrder);
    for (size_t i = 0; i < d.logicalIndexes.size(); ++i) d.logicalIndexes[i].number = static_cast<uint32_t>(i);
}

TableDefinition defineTable(const NewTable& t, const ColumnDef& catalogName) {
    TableDefinition d;
    d.tableType = kTableTypeUser;
    d.autoIncrement = 1;
    defineColumns(t, catalogName, d);
    defineIndexes(t, d);
    // A long-value map for each Memo column, in column order (its map rows are set below).
    for (auto& c : d.columns)
        if (isLongValueType(c.type)) d.lvMaps.push_back(LongValueMap{c.number, 0, 0});
    return d;
}

// --- Step 2: the table's own pages ----------------------------------------------------------

// A table definition may take this many pages at most (first page and continuations).
constexpr size_t kMaxNewTdefPages = 16;
// Usage-map rows one map page holds.
constexpr size_t kMapsPerPage = (kPageSize - kDataPageHeaderSize) / rowCost(kMapRowSize);  // 57
// Usage maps of a table: its owned and free pages; the owned and free long-value pages of each
// Memo column; one for each real index.
constexpr size_t kTableMaps = 2, kMapsPerLongValueColumn = 2, kMapsPerIndex = 1;

struct TablePages {
    std::vector<uint32_t> tdef;   // the definition, then its continuations; the first is the table's Id
    std::vector<uint32_t> maps;   // pages holding the table's usage maps
    std::vector<uint32_t> roots;  // the root leaf of each real index
    size_t mapCount = 0;
};

// Takes pages at the end of the file: the definition's, the usage-map page(s), one root leaf per
// index, and points the definition at its maps and roots. The usage maps, in Access's order: the
// table's owned and free pages, the owned and free long-value pages of each Memo column, one per
// real index. A table of many Memo columns and indexes goes on to another map page.
TablePages placeTable(WriteSet& ws, TableDefinition& d, size_t definitionLength) {
    TablePages pages;
    const size_t tdefPages = tdefPagesNeeded(definitionLength);
    if (tdefPages > kMaxNewTdefPages) throw JetError(errTableTooLarge, "テーブルの定義が大きすぎます。");
    for (size_t i = 0; i < tdefPages; ++i) pages.tdef.push_back(ws.allocate());
    pages.mapCount = kTableMaps + kMapsPerLongValueColumn * d.lvMaps.size() + kMapsPerIndex * d.realIndexes.size();
    for (size_t i = 0; i < pages.mapCount; i += kMapsPerPage) pages.maps.push_back(ws.allocate());
    size_t nextMap = 0;
    auto mapAt = [&]() {
        size_t k = nextMap++;
        return RowPointer{pages.maps[k / kMapsPerPage], static_cast<uint8_t>(k % kMapsPerPage)}.toLe();
    };
    d.ownedMap = mapAt();
    d.freeMap = mapAt();
    for (auto& m : d.lvMaps) {
        m.ownedMap = mapAt();
        m.freeMap = mapAt();
    }
    for (auto& ri : d.realIndexes) {
        ri.rootPage = ws.allocate();
        ri.usageMap = mapAt();
        pages.roots.push_back(ri.rootPage);
    }
    return pages;
}

// Writes the table's pages: the definition, an empty leaf for each index, and the usage maps
// (empty, but each index's naming its leaf).
void writeTablePages(Pager& pager, const TableDefinition& d, size_t definitionLength, const TablePages& pages) {
    const uint32_t id = pages.tdef[0];
    for (uint32_t root : pages.roots) pager.modify(root) = makeEmptyLeaf(id);
    Bytes logical = encodeTableDefinition(d);
    if (logical.size() != definitionLength) throw JetError(errUnsupported, "テーブル定義の長さが一定しません。");
    auto images = layoutTableDefinition(logical, pages.tdef);
    for (size_t i = 0; i < images.size(); ++i) pager.modify(pages.tdef[i]) = images[i];
    std::vector<Bytes> maps(pages.mapCount - pages.roots.size(), newMapRow());
    for (uint32_t root : pages.roots) maps.push_back(newMapRow(root));
    for (size_t k = 0; k < maps.size(); ++k) {
        const uint32_t page = pages.maps[k / kMapsPerPage];
        Bytes& mp = pager.modify(page);
        if (k % kMapsPerPage == 0) mp = makeDataPage(kUsageMapOwner);
        if (insertRow(mp, page, maps[k]) != static_cast<int>(k % kMapsPerPage))
            throw JetError(errUnsupported, "使用ページマップを作れません。");
    }
}

// --- Step 3: the table's properties -----------------------------------------------------------

// Stores the properties (Required of every field, a Yes/No one's check box) as a long value of
// MSysObjects.LvProp: one row, or a chain of rows each led by the pointer to the next one (0 on
// the last). Returns the long-value header for the catalog row.
Bytes writeProperties(WriteSet& ws, const NewTable& t, const TableDefinition& objs, const CatalogColumns& cc) {
    std::vector<NewColumnProperties> req;
    for (auto& c : t.columns) req.push_back({c.name, c.required, c.type == colBoolean});
    Bytes blob = requiredProperties(req);
    const LongValueMap* lvm = objs.lvMap(cc.lvProp->number);
    if (!lvm) corrupt("MSysObjects.LvProp の長い値のマップがありません");
    if (blob.size() > kLongValueMaxLength) throw JetError(errTableTooLarge, "テーブルのプロパティが大きすぎます。");
    if (blob.size() <= kMaxRowSize) {
        RowPointer lvRow = ws.insert(kLvalOwner, lvm->ownedMap, lvm->freeMap, blob, "MSysObjects.LvProp");
        return makeLongValueHeader(static_cast<uint32_t>(blob.size()), kLongValueOneRow, lvRow, 0);
    }
    // Written from the end so that every row knows its successor.
    const size_t chunks = (blob.size() + kLongValueChunk - 1) / kLongValueChunk;
    RowPointer next{0, 0};
    for (size_t i = chunks; i-- > 0;) {
        size_t from = i * kLongValueChunk, len = std::min(kLongValueChunk, blob.size() - from);
        Bytes row;
        row.reserve(kLongValueNextSize + len);
        append32(row, next.toLe());
        row.insert(row.end(), blob.begin() + from, blob.begin() + from + len);
        next = ws.insert(kLvalOwner, lvm->ownedMap, lvm->freeMap, row, "MSysObjects.LvProp");
    }
    // The header repeats the stamp of the page holding the first chunk.
    const Bytes& first = ws.pager().read(next.page);
    return makeLongValueHeader(static_cast<uint32_t>(blob.size()), kLongValueChain, next,
                               le32(&first[kDataPageStamp]));
}

// --- Steps 4 and 5: the catalog row and the permissions -------------------------------------

// Counts `rows` new rows in a system table's definition: its row count, and one more distinct
// key in each index (the new rows share their key).
void countNewRows(Pager& pager, const TableDefinition& def, uint32_t rows) {
    patchTableDefinition32(pager, def, tdef::kRowCount, def.rowCount + rows);
    for (auto& ri : def.realIndexes) {
        patchTableDefinition32(pager, def, ri.countsOffset + tdef::kCountsDistinct, ri.distinctKeys + 1);
        if (ri.rowCountField == def.rowCount && ri.rowCountField != 0)
            patchTableDefinition32(pager, def, ri.countsOffset + tdef::kCountsRows, def.rowCount + rows);
    }
}

struct CatalogEntry {
    uint32_t id = 0;
    const Bytes* nameKey = nullptr;  // the table's key in the ParentIdName index
    const Bytes* owner = nullptr;    // the database owner, as MSysDb names it
    Bytes lvProp;                    // long-value header of the properties
};

// The table's row in MSysObjects, counted and added to both of its indexes.
void addCatalogRow(WriteSet& ws, const NewTable& t, const TableDefinition& objs, const CatalogColumns& cc,
                   const CatalogEntry& e) {
    const double now = base::oleDateNow();
    RowValues v(objs.maxColumns);
    v[cc.id->number] = longBytes(static_cast<int32_t>(e.id));
    v[cc.parentId->number] = longBytes(kTablesContainerId);
    v[cc.name->number] = utf16ToLe(t.name);
    v[cc.type->number] = integerBytes(kObjectTypeTable);
    v[cc.dateCreate->number] = doubleBytes(now);
    v[cc.dateUpdate->number] = doubleBytes(now);
    v[cc.owner->number] = *e.owner;
    v[cc.flags->number] = longBytes(0);
    v[cc.lvProp->number] = e.lvProp;
    RowPointer objRow = ws.insert(kMSysObjectsPage, objs.ownedMap, objs.freeMap, encodeRow(objs, v), "MSysObjects");
    countNewRows(ws.pager(), objs, 1);
    ws.insertIndexEntries(objs, kMSysObjectsPage, realIndexOf(objs, u"ParentIdName", "MSysObjects"),
                          {IndexEntry{*e.nameKey, objRow}}, "MSysObjects");
    ws.insertIndexEntries(objs, kMSysObjectsPage, realIndexOf(objs, u"Id", "MSysObjects"),
                          {IndexEntry{longKey(static_cast<int32_t>(e.id)), objRow}}, "MSysObjects");
}

// Full access to the new table for each of `sids`, as MSysACEs rows, counted and indexed.
void addPermissions(WriteSet& ws, const TableDefinition& aces, uint32_t id, const std::vector<Bytes>& sids) {
    const ColumnDef& aObj = aces.columnByName(u"ObjectId", "MSysACEs");
    const ColumnDef& aSid = aces.columnByName(u"SID", "MSysACEs");
    const ColumnDef& aAcm = aces.columnByName(u"ACM", "MSysACEs");
    const ColumnDef& aInh = aces.columnByName(u"FInheritable", "MSysACEs");
    std::vector<IndexEntry> aceEntries;
    for (auto& sid : sids) {
        RowValues av(aces.maxColumns);
        av[aObj.number] = longBytes(static_cast<int32_t>(id));
        av[aSid.number] = sid;
        av[aAcm.number] = longBytes(static_cast<int32_t>(kFullAccessRights));
        av[aInh.number] = Bytes{0};
        RowPointer p = ws.insert(kMSysAcesPage, aces.ownedMap, aces.freeMap, encodeRow(aces, av), "MSysACEs");
        aceEntries.push_back(IndexEntry{longKey(static_cast<int32_t>(id)), p});
    }
    if (aceEntries.empty()) return;
    std::sort(aceEntries.begin(), aceEntries.end());
    countNewRows(ws.pager(), aces, static_cast<uint32_t>(aceEntries.size()));
    for (size_t i = 0; i < aces.realIndexes.size(); ++i) {
        auto& cols = aces.realIndexes[i].columns;
        if (cols.size() != 1 || cols[0].first != aObj.number)
            throw JetError(errUnsupported, "MSysACEs の索引の形が想定と違うため、テーブルを作成できません。");
        ws.insertIndexEntries(aces, kMSysAcesPage, i, aceEntries, "MSysACEs");
    }
}

}  // namespace


const std::set<std::u16string>& DatabaseFile::foldedTableNames() {
    if (folded_) return *folded_;
    TableDefinition objs = readTdef(kMSysObjectsPage);
    size_t ri = realIndexOf(objs, u"ParentIdName", "MSysObjects");
    IndexTree tree = readIndexTree(*pager_, objs.realIndexes[ri].rootPage, kMSysObjectsPage);
    std::set<std::u16string> names;
    for (auto& e : tree.entries) {
        if (e.key.size() < kLongKeySize || be32(&e.key[1]) != (static_cast<uint32_t>(kTablesContainerId) ^ kLongKeySignFlip)) continue;
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
        if (static_cast<uint32_t>(valueLong(v, acm).value_or(0)) == kFullAccessRights &&
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
    if (!tk.ok) throw JetError(errNameNotKeyable, "テーブル名『" + tn + "』は作成できません。" + tk.reason, base::Subject::ofTable(tn));
    Bytes nameKey = parentIdNameKey(static_cast<uint32_t>(kTablesContainerId), tk.bytes);
    // Names already present under the Tables container: compare keys (what the unique index
    // compares) and, to be safe, names without regard to letter case.
    {
        TableDefinition objs = readTdef(kMSysObjectsPage);
        size_t ri = realIndexOf(objs, u"ParentIdName", "MSysObjects");
        if (indexHasKey(*pager_, objs.realIndexes[ri].rootPage, kMSysObjectsPage, nameKey))
            throw JetError(errTableExists, "テーブル『" + tn + "』は既に存在します。", base::Subject::ofTable(tn));
        if (foldedTableNames().count(foldNameCase(t.name)))
            throw JetError(errTableExists, "テーブル『" + tn + "』は既に存在します（大文字と小文字の違いだけの名前は使えません）。",
                           base::Subject::ofTable(tn));
    }
    if (!verified_) {
        // Before the first write: never write into a damaged file.
        const std::vector<std::string> damage = checkBeforeWrite(*this);
        if (!damage.empty())
            throw fileError(errDamaged, path_,
                            {"データベース", "は壊れているため、書き込みません（" + damage.front() +
                                                 (damage.size() > 1 ? "。ほかに " + std::to_string(damage.size() - 1) + " 件の問題があります" : "") +
                                                 "）。Access でデータベースの最適化/修復を行ってから、もう一度実行してください。"});
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
    pager_->setSpill(platform::folderOf(realPath_), spillPages);
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

// The write order of a table creation: the definition is made in memory, then the table's own
// pages are taken at the end of the file and written (definition, index leaves, usage maps),
// then rows go into existing tables (properties, catalog, permissions) and their indexes, and
// last the usage maps of those tables and the global page map are brought up to date.
void DatabaseFile::writeTable(const NewTable& t, const Bytes& nameKey, uint32_t& newId) {
    Pager& pager = *pager_;
    const uint32_t firstNew = pager.filePageCount();
    const uint32_t firstAppended = pager.pageCount();
    WriteSet ws(pager);
    const TableDefinition objs = readTdef(kMSysObjectsPage);
    const TableDefinition aces = readTdef(kMSysAcesPage);
    const CatalogColumns cc(objs);

    TableDefinition d = defineTable(t, *cc.name);
    const size_t definitionLength = encodeTableDefinition(d).size();
    const TablePages pages = placeTable(ws, d, definitionLength);
    const uint32_t id = pages.tdef[0];
    newId = id;
    writeTablePages(pager, d, definitionLength, pages);
    Bytes lvProp = writeProperties(ws, t, objs, cc);
    addCatalogRow(ws, t, objs, cc, CatalogEntry{id, &nameKey, &catalogOwner(), std::move(lvProp)});
    addPermissions(ws, aces, id, tableAceSids());
    ws.flushMaps();
    updateGlobalMap(pager, firstNew, firstAppended);
}

}  // namespace jet
