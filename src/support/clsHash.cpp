#include "clsHash.h"

#include <exception>

#include "Cp932.h"
#include "TextRules.h"

std::int32_t clsHash::fnFindKey(const std::string& strKey) const {
    for (std::int32_t p = 1; p <= molngCount; ++p) {
        if (mostrKeys[p - 1] == strKey) return p;
    }
    return -1;
}

void clsHash::append(const std::string& strKey, const std::string& strItem) {
    mostrKeys.push_back(strKey);
    mostrItems.push_back(strItem);
    ++molngCount;
}

void clsHash::Add(const std::string& strKey, const std::string& strItem) {
    if (isBlank(strKey) && isBlank(strItem)) return;
    const std::int32_t p = fnFindKey(strKey);
    if (p == -1) {
        append(strKey, strItem);
    } else {
        mostrItems[p - 1] = strItem;
    }
}

void clsHash::AddKey(const std::string& strKey) {
    if (isBlank(strKey)) return;
    const std::int32_t p = fnFindKey(strKey);
    if (p == -1) {
        append(strKey, std::string());
    } else {
        mostrItems[p - 1].clear();
    }
}

void clsHash::AddItem(const std::string& strItem) {
    if (isBlank(strItem)) return;
    const std::string strNext = intToText(std::int64_t(molngCount) + 1);
    if (fnFindKey(strNext) != -1) Remove(strNext);
    append(intToText(std::int64_t(molngCount) + 1), strItem);
}

void clsHash::Remove(const std::string& strKey) {
    const std::int32_t p = fnFindKey(strKey);
    if (p == -1) return;
    mostrKeys.erase(mostrKeys.begin() + (p - 1));
    mostrItems.erase(mostrItems.begin() + (p - 1));
    --molngCount;
}

void clsHash::RemoveAll() {
    mostrKeys.clear();
    mostrItems.clear();
    molngCount = 0;
}

std::string clsHash::getKey(const std::string& strItem) const {
    for (std::int32_t p = 1; p <= molngCount; ++p) {
        if (mostrItems[p - 1] == strItem) return mostrKeys[p - 1];
    }
    return std::string();
}

std::string clsHash::getKey2(std::int32_t lngItemNo) const {
    if (lngItemNo < 1 || lngItemNo > molngCount) return std::string();
    return mostrKeys[lngItemNo - 1];
}

std::string clsHash::getItem2(std::int32_t lngKeyNo) const {
    if (lngKeyNo < 1 || lngKeyNo > molngCount) return std::string();
    return mostrItems[lngKeyNo - 1];
}

std::string clsHash::getItem(const std::string& strKey) const {
    const std::int32_t p = fnFindKey(strKey);
    return p == -1 ? std::string() : mostrItems[p - 1];
}

bool clsHash::Exists(const std::string& strKey) const { return fnFindKey(strKey) != -1; }

void clsHash::Split(const std::string& strSep, const std::string& strData) {
    RemoveAll();
    if (isBlank(strData)) return;
    if (strSep.empty() || findIgnoreAsciiCase(strData, strSep) == std::string::npos) {
        append("1", strData);
        return;
    }
    std::size_t nRest = 0;
    std::int64_t n = 1;
    for (;;) {
        const std::size_t q = findIgnoreAsciiCase(strData, strSep, nRest);
        if (q == std::string::npos) {
            if (nRest < strData.size()) Add(intToText(n), strData.substr(nRest));
            return;
        }
        // The whole separator is dropped, so a separator of several characters
        // never leaks into the next piece.
        Add(intToText(n), strData.substr(nRest, q - nRest));
        nRest = q + strSep.size();
        ++n;
    }
}

std::string clsHash::GetAllItems(const std::string& strSep) const {
    std::string strAll;
    for (std::int32_t p = 1; p <= molngCount; ++p) {
        if (p > 1) strAll += strSep;
        strAll += mostrItems[p - 1];
    }
    return strAll;
}

std::string clsHash::GetAllKeys(const std::string& strSep) const {
    std::string strAll;
    for (std::int32_t p = 1; p <= molngCount; ++p) {
        if (p > 1) strAll += strSep;
        strAll += mostrKeys[p - 1];
    }
    return strAll;
}

bool clsHash::fnSaveFileAsXml(const std::string& strPath) {
    try {
        std::vector<std::string> colLines;
        colLines.reserve(static_cast<std::size_t>(molngCount));
        for (std::int32_t p = 1; p <= molngCount; ++p) {
            const std::string& strKey = mostrKeys[p - 1];
            colLines.push_back("<" + strKey + ">" + mostrItems[p - 1] + "</" + strKey + ">");
        }
        writeCp932Lines(strPath, colLines);
        mostrErrMsg.clear();
        mostrErrReason.clear();
        molngErrNo = 0;
        return true;
    } catch (...) {
        if (!fnTextFileFailure(mostrErrMsg, mostrErrReason, molngErrNo)) {
            mostrErrReason = "予期しないエラーが起きました";
            mostrErrMsg = "ファイルに書き込めません: " + strPath + "（" + mostrErrReason + "）";
            molngErrNo = base::errPathFileAccess;
        }
    }
    return false;
}
