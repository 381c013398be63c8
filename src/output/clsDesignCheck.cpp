#include "clsDesignCheck.h"

#include <map>

#include "AccessTableRules.h"
#include "SourcePlace.h"
#include "TextRules.h"
#include "dao.h"
#include "name_rules.h"

namespace {

const char* const kKindOther = "other";

// Table names are the same name without regard to letter case, as the engine compares them.
std::string nameFold(const std::string& s) { return jet::foldNameCaseUtf8(s); }

// The field row each primary-key name came from: the reader adds a marked row's name in row
// order, so the names are matched to the rows carrying them, top to bottom.
std::vector<const clsFieldInfo*> markedRows(const clsTableInfo& objTable) {
    const std::vector<std::string>& colKeys = objTable.getPrimaryKeys();
    std::vector<const clsFieldInfo*> out(colKeys.size(), nullptr);
    std::size_t k = 0;
    for (const FieldInfoPtr& f : objTable.getFields()) {
        if (k < colKeys.size() && f->getName() == colKeys[k]) out[k++] = f.get();
    }
    return out;
}

struct TableRun {
    const clsTableInfo& objTable;
    std::vector<DesignProblem>& colOut;

    void add(const clsFieldInfo* pField, FieldPart enmPart, const std::string& strKind, const std::string& strMessage) {
        DesignProblem p;
        p.lngSheetNo = objTable.getSheetNo();
        p.strSheetName = objTable.getSheetName();
        p.strCell = pField ? pField->getCellA1(enmPart) : objTable.getNameCellA1();
        p.strTable = objTable.getName();
        p.strField = pField ? pField->getName() : std::string();
        p.strKind = strKind;
        p.strMessage = strMessage;
        colOut.push_back(std::move(p));
    }
};

}  // namespace

const std::vector<DesignProblemKind>& designProblemKinds() {
    static const std::vector<DesignProblemKind> kKinds = {
        {"unknownType", "型の表記がどの型の表記とも一致しない（フィールドは作成されない）"},
        {"missingType", "型が空（フィールドは作成されない）"},
        {"missingSize", "テキスト型にサイズがない（フィールドは作成されない）"},
        {"badSize", "サイズが数値に変換できない（フィールドは作成されない）"},
        {"sizeOutOfRange", "テキスト型のサイズが 1～255 の範囲外（フィールドは作成されない）"},
        {"invalidFieldName", "Access が受け付けないフィールド名（理由つき）"},
        {"duplicateField", "同じテーブルにフィールド名が重複（大文字と小文字は区別しない）"},
        {"tooManyFields", "フィールドが 255 を超える"},
        {"multipleAutoNumber", "オートナンバー型のフィールドが 2 つ以上（テーブルは作成されない）"},
        {"keyFieldSkipped", "主キーのフィールドが作成されない（テーブルは作成されない）"},
        {"duplicateKeyField", "同じフィールドに主キーの印が 2 回（テーブルは作成されない）"},
        {"tooManyKeyFields", "主キーのフィールドが 10 を超える（テーブルは作成されない）"},
        {"memoKey", "メモ型のフィールドに主キーの印（テーブルは作成されない）"},
        {"invalidTableName", "Access が受け付けないテーブル名（理由つき）"},
        {"nameNotKeyable", "選んだ並べ替え順でキーを作れないテーブル名"},
        {"duplicateTable", "テーブル名が別のシートと重複（大文字と小文字は区別しない。後のものは作成されない）"},
        {"noFields", "フィールドの行がないテーブル（作成されない）"},
        {"allFieldsSkipped", "作成できるフィールドが 1 つもない（テーブルは作成されない）"},
        {kKindOther, "その他、作成時にデータベースエンジンが拒否するもの"},
    };
    return kKinds;
}

std::vector<DesignProblem> clsDesignCheck::fnCheck(const clsDBInfo& objDB) const {
    const clsAccessFieldAttr objDefault;
    const clsAccessFieldAttr& objMap = moobjFieldAttr ? *moobjFieldAttr : objDefault;
    std::vector<DesignProblem> colOut;
    // Names of the tables met so far that the builder would try to create: by their key in the
    // sort order and by their name with ASCII letter case ignored, as the engine compares them.
    std::map<std::vector<std::uint8_t>, const clsTableInfo*> mapKeys;
    std::map<std::string, const clsTableInfo*> mapNames;

    for (const TableInfoPtr& objTablePtr : objDB.getTables()) {
        const clsTableInfo& objTable = *objTablePtr;
        TableRun run{objTable, colOut};
        const std::string& strTable = objTable.getName();
        if (objTable.getFields().empty()) {
            run.add(nullptr, FieldPart::Name, "noFields",
                    "テーブル『" + strTable + "』にはフィールドの行がないため、作成されません。");
            continue;
        }

        // The fields, as the builder creates them; which row each created field came from.
        jet::TableDef objDef(strTable);
        std::vector<const clsFieldInfo*> colCreated;
        for (const FieldInfoPtr& f : objTable.getFields()) {
            switch (accessrules::fieldSkip(*f, objMap)) {
                case accessrules::FieldSkip::NoName:
                    continue;  // a row without a name ends the list when read; a made model may have one
                case accessrules::FieldSkip::NoType:
                    run.add(f.get(), FieldPart::Type, "missingType",
                            "フィールド『" + f->getName() + "』は型が空のため、作成されません。");
                    continue;
                case accessrules::FieldSkip::NoSize:
                    run.add(f.get(), FieldPart::Size, "missingSize",
                            "テキスト型のフィールド『" + f->getName() + "』はサイズが空のため、作成されません。");
                    continue;
                case accessrules::FieldSkip::None:
                    break;
            }
            const int lngBefore = objDef.Fields().Count();
            try {
                if (!accessrules::appendField(objDef, *f, objMap)) {
                    run.add(f.get(), FieldPart::Type, "unknownType", accessrules::undefinedTypeMessage(*f));
                }
            } catch (const ConversionError& e) {
                run.add(f.get(), accessrules::failurePart(e, *f, objMap), "badSize", e.what());
            } catch (const jet::JetError& e) {
                const char* strKind = e.number() == jet::errInvalidName      ? "invalidFieldName"
                                      : e.number() == jet::errDuplicateField ? "duplicateField"
                                      : e.number() == jet::errInvalidSize    ? "sizeOutOfRange"
                                      : e.number() == jet::errTooManyFields  ? "tooManyFields"
                                                                             : kKindOther;
                run.add(f.get(), accessrules::failurePart(e, *f, objMap), strKind, e.what());
            }
            if (objDef.Fields().Count() > lngBefore) colCreated.push_back(f.get());
        }

        // The primary key. When the builder's index is refused part-way, the other marks are
        // still put into one so that each of them is checked.
        std::vector<const clsFieldInfo*> colMarked = markedRows(objTable);
        std::size_t nKeysAdded = 0;
        try {
            accessrules::appendPrimaryKey(objDef, objTable, &nKeysAdded);
        } catch (const jet::JetError& e) {
            auto keyProblem = [&](std::size_t k, const jet::JetError& err) {
                const clsFieldInfo* pRow = k < colMarked.size() ? colMarked[k] : nullptr;
                // A key field name the engine refuses is a field it never creates either.
                const char* strKind = err.number() == jet::errDuplicateField ? "duplicateKeyField"
                                      : err.number() == jet::errIndexInvalid ? "tooManyKeyFields"
                                      : err.number() == jet::errInvalidName ? "keyFieldSkipped" : kKindOther;
                run.add(pRow, FieldPart::PrimaryKey, strKind, err.what());
            };
            keyProblem(nKeysAdded, e);
            const std::vector<std::string>& colKeys = objTable.getPrimaryKeys();
            if (nKeysAdded < colKeys.size()) {
                std::shared_ptr<jet::Index> objIndex = objDef.CreateIndex(accessrules::kPrimaryIndexName);
                std::vector<const clsFieldInfo*> colInIndex;
                for (std::size_t k = 0; k < colKeys.size(); ++k) {
                    try {
                        objIndex->Fields().Append(objIndex->CreateField(colKeys[k]));
                        colInIndex.push_back(colMarked[k]);
                    } catch (const jet::JetError& err) {
                        if (k != nKeysAdded) keyProblem(k, err);
                    }
                }
                objIndex->setPrimary(true);
                try {
                    objDef.Indexes().Append(objIndex);
                    colMarked = colInIndex;
                } catch (const jet::JetError&) {
                }
            }
        }

        // The table as a whole, as the engine checks it before writing anything.
        bool blnNameOK = true;
        std::vector<jet::DefinitionProblem> colTableProblems;
        try {
            colTableProblems = jet::checkTableDef(objDef);
        } catch (const jet::JetError& e) {
            colTableProblems.push_back({e, -1, -1, -1});  // a name that is not even text
        }
        for (const jet::DefinitionProblem& p : colTableProblems) {
            const int n = p.error.number();
            if (p.field >= 0 && p.field < static_cast<int>(colCreated.size())) {
                const bool blnAuto = n == jet::errInvalidSize && (objDef.Fields().item(p.field)->Attributes() & jet::dbAutoIncrField);
                run.add(colCreated[static_cast<std::size_t>(p.field)], blnAuto ? FieldPart::Type : FieldPart::Name,
                        blnAuto ? "multipleAutoNumber" : kKindOther, p.error.what());
            } else if (p.index >= 0 && p.indexField >= 0) {
                const std::size_t k = static_cast<std::size_t>(p.indexField);
                const clsFieldInfo* pRow = k < colMarked.size() ? colMarked[k] : nullptr;
                bool blnMemo = false;
                try {
                    blnMemo = pRow && objDef.Fields().item(pRow->getName())->Type() == jet::dbMemo;
                } catch (const jet::JetError&) {
                }
                const char* strKind = n == jet::errIndexField ? "keyFieldSkipped" : blnMemo ? "memoKey" : kKindOther;
                run.add(pRow, FieldPart::PrimaryKey, strKind, p.error.what());
            } else if (n == jet::errInvalidName) {
                blnNameOK = false;
                run.add(nullptr, FieldPart::Name, "invalidTableName", p.error.what());
            } else if (n == jet::errNoFields) {
                run.add(nullptr, FieldPart::Name, "allFieldsSkipped",
                        "テーブル『" + strTable + "』には作成できるフィールドが 1 つもないため、作成に失敗します。");
            } else if (n == jet::errTooManyFields) {
                run.add(nullptr, FieldPart::Name, "tooManyFields", p.error.what());
            } else {
                run.add(nullptr, FieldPart::Name, kKindOther, p.error.what());
            }
        }

        // The name in the catalog: its key in the sort order, and no other table of that name.
        if (!blnNameOK) continue;  // said above
        const jet::TextKey objKey = jet::encodeTextKeyUtf8(strTable, moenmOrder);
        if (!objKey.ok) {
            run.add(nullptr, FieldPart::Name, "nameNotKeyable", "テーブル名『" + strTable + "』は作成できません。" + objKey.reason);
        }
        const clsTableInfo* pEarlier = nullptr;
        if (objKey.ok && mapKeys.count(objKey.bytes)) pEarlier = mapKeys[objKey.bytes];
        if (!pEarlier && mapNames.count(nameFold(strTable))) pEarlier = mapNames[nameFold(strTable)];
        if (pEarlier) {
            std::string strWhere = pEarlier->getSheetNo() > 0
                                       ? sheetWords(pEarlier->getSheetNo(), pEarlier->getSheetName())
                                       : std::string("前");
            run.add(nullptr, FieldPart::Name, "duplicateTable",
                    "テーブル『" + strTable + "』は" + strWhere + "のテーブル『" + pEarlier->getName() +
                        "』と同じ名前のため、作成できません。");
            continue;
        }
        if (objKey.ok) mapKeys[objKey.bytes] = &objTable;
        mapNames[nameFold(strTable)] = &objTable;
    }
    return colOut;
}

std::string designProblemLine(const DesignProblem& p) {
    std::string s;
    s += sheetWords(p.lngSheetNo, p.strSheetName);
    if (!p.strCell.empty()) s += (s.empty() ? "" : " ") + p.strCell;
    if (!s.empty()) s += ": ";
    s += "テーブル「" + p.strTable + "」";
    if (!p.strField.empty()) s += " フィールド「" + p.strField + "」";
    return s + ": " + p.strMessage + " [" + p.strKind + "]";
}
