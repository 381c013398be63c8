#include "clsXML.h"

#include <exception>

#include "Cp932.h"
#include "TextRules.h"

bool clsXML::fnReadFile(const std::string& strPath) {
    mocolLines.clear();
    try {
        mocolLines = readCp932Lines(strPath);
        mostrErrMsg.clear();
        molngErrNo = 0;
        return true;
    } catch (const TextFileError& e) {
        mostrErrMsg = e.what();
        molngErrNo = e.errNo();
    } catch (const std::exception& e) {
        mostrErrMsg = e.what();
        molngErrNo = 75;
    } catch (...) {
        mostrErrMsg = "ファイルを読み込めません: " + strPath;
        molngErrNo = 75;
    }
    mocolLines.clear();
    return false;
}

std::string clsXML::fnTagData(const std::string& strSTag, const std::string& strETag) const {
    if (strSTag.empty() || strETag.empty()) return std::string();
    std::string strValue;
    bool blnOpen = false;
    for (const std::string& strLine : mocolLines) {
        const std::size_t s = findIgnoreAsciiCase(strLine, strSTag);
        if (s != std::string::npos) {
            const std::size_t nFrom = s + strSTag.size();
            // The end tag is looked for after the start tag; one standing before it
            // does not close anything.
            const std::size_t e = findIgnoreAsciiCase(strLine, strETag, nFrom);
            if (e != std::string::npos) return strLine.substr(nFrom, e - nFrom);
            blnOpen = true;
            strValue = strLine.substr(nFrom);
            continue;
        }
        if (!blnOpen) continue;
        const std::size_t e = findIgnoreAsciiCase(strLine, strETag);
        if (e != std::string::npos) return strValue + strLine.substr(0, e);
        strValue += strLine;
    }
    return std::string();
}
