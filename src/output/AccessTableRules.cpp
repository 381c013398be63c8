#include "AccessTableRules.h"

#include <new>
#include <system_error>

#include "TextRules.h"
#include "system_error_text.h"
#include "TypeWords.h"

namespace accessrules {

FieldSkip fieldSkip(const clsFieldInfo& objField, const clsAccessFieldAttr& objMap) {
    if (isBlank(objField.getName())) return FieldSkip::NoName;
    if (isBlank(objField.getAttr())) return FieldSkip::NoType;
    // A Text field needs a size (from its size cell, or from WORD(N) where the map allows it).
    const ResolvedType r = resolveFieldType(objMap, objField.getAttr(), objField.getSize(), objField.getDecimals());
    if (r.blnFound && r.enmType == AccessFieldType::Text && isBlank(r.strSize)) return FieldSkip::NoSize;
    return FieldSkip::None;
}

std::optional<AccessFieldType> fieldType(const clsFieldInfo& objField, const clsAccessFieldAttr& objMap) {
    const ResolvedType r = resolveFieldType(objMap, objField.getAttr(), objField.getSize(), objField.getDecimals());
    if (!r.blnFound) return std::nullopt;
    return r.enmType;
}

int daoType(AccessFieldType enmType) {
    switch (enmType) {
        case AccessFieldType::Text: return jet::dbText;
        case AccessFieldType::AutoNumber: return jet::dbLong;
        case AccessFieldType::Date: return jet::dbDate;
        case AccessFieldType::Integer: return jet::dbInteger;
        case AccessFieldType::Long: return jet::dbLong;
        case AccessFieldType::Single: return jet::dbSingle;
        case AccessFieldType::Double: return jet::dbDouble;
        case AccessFieldType::Currency: return jet::dbCurrency;
        case AccessFieldType::YesNo: return jet::dbBoolean;
        case AccessFieldType::Memo: return jet::dbMemo;
    }
    return jet::dbText;
}

bool appendField(jet::TableDef& objTableDef, const clsFieldInfo& objField, const clsAccessFieldAttr& objMap) {
    const ResolvedType r = resolveFieldType(objMap, objField.getAttr(), objField.getSize(), objField.getDecimals());
    if (!r.blnFound) return false;
    const std::optional<AccessFieldType> enmType = r.enmType;
    const std::string& strName = objField.getName();
    if (*enmType == AccessFieldType::Text) {
        const std::int16_t intSize = toInt16(r.strSize);
        objTableDef.Fields().Append(objTableDef.CreateField(strName, jet::dbText, intSize));
    } else {
        objTableDef.Fields().Append(objTableDef.CreateField(strName, daoType(*enmType)));
        if (*enmType == AccessFieldType::AutoNumber) {
            objTableDef.Fields().item(strName)->setAttributes(jet::dbAutoIncrField);
        }
    }
    // A Yes/No value is never NULL; Access leaves such a field's Required off whatever the design
    // says of nulls, and so does the builder.
    objTableDef.Fields().item(strName)->setRequired(*enmType != AccessFieldType::YesNo && !objField.getNull());
    return true;
}

FieldPart failurePart(const std::exception& objFailure, const clsFieldInfo& objField, const clsAccessFieldAttr& objMap) {
    const auto sizePart = [&] {
        const ResolvedType r = resolveFieldType(objMap, objField.getAttr(), objField.getSize(), objField.getDecimals());
        return r.blnSizeFromType ? FieldPart::Type : FieldPart::Size;
    };
    if (dynamic_cast<const ConversionError*>(&objFailure)) return sizePart();
    if (const auto* pJet = dynamic_cast<const jet::JetError*>(&objFailure)) {
        switch (pJet->number()) {
            case jet::errInvalidName: case jet::errDuplicateField: case jet::errTooManyFields: return FieldPart::Name;
            case jet::errInvalidSize: return sizePart();
            default: break;
        }
    }
    return FieldPart::Type;
}

void appendPrimaryKey(jet::TableDef& objTableDef, const clsTableInfo& objTable, std::size_t* pnKeysAdded) {
    std::size_t nAdded = 0;
    if (!pnKeysAdded) pnKeysAdded = &nAdded;
    *pnKeysAdded = 0;
    const std::vector<std::string>& colKeys = objTable.getPrimaryKeys();
    if (colKeys.empty()) return;
    std::shared_ptr<jet::Index> objIndex = objTableDef.CreateIndex(kPrimaryIndexName);
    for (const std::string& strKey : colKeys) {
        objIndex->Fields().Append(objIndex->CreateField(strKey));
        ++*pnKeysAdded;
    }
    objIndex->setPrimary(true);
    objTableDef.Indexes().Append(objIndex);
}

std::string undefinedTypeMessage(const clsFieldInfo& objField) { return objField.getAttr() + kUndefinedSuffix; }

std::string failureText(const std::exception& e) {
    if (dynamic_cast<const base::UserError*>(&e)) return e.what();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "メモリが足りません。";
    if (const auto* pSystem = dynamic_cast<const std::system_error*>(&e)) {
        const std::error_category& objCategory = pSystem->code().category();
        if (objCategory == std::generic_category() || objCategory == std::system_category()) {
            return base::systemErrorText(pSystem->code().value()) + "。";
        }
    }
    return std::string("予期しないエラーが起きました（") + e.what() + "）。";
}

DatabaseFailure databaseFailure(const std::exception& e) {
    DatabaseFailure objFailure{failureText(e), {}, {}};
    const auto* pError = dynamic_cast<const base::UserError*>(&e);
    if (pError && !pError->subject().file.empty()) {
        objFailure.objAbout = base::Subject::ofFile(pError->subject().file);
        objFailure.strReason = pError->reason();
    }
    return objFailure;
}

}  // namespace accessrules
