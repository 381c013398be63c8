#include "clsAccessDB.h"

#include <exception>
#include <iostream>
#include <new>
#include <system_error>

#include "Cp932.h"
#include "TextRules.h"
#include "dao.h"
#include "new_database.h"

const char* const clsAccessDB::kLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";
const char* const clsAccessDB::kLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
const char* const clsAccessDB::kPrimaryIndexName = "Primary";
const char* const clsAccessDB::kUndefinedSuffix = "は未定義です";

namespace {

// The engine: one per process, made on first use.
jet::DBEngine& engine() {
    static jet::DBEngine objEngine;
    return objEngine;
}

std::string lowered(const std::string& strText) {
    return lowerCaseText(strText);
}

// What the user is told about a failure. The engine's descriptions, and those of our own text
// and number rules, are written for the user and pass as they are; a library's texts are English
// and are said in Japanese instead (an unexpected one keeps its text in parentheses, for whoever
// looks into it).
std::string failureText(const std::exception& e) {
    if (dynamic_cast<const jet::JetError*>(&e) || dynamic_cast<const ConversionError*>(&e) ||
        dynamic_cast<const TextFileError*>(&e)) {
        return e.what();
    }
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "メモリが足りません。";
    if (const auto* pSystem = dynamic_cast<const std::system_error*>(&e)) {
        const std::error_category& objCategory = pSystem->code().category();
        if (objCategory == std::generic_category() || objCategory == std::system_category()) {
            return systemErrorText(pSystem->code().value()) + "。";
        }
    }
    return std::string("予期しないエラーが起きました（") + e.what() + "）。";
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
    mostrLastError.clear();
    try {
        engine();
        moobjDB = jet::createDatabase(strMDBPath, strLocale, kVersion40);
        return true;
    } catch (const std::exception& e) {
        mostrLastError = failureText(e);
        return false;
    }
}

bool clsAccessDB::fnOpenDB(const std::string& strMDBPath, bool blnReadOnly) {
    mostrLastError.clear();
    mostrOpenNotice.clear();
    try {
        moobjDB = engine().OpenDatabase(strMDBPath, blnReadOnly);
        mostrOpenNotice = moobjDB->RollbackNotice();
        jet::TableDefs& colDefs = moobjDB->TableDefs();
        const int lngCount = colDefs.Count();
        for (int i = 0; i < lngCount; ++i) mocolTableName.push_back(colDefs.item(i));
        return true;
    } catch (const std::exception& e) {
        mostrLastError = failureText(e);
        return false;
    }
}

bool clsAccessDB::fnCloseDB() {
    mostrLastError.clear();
    if (!moobjDB) {
        mostrLastError = "データベースが開かれていません";
        return false;
    }
    std::unique_ptr<jet::Database> objDB = std::move(moobjDB);
    try {
        objDB->Close();
        return true;
    } catch (const std::exception& e) {
        mostrLastError = failureText(e);
        return false;
    }
}

bool clsAccessDB::fnCreateTable(const clsTableInfo& objTable) {
    mostrLastError.clear();
    try {
        const std::string& strName = objTable.getName();
        if (fnExistTable(strName)) {
            mostrLastError = "テーブル『" + strName + "』は既にデータベースにあります";
            return false;
        }
        if (!moobjDB) {
            mostrLastError = "データベースが開かれていません";
            return false;
        }

        std::shared_ptr<jet::TableDef> objTableDef = moobjDB->CreateTableDef(strName);
        for (const FieldInfoPtr& objField : objTable.getFields()) {
            if (fnCheckField(*objField)) sbCreateField(*objTableDef, *objField);
        }
        sbCreatePrimaryKey(*objTableDef, objTable);
        if (!objTable.getFields().empty()) moobjDB->TableDefs().Append(objTableDef);
        return true;
    } catch (const std::exception& e) {
        mostrLastError = failureText(e);
        return false;
    }
}

bool clsAccessDB::fnExistTable(const std::string& strTableName) const {
    for (const std::string& strName : mocolTableName) {
        if (strName == strTableName) return true;
    }
    return false;
}

bool clsAccessDB::fnCheckField(const clsFieldInfo& objField) {
    if (isBlank(objField.getName()) || isBlank(objField.getAttr())) return false;
    if (lowered(trimBlanks(objField.getAttr())) == lowered(fieldAttr().getText())) {
        return !isBlank(objField.getSize());
    }
    return true;
}

void clsAccessDB::sbCreateField(jet::TableDef& objTableDef, const clsFieldInfo& objField) {
    try {
        const std::string& strName = objField.getName();
        const std::string strKey = lowered(trimBlanks(objField.getAttr()));
        const clsAccessFieldAttr& objMap = fieldAttr();

        // The type codes, in the order the notations are tried.
        static const struct {
            AccessFieldType enmType;
            int lngDaoType;
        } kTypes[] = {
            {AccessFieldType::Text, jet::dbText},         {AccessFieldType::AutoNumber, jet::dbLong},
            {AccessFieldType::Date, jet::dbDate},         {AccessFieldType::Integer, jet::dbInteger},
            {AccessFieldType::Long, jet::dbLong},         {AccessFieldType::Single, jet::dbSingle},
            {AccessFieldType::Double, jet::dbDouble},     {AccessFieldType::Currency, jet::dbCurrency},
        };
        bool blnFound = false;
        for (const auto& t : kTypes) {
            if (strKey != lowered(objMap.get(t.enmType))) continue;
            blnFound = true;
            if (t.enmType == AccessFieldType::Text) {
                const std::int16_t intSize = toInt16(objField.getSize());
                objTableDef.Fields().Append(objTableDef.CreateField(strName, jet::dbText, intSize));
            } else {
                objTableDef.Fields().Append(objTableDef.CreateField(strName, t.lngDaoType));
                if (t.enmType == AccessFieldType::AutoNumber) {
                    objTableDef.Fields().item(strName)->setAttributes(jet::dbAutoIncrField);
                }
            }
            break;
        }
        if (!blnFound) {
            sbShowMessage(objField.getAttr() + kUndefinedSuffix);
            return;
        }
        objTableDef.Fields().item(strName)->setRequired(!objField.getNull());
    } catch (const std::exception& e) {
        sbShowMessage(failureText(e));
    }
}

void clsAccessDB::sbCreatePrimaryKey(jet::TableDef& objTableDef, const clsTableInfo& objTable) {
    const std::vector<std::string>& colKeys = objTable.getPrimaryKeys();
    if (colKeys.empty()) return;
    std::shared_ptr<jet::Index> objIndex = objTableDef.CreateIndex(kPrimaryIndexName);
    for (const std::string& strKey : colKeys) {
        objIndex->Fields().Append(objIndex->CreateField(strKey));
    }
    objIndex->setPrimary(true);
    objTableDef.Indexes().Append(objIndex);
}
