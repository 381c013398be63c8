#include "clsAccessDB.h"

#include <exception>
#include <iostream>

#include "AccessTableRules.h"
#include "Cp932.h"
#include "SourcePlace.h"
#include "TextRules.h"
#include "TypeWords.h"
#include "dao.h"
#include "new_database.h"

const char* const clsAccessDB::kLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";
const char* const clsAccessDB::kLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
const char* const clsAccessDB::kLangGeneralLegacy = ";LANGID=0x0409;CP=1252;COUNTRY=0;SORTVERSION=0";
const char* const clsAccessDB::kPrimaryIndexName = "Primary";
const char* const clsAccessDB::kUndefinedSuffix = "は未定義です";

namespace {

// The engine: one per process, made on first use.
jet::DBEngine& engine() {
    static jet::DBEngine objEngine;
    return objEngine;
}


// Where a message about a field points: "（テーブル『T』、フィールド『F』、シート2「顧客」のセルE7）";
// without the sheet and cell for a table that was not read from a workbook.
std::string fieldPlace(const clsTableInfo& objTable, const clsFieldInfo& objField, FieldPart enmPart) {
    std::string s = "（テーブル『" + objTable.getName() + "』、フィールド『" + objField.getName() + "』";
    const std::string strPlace = objTable.getPlace(objField, enmPart);
    if (!strPlace.empty()) s += "、" + strPlace;
    return s + "）";
}

// Where a message about a whole table points: "（テーブル『T』、シート2「顧客」のセルC3）". A
// sentence that names the table already (blnNamed) gets the place alone, and a sheet named like the
// table is given by its number, so that the name is said once. Empty for a table not read from a
// workbook.
std::string tablePlace(const clsTableInfo& objTable, bool blnNamed) {
    if (objTable.getSheetNo() < 1) return std::string();
    const std::string& strName = objTable.getName();
    std::string strSheet = objTable.getSheetName() == strName ? "シート" + std::to_string(objTable.getSheetNo())
                                                              : sheetWords(objTable.getSheetNo(), objTable.getSheetName());
    if (!objTable.getNameCellA1().empty()) strSheet += "のセル" + objTable.getNameCellA1();
    return "（" + (blnNamed ? std::string() : "テーブル『" + strName + "』、") + strSheet + "）";
}

}  // namespace

clsAccessDB::clsAccessDB(clsMessageOut* objMessages) : moobjMessages(objMessages) {}

clsAccessDB::~clsAccessDB() = default;

void clsAccessDB::sbSetFieldAttr(AccessFieldAttrPtr objFieldAttrExp) {
    moobjFieldAttr = std::move(objFieldAttrExp);
}

const clsAccessFieldAttr& clsAccessDB::fieldAttr() {
    if (!moobjFieldAttr) moobjFieldAttr = std::make_shared<clsAccessFieldAttr>();
    return *moobjFieldAttr;
}

void clsAccessDB::sbShowMessage(const std::string& strText) {
    if (moobjMessages) {
        moobjMessages->sbShowMessage(strText);
    } else {
        std::cerr << strText << '\n';
    }
}

bool clsAccessDB::fnCreateDB(const std::string& strMDBPath) {
    return fnCreateDB(strMDBPath, kLangJapanese);
}

bool clsAccessDB::fnCreateDB(const std::string& strMDBPath, const std::string& strLocale) {
    moobjFailure = {};
    try {
        moobjDB = jet::createDatabase(strMDBPath, strLocale, jet::isAccdbPath(strMDBPath) ? kVersionAccdb : kVersion40);
        moobjDB->BeginTrans();
        mocolPending.clear();
        mocolUnwritten.clear();
        return true;
    } catch (const std::exception& e) {
        moobjFailure = accessrules::databaseFailure(e);
        return false;
    }
}

bool clsAccessDB::fnOpenDB(const std::string& strMDBPath, bool blnReadOnly) {
    moobjFailure = {};
    mostrOpenNotice.clear();
    moblnPasswordRefused = false;
    try {
        moobjDB = moblnPassword ? engine().OpenDatabase(strMDBPath, blnReadOnly, ";PWD=" + mostrPassword)
                                : engine().OpenDatabase(strMDBPath, blnReadOnly);
        mostrOpenNotice = moobjDB->RollbackNotice();
        for (const std::string& strName : moobjDB->TableDefs().Names()) {
            mocolTableName.push_back(strName);
            mosetTableName.insert(strName);
        }
        mocolPending.clear();
        mocolUnwritten.clear();
        if (!blnReadOnly) moobjDB->BeginTrans();
        return true;
    } catch (const jet::JetError& e) {
        moblnPasswordRefused = e.number() == jet::errPasswordRequired || e.number() == jet::errWrongPassword;
        moobjFailure = accessrules::databaseFailure(e);
        return false;
    } catch (const std::exception& e) {
        moobjFailure = accessrules::databaseFailure(e);
        return false;
    }
}

bool clsAccessDB::fnCloseDB() {
    moobjFailure = {};
    if (!moobjDB) {
        moobjFailure.strText = "データベースが開かれていません";
        return false;
    }
    std::unique_ptr<jet::Database> objDB = std::move(moobjDB);
    std::vector<std::string> colPending = std::move(mocolPending);
    mocolPending.clear();
    mocolUnwritten.clear();
    try {
        // The run's tables reach the file here, all of them or none.
        if (objDB->InTransaction()) objDB->CommitTrans();
        objDB->Close();
        return true;
    } catch (const std::exception& e) {
        moobjFailure = accessrules::databaseFailure(e);
        mocolUnwritten = std::move(colPending);
        try {
            objDB->Close();
        } catch (...) {
        }
        return false;
    }
}

bool clsAccessDB::fnCreateTable(const clsTableInfo& objTable) {
    moobjFailure = {};
    try {
        const std::string& strName = objTable.getName();
        if (fnExistTable(strName)) {
            moobjFailure.strText = "テーブル『" + strName + "』は既にデータベースにあります";
            moobjFailure.strText += tablePlace(objTable, true);
            moobjFailure.objAbout = base::Subject::ofTable(strName);
            return false;
        }
        if (!moobjDB) {
            moobjFailure.strText = "データベースが開かれていません";
            return false;
        }

        std::shared_ptr<jet::TableDef> objTableDef = moobjDB->CreateTableDef(strName);
        mostrPlace.clear();
        for (const FieldInfoPtr& objField : objTable.getFields()) {
            if (fnCheckField(*objField)) sbCreateField(*objTableDef, objTable, *objField);
        }
        sbCreatePrimaryKey(*objTableDef, objTable);
        if (!objTable.getFields().empty()) {
            moobjDB->TableDefs().Append(objTableDef);
            if (moobjDB->InTransaction()) mocolPending.push_back(strName);
        }
        return true;
    } catch (const std::exception& e) {
        // The engine's words first, then where the cause stands in the design document. A field's
        // or key's place names the table, a table's place does unless the engine's words do.
        moobjFailure.strText = accessrules::failureText(e);
        const auto* pError = dynamic_cast<const base::UserError*>(&e);
        const bool blnNamed = pError && !pError->subject().table.empty();
        const std::string strPlace = !mostrPlace.empty() ? mostrPlace : tablePlace(objTable, blnNamed);
        moobjFailure.strText += strPlace;
        if (blnNamed || !strPlace.empty()) moobjFailure.objAbout = base::Subject::ofTable(objTable.getName());
        return false;
    }
}

bool clsAccessDB::fnExistTable(const std::string& strTableName) const {
    return mosetTableName.count(strTableName) != 0;
}

bool clsAccessDB::fnCheckField(const clsFieldInfo& objField) {
    return accessrules::fieldSkip(objField, fieldAttr()) == accessrules::FieldSkip::None;
}

void clsAccessDB::sbCreateField(jet::TableDef& objTableDef, const clsTableInfo& objTable,
                                const clsFieldInfo& objField) {
    try {
        if (!accessrules::appendField(objTableDef, objField, fieldAttr())) {
            sbShowMessage(accessrules::undefinedTypeMessage(objField) + fieldPlace(objTable, objField, FieldPart::Type));
        }
    } catch (const std::exception& e) {
        sbShowMessage(accessrules::failureText(e) + fieldPlace(objTable, objField, accessrules::failurePart(e, objField, fieldAttr())));
    }
}

void clsAccessDB::sbCreatePrimaryKey(jet::TableDef& objTableDef, const clsTableInfo& objTable) {
    const std::vector<std::string>& colKeys = objTable.getPrimaryKeys();
    // A key on a field that was not created, or on a Memo (which Access keeps no index over),
    // fails the whole table; the message then says which field it is and where its key mark stands.
    for (const std::string& strKey : colKeys) {
        bool blnMade = true;
        try {
            if (objTableDef.Fields().item(strKey)->Type() == jet::dbMemo) {
                if (const FieldInfoPtr objField = objTable.getField(strKey)) {
                    mostrPlace = fieldPlace(objTable, *objField, FieldPart::PrimaryKey);
                    break;
                }
            }
        } catch (const jet::JetError&) {
            blnMade = false;
        }
        if (blnMade) continue;
        const FieldInfoPtr objField = objTable.getField(strKey);
        std::string strPlace = "（主キーのフィールド『" + strKey + "』は作成されていません。テーブル『" + objTable.getName() + "』";
        if (objField && !objTable.getPlace(*objField, FieldPart::PrimaryKey).empty()) {
            strPlace += "、" + objTable.getPlace(*objField, FieldPart::PrimaryKey);
        }
        mostrPlace = strPlace + "）";
        break;
    }
    accessrules::appendPrimaryKey(objTableDef, objTable);
}
