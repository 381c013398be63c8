#include "clsXML.h"

#include <exception>

#include "Cp932.h"
#include "file_names.h"
#include "TextRules.h"

bool clsXML::fnReadFile(const std::string& strPath) {
    mocolLines.clear();
    // A failure the file itself causes: "<reason>: <path>".
    auto refuse = [&](const char* pszReason) {
        mostrErrReason = pszReason;
        mostrErrMsg = mostrErrReason + ": " + strPath;
        molngErrNo = base::errPathFileAccess;
        return false;
    };
    // Tag files are a few hundred bytes; a huge file is surely the wrong one.
    constexpr std::uint64_t kMaxBytes = 16ULL * 1024 * 1024;
    std::uint64_t nSize = 0;
    const platform::NodeKind kind = platform::targetKindOf(strPath, nullptr, &nSize);
    if (kind == platform::NodeKind::File && nSize > kMaxBytes) return refuse("ファイルが大きすぎるため読み込めません");
    // A pipe or a device would block or never end.
    if (kind == platform::NodeKind::Other) return refuse("通常のファイルではないため読み込めません");
    try {
        mocolLines = readCp932Lines(strPath);
        mostrErrMsg.clear();
        mostrErrReason.clear();
        molngErrNo = 0;
        return true;
    } catch (...) {
        if (!fnTextFileFailure(mostrErrMsg, mostrErrReason, molngErrNo)) refuse("ファイルを読み込めません");
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
