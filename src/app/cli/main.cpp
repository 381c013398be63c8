// xlsdb-cli: the design document → Access tables / HTML documentation path without screens,
// for batch use. Messages are the screens' messages, one line each, UTF-8.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "Cp932.h"
#include "TerminalText.h"
#include "TextRules.h"
#include "clsAccessDB.h"
#include "clsAccessFieldAttr.h"
#include "clsCreateTables.h"
#include "clsDBInfo.h"
#include "clsDesignCheck.h"
#include "clsDesignDiff.h"
#include "clsExcel.h"
#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"
#include "clsHTMLDoc.h"
#include "clsLayoutDetect.h"
#include "clsTableDocRun.h"
#include "console.h"
#include "file_names.h"
#include "SourcePlace.h"
#include "xlsdb_version.h"

namespace {

constexpr int kExitOK = 0;
constexpr int kExitFailed = 1;  // the work was done in part, or could not be done
constexpr int kExitInput = 2;   // bad arguments, or inputs that could not be read / opened

const char* const kUsage =
    R"(使い方: xlsdb-cli <コマンド> [オプション] 引数...

DB設計書（1シート1テーブルの Excel ブック）からテーブルを読み、Access データベース (.mdb / .accdb)
にテーブルを作成し、HTML のテーブル定義書を書き出します。

コマンド:
  list [--layout F.edf] [--json] WORKBOOK
      読み取ったテーブルをシート順に1行1件で表示します。--json ではテーブル・フィールド・
      主キーを読み取ったままの文字列で JSON 出力します:
      {"tables":[{"name":…,"fields":[{"name":…,"attr":…,"size":…,"null":true|false}],"primaryKeys":[…]}]}
  create [--layout F.edf] [--types F.afa] WORKBOOK DATABASE [TABLE ...]
      既存の DATABASE（.mdb: Access 2000〜2003 / .accdb: Access 2007 以降）に、指定したテーブル
      （省略時はすべて）を一覧の順に作成します。
      画面と同じメッセージを1行ずつ表示し、最後に「作成処理を終了しました。」を表示します。
  html [--layout F.edf] [--title TEXT] WORKBOOK FOLDER [TABLE ...]
      指定したテーブル（省略時はすべて）の定義書を既存の FOLDER に書き出します
      (index.htm, rightframe.htm, テーブル名.htm, leftframe.htm; Shift_JIS)。フレームのページや
      他のテーブルのページと同じ名前になる（大文字・小文字は区別しない）ページは テーブル名_2.htm
      などになります。
      タイトルの既定は「テーブル定義書 - <ブックのファイル名>」です。
  newdb [--sort japanese|general|general-legacy] DATABASE.mdb|DATABASE.accdb
      空の Access データベースを新しく作成します。形式は拡張子で決まります（.mdb: Jet 4.0 形式、
      .accdb: Access 2016 の ACE 16 形式）。既存のファイルは上書きしません。並べ替え順の既定は
      japanese です。general は .accdb では Access 2010 以降の「一般」、.mdb では general-legacy
      （以前の「一般」）と同じです。
  tables DATABASE
      データベースのテーブル名を、システムテーブルも含めて表示します。
      中断された書き込みがあれば、先に元に戻します（書き込めないときは中断前の状態を表示します）。
  detect [--json] [--edf OUT.edf] [--afa OUT.afa] WORKBOOK
      DB設計書のレイアウト（テーブルのシート、見出し行または位置、テーブル名の場所、NULL 列の
      意味、印の言葉）と型の言葉を自動で見つけ、読み取れるテーブルと読めないシートを表示します。
      --edf / --afa で見つけたレイアウト定義と型の表記を書き出します。二通りに読める所があれば
      そう表示し、レイアウトは出しません（終了コード 1）。
  check [--layout F.edf] [--types F.afa] [--sort japanese|general|general-legacy] [--json] WORKBOOK
      データベースなしで、テーブル作成のときに起きる問題をすべて、シート（番号と名前）と
      セル（A1 形式）つきで表示します。--sort はテーブルを作るデータベースの並べ替え順です
      （既定は japanese）。--json では
      {"problems":[{"sheet":…,"sheetName":…,"cell":…,"table":…,"field":…,"kind":…,"message":…}]}
      を出力します。kind は下の一覧のどれかです。
  diff [--layout F.edf] [--types F.afa] [--json] WORKBOOK DATABASE [TABLE ...]
      DB設計書のテーブル（省略時はすべて）と既存のデータベースを比べます。データベースには
      書き込みません。設計書はテーブル作成と同じ規則で読み、テーブルがない、フィールドの
      過不足、型、テキストのサイズ、値要求 (Required)、オートナンバー、主キー（フィールドと
      順序）の違いと、TABLE を指定しないときは設計書にないユーザーテーブルを表示します。
      --json では {"tables":[{"name":…,"status":"same|missing|differs|extra","differences":
      [{"field":…,"what":"type|size|required|autonumber|missing|extra|primaryKey",
      "design":…,"database":…}]}]} を出力します。

オプション:
  --layout F.edf   レイアウト定義ファイル（省略時は既定の位置: シート1～4、テーブル名 3行3列、
                   フィールド 6行目から、列 4,5,6,7,9）
  --types F.afa    型の表記ファイル（省略時は Text, AutoNumber, Date, Integer, Long, Single,
                   Double, Currency）
  -h, --help       この説明を表示します
  --version        バージョンを表示します

環境変数:
  XLSDB_PASSWORD   パスワードで保護されたデータベースのパスワード（未設定で端末から実行したときは、
                   画面に表示せずに入力を求めます）

終了コード:
  0  すべて成功
  1  処理に失敗した（create: 作成できなかったテーブル、または作成を省いたフィールドがある、
     html/newdb: 書き出しに失敗）、check: 問題がある、diff: 違いがある
  2  引数の誤り、入力ファイルを読めない、データベースを開けない
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An error the user must read: printed as one line, then the program ends with its code.
class CliError : public std::runtime_error {
public:
    CliError(int lngCode, const std::string& strMessage) : std::runtime_error(strMessage), molngCode(lngCode) {}
    int code() const { return molngCode; }

private:
    int molngCode;
};

struct Args {
    std::string strCommand;
    std::vector<std::string> colPositional;
    std::string strLayout, strTypes, strTitle, strSort, strEdf, strAfa;
    bool blnLayout = false, blnTypes = false, blnTitle = false, blnSort = false, blnJson = false;
    bool blnEdf = false, blnAfa = false;
};

Args parseArgs(int argc, char** argv) {
    Args a;
    if (argc < 2) throw UsageError("コマンドを指定してください");
    a.strCommand = argv[1];
    const std::set<std::string> known = {"list", "create", "html", "newdb", "tables", "detect", "check", "diff"};
    if (!known.count(a.strCommand)) throw UsageError("不明なコマンドです: " + a.strCommand);

    // Which options each command takes.
    auto allowed = [&](const std::string& opt) {
        const std::string& c = a.strCommand;
        const bool blnDesign = c == "check" || c == "diff";
        if (opt == "--layout") return c == "list" || c == "create" || c == "html" || blnDesign;
        if (opt == "--json") return c == "list" || c == "detect" || blnDesign;
        if (opt == "--edf" || opt == "--afa") return c == "detect";
        if (opt == "--types") return c == "create" || blnDesign;
        if (opt == "--title") return c == "html";
        if (opt == "--sort") return c == "newdb" || c == "check";
        return false;
    };
    bool blnOptionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        std::string s = argv[i];
        if (blnOptionsEnded || s.size() < 2 || s[0] != '-') {
            a.colPositional.push_back(s);
            continue;
        }
        if (s == "--") {
            blnOptionsEnded = true;
            continue;
        }
        std::string strOpt = s, strValue;
        bool blnInline = false;
        if (auto eq = s.find('='); s.rfind("--", 0) == 0 && eq != std::string::npos) {
            strOpt = s.substr(0, eq);
            strValue = s.substr(eq + 1);
            blnInline = true;
        }
        if (!allowed(strOpt)) throw UsageError(a.strCommand + " では使えないオプションです: " + strOpt);
        if (strOpt == "--json") {
            if (blnInline) throw UsageError("--json は値を取りません");
            a.blnJson = true;
            continue;
        }
        if (!blnInline) {
            if (i + 1 >= argc) throw UsageError(strOpt + " の値がありません");
            strValue = argv[++i];
        }
        if (strOpt == "--layout") { a.strLayout = strValue; a.blnLayout = true; }
        else if (strOpt == "--types") { a.strTypes = strValue; a.blnTypes = true; }
        else if (strOpt == "--title") { a.strTitle = strValue; a.blnTitle = true; }
        else if (strOpt == "--edf") { a.strEdf = strValue; a.blnEdf = true; }
        else if (strOpt == "--afa") { a.strAfa = strValue; a.blnAfa = true; }
        else if (strOpt == "--sort") { a.strSort = strValue; a.blnSort = true; }
    }
    return a;
}

// create's report: the screen's lines on standard output, the reasons on standard error. The
// builder's field-level messages are lines too; every one stands for a field left out of its
// table (or left as far as the engine took it).
class clsCreateLines : public clsCreateTablesReport {
public:
    void sbShowMessage(const std::string& strText) override {
        std::cout << terminalText(strText) << std::endl;
        ++mlngCount;
    }
    int count() const { return mlngCount; }

    void sbNoFields(const std::string& strName) override {
        std::cerr << "xlsdb-cli: テーブル『" << terminalText(strName) << "』にはフィールドがないため、作成していません" << std::endl;
    }

    void sbTableFailed(const std::string& strName, const std::string& strWhy, const base::Subject& objAbout) override {
        std::cout << terminalText(strName) << "作成に失敗しました" << std::endl;
        // A reason that names the table stands alone; any other follows the table's name.
        if (objAbout.table == strName) {
            std::cerr << "xlsdb-cli: " << terminalText(strWhy) << std::endl;
        } else if (!strWhy.empty()) {
            std::cerr << "xlsdb-cli: " << terminalText(strName) << ": " << terminalText(strWhy) << std::endl;
        }
    }

    // The run's tables are written when the database is closed: if that fails, none of them is
    // in the file, and each is reported as not created.
    void sbNotWritten(const std::vector<std::string>& colNames, const std::string& strWhy) override {
        for (const std::string& strName : colNames) {
            std::cout << terminalText(strName) << "作成に失敗しました" << std::endl;
            std::cerr << "xlsdb-cli: " << terminalText(strName) << ": " << terminalText(strWhy) << std::endl;
        }
        if (colNames.empty()) std::cerr << "xlsdb-cli: データベースを閉じられませんでした: " << terminalText(strWhy) << std::endl;
    }

private:
    int mlngCount = 0;
};

// Our line about a file, then why after ": " (the reason names no path); the line alone when
// there is no reason.
std::string withReason(const std::string& strLine, const std::string& strReason) {
    return strReason.empty() ? strLine : strLine + ": " + strReason;
}

// A sentence of the engine about the database file without the file, for a line that names the
// file already ("『P』は…" reads "…", "ファイル『P』が…" reads "ファイルが…"); any other sentence
// as it is. Reader: clsAccessDB or clsDesignDiff after a failure.
template <class Reader>
std::string engineReasonWithoutPath(const Reader& objReader, const std::string& strPath) {
    if (!strPath.empty() && objReader.getLastSubject().file == strPath) return objReader.getLastReason();
    return objReader.getLastError();
}

// An engine sentence about the file stands alone; any other reason follows our line about it.
std::string engineAboutPath(const std::string& strLine, const std::string& strPath, const clsAccessDB& objAccess) {
    if (!strPath.empty() && objAccess.getLastSubject().file == strPath) return objAccess.getLastError();
    return withReason(strLine, objAccess.getLastError());
}

void needPositional(const Args& a, std::size_t nMin, std::size_t nMax, const char* strWhat) {
    if (a.colPositional.size() < nMin) throw UsageError(std::string(strWhat) + " を指定してください");
    if (a.colPositional.size() > nMax) throw UsageError("余分な引数があります: " + a.colPositional[nMax]);
}

// The layout: the initial one, or read from the .edf file.
clsExcelDBDocInfo loadLayout(const Args& a) {
    clsExcelDBDocInfo objInfo;
    if (!a.blnLayout) return objInfo;
    DefFileFailure objFailure;
    try {
        if (!objInfo.fnReadFile(a.strLayout, nullptr, &objFailure)) {
            throw CliError(kExitInput, withReason("レイアウト定義ファイル『" + a.strLayout + "』を読めません", objFailure.strReason));
        }
    } catch (const ConversionError&) {
        throw CliError(kExitInput,
                       withReason("レイアウト定義ファイル『" + a.strLayout + "』の値が正しくありません", objFailure.strReason));
    }
    return objInfo;
}

AccessFieldAttrPtr loadTypes(const Args& a) {
    auto objAttr = std::make_shared<clsAccessFieldAttr>();
    if (!a.blnTypes) return objAttr;
    DefFileFailure objFailure;
    if (!fnReadAttrFile(a.strTypes, *objAttr, nullptr, &objFailure)) {
        throw CliError(kExitInput, withReason("型の表記ファイル『" + a.strTypes + "』を読めません", objFailure.strReason));
    }
    return objAttr;
}

DBInfoPtr readWorkbook(const clsExcelDBDocInfo& objInfo, const std::string& strBook) {
    clsExcelDBDoc objDoc;
    objDoc.sbSetDocInfo(objInfo);
    try {
        if (!objDoc.fnReadDBDoc(strBook)) {
            // The workbook reader's reasons name no path.
            throw CliError(kExitInput, withReason("DB設計書『" + strBook + "』を開けません", objDoc.getLastError()));
        }
    } catch (const clsExcelReadError& e) {
        throw CliError(kExitInput, withReason("DB設計書『" + strBook + "』を読めません", e.what()));
    }
    // With a layout beyond the classic grid, the sheets read without a table and the marks read as
    // none are said (the classic reading skips such sheets silently, as it always has).
    if (!objInfo.getOptions().isClassic()) {
        for (const auto& n : objDoc.getSkippedSheets())
            std::cerr << "xlsdb-cli: " << terminalText(sheetWords(n.lngSheetNo, n.strSheetName) + ": " + n.strText) << std::endl;
        for (const auto& n : objDoc.getNotes()) std::cerr << "xlsdb-cli: " << terminalText(n.strText) << std::endl;
    }
    return objDoc.getDBInfo();
}

// What create, diff and check read first, in this order: the layout, the type words, the
// design document (the first argument).
struct Design {
    AccessFieldAttrPtr objAttr;
    DBInfoPtr objDB;
};

Design readDesign(const Args& a) {
    const clsExcelDBDocInfo objInfo = loadLayout(a);
    AccessFieldAttrPtr objAttr = loadTypes(a);
    return {objAttr, readWorkbook(objInfo, a.colPositional[0])};
}

// The entries of the list (the model's tables, each read from its own sheet, also where two
// sheets name the same table) that the named tables select, in list order; every entry when no
// name is given. Unknown names are an input error.
std::vector<TableInfoPtr> selectTables(const clsDBInfo& objDB, const std::vector<std::string>& colNames) {
    std::vector<TableInfoPtr> colSelected;
    std::set<std::string> setNames(colNames.begin(), colNames.end());
    for (const std::string& strName : setNames) {
        if (!objDB.getTable(strName)) throw CliError(kExitInput, "テーブル『" + strName + "』はDB設計書にありません");
    }
    for (const TableInfoPtr& objTable : objDB.getTables()) {
        if (colNames.empty() || setNames.count(objTable->getName())) colSelected.push_back(objTable);
    }
    return colSelected;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// An empty result is not an error, but it is usually a layout that does not fit the workbook.
void noteNoTables(const std::string& strBook) {
    std::cerr << "xlsdb-cli: DB設計書『" << strBook
              << "』のシート範囲にテーブルがありません（レイアウト定義のシート番号と位置を確認してください）" << std::endl;
}

int cmdList(const Args& a) {
    needPositional(a, 1, 1, "DB設計書 (WORKBOOK)");
    DBInfoPtr objDB = readWorkbook(loadLayout(a), a.colPositional[0]);
    if (objDB->getTables().empty()) noteNoTables(a.colPositional[0]);
    if (!a.blnJson) {
        for (const TableInfoPtr& t : objDB->getTables()) std::cout << terminalText(t->getName()) << '\n';
        return kExitOK;
    }
    std::string s = "{\"tables\":[";
    bool blnFirstTable = true;
    for (const TableInfoPtr& t : objDB->getTables()) {
        if (!blnFirstTable) s += ',';
        blnFirstTable = false;
        s += "{\"name\":" + jsonString(t->getName()) + ",\"fields\":[";
        bool blnFirst = true;
        for (const FieldInfoPtr& f : t->getFields()) {
            if (!blnFirst) s += ',';
            blnFirst = false;
            s += "{\"name\":" + jsonString(f->getName()) + ",\"attr\":" + jsonString(f->getAttr()) +
                 ",\"size\":" + jsonString(f->getSize()) + ",\"null\":" + (f->getNull() ? "true" : "false") + "}";
        }
        s += "],\"primaryKeys\":[";
        blnFirst = true;
        for (const std::string& k : t->getPrimaryKeys()) {
            if (!blnFirst) s += ',';
            blnFirst = false;
            s += jsonString(k);
        }
        s += "]}";
    }
    s += "]}";
    std::cout << s << '\n';
    return kExitOK;
}

// Reads a line from the terminal without showing it (the prompt goes to standard error).
std::string readHiddenLine(const std::string& strPrompt) {
    std::cerr << strPrompt << std::flush;
    const bool blnTerm = platform::setStdinEcho(false);
    std::string strLine;
    std::getline(std::cin, strLine);
    if (blnTerm) platform::setStdinEcho(true);
    std::cerr << std::endl;
    return strLine;
}

// Reads a database through fnOpen with the password from XLSDB_PASSWORD; when the database
// refuses to open without one and a terminal is there, asks for it without echo and tries once
// more. objReader is the clsAccessDB or clsDesignDiff that fnOpen reads through.
template <class Reader, class Open>
bool withPassword(Reader& objReader, const std::string& strMDB, Open fnOpen) {
    const char* pszPassword = std::getenv("XLSDB_PASSWORD");
    if (pszPassword) objReader.sbSetPassword(pszPassword);
    if (fnOpen()) return true;
    if (!objReader.fnPasswordRefused() || pszPassword || !platform::stdinIsTerminal()) return false;
    objReader.sbSetPassword(readHiddenLine("『" + strMDB + "』のパスワード: "));
    return fnOpen();
}

bool openDatabase(clsAccessDB& objAccess, const std::string& strMDB, bool blnReadOnly) {
    return withPassword(objAccess, strMDB, [&] { return objAccess.fnOpenDB(strMDB, blnReadOnly); });
}

int cmdCreate(const Args& a) {
    needPositional(a, 2, static_cast<std::size_t>(-1), "DB設計書 (WORKBOOK) とデータベース (DATABASE)");
    const auto [objAttr, objDB] = readDesign(a);
    const std::string& strBook = a.colPositional[0];
    const std::string& strMDB = a.colPositional[1];
    const std::vector<std::string> colNames(a.colPositional.begin() + 2, a.colPositional.end());
    const std::vector<TableInfoPtr> colTables = selectTables(*objDB, colNames);
    if (colTables.empty()) {
        if (objDB->getTables().empty()) noteNoTables(strBook);
        std::cout << kMsgNoTableSelected << std::endl;
        return kExitFailed;
    }
    if (isBlank(strMDB)) throw UsageError("データベース (DATABASE) を指定してください");

    clsCreateLines objReport;
    clsAccessDB objAccess(&objReport);
    objAccess.sbSetFieldAttr(objAttr);
    if (!openDatabase(objAccess, strMDB, false)) {
        std::cout << "『" << strMDB << "』Openに失敗しました" << std::endl;
        if (!objAccess.getLastError().empty()) std::cerr << "xlsdb-cli: " << objAccess.getLastError() << std::endl;
        return kExitInput;
    }
    if (!objAccess.getOpenNotice().empty()) std::cout << objAccess.getOpenNotice() << std::endl;
    const CreateTablesResult objResult = fnCreateTables(objAccess, colTables, objReport);
    std::cout << kMsgCreateFinished << std::endl;
    // A table made without a field it should have is not a success either.
    return objResult.lngFailed == 0 && objResult.blnClosed && objReport.count() == 0 ? kExitOK : kExitFailed;
}

int cmdHtml(const Args& a) {
    needPositional(a, 2, static_cast<std::size_t>(-1), "DB設計書 (WORKBOOK) と出力先フォルダ (FOLDER)");
    const clsExcelDBDocInfo objInfo = loadLayout(a);
    const std::string& strBook = a.colPositional[0];
    const std::string& strFolder = a.colPositional[1];
    const std::vector<std::string> colNames(a.colPositional.begin() + 2, a.colPositional.end());
    DBInfoPtr objDB = readWorkbook(objInfo, strBook);
    const std::vector<TableInfoPtr> colTables = selectTables(*objDB, colNames);
    std::error_code ecFolder;
    if (!std::filesystem::is_directory(platform::fsPath(strFolder), ecFolder)) {
        const int nErr = ecFolder.value();
        if (nErr != 0 && nErr != ENOENT && nErr != ENOTDIR) {
            throw CliError(kExitInput, "出力先フォルダ『" + strFolder + "』を確認できません（" + systemErrorText(nErr) + "）");
        }
        throw CliError(kExitInput, "出力先フォルダ『" + strFolder + "』がありません");
    }
    const TableDocResult objRun = fnWriteTableDoc(colTables, strFolder, a.blnTitle ? a.strTitle : defaultDocTitle(strBook));
    if (objRun.enmOutcome == TableDocResult::Outcome::Failed) throw CliError(kExitFailed, "作成に失敗しました: " + objRun.strError);
    std::cout << "作成しました: " << objRun.strIndexPath << " (テーブル " << objRun.lngTables << " 件)" << std::endl;
    return kExitOK;
}

int cmdNewDB(const Args& a) {
    needPositional(a, 1, 1, "作成するデータベース (DATABASE.mdb / DATABASE.accdb)");
    std::string strLocale = clsAccessDB::kLangJapanese;
    if (a.blnSort) {
        // "general" is the General order of the file's format (in a Jet 4 file, the legacy one).
        if (a.strSort == "general") strLocale = clsAccessDB::kLangGeneral;
        else if (a.strSort == "general-legacy") strLocale = clsAccessDB::kLangGeneralLegacy;
        else if (a.strSort != "japanese") throw UsageError("--sort には japanese、general、general-legacy のいずれかを指定してください");
    }
    const std::string& strMDB = a.colPositional[0];
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(platform::fsPath(strMDB), ec))) {
        throw CliError(kExitFailed, "『" + strMDB + "』は既に存在します（上書きしません）");
    }
    clsAccessDB objAccess;
    if (!objAccess.fnCreateDB(strMDB, strLocale)) {
        throw CliError(kExitFailed, engineAboutPath("『" + strMDB + "』を作成できませんでした", strMDB, objAccess));
    }
    if (!objAccess.fnCloseDB()) {
        throw CliError(kExitFailed, engineAboutPath("『" + strMDB + "』を閉じられませんでした", strMDB, objAccess));
    }
    std::cout << "作成しました: " << strMDB << std::endl;
    return kExitOK;
}

int cmdTables(const Args& a) {
    needPositional(a, 1, 1, "データベース (DATABASE)");
    const std::string& strMDB = a.colPositional[0];
    clsAccessDB objAccess;
    // Listing opens read-only, so a read-only file or one Access has open can be listed; only an
    // interrupted earlier write is rolled back first where the file can be written.
    if (!openDatabase(objAccess, strMDB, true)) {
        // The screen's words, then why without the path again.
        throw CliError(kExitInput, withReason("『" + strMDB + "』Openに失敗しました",
                                              engineReasonWithoutPath(objAccess, strMDB)));
    }
    // A write of an earlier run that was cut off: undone at open where the file can be written;
    // otherwise the list is the one before that write, and the user is told a rollback is pending.
    if (!objAccess.getOpenNotice().empty()) std::cerr << "xlsdb-cli: " << objAccess.getOpenNotice() << std::endl;
    for (const std::string& strName : objAccess.getTableNames()) std::cout << strName << '\n';
    objAccess.fnCloseDB();
    return kExitOK;
}

// Finds the layout and the type words of a workbook, shows them and the tables they read, and
// writes them out on request.
int cmdDetect(const Args& a) {
    needPositional(a, 1, 1, "DB設計書 (WORKBOOK)");
    const std::string& strBook = a.colPositional[0];
    clsLayoutDetect objDetect;
    const bool blnFound = objDetect.fnDetect(strBook);
    std::vector<std::string> colTables;
    if (blnFound) {
        DBInfoPtr objDB = readWorkbook(objDetect.getLayout(), strBook);
        for (const TableInfoPtr& t : objDB->getTables())
            colTables.push_back(t->getName() + "（" + t->getPlace() + "、フィールド " + std::to_string(t->getFields().size()) + " 件）");
    }
    if (a.blnJson) {
        auto list = [](const std::vector<std::string>& col) {
            std::string s = "[";
            for (std::size_t i = 0; i < col.size(); ++i) s += (i ? "," : "") + jsonString(col[i]);
            return s + "]";
        };
        std::vector<std::string> colLayout;
        if (blnFound) {
            const clsExcelDBDocInfo& l = objDetect.getLayout();
            const std::int32_t v[10] = {l.getStartPage(), l.getEndPage(), l.getStartRowFieldDef(), l.getRowTableName(),
                                        l.getColTableName(), l.getColFieldName(), l.getColFieldType(), l.getColFieldSize(),
                                        l.getColPrimaryKey(), l.getColNULL()};
            for (int i = 0; i < 10; ++i) colLayout.push_back(std::string(kDBDefFileKeys[i]) + "=" + intToText(v[i]));
            for (int i = 0; i < kLayoutOptionKeyCount; ++i) {
                const std::string t = layoutOptionText(l.getOptions(), i);
                if (!t.empty()) colLayout.push_back(std::string(kLayoutOptionKeys[i]) + "=" + t);
            }
        }
        std::cout << "{\"found\":" << (blnFound ? "true" : "false") << ",\"layout\":" << list(colLayout)
                  << ",\"dictionary\":" << (objDetect.getTypes().getDictionary() ? "true" : "false")
                  << ",\"findings\":" << list(objDetect.getFindings()) << ",\"tables\":" << list(colTables)
                  << ",\"skippedSheets\":" << list(objDetect.getSkippedSheets())
                  << ",\"problems\":" << list(objDetect.getProblems()) << "}\n";
    } else {
        for (const std::string& s : objDetect.getFindings()) std::cout << terminalText(s) << '\n';
        for (const std::string& s : colTables) std::cout << "テーブル: " << terminalText(s) << '\n';
        for (const std::string& s : objDetect.getSkippedSheets()) std::cout << "読まないシート: " << terminalText(s) << '\n';
        for (const std::string& s : objDetect.getProblems()) std::cout << "要確認: " << terminalText(s) << '\n';
    }
    if (!blnFound) {
        if (a.blnEdf || a.blnAfa) std::cerr << "xlsdb-cli: レイアウトが決まらないため、ファイルは書き出していません" << std::endl;
        return kExitFailed;
    }
    if (a.blnEdf) {
        DefFileFailure f;
        if (!fnSaveDBDefFile(objDetect.getLayout(), a.strEdf, nullptr, &f))
            throw CliError(kExitFailed, withReason("レイアウト定義ファイル『" + a.strEdf + "』を書き出せません", f.strReason));
    }
    if (a.blnAfa) {
        DefFileFailure f;
        if (!fnSaveAttrFile(objDetect.getTypes(), a.strAfa, nullptr, &f))
            throw CliError(kExitFailed, withReason("型の表記ファイル『" + a.strAfa + "』を書き出せません", f.strReason));
    }
    return kExitOK;
}

int cmdDiff(const Args& a) {
    needPositional(a, 2, static_cast<std::size_t>(-1), "DB設計書 (WORKBOOK) とデータベース (DATABASE)");
    const auto [objAttr, objDB] = readDesign(a);
    const std::string& strBook = a.colPositional[0];
    const std::string& strMDB = a.colPositional[1];
    const std::vector<std::string> colNames(a.colPositional.begin() + 2, a.colPositional.end());
    if (objDB->getTables().empty()) noteNoTables(strBook);
    const std::vector<TableInfoPtr> colTables = selectTables(*objDB, colNames);
    if (isBlank(strMDB)) throw UsageError("データベース (DATABASE) を指定してください");

    clsDesignDiff objDiff;
    objDiff.sbSetFieldAttr(objAttr);
    if (!withPassword(objDiff, strMDB, [&] { return objDiff.fnCompare(colTables, strMDB, colNames.empty()); })) {
        throw CliError(kExitInput, withReason("『" + strMDB + "』を読めません",
                                              engineReasonWithoutPath(objDiff, strMDB)));
    }
    if (!objDiff.getOpenNotice().empty()) std::cerr << "xlsdb-cli: " << terminalText(objDiff.getOpenNotice()) << std::endl;
    if (!a.blnJson) {
        for (const std::string& strLine : comparisonLines(objDiff.getResult())) std::cout << terminalText(strLine) << '\n';
    } else {
        std::string s = "{\"tables\":[";
        bool blnFirstTable = true;
        for (const TableComparison& t : objDiff.getResult()) {
            if (!blnFirstTable) s += ',';
            blnFirstTable = false;
            s += "{\"name\":" + jsonString(t.strName) + ",\"status\":" + jsonString(t.strStatus) + ",\"differences\":[";
            bool blnFirst = true;
            for (const FieldDifference& d : t.colDifferences) {
                if (!blnFirst) s += ',';
                blnFirst = false;
                s += "{\"field\":" + jsonString(d.strField) + ",\"what\":" + jsonString(d.strWhat) +
                     ",\"design\":" + jsonString(d.strDesign) + ",\"database\":" + jsonString(d.strDatabase) + "}";
            }
            s += "]}";
        }
        std::cout << s << "]}\n";
    }
    std::cout << std::flush;
    return objDiff.isSame() ? kExitOK : kExitFailed;
}

int cmdCheck(const Args& a) {
    needPositional(a, 1, 1, "DB設計書 (WORKBOOK)");
    jet::SortOrder enmOrder = jet::SortOrder::Japanese;
    if (a.blnSort) {
        if (a.strSort == "general-legacy") {
            enmOrder = jet::SortOrder::General;
        } else if (a.strSort == "general") {
            enmOrder = jet::SortOrder::General2010;
        } else if (a.strSort != "japanese") {
            throw UsageError("--sort には japanese、general、general-legacy のどれかを指定してください");
        }
    }
    const auto [objAttr, objDB] = readDesign(a);
    if (objDB->getTables().empty()) noteNoTables(a.colPositional[0]);
    clsDesignCheck objCheck;
    objCheck.sbSetFieldAttr(objAttr);
    objCheck.sbSetSortOrder(enmOrder);
    const std::vector<DesignProblem> colProblems = objCheck.fnCheck(*objDB);
    if (!a.blnJson) {
        for (const DesignProblem& p : colProblems) std::cout << terminalText(designProblemLine(p)) << '\n';
    } else {
        std::string s = "{\"problems\":[";
        bool blnFirst = true;
        for (const DesignProblem& p : colProblems) {
            if (!blnFirst) s += ',';
            blnFirst = false;
            s += "{\"sheet\":" + std::to_string(p.lngSheetNo) + ",\"sheetName\":" + jsonString(p.strSheetName) +
                 ",\"cell\":" + jsonString(p.strCell) + ",\"table\":" + jsonString(p.strTable) +
                 ",\"field\":" + jsonString(p.strField) + ",\"kind\":" + jsonString(p.strKind) +
                 ",\"message\":" + jsonString(p.strMessage) + "}";
        }
        std::cout << s << "]}\n";
    }
    std::cout << std::flush;
    return colProblems.empty() ? kExitOK : kExitFailed;
}

// The usage, then the kinds of problem check reports.
void printUsage() {
    std::cout << kUsage << "\ncheck の kind:\n";
    for (const DesignProblemKind& k : designProblemKinds()) {
        std::string strKind = k.strKind;
        strKind.resize(std::max<std::size_t>(strKind.size() + 1, 20), ' ');
        std::cout << "    " << strKind << k.strDescription << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    platform::useUtf8Console(argc, argv);
    std::ios::sync_with_stdio(true);
    // Names, paths and reasons come from workbooks and databases: whatever is printed shows
    // their control characters and escape sequences escaped, never acted on.
    clsTerminalBuf objOut(std::cout.rdbuf()), objErr(std::cerr.rdbuf());
    struct Restore {
        std::streambuf *pOut, *pErr;
        ~Restore() {
            std::cout.rdbuf(pOut);
            std::cerr.rdbuf(pErr);
        }
    } objRestore{std::cout.rdbuf(&objOut), std::cerr.rdbuf(&objErr)};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
            (i == 1 && std::strcmp(argv[i], "help") == 0)) {
            printUsage();
            return kExitOK;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "xlsdb-cli " << XLSDB_VERSION << '\n';
            return kExitOK;
        }
    }
    try {
        const Args a = parseArgs(argc, argv);
        if (a.strCommand == "list") return cmdList(a);
        if (a.strCommand == "detect") return cmdDetect(a);
        if (a.strCommand == "create") return cmdCreate(a);
        if (a.strCommand == "html") return cmdHtml(a);
        if (a.strCommand == "newdb") return cmdNewDB(a);
        if (a.strCommand == "check") return cmdCheck(a);
        if (a.strCommand == "diff") return cmdDiff(a);
        return cmdTables(a);
    } catch (const UsageError& e) {
        std::cerr << "xlsdb-cli: " << terminalText(e.what()) << "（xlsdb-cli --help で使い方を表示します）" << std::endl;
        return kExitInput;
    } catch (const CliError& e) {
        std::cout << std::flush;
        std::cerr << "xlsdb-cli: " << terminalText(e.what()) << std::endl;
        return e.code();
    } catch (const std::filesystem::filesystem_error& e) {
        // The library's text is English; say it with the path and the reason in Japanese.
        std::cout << std::flush;
        std::cerr << "xlsdb-cli: 『" << terminalText(e.path1().u8string()) << "』を扱えません（" << systemErrorText(e.code().value())
                  << "）" << std::endl;
        return kExitFailed;
    } catch (const std::bad_alloc&) {
        std::cout << std::flush;
        std::cerr << "xlsdb-cli: " << systemErrorText(ENOMEM) << std::endl;
        return kExitFailed;
    } catch (const std::exception& e) {
        std::cout << std::flush;
        std::cerr << "xlsdb-cli: " << terminalText(e.what()) << std::endl;
        return kExitFailed;
    }
}
