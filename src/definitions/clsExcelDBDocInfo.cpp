#include "clsExcelDBDocInfo.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "Cp932.h"
#include "TextRules.h"
#include "clsHash.h"
#include "clsXML.h"

void clsExcelDBDocInfo::sbSetPage(std::int32_t lngStartSheetNo, std::int32_t lngEndSheetNo) {
    setStartPage(lngStartSheetNo);
    setEndPage(lngEndSheetNo);
}

void clsExcelDBDocInfo::sbSetTableNmPos(std::int32_t lngRowNo, std::int32_t lngColNo) {
    setRowTableName(lngRowNo);
    setColTableName(lngColNo);
}

void clsExcelDBDocInfo::sbSetFieldPos(std::int32_t lngStartRow) { setStartRowFieldDef(lngStartRow); }

void clsExcelDBDocInfo::sbSetFieldDefPos(std::int32_t lngNmCol, std::int32_t lngAttrCol,
                                         std::int32_t lngSizeCol, std::int32_t lngPKeyCol,
                                         std::int32_t lngNullCol) {
    setColFieldName(lngNmCol);
    setColFieldType(lngAttrCol);
    setColFieldSize(lngSizeCol);
    setColPrimaryKey(lngPKeyCol);
    setColNULL(lngNullCol);
}

namespace {

// The optional parts may hold words CP932 has no form for (mark words such as ✓ ✔ ◯): the file
// keeps each such character as "&#x2713;", and reading gives it back.
std::string toFileText(const std::string& strText) {
    std::string out;
    std::size_t n = 0;
    while (n < strText.size()) {
        const std::size_t nStart = n;
        char32_t ch = 0;
        if (!decodeUtf8(strText, n, ch)) {
            out += strText[n++];
            continue;
        }
        if (cp932CanEncode(ch)) {
            out.append(strText, nStart, n - nStart);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "&#x%X;", static_cast<unsigned>(ch));
            out += buf;
        }
    }
    return out;
}

std::string fromFileText(const std::string& strText) {
    std::string out;
    for (std::size_t i = 0; i < strText.size();) {
        if (strText.compare(i, 3, "&#x") == 0) {
            const std::size_t nEnd = strText.find(';', i + 3);
            const std::size_t nDigits = nEnd == std::string::npos ? 0 : nEnd - i - 3;
            bool blnHex = nDigits >= 1 && nDigits <= 6;
            for (std::size_t k = i + 3; blnHex && k < nEnd; ++k) blnHex = std::isxdigit(static_cast<unsigned char>(strText[k])) != 0;
            const unsigned long ulCode = blnHex ? std::strtoul(strText.substr(i + 3, nDigits).c_str(), nullptr, 16) : 0;
            if (blnHex && ulCode > 0 && ulCode <= 0x10FFFF && (ulCode < 0xD800 || ulCode > 0xDFFF)) {
                appendUtf8(out, static_cast<char32_t>(ulCode));
                i = nEnd + 1;
                continue;
            }
        }
        out += strText[i++];
    }
    return out;
}

}  // namespace

bool clsExcelDBDocInfo::fnReadFile(const std::string& strPath, std::string* pstrErrMsg,
                                   DefFileFailure* pobjFailure) {
    clsXML objXML;
    if (!objXML.fnReadFile(strPath)) {
        if (pstrErrMsg) *pstrErrMsg = objXML.getErrMsg();
        if (pobjFailure) *pobjFailure = {strPath, objXML.getErrReason(), std::string(), objXML.getErrNo()};
        return false;
    }
    // The values in the order of kDBDefFileKeys.
    const auto fnSet = [this](int i, std::int32_t lngValue) {
        switch (i) {
            case 0: setStartPage(lngValue); break;
            case 1: setEndPage(lngValue); break;
            case 2: setStartRowFieldDef(lngValue); break;
            case 3: setRowTableName(lngValue); break;
            case 4: setColTableName(lngValue); break;
            case 5: setColFieldName(lngValue); break;
            case 6: setColFieldType(lngValue); break;
            case 7: setColFieldSize(lngValue); break;
            case 8: setColPrimaryKey(lngValue); break;
            default: setColNULL(lngValue); break;
        }
    };
    for (int i = 0; i < 10; ++i) {
        const std::string strKey = kDBDefFileKeys[i];
        const std::string strText = objXML.fnTagData("<" + strKey + ">", "</" + strKey + ">");
        std::int32_t lngValue = 0;
        try {
            lngValue = toInt32(strText);
        } catch (const ConversionError& e) {
            const std::string strReason = "<" + strKey + "> の値を読めません。" + e.what();
            if (pobjFailure) {
                *pobjFailure = {strPath, strReason, strKey,
                                e.kind() == ConversionError::Kind::Overflow ? 6 : 13};
            }
            throw ConversionError(e.kind(), e.input(), strPath + ": " + strReason);
        }
        fnSet(i, lngValue);
    }
    LayoutOptions objOptions;
    for (int i = 0; i < kLayoutOptionKeyCount; ++i) {
        const std::string strKey = kLayoutOptionKeys[i];
        const std::string strText = fromFileText(objXML.fnTagData("<" + strKey + ">", "</" + strKey + ">"));
        if (!setLayoutOption(objOptions, i, strText)) {
            const std::string strReason = "<" + strKey + "> の値「" + strText + "」を読めません。";
            if (pobjFailure) *pobjFailure = {strPath, strReason, strKey, 13};
            throw ConversionError(ConversionError::Kind::TypeMismatch, strText, strPath + ": " + strReason);
        }
    }
    moOptions = objOptions;
    if (pstrErrMsg) pstrErrMsg->clear();
    if (pobjFailure) *pobjFailure = DefFileFailure();
    return true;
}

bool fnSaveDBDefFile(const clsExcelDBDocInfo& objDocInfo, const std::string& strPath,
                     std::string* pstrErrMsg, DefFileFailure* pobjFailure) {
    const std::int32_t lngValues[10] = {
        objDocInfo.getStartPage(),     objDocInfo.getEndPage(),      objDocInfo.getStartRowFieldDef(),
        objDocInfo.getRowTableName(),  objDocInfo.getColTableName(), objDocInfo.getColFieldName(),
        objDocInfo.getColFieldType(),  objDocInfo.getColFieldSize(), objDocInfo.getColPrimaryKey(),
        objDocInfo.getColNULL()};
    clsHash objHash;
    for (int i = 0; i < 10; ++i) objHash.Add(kDBDefFileKeys[i], intToText(lngValues[i]));
    for (int i = 0; i < kLayoutOptionKeyCount; ++i) {
        const std::string strText = toFileText(layoutOptionText(objDocInfo.getOptions(), i));
        if (!strText.empty()) objHash.Add(kLayoutOptionKeys[i], strText);
    }
    const bool blnOk = objHash.fnSaveFileAsXml(strPath);
    if (pstrErrMsg) *pstrErrMsg = objHash.getErrMsg();
    if (pobjFailure) {
        *pobjFailure = DefFileFailure();
        if (!blnOk) *pobjFailure = {strPath, objHash.getErrReason(), std::string(), objHash.getErrNo()};
    }
    return blnOk;
}
