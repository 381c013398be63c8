#include "clsAccessFieldAttr.h"

#include <stdexcept>

#include "TextRules.h"
#include "clsHash.h"
#include "clsXML.h"

namespace {

const char* const kTypeNames[kAccessFieldTypeCountAll] = {
    "Text", "AutoNumber", "Date", "Integer", "Long", "Single", "Double", "Currency", "YesNo", "Memo"};

int indexOf(AccessFieldType enmType) {
    const int n = static_cast<int>(enmType);
    if (n < 0 || n >= kAccessFieldTypeCountAll) throw std::out_of_range("unknown Access field type");
    return n;
}

bool isOn(const std::string& strText) {
    const std::string s = trimBlanks(strText);
    return s == "1" || lowerAscii(s) == "true" || lowerAscii(s) == "yes";
}

}  // namespace

const char* accessFieldTypeName(AccessFieldType enmType) { return kTypeNames[indexOf(enmType)]; }

AccessFieldType accessFieldTypeAt(int nIndex) {
    if (nIndex < 0 || nIndex >= kAccessFieldTypeCountAll)
        throw std::out_of_range("Access field type position out of range");
    return static_cast<AccessFieldType>(nIndex);
}

void clsAccessFieldAttr::set(AccessFieldType enmType, const std::string& strFieldExp) {
    mostrNotations[indexOf(enmType)] = strFieldExp;
}

const std::string& clsAccessFieldAttr::get(AccessFieldType enmType) const {
    return mostrNotations[indexOf(enmType)];
}

void clsAccessFieldAttr::setMoreWords(AccessFieldType enmType, const std::string& strWords) {
    mostrMoreWords[indexOf(enmType)] = strWords;
}

const std::string& clsAccessFieldAttr::getMoreWords(AccessFieldType enmType) const {
    return mostrMoreWords[indexOf(enmType)];
}

bool clsAccessFieldAttr::isClassic() const {
    if (moblnDictionary || moblnSizeInType) return false;
    for (int i = 0; i < kAccessFieldTypeCountAll; ++i) {
        if (!mostrMoreWords[i].empty()) return false;
        if (i >= kAccessFieldTypeCount && !mostrNotations[i].empty()) return false;
    }
    return true;
}

bool fnSaveAttrFile(const clsAccessFieldAttr& objAttr, const std::string& strPath,
                    std::string* pstrErrMsg, DefFileFailure* pobjFailure) {
    clsHash objHash;
    for (int i = 0; i < kAccessFieldTypeCount; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        objHash.Add(accessFieldTypeName(enmType), objAttr.get(enmType));
    }
    // What older readers do not know stands after the eight lines, and only when in use.
    for (int i = kAccessFieldTypeCount; i < kAccessFieldTypeCountAll; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        if (!objAttr.get(enmType).empty()) objHash.Add(accessFieldTypeName(enmType), objAttr.get(enmType));
    }
    for (int i = 0; i < kAccessFieldTypeCountAll; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        if (!objAttr.getMoreWords(enmType).empty())
            objHash.Add(std::string(accessFieldTypeName(enmType)) + "Words", objAttr.getMoreWords(enmType));
    }
    if (objAttr.getDictionary()) objHash.Add("Dictionary", "1");
    if (objAttr.getSizeInType()) objHash.Add("SizeInType", "1");
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
    auto fnTag = [&objXML](const std::string& strKey) { return objXML.fnTagData("<" + strKey + ">", "</" + strKey + ">"); };
    for (int i = kAccessFieldTypeCount; i < kAccessFieldTypeCountAll; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        objAttr.set(enmType, fnTag(accessFieldTypeName(enmType)));
    }
    for (int i = 0; i < kAccessFieldTypeCountAll; ++i) {
        const AccessFieldType enmType = accessFieldTypeAt(i);
        objAttr.setMoreWords(enmType, fnTag(std::string(accessFieldTypeName(enmType)) + "Words"));
    }
    objAttr.setDictionary(isOn(fnTag("Dictionary")));
    objAttr.setSizeInType(isOn(fnTag("SizeInType")));
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
