#include "clsTableInfo.h"

#include "SourcePlace.h"

std::string clsFieldInfo::getCellA1(FieldPart enmPart) const { return cellA1(molngRow, getCol(enmPart)); }

std::string clsTableInfo::getNameCellA1() const { return cellA1(molngNameRow, molngNameCol); }

FieldInfoPtr clsTableInfo::getField(const std::string& strFieldName) const {
    for (const auto& objField : mocolFields) {
        if (objField && objField->getName() == strFieldName) return objField;
    }
    return nullptr;
}

namespace {
std::string withCell(std::string strSheet, const std::string& strCell) {
    if (strSheet.empty() || strCell.empty()) return strSheet;
    return strSheet + "のセル" + strCell;
}
}  // namespace

std::string clsTableInfo::getPlace() const {
    return withCell(sheetWords(molngSheetNo, mostrSheetName), getNameCellA1());
}

std::string clsTableInfo::getPlace(const clsFieldInfo& objField, FieldPart enmPart) const {
    return withCell(sheetWords(molngSheetNo, mostrSheetName), objField.getCellA1(enmPart));
}
