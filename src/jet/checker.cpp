#include "checker.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "catalog.h"
#include "data_page.h"
#include "database_file.h"
#include "index_key.h"
#include "index_page.h"
#include "long_value.h"
#include "properties.h"
#include "text_key.h"

namespace jet {

std::string CheckReport::summary() const {
    std::string s = std::to_string(tablesChecked) + " tables, " + std::to_string(indexesChecked) + " indexes, " +
                    std::to_string(keysRecomputed) + " keys recomputed, " + std::to_string(keysUnverified) +
                    " keys unverified, " + std::to_string(longValuesChecked) + " long values, " + std::to_string(problems.size()) + " problems";
    for (auto& p : problems) s += "\n  " + p;
    return s;
}

namespace {

// Key bytes of one column value as Jet stores them; false if this engine cannot compute it.
bool columnKey(const ColumnDef& c, const std::optional<Bytes>& v, uint8_t order, Bytes& out) {
    bool desc = order != kIndexColumnAscending;
    if (!v) {
        out.push_back(desc ? kKeyNullDescending : kKeyNullAscending);
        return true;
    }
    Bytes val;
    switch (c.type) {
        // A complex column (attachments, multi-value fields) holds the 4-byte id of its values,
        // keyed like a Long (as in the theme resource index of Access 2010 and later files).
        case colInteger: case colLong: case colCurrency: case colComplex: {
            val.assign(v->rbegin(), v->rend());
            val[0] ^= kKeySignBit;
            break;
        }
        case colSingle: case colDouble: case colDateTime: {
            val.assign(v->rbegin(), v->rend());
            if (val[0] & kKeySignBit) for (auto& b : val) b = static_cast<uint8_t>(~b);
            else val[0] ^= kKeySignBit;
            break;
        }
        case colText: {
            SortOrder so;
            if (desc || c.sortId != 0 || !sortOrderOf(c.lcid, c.sortVersion, so)) return false;
            RowValues tmp(c.number + 1);
            tmp[c.number] = v;
            auto text = valueText(tmp, c);
            TextKey k = encodeTextKey(*text, so);
            if (!k.ok) return false;
            out.push_back(kKeyAscending);
            out.insert(out.end(), k.bytes.begin(), k.bytes.end());
            return true;
        }
        default:
            return false;
    }
    if (desc) {
        out.push_back(kKeyDescending);
        for (auto b : val) out.push_back(static_cast<uint8_t>(~b));
    } else {
        out.push_back(kKeyAscending);
        out.insert(out.end(), val.begin(), val.end());
    }
    return true;
}

class Checker {
public:
    // `only`: check just these tables (by definition page), without the global map.
    Checker(DatabaseFile& f, CheckReport& r, std::set<uint32_t> only = {}) : f_(f), p_(f.pager()), r_(r), only_(std::move(only)) {}

    void run() {
        std::vector<CatalogObject> tables;
        try {
            tables = f_.tables();
        } catch (const JetError& e) {
            problem(std::string("catalog: ") + e.what());
            return;
        }
        for (auto& t : tables) {
            if (t.type != kObjectTypeTable) continue;
            if (!only_.empty() && !only_.count(static_cast<uint32_t>(t.id))) continue;
            if (t.id <= 0 || static_cast<uint32_t>(t.id) >= p_.pageCount()) {
                problem("table " + utf16ToUtf8(t.name) + ": Id " + std::to_string(t.id) + " is not a page of the file");
                continue;
            }
            p_.trimCache();
            try {
                checkTable(t);
            } catch (const JetError& e) {
                problem("table " + utf16ToUtf8(t.name) + ": " + e.what());
            }
        }
        if (only_.empty()) checkGlobalMap();
    }

private:
    DatabaseFile& f_;
    Pager& p_;
    CheckReport& r_;
    std::set<uint32_t> only_;
    std::map<uint32_t, std::string> owners_;  // page -> the map that claims it
    // Pages holding usage-map rows or reference-map bitmaps. Several tables may share one, so
    // they are not claimed; Jet must still never hand one out as free.
    std::map<uint32_t, std::string> mapPages_;

    void problem(const std::string& s) { r_.problems.push_back(s); }

    UsageMap readMap(uint32_t rowPointer, const std::string& who) {
        mapPages_.emplace(RowPointer::fromLe(rowPointer).page, who + " usage maps");
        UsageMap m = readUsageMap(p_, rowPointer, who);
        for (uint32_t pg : m.bitmapPages()) mapPages_.emplace(pg, who + " usage-map bitmap");
        return m;
    }

    void claim(const std::set<uint32_t>& pages, const std::string& who) {
        for (uint32_t pg : pages) {
            if (pg >= p_.pageCount()) {
                problem(who + ": map names page " + std::to_string(pg) + " past the end of the file");
                continue;
            }
            auto ins = owners_.emplace(pg, who);
            if (!ins.second) problem("page " + std::to_string(pg) + " is claimed by " + ins.first->second + " and by " + who);
        }
    }

    void checkTable(const CatalogObject& t) {
        const std::string name = utf16ToUtf8(t.name);
        const uint32_t tp = static_cast<uint32_t>(t.id);
        TableDefinition d = readTableDefinition(p_, tp);
        ++r_.tablesChecked;
        for (size_t i = 1; i < d.pages.size(); ++i) claim({d.pages[i]}, name + " definition");
        claim({tp}, name + " definition");
        checkVariableColumns(name, d);
        checkDataPages(name, tp, d);
        const std::map<RowPointer, RowValues> rows = readRows(name, tp, d);
        checkLongValues(name, tp, d, rows);
        if (rows.size() != d.rowCount)
            problem(name + ": definition counts " + std::to_string(d.rowCount) + " rows, pages hold " + std::to_string(rows.size()));
        checkLongValueMaps(name, d);
        for (size_t i = 0; i < d.realIndexes.size(); ++i) checkIndex(name, tp, d, i, rows);
    }

    void checkVariableColumns(const std::string& name, const TableDefinition& d) {
        uint16_t vars = 0;
        for (auto& c : d.columns)
            if (!c.fixed() && c.type != colBoolean) {
                ++vars;
                if (c.varIndex >= d.varColumns) problem(name + ": variable index of " + utf16ToUtf8(c.name) + " out of range");
            }
        if (vars > d.varColumns) problem(name + ": more variable columns than the definition counts");
    }

    // The table's data pages: claimed, its own, their free space as their rows leave it.
    void checkDataPages(const std::string& name, uint32_t tp, const TableDefinition& d) {
        UsageMap owned = readMap(d.ownedMap, name);
        UsageMap freeMap = readMap(d.freeMap, name);
        claim(owned.pages(), name + " data");
        for (uint32_t pg : freeMap.pages())
            if (!owned.has(pg)) problem(name + ": free-space map names page " + std::to_string(pg) + " that the table does not own");
        for (uint32_t pg : owned.pages()) {
            if (pg >= p_.pageCount()) continue;
            const Bytes& page = p_.read(pg);
            if (!isDataPage(page)) {
                problem(name + ": owned page " + std::to_string(pg) + " is not a data page");
                continue;
            }
            DataPageView v = parseDataPage(page, pg);
            if (v.owner != tp) {
                problem(name + ": data page " + std::to_string(pg) + " belongs to " + std::to_string(v.owner));
                continue;
            }
            uint16_t low = kPageSize;
            for (auto& s : v.slots) low = std::min(low, s.start);
            if (v.freeSpace != low - (kDataPageHeaderSize + kRowSlotSize * v.slots.size()))
                problem(name + ": free space of data page " + std::to_string(pg) + " is wrong");
        }
    }

    std::map<RowPointer, RowValues> readRows(const std::string& name, uint32_t tp, const TableDefinition& d) {
        std::map<RowPointer, RowValues> rows;
        for (auto& sr : scanRows(p_, d, tp)) {
            try {
                rows[sr.where] = decodeRow(d, sr.bytes);
            } catch (const JetError& e) {
                problem(name + ": row " + std::to_string(sr.where.page) + "/" + std::to_string(sr.where.row) + ": " + e.what());
            }
        }
        return rows;
    }

    // Long values must resolve to exactly their length; property blobs must parse.
    void checkLongValues(const std::string& name, uint32_t tp, const TableDefinition& d,
                         const std::map<RowPointer, RowValues>& rows) {
        for (auto& kv : rows) {
            for (auto& c : d.columns) {
                if (c.fixed() || !isLongValueType(c.type) || c.number >= kv.second.size() || !kv.second[c.number]) continue;
                const Bytes& field = *kv.second[c.number];
                if (field.empty()) continue;
                try {
                    Bytes value = readLongValue(p_, field);
                    ++r_.longValuesChecked;
                    if (tp == kMSysObjectsPage && c.name == u"LvProp" && value.size() >= 4 && value[0] == 'M' &&
                        value[1] == 'R' && value[2] == '2')
                        decodeProperties(value);
                } catch (const JetError& e) {
                    problem(name + ": " + utf16ToUtf8(c.name) + " of row " + std::to_string(kv.first.page) + "/" +
                            std::to_string(kv.first.row) + ": " + e.what());
                }
            }
        }
    }

    // Long-value maps: one for each Memo and OLE column (where Jet finds its pages).
    void checkLongValueMaps(const std::string& name, const TableDefinition& d) {
        for (auto& c : d.columns)
            if (isLongValueType(c.type) && !d.lvMap(c.number))
                problem(name + ": long-value column " + utf16ToUtf8(c.name) + " has no long-value map");
        for (auto& m : d.lvMaps) {
            UsageMap o = readMap(m.ownedMap, name);
            if (m.freeMap != 0) readMap(m.freeMap, name);  // Access leaves some of these unset
            claim(o.pages(), name + " long values");
            for (uint32_t pg : o.pages()) {
                if (pg >= p_.pageCount()) continue;
                const Bytes& page = p_.read(pg);
                if (!isDataPage(page) || le32(&page[kDataPageOwner]) != kLvalOwner)
                    problem(name + ": long-value page " + std::to_string(pg) + " is not an LVAL page");
            }
        }
    }

    void checkIndex(const std::string& name, uint32_t tp, const TableDefinition& d, size_t i,
                    const std::map<RowPointer, RowValues>& rows) {
        const RealIndexDef& ri = d.realIndexes[i];
        const std::string who = name + " index " + std::to_string(i);
        ++r_.indexesChecked;
        IndexTree tree = readIndexTree(p_, ri.rootPage, tp);
        UsageMap m = readMap(ri.usageMap, who);
        std::set<uint32_t> treePages(tree.pages.begin(), tree.pages.end());
        if (treePages != m.pages()) problem(who + ": usage map does not list exactly the pages of the tree");
        claim(treePages, who);
        for (size_t k = 1; k < tree.entries.size(); ++k)
            if (!(tree.entries[k - 1] < tree.entries[k])) problem(who + ": entries out of order at " + std::to_string(k));
        if (ri.flags & kIdxUnique) {
            // Unique means unique among keys without NULLs; Jet admits any number of NULL keys.
            auto hasNull = [&](const IndexEntry& e) {
                auto it = rows.find(e.row);
                if (it == rows.end()) return false;
                for (auto& kc : ri.columns)
                    if (kc.first >= it->second.size() || !it->second[kc.first]) return true;
                return false;
            };
            for (size_t k = 1; k < tree.entries.size(); ++k)
                if (tree.entries[k - 1].key == tree.entries[k].key && !hasNull(tree.entries[k]))
                    problem(who + ": duplicate key in a unique index");
        }
        // Every level: prev/next chain in tree order; leaves at level 0; node entries = greatest below.
        for (size_t lv = 0; lv < tree.levels.size(); ++lv) {
            const auto& pages = tree.levels[lv];
            for (size_t k = 0; k < pages.size(); ++k) {
                IndexPageView v = parseIndexPage(p_.read(pages[k]), pages[k]);
                uint32_t prev = k ? pages[k - 1] : 0, next = k + 1 < pages.size() ? pages[k + 1] : 0;
                if (v.prev != prev || v.next != next) problem(who + ": broken page chain at page " + std::to_string(pages[k]));
                if (lv == 0 && v.level != 0) problem(who + ": leaf " + std::to_string(pages[k]) + " has a non-zero level");
                if (v.type == kPageKindIndexNode) {
                    for (auto& e : v.entries) {
                        uint32_t child = be32(&e[e.size() - 4]);
                        Bytes expect(e.begin(), e.end() - 4);
                        Bytes got = greatest(child, tp);
                        if (got != expect) problem(who + ": node " + std::to_string(pages[k]) + " entry does not match child " + std::to_string(child));
                    }
                }
            }
        }
        // Entries against rows.
        bool ignoreNulls = ri.flags & kIdxIgnoreNulls;
        size_t matched = 0;
        std::set<RowPointer> seen;
        for (auto& e : tree.entries) {
            auto it = rows.find(e.row);
            if (it == rows.end()) {
                problem(who + ": entry points to " + std::to_string(e.row.page) + "/" + std::to_string(e.row.row) + ", not a live row");
                continue;
            }
            if (!seen.insert(e.row).second) problem(who + ": two entries for one row");
            ++matched;
            Bytes key;
            bool computable = true;
            for (auto& kc : ri.columns) {
                const ColumnDef* c = nullptr;
                for (auto& x : d.columns)
                    if (x.number == kc.first) c = &x;
                if (!c || !columnKey(*c, it->second[kc.first], kc.second, key)) computable = false;
            }
            if (!computable) {
                ++r_.keysUnverified;
            } else if (key != e.key) {
                problem(who + ": key of row " + std::to_string(e.row.page) + "/" + std::to_string(e.row.row) + " differs from the row's values");
            } else {
                ++r_.keysRecomputed;
            }
        }
        if (!ignoreNulls && matched != rows.size())
            problem(who + ": " + std::to_string(matched) + " entries for " + std::to_string(rows.size()) + " rows");
    }

    Bytes greatest(uint32_t page, uint32_t owner) {
        for (int depth = 0; depth < kMaxIndexDepth; ++depth) {
            IndexPageView v = parseIndexPage(p_.read(page), page);
            if (v.owner != owner) return {};
            if (v.type == kPageKindIndexLeaf) return v.entries.empty() ? Bytes() : v.entries.back();
            if (v.tail) page = v.tail;
            else if (!v.entries.empty()) page = be32(&v.entries.back()[v.entries.back().size() - 4]);
            else return {};
        }
        return {};
    }

    void checkGlobalMap() {
        try {
            const Bytes& page = p_.read(kGlobalMapPage);
            UsageMap g = UsageMap::parse(rowBytes(page, kGlobalMapPage, kGlobalFreeRow), p_, "global map");
            uint32_t n = p_.pageCount();
            // An inline map may start past page 0 (pages below its window are never handed out);
            // it must reach the last page of the file.
            if (g.isInline() && g.windowEnd() < n)
                problem("global page map does not reach the end of the file (" + std::to_string(n) + " pages)");
            for (auto& kv : owners_)
                if (g.has(kv.first)) problem("page " + std::to_string(kv.first) + " of " + kv.second + " is marked free");
            for (auto& kv : mapPages_)
                if (g.has(kv.first)) problem("page " + std::to_string(kv.first) + " holding " + kv.second + " is marked free");
            for (uint32_t pg : {kGlobalMapPage, kMSysObjectsPage, kMSysAcesPage, kMSysQueriesPage, kMSysRelationshipsPage})
                if (g.has(pg)) problem("system page " + std::to_string(pg) + " is marked free");
        } catch (const JetError& e) {
            problem(std::string("global map: ") + e.what());
        }
    }
};

}  // namespace

// The problems checkBeforeWrite reports at most.
constexpr size_t kMaxFindings = 20;

std::vector<std::string> checkBeforeWrite(DatabaseFile& file) {
    std::vector<std::string> found;
    Pager& p = file.pager();
    const uint32_t n = p.pageCount();
    std::map<uint32_t, std::string> owners;  // page -> what uses it
    auto note = [&](const std::string& s) {
        if (found.size() < kMaxFindings) found.push_back(s);
    };
    auto claim = [&](uint32_t pg, const std::string& who) {
        if (pg >= n) {
            note(who + "が、ファイルの終わり（" + std::to_string(n) + " ページ）より後のページ " + std::to_string(pg) + " を指しています");
            return;
        }
        auto ins = owners.emplace(pg, who);
        if (!ins.second) note("ページ " + std::to_string(pg) + " が" + ins.first->second + "と" + who + "の両方に使われています");
    };
    auto mapPages = [&](uint32_t rowPointer, const std::string& who) -> std::set<uint32_t> {
        RowPointer rp = RowPointer::fromLe(rowPointer);
        if (rp.page >= n) {
            note(who + "の使用ページマップが、ファイルの終わりより後のページ " + std::to_string(rp.page) + " にあります");
            return {};
        }
        return readUsageMap(p, rowPointer, who).pages();
    };
    std::vector<CatalogObject> tables;
    try {
        tables = file.tables();
    } catch (const JetError& e) {
        note(std::string("システムテーブル MSysObjects を読めません（") + e.what() + "）");
        return found;
    }
    for (auto& t : tables) {
        if (t.type != kObjectTypeTable) continue;
        const std::string name = "テーブル『" + utf16ToUtf8(t.name) + "』";
        if (t.id <= 0 || static_cast<uint32_t>(t.id) >= n) {
            note(name + "の定義が、ファイルの終わりより後のページ " + std::to_string(t.id) + " を指しています");
            continue;
        }
        try {
            const uint32_t tp = static_cast<uint32_t>(t.id);
            TableDefinition d = readTableDefinition(p, tp);
            for (uint32_t pg : d.pages) claim(pg, name + "の定義");
            for (uint32_t pg : mapPages(d.ownedMap, name)) claim(pg, name + "のデータ");
            for (uint32_t pg : mapPages(d.freeMap, name))
                if (pg >= n) note(name + "の空き領域のマップが、ファイルの終わりより後のページ " + std::to_string(pg) + " を指しています");
            for (size_t i = 0; i < d.realIndexes.size(); ++i) {
                if (d.realIndexes[i].rootPage >= n)
                    note(name + "の索引が、ファイルの終わりより後のページ " + std::to_string(d.realIndexes[i].rootPage) + " を指しています");
                for (uint32_t pg : mapPages(d.realIndexes[i].usageMap, name)) claim(pg, name + "の索引");
            }
            for (auto& m : d.lvMaps)
                for (uint32_t pg : mapPages(m.ownedMap, name)) claim(pg, name + "の長いデータ");
        } catch (const JetError& e) {
            note(name + "の定義を読めません（" + std::string(e.what()) + "）");
        }
    }
    // Every page something uses must be in use in the global map, or Access hands it out again.
    try {
        UsageMap g = UsageMap::parse(rowBytes(p.read(kGlobalMapPage), kGlobalMapPage, kGlobalFreeRow), p, "ページ割り当てマップ");
        for (auto& kv : owners)
            if (g.has(kv.first)) {
                note("ページ " + std::to_string(kv.first) + "（" + kv.second + "）が空きページとして記録されています");
                break;
            }
    } catch (const JetError& e) {
        note(std::string("ページ割り当てマップを読めません（") + e.what() + "）");
    }
    // The catalog itself, row by row and key by key: every write adds to it.
    CheckReport r;
    Checker(file, r, {kMSysObjectsPage, kMSysAcesPage}).run();
    for (auto& s : r.problems) note("システムテーブルの内容が一致しません（" + s + "）");
    return found;
}

CheckReport checkDatabase(DatabaseFile& file) {
    CheckReport r;
    Checker(file, r).run();
    return r;
}

CheckReport checkDatabase(const std::string& path) {
    try {
        auto f = DatabaseFile::open(path, true);
        return checkDatabase(*f);
    } catch (const JetError& e) {
        CheckReport r;
        r.problems.push_back(std::string("open: ") + e.what());
        return r;
    }
}

}  // namespace jet
