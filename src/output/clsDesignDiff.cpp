#include "clsDesignDiff.h"

#include <exception>
#include <set>

#include "AccessTableRules.h"
#include "TextRules.h"
#include "dao.h"
#include "name_rules.h"
#include "table_schema.h"

namespace {

// Jet finds tables and fields by name without regard to letter case.
std::string nameKey(const std::string& s) { return jet::foldNameCaseUtf8(s); }

std::string yesNo(bool bln) { return bln ? "true" : "false"; }

std::string typeWithSize(int lngType, int lngSize) {
    std::string s = storedTypeName(lngType);
    if (lngType == jet::dbText) s += "(" + std::to_string(lngSize) + ")";
    return s;
}

}  // namespace

std::string storedTypeName(int lngDaoType) {
    switch (lngDaoType) {
        case jet::dbBoolean: return "Boolean";
        case jet::dbByte: return "Byte";
        case jet::dbInteger: return "Integer";
        case jet::dbLong: return "Long";
        case jet::dbCurrency: return "Currency";
        case jet::dbSingle: return "Single";
        case jet::dbDouble: return "Double";
        case jet::dbDate: return "Date";
        case jet::dbBinaryType: return "Binary";
        case jet::dbText: return "Text";
        case jet::dbLongBinaryType: return "OLE";
        case jet::dbMemo: return "Memo";
        case jet::dbGuidType: return "GUID";
        case jet::dbDecimalType: return "Decimal";
        case jet::dbBigIntType: return "LargeNumber";
        case jet::dbDateTimeExtendedType: return "DateTimeExtended";
        case jet::dbComplexType: return "Complex";
        default: return "Type" + std::to_string(lngDaoType);
    }
}

TableComparison clsDesignDiff::fnCompareTable(const clsTableInfo& objTable, const jet::StoredTable* pobjStored) const {
    TableComparison r;
    r.strName = objTable.getName();
    if (!pobjStored) {
        r.strStatus = "missing";
        return r;
    }
    const clsAccessFieldAttr objDefault;
    const clsAccessFieldAttr& objMap = moobjFieldAttr ? *moobjFieldAttr : objDefault;

    // What the builder would create: every attempted field it accepts.
    jet::TableDef objDef(objTable.getName());
    for (const FieldInfoPtr& f : objTable.getFields()) {
        if (accessrules::fieldSkip(*f, objMap) != accessrules::FieldSkip::None) continue;
        try {
            accessrules::appendField(objDef, *f, objMap);
        } catch (const std::exception&) {
            // Not created by the builder either (it says why when creating; check lists it).
        }
    }
    std::set<std::string> setDesign;
    const jet::Fields& colFields = objDef.Fields();
    for (int i = 0; i < colFields.Count(); ++i) {
        const jet::Field& d = *colFields.item(i);
        setDesign.insert(nameKey(d.Name()));
        const bool blnAuto = (d.Attributes() & jet::dbAutoIncrField) != 0;
        const jet::StoredField* s = pobjStored->field(d.Name());
        if (!s) {
            r.colDifferences.push_back({d.Name(), "missing", typeWithSize(d.Type(), d.Size()), ""});
            continue;
        }
        if (d.Type() != s->type) {
            r.colDifferences.push_back({d.Name(), "type", storedTypeName(d.Type()), storedTypeName(s->type)});
        } else if (d.Type() == jet::dbText && d.Size() != s->size) {
            r.colDifferences.push_back({d.Name(), "size", std::to_string(d.Size()), std::to_string(s->size)});
        }
        if (d.Required() != s->required) {
            r.colDifferences.push_back({d.Name(), "required", yesNo(d.Required()), yesNo(s->required)});
        }
        if (blnAuto != s->autoNumber) {
            r.colDifferences.push_back({d.Name(), "autonumber", yesNo(blnAuto), yesNo(s->autoNumber)});
        }
    }
    for (const jet::StoredField& s : pobjStored->fields) {
        if (!setDesign.count(nameKey(s.name))) {
            r.colDifferences.push_back({s.name, "extra", "", typeWithSize(s.type, s.size)});
        }
    }

    // The primary key: the marked fields in design order against the stored key's fields.
    const std::vector<std::string>& colKeys = objTable.getPrimaryKeys();
    const jet::StoredIndex* pobjKey = pobjStored->primaryKey();
    std::vector<std::string> colStoredKeys = pobjKey ? pobjKey->fields : std::vector<std::string>();
    bool blnSameKey = colKeys.size() == colStoredKeys.size();
    for (std::size_t i = 0; blnSameKey && i < colKeys.size(); ++i) {
        blnSameKey = nameKey(colKeys[i]) == nameKey(colStoredKeys[i]);
    }
    if (!blnSameKey) {
        auto join = [](const std::vector<std::string>& v) {
            std::string s;
            for (const std::string& k : v) s += (s.empty() ? "" : ", ") + k;
            return s;
        };
        r.colDifferences.push_back({"", "primaryKey", join(colKeys), join(colStoredKeys)});
    }
    r.strStatus = r.colDifferences.empty() ? "same" : "differs";
    return r;
}

bool clsDesignDiff::fnCompare(const std::vector<TableInfoPtr>& colTables, const std::string& strDBPath,
                              bool blnListExtra) {
    mocolResult.clear();
    moobjFailure = {};
    mostrOpenNotice.clear();
    moblnPasswordRefused = false;
    try {
        jet::DBEngine objEngine;
        std::unique_ptr<jet::Database> objDB = objEngine.InspectDatabase(strDBPath, mostrConnect);
        mostrOpenNotice = objDB->RollbackNotice();
        const std::vector<std::string> colStored = jet::userTableNames(*objDB);
        std::set<std::string> setCompared;
        for (const TableInfoPtr& t : colTables) {
            // The stored table of that name: exactly, or with letter case ignored as Jet does.
            const std::string* pstrFound = nullptr;
            for (const std::string& s : colStored)
                if (s == t->getName()) pstrFound = &s;
            for (const std::string& s : colStored)
                if (!pstrFound && nameKey(s) == nameKey(t->getName())) pstrFound = &s;
            if (!pstrFound) {
                mocolResult.push_back(fnCompareTable(*t, nullptr));
                continue;
            }
            setCompared.insert(*pstrFound);
            const jet::StoredTable objStored = jet::readStoredTable(*objDB, *pstrFound);
            mocolResult.push_back(fnCompareTable(*t, &objStored));
        }
        if (blnListExtra) {
            for (const std::string& s : colStored) {
                if (!setCompared.count(s)) mocolResult.push_back({s, "extra", {}});
            }
        }
        objDB->Close();
        return true;
    } catch (const jet::JetError& e) {
        mocolResult.clear();
        moblnPasswordRefused = e.number() == jet::errPasswordRequired || e.number() == jet::errWrongPassword;
        moobjFailure = accessrules::databaseFailure(e);
        return false;
    } catch (const std::exception& e) {
        mocolResult.clear();
        moobjFailure = accessrules::databaseFailure(e);
        return false;
    }
}

bool clsDesignDiff::isSame() const {
    for (const TableComparison& t : mocolResult)
        if (t.strStatus != "same") return false;
    return true;
}

std::vector<std::string> comparisonLines(const std::vector<TableComparison>& colResult) {
    std::vector<std::string> out;
    for (const TableComparison& t : colResult) {
        if (t.strStatus == "same") out.push_back("テーブル「" + t.strName + "」: 同じです");
        else if (t.strStatus == "missing") out.push_back("テーブル「" + t.strName + "」: データベースにありません");
        else if (t.strStatus == "extra") out.push_back("テーブル「" + t.strName + "」: 設計書にありません（データベースにだけあります）");
        else out.push_back("テーブル「" + t.strName + "」: 違いがあります");
        for (const FieldDifference& d : t.colDifferences) {
            const std::string strBoth = "（設計書 " + d.strDesign + "、データベース " + d.strDatabase + "）";
            std::string s = "  ";
            if (d.strWhat == "primaryKey") {
                auto shown = [](const std::string& v) { return v.empty() ? std::string("なし") : v; };
                s += "主キーが違います（設計書 " + shown(d.strDesign) + "、データベース " + shown(d.strDatabase) + "）";
            } else {
                s += "フィールド「" + d.strField + "」: ";
                if (d.strWhat == "missing") s += "データベースにありません（" + d.strDesign + "）";
                else if (d.strWhat == "extra") s += "設計書にありません（データベースに " + d.strDatabase + "）";
                else if (d.strWhat == "type") s += "型が違います" + strBoth;
                else if (d.strWhat == "size") s += "サイズが違います" + strBoth;
                else if (d.strWhat == "required") s += "値要求（Required）が違います" + strBoth;
                else s += "オートナンバーが違います" + strBoth;
            }
            out.push_back(s);
        }
    }
    return out;
}
