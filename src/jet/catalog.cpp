#include "catalog.h"

#include "data_page.h"
#include "index_key.h"
#include "index_page.h"

namespace jet {

std::optional<Bytes> readRow(Pager& pager, RowPointer p, uint32_t owner) {
    for (int hop = 0; hop < 2; ++hop) {
        const Bytes& page = pager.read(p.page);
        DataPageView v = parseDataPage(page, p.page);
        if (v.owner != owner) corrupt("ページ " + std::to_string(p.page) + " は別のテーブルの行です");
        if (p.row >= v.slots.size()) corrupt("ページ " + std::to_string(p.page) + " に行 " + std::to_string(p.row) + " がありません");
        const RowSlot& s = v.slots[p.row];
        if (hop == 0 && (s.flags & kRowDeleted) && !(s.flags & kRowLookup)) return std::nullopt;
        if (hop == 0 && (s.flags & kRowLookup) && !(s.flags & kRowDeleted)) {
            if (s.end - s.start < 4) corrupt("参照行が短すぎます");
            p = RowPointer::fromLe(le32(&page[s.start]));
            continue;
        }
        if ((s.flags & kRowSlotFlags) == (kRowDeleted | kRowLookup)) return std::nullopt;
        if (hop == 1 && (s.flags & kRowLookup)) corrupt("参照行が別の参照行を指しています");
        return Bytes(page.begin() + s.start, page.begin() + s.end);
    }
    corrupt("参照行が別の参照行を指しています");
}

UsageMap readUsageMap(Pager& pager, uint32_t rowPointer, const std::string& what) {
    RowPointer p = RowPointer::fromLe(rowPointer);
    Bytes row = rowBytes(pager.read(p.page), p.page, p.row);
    return UsageMap::parse(row, pager, what);
}

std::vector<StoredRow> scanRows(Pager& pager, const TableDefinition& def, uint32_t tdefPage) {
    std::vector<StoredRow> out;
    UsageMap owned = readUsageMap(pager, def.ownedMap, "テーブル " + std::to_string(tdefPage));
    for (uint32_t pg : owned.pages()) {
        if (pg >= pager.pageCount()) corrupt("使用ページマップがファイル外のページを指しています");
        const Bytes& page = pager.read(pg);
        if (!isDataPage(page)) continue;
        DataPageView v = parseDataPage(page, pg);
        if (v.owner != tdefPage) continue;
        for (size_t i = 0; i < v.slots.size(); ++i) {
            const RowSlot& s = v.slots[i];
            if (s.flags & kRowDeleted) continue;  // deleted, or reached through a lookup row
            RowPointer where{pg, static_cast<uint8_t>(i)};
            auto bytes = readRow(pager, where, tdefPage);
            if (bytes) out.push_back(StoredRow{where, std::move(*bytes)});
        }
    }
    return out;
}

CatalogColumns::CatalogColumns(const TableDefinition& d)
    : id(&d.columnByName(u"Id", "MSysObjects")),
      parentId(&d.columnByName(u"ParentId", "MSysObjects")),
      name(&d.columnByName(u"Name", "MSysObjects")),
      type(&d.columnByName(u"Type", "MSysObjects")),
      dateCreate(&d.columnByName(u"DateCreate", "MSysObjects")),
      dateUpdate(&d.columnByName(u"DateUpdate", "MSysObjects")),
      owner(&d.columnByName(u"Owner", "MSysObjects")),
      flags(&d.columnByName(u"Flags", "MSysObjects")),
      lvProp(&d.columnByName(u"LvProp", "MSysObjects")) {
    if (id->type != colLong || parentId->type != colLong || name->type != colText || type->type != colInteger ||
        flags->type != colLong || dateCreate->type != colDateTime || dateUpdate->type != colDateTime ||
        owner->type != colBinary || lvProp->type != colOle)
        corrupt("MSysObjects の列の型が想定と違います");
}

CatalogObject decodeCatalogObject(const TableDefinition& def, const Bytes& row, RowPointer where) {
    CatalogColumns c(def);
    RowValues v = decodeRow(def, row);
    CatalogObject o;
    o.where = where;
    o.id = valueLong(v, *c.id).value_or(0);
    o.parentId = valueLong(v, *c.parentId).value_or(0);
    o.type = valueInteger(v, *c.type).value_or(0);
    o.flags = valueLong(v, *c.flags).value_or(0);
    o.name = valueText(v, *c.name).value_or(u"");
    return o;
}

size_t realIndexOf(const TableDefinition& def, const std::u16string& logicalName, const char* table) {
    for (auto& l : def.logicalIndexes)
        if (l.name == logicalName) return l.realIndex;
    corrupt(std::string(table) + " に索引 " + utf16ToUtf8(logicalName) + " がありません");
}

std::vector<CatalogObject> listTables(Pager& pager, const TableDefinition& def) {
    size_t ri = realIndexOf(def, u"ParentIdName", "MSysObjects");
    IndexTree tree = readIndexTree(pager, def.realIndexes[ri].rootPage, kMSysObjectsPage);
    std::vector<CatalogObject> out;
    for (auto& e : tree.entries) {
        // The key starts with the ParentId's key (longKey): kKeyAscending, the sign-flipped value.
        if (e.key.size() < kLongKeySize || e.key[0] != kKeyAscending) continue;
        int32_t parent = static_cast<int32_t>(be32(&e.key[1]) ^ kLongKeySignFlip);
        if (parent != kTablesContainerId) continue;
        auto row = readRow(pager, e.row, kMSysObjectsPage);
        if (!row) corrupt("カタログの索引が削除済みの行を指しています");
        CatalogObject o = decodeCatalogObject(def, *row, e.row);
        if (o.parentId != parent) corrupt("カタログの索引と行の親が一致しません");
        if (o.type == kObjectTypeTable || o.type == kObjectTypeLinkedOdbc || o.type == kObjectTypeLinkedJet)
            out.push_back(std::move(o));
    }
    return out;
}

}  // namespace jet
