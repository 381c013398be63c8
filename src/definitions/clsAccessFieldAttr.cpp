#include "clsAccessFieldAttr.h"

#include <stdexcept>

#include "clsHash.h"
#include "clsXML.h"

namespace {

const char* const kTypeNames[kAccessFieldTypeCount] = {
    "Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency"};

int indexOf(AccessFieldType enmType) {
    const int n = static_cast<int>(enmType);
    if (n < 0 || n >= kAccessFieldTypeCount) throw std::out_of_range("unknown Access field type");
    return n;
}

}  // namespace

const char* accessFieldTypeName(AccessFieldType enmType) { return kTypeNames[indexOf(enmType)]; }

AccessFieldType accessFieldTypeAt(int nIndex) {
    if (nIndex < 0 || nIndex >= kAccessFieldTypeCount)
        throw std::out_of_range("Access field type position out of range");
    return static_cast<AccessFieldType>(nIndex);
}

void clsAccessFieldAttr::set(AccessFieldType enmType, const std::string& strFieldExp) {
    mostrNotations[indexOf(enmType)] = strFieldExp;
}

const std::string& clsAccessFieldAttr::get(AccessFieldType enmType) const {
    return mostrNotations[indexOf(enmType)];
}

bool fnSaveAttrFile(const clsAccessFieldAttr& objAttr, const std::string& strPath,
                    std::string* pstrErrMsg, DefFileFailure* pobjFailure) {
    clsHash objHash;
    for (int i = 0; i < kAccessFieldTypeCount; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        objHash.Add(accessFieldTypeName(enmType), objAttr.get(enmType));
    }
    const bool blnOk = objHash.fnSaveFileAsXml(strPath);
    if (pstrErrMsg) *pstrErrMsg = objHash.getErrMsg();
    if (pobjFailure) {
        *pobjFailure = DefFileFailure();
        if (!blnOk) *pobjFailure = {strPath, objHash.getErrReason(), std::string(), objHash.getErrNo()};
    }
    return blnOk;
}

void sbReadAttrFile(const clsXML& objXML, clsAccessFieldAttr& objAttr) {
    for (int i = 0; i < kAccessFieldTypeCount; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        const std::string strKey = accessFieldTypeName(enmType);
        objAttr.set(enmType, objXML.fnTagData("<" + strKey + ">", "</" + strKey + ">"));
    }
}

bool fnReadAttrFile(const std::string& strPath, clsAccessFieldAttr& objAttr,
                    std::string* pstrErrMsg, DefFileFailure* pobjFailure) {
    clsXML objXML;
    if (!objXML.fnReadFile(strPath)) {
        if (pstrErrMsg) *pstrErrMsg = objXML.getErrMsg();
        if (pobjFailure) *pobjFailure = {strPath, objXML.getErrReason(), std::string(), objXML.getErrNo()};
        return false;
    }
    sbReadAttrFile(objXML, objAttr);
    if (pstrErrMsg) pstrErrMsg->clear();
    if (pobjFailure) *pobjFailure = DefFileFailure();
    return true;
}
