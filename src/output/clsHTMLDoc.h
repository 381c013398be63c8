// HTML documentation of the tables of a database model: a two-frame site (index.htm with the
// list in leftframe.htm and a title page in rightframe.htm) and one page per table, all written
// into one folder as CP932 text, one line per file.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "clsDBInfo.h"
#include "clsFieldInfo.h"
#include "clsTableInfo.h"
#include "user_error.h"

// A page could not be written. The run stops at that page; pages written before it stay.
// number() follows the numbering of the text file layer (TextFileError: 75 path/file access
// error, 76 path not found, 61 disk full...), 52 for a table name that cannot be a file name;
// what() is a Japanese sentence for the user; path() the file concerned (the subject of this
// base::UserError).
class clsHTMLDocError : public base::UserError {
public:
    clsHTMLDocError(int lngNumber, const std::string& strDescription, std::string strPath)
        : base::UserError(lngNumber, strDescription, base::Subject::ofFile(std::move(strPath))) {}
    const std::string& path() const { return subject().file; }
};

class clsHTMLDoc {
public:
    // The address the title page links to (link target and link text).
    static const char* const kSiteAddress;

    // Title of the set, shown in index.htm and rightframe.htm. Empty until set.
    void setTitle(const std::string& strTitle) { mostrTitle = strTitle; }

    // Writes index.htm, rightframe.htm, one page per table of objDB in model order, then
    // leftframe.htm, into strFolder (an existing folder). Returns true when all are written;
    // any failure is thrown as clsHTMLDocError and never returned as false. Every table's page
    // name is checked before the first page is written: a name that cannot be a file name
    // leaves the folder as it was. Only a run stopped through the progress callback returns
    // false: its list then links to the table pages written before it stopped.
    bool fnWriteFile(const clsDBInfo& objDB, const std::string& strFolder);

    // Told before each page (lngDone of lngTotal pages are written) and once all are; when it
    // returns false, no further table page is written. Without one the run is not reported.
    void sbSetProgress(std::function<bool(int lngDone, int lngTotal)> fnProgress) {
        mofnProgress = std::move(fnProgress);
    }
    // Whether the last fnWriteFile was stopped through the progress callback.
    bool wasCancelled() const { return moblnCancelled; }

    // The file names of the tables' pages, in model order. A page is named after its table
    // (table name + ".htm"), unless that file would be a frame page or another table's page,
    // letter case ignored (as file systems that ignore it would take them): then the table
    // name + "_2.htm", "_3.htm"..., the first such name no other page has. A table that is
    // the first of its model to have its plain name keeps it.
    static std::vector<std::string> fnPageFileNames(const clsDBInfo& objDB);

    // Page texts (UTF-8, before conversion to CP932 and without the line end).
    std::string fnIndexText() const;
    std::string fnRightFrameText() const;
    static std::string fnTablePageText(const clsTableInfo& objTable);
    static std::string fnListText(const clsDBInfo& objDB);

    // The file path of a table's page (strFileName, by default the table name + ".htm"), or a
    // thrown clsHTMLDocError when the table name cannot be a file name inside strFolder (a
    // separator or control character, empty, "." or "..", or too long for the file system).
    static std::string fnTableFilePath(const std::string& strTableName, const std::string& strFolder,
                                       const std::string& strFileName = {});

private:
    bool fnWriteIndexFile(const std::string& strFolder);
    bool fnWriteRightFrameFile(const std::string& strFolder);
    bool fnWriteTableFile(const clsTableInfo& objTable, const std::string& strPath);

    static std::string fnTableHead(const std::string& strTableName);
    static std::string fnFieldRow(const clsFieldInfo& objField,
                                  const std::vector<std::string>& colPrimaryKeys);
    static bool fnIsPrimaryKey(const std::string& strFieldName,
                               const std::vector<std::string>& colPrimaryKeys);
    static std::string fnTableFoot();
    static std::string fnListHead();
    // strFileName: the page the row links to (see fnPageFileNames).
    static std::string fnListRow(const std::string& strTableName, const std::string& strFileName);
    static std::string fnListFoot();

    std::string mostrTitle;
    std::function<bool(int, int)> mofnProgress;
    bool moblnCancelled = false;
};

// Helpers shared with the tests.
namespace htmldoc {
// & < > " as character references; everything else unchanged.
std::string escapeHtml(const std::string& strText);
// A relative link to strFileName: % " # ? : and leading spaces percent-encoded, then escaped
// for an attribute value. Japanese and other characters stay raw.
std::string linkTarget(const std::string& strFileName);
// strFolder joined with strName by the platform's separator (not doubled when strFolder
// already ends with one).
std::string joinPath(const std::string& strFolder, const std::string& strName);
// Converts the page to CP932, a character CP932 cannot hold becoming &#xHHHH;, and writes it
// plus CR LF to strPath (replacing an existing file). Throws clsHTMLDocError on failure.
void writePage(const std::string& strPath, const std::string& strPage);
}  // namespace htmldoc
