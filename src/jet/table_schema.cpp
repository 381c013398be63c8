#include "table_schema.h"

#include <algorithm>

#include "catalog.h"
#include "database_file.h"
#include "long_value.h"
#include "properties.h"
#include "row.h"

namespace jet {

namespace {

// Jet marks system objects (MSys...) with these bits of MSysObjects.Flags.
constexpr uint32_t kSystemObjectFlags = 0x80000002u;

bool isSystem(const CatalogObject& o) { return (static_cast<uint32_t>(o.flags) & kSystemObjectFlags) != 0; }

std::u16string upperAscii(std::u16string s) {
    for (auto& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return s;
}

int daoType(uint8_t columnType) {
    switch (columnType) {
        case colNumeric: return dbDecimalType;
        case colComplex: return dbComplexType;
        case colBigInt: return dbBigIntType;
        case colDateTimeExtended: return dbDateTimeExtendedType;
        default: return columnType;  // Jet's codes 1-15 are DAO's
    }
}

// The Required property of each column, from the catalog row's LvProp. A column without the
// property is not required, as Access treats it.
std::vector<std::pair<std::u16string, bool>> requiredFlags(DatabaseFile& f, const CatalogObject& o) {
    std::vector<std::pair<std::u16string, bool>> out;
    TableDefinition objs = f.readTdef(kMSysObjectsPage);
    CatalogColumns cc(objs);
    auto row = readRow(f.pager(), o.where, kMSysObjectsPage);
    if (!row) return out;
    RowValues v = decodeRow(objs, *row);
    const auto& lv = v[cc.lvProp->number];
    if (!lv || lv->empty()) return out;
    Bytes blob = readLongValue(f.pager(), *lv);
    if (blob.empty()) return out;
    std::vector<PropertyBlock> blocks = decodeProperties(blob);
    for (size_t i = 0; i < blocks.size(); ++i) {
        // The table's own block comes first (kind 0); the columns' blocks follow.
        if (blocks[i].kind != 1 && i == 0) continue;
        for (auto& p : blocks[i].values) {
            if (p.name != u"Required") continue;
            bool on = false;
            for (uint8_t b : p.data) on = on || b != 0;
            out.emplace_back(blocks[i].owner, on);
        }
    }
    return out;
}

CatalogObject findTable(DatabaseFile& f, const std::string& name) {
    const std::u16string wanted = utf8ToUtf16(name);
    for (auto& o : f.tables())
        if (o.name == wanted) return o;
    throw JetError(errIndexField, "テーブル『" + name + "』はデータベースにありません。", base::Subject::ofTable(name));
}

}  // namespace

const StoredField* StoredTable::field(const std::string& n) const {
    for (auto& f : fields)
        if (f.name == n) return &f;
    const std::u16string key = upperAscii(utf8ToUtf16(n));
    for (auto& f : fields)
        if (upperAscii(utf8ToUtf16(f.name)) == key) return &f;
    return nullptr;
}

const StoredIndex* StoredTable::primaryKey() const {
    for (auto& x : indexes)
        if (x.primary) return &x;
    return nullptr;
}

std::vector<std::string> userTableNames(Database& db) {
    std::vector<std::string> out;
    for (auto& o : databaseFile(db).tables())
        if (!isSystem(o)) out.push_back(utf16ToUtf8(o.name));
    return out;
}

StoredTable readStoredTable(Database& db, const std::string& name) {
    DatabaseFile& f = databaseFile(db);
    const CatalogObject o = findTable(f, name);
    StoredTable t;
    t.name = utf16ToUtf8(o.name);
    t.system = isSystem(o);
    if (o.type != kObjectTypeTable) {
        t.linked = true;
        return t;
    }
    if (o.id <= 0 || static_cast<uint32_t>(o.id) >= f.pager().pageCount())
        corrupt("テーブル『" + t.name + "』の定義ページ番号が不正");
    const TableDefinition d = f.readTdef(static_cast<uint32_t>(o.id));
    const auto required = requiredFlags(f, o);

    std::vector<const ColumnDef*> cols;
    for (auto& c : d.columns) cols.push_back(&c);
    std::stable_sort(cols.begin(), cols.end(), [](const ColumnDef* a, const ColumnDef* b) { return a->number < b->number; });
    for (const ColumnDef* c : cols) {
        StoredField sf;
        sf.name = utf16ToUtf8(c->name);
        sf.type = daoType(c->type);
        if (c->type == colText) sf.size = c->length / 2;
        else if (!isLongValueType(c->type)) sf.size = c->length;
        // A complex column carries the flag for the ids Access numbers in it; it is no AutoNumber field.
        sf.autoNumber = (c->flags & kColAutoNumber) != 0 && c->type != colComplex;
        sf.attributes = (c->fixed() ? dbFixedField : dbVariableField) | (sf.autoNumber ? dbAutoIncrField : 0);
        for (auto& r : required)
            if (r.first == c->name) sf.required = r.second;
        t.fields.push_back(std::move(sf));
    }
    auto columnName = [&](uint16_t number) {
        for (auto& c : d.columns)
            if (c.number == number) return utf16ToUtf8(c.name);
        corrupt("テーブル『" + t.name + "』の索引が存在しない列を指しています");
    };
    for (auto& l : d.logicalIndexes) {
        const RealIndexDef& r = d.realIndexes[l.realIndex];
        StoredIndex x;
        x.name = utf16ToUtf8(l.name);
        x.primary = l.indexType == 1;
        x.foreignKey = l.indexType == 2;
        x.unique = (r.flags & kIdxUnique) != 0;
        for (auto& kc : r.columns) {
            x.fields.push_back(columnName(kc.first));
            x.descending.push_back(kc.second != 0x01);
        }
        t.indexes.push_back(std::move(x));
    }
    return t;
}

}  // namespace jet
