#include "clsHTMLDoc.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "Cp932.h"
#include "TextRules.h"
#include "file_names.h"

const char* const clsHTMLDoc::kSiteAddress = "https://xlsdb.example.org/";

namespace {

// One full-width space: the mark of an empty cell.
const char* const kBlankMark = "\xE3\x80\x80";

// Error numbers of our own refusals (user_error.h), as the text file layer numbers its failures.
constexpr int kErrBadFileName = base::errBadFileName;
constexpr int kErrPathNotFound = base::errPathNotFound;
constexpr int kErrPermission = base::errPathFileAccess;

const char* const kMeta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"> ";

// "<html> <head> <title>" + title + "</title> " + meta + "</head> ", the start of every page
// but the list.
std::string pageHead(const std::string& strTitleHtml) {
    std::string s;
    s += "<html> ";
    s += "<head> ";
    s += "<title>";
    s += strTitleHtml;
    s += "</title> ";
    s += kMeta;
    s += "</head> ";
    return s;
}

}  // namespace

namespace htmldoc {

std::string escapeHtml(const std::string& strText) {
    std::string s;
    s.reserve(strText.size());
    for (char c : strText) {
        switch (c) {
        case '&': s += "&amp;"; break;
        case '<': s += "&lt;"; break;
        case '>': s += "&gt;"; break;
        case '"': s += "&quot;"; break;
        default: s += c;
        }
    }
    return s;
}

std::string linkTarget(const std::string& strFileName) {
    std::string s;
    s.reserve(strFileName.size());
    bool blnLeading = true;
    for (char c : strFileName) {
        if (c != ' ') blnLeading = false;
        switch (c) {
        case '%': s += "%25"; break;
        case '"': s += "%22"; break;
        case '#': s += "%23"; break;
        case '?': s += "%3F"; break;
        // A colon would turn the name into a scheme ("javascript:..."), leading spaces are
        // dropped by browsers; both would send the link elsewhere.
        case ':': s += "%3A"; break;
        case ' ': s += blnLeading ? "%20" : " "; break;
        default: s += c;
        }
    }
    return escapeHtml(s);
}

std::string joinPath(const std::string& strFolder, const std::string& strName) {
    constexpr char chSep = static_cast<char>(std::filesystem::path::preferred_separator);
    if (strFolder.empty()) return strName;
    if (strFolder.back() == chSep || strFolder.back() == '/') return strFolder + strName;
    return strFolder + chSep + strName;
}

void writePage(const std::string& strPath, const std::string& strPage) {
    // A page is always a file of its own inside the chosen folder: a symbolic link standing
    // under a page's name is replaced, never written through (it could point anywhere).
    if (platform::kindOf(strPath) == platform::NodeKind::Link && platform::removeFile(strPath) != 0) {
        throw clsHTMLDocError(kErrPermission, "『" + strPath + "』を書き込めませんでした: " +
                                                  "同じ名前のリンクを置き換えられません", strPath);
    }
    try {
        writeCp932File(strPath, strPage + "\r\n", [](char32_t ch) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "&#x%X;", static_cast<unsigned>(ch));
            return std::string(buf);
        });
    } catch (const TextFileError& e) {
        // The line names the page; the reason follows without the path again.
        const std::string strWhy = e.path() == strPath ? e.reason() : std::string(e.what());
        throw clsHTMLDocError(e.errNo(), "『" + strPath + "』を書き込めませんでした: " + strWhy, strPath);
    }
}

}  // namespace htmldoc

using htmldoc::escapeHtml;

bool clsHTMLDoc::fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder) {
    if (isBlank(strFolder)) {
        throw clsHTMLDocError(kErrPathNotFound, "出力先のフォルダが指定されていません", strFolder);
    }
    // Every page's name is settled and checked before anything is written.
    const auto& colTables = objDB.getTables();
    const std::vector<std::string> colFiles = fnPageFileNames(objDB);
    std::vector<std::string> colPaths;
    colPaths.reserve(colTables.size());
    for (std::size_t i = 0; i < colTables.size(); ++i) {
        colPaths.push_back(fnTableFilePath(colTables[i]->getName(), strFolder, colFiles[i]));
    }
    moblnCancelled = false;
    const int lngTotal = static_cast<int>(colTables.size()) + 3;
    int lngDone = 0;
    auto fnGoOn = [&]() {
        if (!moblnCancelled && mofnProgress && !mofnProgress(lngDone, lngTotal)) moblnCancelled = true;
        return !moblnCancelled;
    };
    fnGoOn();
    fnWriteIndexFile(strFolder);
    ++lngDone;
    fnGoOn();
    fnWriteRightFrameFile(strFolder);
    ++lngDone;
    std::string strList = fnListHead();
    for (std::size_t i = 0; i < colTables.size() && fnGoOn(); ++i) {
        fnWriteTableFile(*colTables[i], colPaths[i]);
        strList += fnListRow(colTables[i]->getName(), colFiles[i]);
        ++lngDone;
    }
    strList += fnListFoot();
    // Also a stopped run ends with its list, so that no link leads to a page not written.
    htmldoc::writePage(htmldoc::joinPath(strFolder, "leftframe.htm"), strList);
    ++lngDone;
    if (mofnProgress && !moblnCancelled) mofnProgress(lngTotal, lngTotal);
    return !moblnCancelled;
}

std::string clsHTMLDoc::fnIndexText() const {
    std::string s = pageHead(escapeHtml(mostrTitle));
    s += "<frameset cols=\"258,*\" frameborder=\"YES\" border=\"1\" framespacing=\"1\" rows=\"*\">  ";
    s += "  <frame name=\"leftFrame\" noresize src=\"leftframe.htm\" scrolling=\"AUTO\"> ";
    s += "  <frame name=\"mainFrame\" src=\"rightframe.htm\" scrolling=\"AUTO\"> ";
    s += "</frameset> ";
    s += "<noframes><body bgcolor=\"#FFFFFF\" text=\"#000000\"> ";
    s += "</body></noframes> ";
    s += "</html> ";
    return s;
}

std::string clsHTMLDoc::fnRightFrameText() const {
    std::string strTitle = escapeHtml(mostrTitle);
    std::string s = pageHead(strTitle);
    s += "<body bgcolor=\"#FFFFFF\" text=\"#996699\" link=\"#3333FF\" alink=\"#0000CC\" vlink=\"#333366\"> ";
    s += "<p align=\"left\"><font size=\"4\"><b><NOBR>";
    s += strTitle;
    s += "</NOBR></b></font></p> ";
    s += "<p><b><font size=\"4\"><a href=\"";
    s += kSiteAddress;
    s += "\">";
    s += kSiteAddress;
    s += "  ";
    s += "  </a></font></b></p> ";
    s += "</body> ";
    s += "</html> ";
    return s;
}

bool clsHTMLDoc::fnWriteIndexFile(const std::string& strFolder) {
    htmldoc::writePage(htmldoc::joinPath(strFolder, "index.htm"), fnIndexText());
    return true;
}

bool clsHTMLDoc::fnWriteRightFrameFile(const std::string& strFolder) {
    htmldoc::writePage(htmldoc::joinPath(strFolder, "rightframe.htm"), fnRightFrameText());
    return true;
}

std::vector<std::string> clsHTMLDoc::fnPageFileNames(const clsDBInfo& objDB) {
    const auto& colTables = objDB.getTables();
    std::vector<std::string> colNames(colTables.size());
    // Letter case ignored: "INDEX.htm" and "index.htm" are one file where the file system
    // ignores case.
    std::set<std::string> setTaken = {"index.htm", "leftframe.htm", "rightframe.htm"};
    // First the plain names, so that a table whose own name ends in "_2" keeps it.
    for (std::size_t i = 0; i < colTables.size(); ++i) {
        const std::string strFile = colTables[i]->getName() + ".htm";
        if (setTaken.insert(lowerCaseText(strFile)).second) colNames[i] = strFile;
    }
    for (std::size_t i = 0; i < colTables.size(); ++i) {
        if (!colNames[i].empty()) continue;
        for (long lngNo = 2;; ++lngNo) {
            const std::string strFile = colTables[i]->getName() + "_" + std::to_string(lngNo) + ".htm";
            if (setTaken.insert(lowerCaseText(strFile)).second) {
                colNames[i] = strFile;
                break;
            }
        }
    }
    return colNames;
}

std::string clsHTMLDoc::fnTableFilePath(const std::string& strTableName, const std::string& strFolder,
                                        const std::string& strFileNameGiven) {
    const std::string strFileName = strFileNameGiven.empty() ? strTableName + ".htm" : strFileNameGiven;
    auto refuse = [&](const std::string& strWhy) {
        throw clsHTMLDocError(kErrBadFileName,
                              "テーブル『" + strTableName + "』のページを作成できません: " + strWhy,
                              htmldoc::joinPath(strFolder, strFileName));
    };
    if (strTableName.empty() || strTableName == "." || strTableName == "..") {
        refuse("テーブル名をファイル名に使えません");
    }
    for (std::size_t nPos = 0; nPos < strTableName.size();) {
        char32_t ch = 0;
        if (!decodeUtf8(strTableName, nPos, ch)) {
            ch = static_cast<unsigned char>(strTableName[nPos]);
            ++nPos;
        }
        if (ch == '/' || ch == '\\') refuse("テーブル名にフォルダの区切り文字が含まれています");
        if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch <= 0x9F)) {
            refuse("テーブル名に制御文字が含まれています");
        }
    }
    if (!platform::nameFits(strFolder.empty() ? "." : strFolder, strFileName)) {
        refuse("テーブル名がファイル名として長すぎます");
    }
    return htmldoc::joinPath(strFolder, strFileName);
}

bool clsHTMLDoc::fnWriteTableFile(const clsTableInfo& objTable, const std::string& strPath) {
    htmldoc::writePage(strPath, fnTablePageText(objTable));
    return true;
}

std::string clsHTMLDoc::fnTablePageText(const clsTableInfo& objTable) {
    std::string s = fnTableHead(objTable.getName());
    for (const FieldInfoPtr& objField : objTable.getFields()) {
        s += fnFieldRow(*objField, objTable.getPrimaryKeys());
    }
    s += fnTableFoot();
    return s;
}

std::string clsHTMLDoc::fnListText(const clsDBInfo& objDB) {
    const auto& colTables = objDB.getTables();
    const std::vector<std::string> colFiles = fnPageFileNames(objDB);
    std::string s = fnListHead();
    for (std::size_t i = 0; i < colTables.size(); ++i) s += fnListRow(colTables[i]->getName(), colFiles[i]);
    s += fnListFoot();
    return s;
}

std::string clsHTMLDoc::fnTableHead(const std::string& strTableName) {
    std::string strName = escapeHtml(strTableName);
    std::string s = pageHead(strName);
    s += "<body bgcolor=\"#FFFFFF\" text=\"#000000\"> ";
    s += "<table width=\"400\" border=\"2\" cellspacing=\"0\" cellpadding=\"2\"> ";
    s += "  <tr bgcolor=\"#6633CC\" align=\"center\">  ";
    s += "    <td align=\"center\" colspan=\"5\">  ";
    s += "      <div align=\"left\"><font size=\"3\" color=\"#FFFFFF\"><b>";
    s += strName;
    s += "</b></font></div> ";
    s += "    </td> ";
    s += "  </tr> ";
    s += "  <tr bgcolor=\"#6633CC\" align=\"center\">  ";
    s += "    <td align=\"center\"><b><font color=\"white\" size=\"2\">Field</font></b></td> ";
    s += "    <td><b><font color=\"white\" size=\"2\">Attribute</font></b></td> ";
    s += "    <td><b><font color=\"white\" size=\"2\">Size</font></b></td> ";
    s += "    <td><b><font color=\"white\" size=\"2\">Null</font></b></td> ";
    s += "    <td><b><font color=\"white\" size=\"2\">PrimaryKey</font></b></td> ";
    s += "  </tr> ";
    return s;
}

std::string clsHTMLDoc::fnFieldRow(const clsFieldInfo& objField,
                                   const std::vector<std::string>& colPrimaryKeys) {
    auto cell = [](const char* strOpen, const std::string& strValue) {
        std::string s = strOpen;
        s += "      <div align=\"center\"><font size=\"2\">";
        s += strValue;
        s += "</font></div> ";
        s += "    </td> ";
        return s;
    };
    std::string s = "  <tr bgcolor=\"#CCFF99\">  ";
    s += cell("    <td align=\"center\">  ", escapeHtml(objField.getName()));
    s += cell("    <td>  ", escapeHtml(objField.getAttr()));
    s += cell("    <td>  ", isBlank(objField.getSize()) ? kBlankMark : escapeHtml(objField.getSize()));
    s += cell("    <td>  ", objField.getNull() ? "y" : kBlankMark);
    s += cell("    <td>  ", fnIsPrimaryKey(objField.getName(), colPrimaryKeys) ? "y" : kBlankMark);
    s += "  </tr> ";
    return s;
}

bool clsHTMLDoc::fnIsPrimaryKey(const std::string& strFieldName,
                                const std::vector<std::string>& colPrimaryKeys) {
    const std::string strField = trimBlanks(strFieldName);
    for (const std::string& strKey : colPrimaryKeys) {
        if (trimBlanks(strKey) == strField) return true;
    }
    return false;
}

std::string clsHTMLDoc::fnTableFoot() {
    return "</table></body></html>";
}

std::string clsHTMLDoc::fnListHead() {
    std::string s = pageHead("テーブル一覧");
    s += "<body bgcolor=\"#FFFFFF\" text=\"#996699\" link=\"#3333FF\" alink=\"#0000CC\" vlink=\"#333366\"> ";
    s += "<table width=\"238\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\" align=\"left\"> ";
    s += "  <tr>  ";
    s += "    <td bgcolor=\"#6633CC\"><font color=\"#FFFFFF\"><b><font size=\"3\">テーブル一覧</font></b></font></td> ";
    s += "  </tr> ";
    return s;
}

std::string clsHTMLDoc::fnListRow(const std::string& strTableName, const std::string& strFileName) {
    std::string s;
    s += "  <tr>  ";
    s += "    <td bgcolor=\"#CCFF99\">  ";
    s += "      <div align=\"left\"><font size=\"2\"><a href=\"";
    s += htmldoc::linkTarget(strFileName);
    s += "\" target=\"mainFrame\">";
    s += escapeHtml(strTableName);
    s += "</a></font></div> ";
    s += "    </td> ";
    s += "  </tr> ";
    return s;
}

std::string clsHTMLDoc::fnListFoot() {
    std::string s;
    s += "</table>";
    s += "<p>";
    s += kBlankMark;
    s += "</p>";
    s += "</body>";
    s += "</html>";
    return s;
}
