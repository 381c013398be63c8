// xlsdb-cli end to end: design documents → model (checked against the samples' expected
// readings) → tables in new databases and in copies of real ones (checked with mdb-reader and
// mdbtools) → HTML; the failure paths with the screen's own messages and the exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Cp932.h"
#include "TextRules.h"
#include "cli_support.h"

namespace fs = std::filesystem;
namespace jt = jet::testsupport;
using namespace clitest;

namespace {

const fs::path kData = fs::path(XLSDB_TEST_DATA) / "app";
const fs::path kMdb = fs::path(XLSDB_TEST_DATA) / "mdb";
std::string data(const std::string& name) { return (kData / name).string(); }

// Compares list --json output with the "tables" of an expected reading, as JSON values.
std::string compareJson(const std::string& output, const std::string& expectedJson) {
    return overJson(output,
                    "exp=json.load(open(sys.argv[2],encoding='utf-8'))\n"
                    "print('OK' if j=={'tables':exp['tables']} else 'DIFF')",
                    {expectedJson});
}

struct Sample {
    const char* book;
    const char* layout;
    const char* types;  // "default" or an .afa
    std::vector<std::string> names;
};

const std::vector<Sample>& samples() {
    static const std::vector<Sample> s = {
        {"sales_design.xls", "sales_design.edf", "default", {"M_CUSTOMER", "M_PRODUCT", "T_ORDER", "T_ORDER_NOTE"}},
        {"sales_design.xlsx", "sales_design.edf", "default", {"M_CUSTOMER", "M_PRODUCT", "T_ORDER", "T_ORDER_NOTE"}},
        {"hr_design_ja.xls", "hr_design_ja.edf", "hr_design_ja.afa", {"シャイン", "ブショ", "キュウヨ"}},
        {"hr_design_ja.xlsx", "hr_design_ja.edf", "hr_design_ja.afa", {"シャイン", "ブショ", "キュウヨ"}},
    };
    return s;
}

std::vector<std::string> createArgs(const Sample& s, const std::string& mdb) {
    std::vector<std::string> a = {"create", "--layout", data(s.layout)};
    if (std::string(s.types) != "default") {
        a.push_back("--types");
        a.push_back(data(s.types));
    }
    a.push_back(data(s.book));
    a.push_back(mdb);
    return a;
}

std::string typesArg(const Sample& s) { return std::string(s.types) == "default" ? "default" : data(s.types); }

}  // namespace

TEST(Cli, HelpAndUsageErrors) {
    Result help = cli({"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* word : {"list", "create", "html", "newdb", "tables", "--layout", "--types", "--json", "--title", "--sort"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"list"}, {"list", "--types", "x.afa", "book.xls"}, {"create", "book.xls"},
             {"newdb", "--sort", "klingon", "x.mdb"}, {"list", "--layout"}, {"tables", "a.mdb", "b.mdb"}}) {
        Result r = cli(args);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
        EXPECT_TRUE(r.out.empty()) << r.out;
        // One clear line.
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(Cli, ListReadsTheSamplesExactly) {
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.book);
        Result plain = cli({"list", "--layout", data(s.layout), data(s.book)});
        ASSERT_EQ(plain.code, 0) << plain.err;
        std::string want;
        for (const auto& n : s.names) want += n + "\n";
        EXPECT_EQ(plain.out, want);

        Result json = cli({"list", "--json", "--layout", data(s.layout), data(s.book)});
        ASSERT_EQ(json.code, 0) << json.err;
        EXPECT_EQ(compareJson(json.out, data(std::string(s.book) + ".json")), "OK\n") << json.out;
    }
    // Without --layout the initial layout applies: sheets 1-4, so the cover sheets give no table
    // and only the first two tables of the sales document are read.
    Result initial = cli({"list", data("sales_design.xls")});
    ASSERT_EQ(initial.code, 0) << initial.err;
    EXPECT_EQ(initial.out, "M_CUSTOMER\nM_PRODUCT\n");
}

TEST(Cli, ARangeWithoutTablesIsNotedNotSilent) {
    testsupport::TempDir dir;
    std::string edf;
    for (const char* line : {"<StartSheetNo>50</StartSheetNo>", "<EndSheetNo>60</EndSheetNo>", "<StartRowFieldDef>6</StartRowFieldDef>",
                             "<RowTableName>3</RowTableName>", "<ColTableName>3</ColTableName>", "<ColFieldName>4</ColFieldName>",
                             "<ColFieldType>5</ColFieldType>", "<ColFieldSize>6</ColFieldSize>",
                             "<ColPrimarykey>7</ColPrimarykey>", "<ColNull>9</ColNull>"})
        edf += std::string(line) + "\r\n";
    testsupport::writeBytes(dir.path() / "far.edf", edf);
    const std::string layout = (dir.path() / "far.edf").string();

    Result list = cli({"list", "--layout", layout, data("sales_design.xls")});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, "");
    EXPECT_NE(list.err.find("テーブルがありません"), std::string::npos) << list.err;

    Result create = cli({"create", "--layout", layout, data("sales_design.xls"), (dir.path() / "x.mdb").string()});
    EXPECT_EQ(create.code, 1);
    EXPECT_EQ(create.out, "テーブルが１つも選択されていません\n");
    EXPECT_NE(create.err.find("テーブルがありません"), std::string::npos) << create.err;
}

TEST(Cli, ListRefusesInputsItCannotRead) {
    testsupport::TempDir dir;
    testsupport::writeBytes(dir.path() / "bad.edf", "<StartSheetNo>x</StartSheetNo>\r\n");
    testsupport::writeBytes(dir.path() / "text.xls", "not a workbook at all");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", (dir.path() / "missing.xls").string()},
             {"list", (dir.path() / "text.xls").string()},
             {"list", "--layout", (dir.path() / "missing.edf").string(), data("sales_design.xls")},
             {"list", "--layout", (dir.path() / "bad.edf").string(), data("sales_design.xls")}}) {
        Result r = cli(args);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(Cli, CreateEveryTableInNewDatabases) {
    // .mdb in both sort orders; .accdb (ACE 16) in the three.
    const std::pair<const char*, const char*> kinds[] = {{"japanese", "new.mdb"},   {"general", "new.mdb"},
                                                         {"japanese", "new.accdb"}, {"general", "new.accdb"},
                                                         {"general-legacy", "new.accdb"}};
    for (const auto& [sort, file] : kinds) {
        for (const Sample& s : samples()) {
            SCOPED_TRACE(std::string(s.book) + " " + sort + " " + file);
            testsupport::TempDir dir;
            const std::string mdb = (dir.path() / file).string();
            Result made = cli({"newdb", "--sort", sort, mdb});
            ASSERT_EQ(made.code, 0) << made.err;
            Result r = cli(createArgs(s, mdb));
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(r.out, "作成処理を終了しました。\n");
            EXPECT_EQ(checkMdb(data(std::string(s.book) + ".json"), typesArg(s), mdb), "OK\n");
            // The builder's view: the new tables after the engine's own.
            Result tables = cli({"tables", mdb});
            ASSERT_EQ(tables.code, 0) << tables.err;
            for (const auto& n : s.names) EXPECT_NE(tables.out.find(n + "\n"), std::string::npos) << n;
            EXPECT_NE(tables.out.find("MSysObjects\n"), std::string::npos);
        }
    }
}

TEST(Cli, CreateInCopiesOfRealDatabasesKeepsWhatWasThere) {
    // .accdb files too: Japanese (ACE 12) and General, the order of Access 2010 and later (ACE 14).
    for (const char* sample : {"jp_sample_thinkami.mdb", "kenjinote_sample.mdb", "access2000_empty_jackcess_template.mdb",
                               "jp_sample_thinkami.accdb", "indexTestV2010.accdb"}) {
        SCOPED_TRACE(sample);
        testsupport::TempDir dir;
        const std::string mdb = (dir.path() / sample).string();
        const bool accdb = std::string(sample).find(".accdb") != std::string::npos;
        fs::copy_file((accdb ? fs::path(XLSDB_TEST_DATA) / "accdb" : kMdb) / sample, mdb);
        const auto before = jt::mdbReader(mdb, {});
        ASSERT_TRUE(before.ok) << before.error;
        for (const Sample& s : {samples()[0], samples()[2]}) {
            Result r = cli(createArgs(s, mdb));
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(r.out, "作成処理を終了しました。\n");
            EXPECT_EQ(checkMdb(data(std::string(s.book) + ".json"), typesArg(s), mdb), "OK\n");
        }
        const auto after = jt::mdbReader(mdb, {});
        ASSERT_TRUE(after.ok) << after.error;
        EXPECT_EQ(after.tables.size(), before.tables.size() + 7);
        for (const auto& kv : before.details) {
            ASSERT_TRUE(after.details.count(kv.first)) << kv.first;
            EXPECT_EQ(after.details.at(kv.first).columns.size(), kv.second.columns.size()) << kv.first;
        }
        // Creating the same tables again: every one refused by name, the file unchanged.
        const std::string bytes = testsupport::readBytes(mdb);
        Result again = cli(createArgs(samples()[0], mdb));
        EXPECT_EQ(again.code, 1);
        EXPECT_EQ(again.out,
                  "M_CUSTOMER作成に失敗しました\nM_PRODUCT作成に失敗しました\nT_ORDER作成に失敗しました\n"
                  "T_ORDER_NOTE作成に失敗しました\n作成処理を終了しました。\n");
        EXPECT_EQ(testsupport::readBytes(mdb), bytes);
    }
}

TEST(Cli, CreateNamedTablesOnlyInListOrder) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "new.mdb").string();
    ASSERT_EQ(cli({"newdb", mdb}).code, 0);
    const Sample& s = samples()[0];
    std::vector<std::string> args = createArgs(s, mdb);
    args.push_back("T_ORDER_NOTE");
    args.push_back("M_CUSTOMER");
    Result r = cli(args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(checkMdb(data("sales_design.xls.json"), "default", mdb, {"T_ORDER_NOTE", "M_CUSTOMER"}), "OK\n");
    EXPECT_EQ(jt::mdbReader(mdb, {}).details.size(), 2u);

    // A name the document does not hold: nothing is opened or created.
    const std::string bytes = testsupport::readBytes(mdb);
    args = createArgs(s, mdb);
    args.push_back("NO_SUCH_TABLE");
    Result bad = cli(args);
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("NO_SUCH_TABLE"), std::string::npos);
    EXPECT_EQ(testsupport::readBytes(mdb), bytes);
}

// Names, type words and reasons from a workbook reach the terminal with their control
// characters escaped: no escape sequence, bell or line break of the workbook's own is printed.
TEST(Cli, ControlCharactersFromTheWorkbookAreShownEscaped) {
    auto rawControls = [](const std::string& s) {
        return std::count_if(s.begin(), s.end(), [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7F; });
    };
    Result list = cli({"list", data("terminal_names.xlsx")});
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, "RED\\x1b[31mT\nT_BELL\n行1\\n行2\nT_PLAIN\n");
    // JSON keeps its own escapes, which are text already.
    Result json = cli({"list", "--json", data("terminal_names.xlsx")});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"RED\\u001b[31mT\""), std::string::npos) << json.out;
    EXPECT_EQ(rawControls(json.out), 0);

    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "new.mdb").string();
    ASSERT_EQ(cli({"newdb", "--sort", "general", mdb}).code, 0);
    Result r = cli({"create", data("terminal_names.xlsx"), mdb});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "RED\\x1b[31mT作成に失敗しました\nTe\\x07xtは未定義です（テーブル『T_BELL』、フィールド『A』、シート2「S2」のセルE7）\n行1\\n行2作成に失敗しました\n"
                     "作成処理を終了しました。\n");
    // One reason line per refused table, each naming it escaped.
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    EXPECT_NE(r.err.find("RED\\x1b[31mT"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("行1\\n行2"), std::string::npos) << r.err;
    EXPECT_EQ(rawControls(r.out) + rawControls(r.err), 0);
}

// A table made without a field the workbook gives it ends the run with 1, like a table that
// could not be made; the same run without such a field ends with 0.
TEST(Cli, CreateFailsWhenAFieldWasReportedAndSkipped) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "new.mdb").string();
    ASSERT_EQ(cli({"newdb", mdb}).code, 0);
    Result skipped = cli({"create", data("terminal_names.xlsx"), mdb, "T_BELL"});
    EXPECT_EQ(skipped.code, 1) << skipped.err;
    EXPECT_EQ(skipped.out, "Te\\x07xtは未定義です（テーブル『T_BELL』、フィールド『A』、シート2「S2」のセルE7）\n作成処理を終了しました。\n");
    const auto reader = jt::mdbReader(mdb, {"T_BELL"});
    ASSERT_TRUE(reader.ok) << reader.error;
    ASSERT_TRUE(reader.details.count("T_BELL"));
    EXPECT_EQ(reader.details.at("T_BELL").columns.size(), 1u);
    Result plain = cli({"create", data("terminal_names.xlsx"), mdb, "T_PLAIN"});
    EXPECT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(plain.out, "作成処理を終了しました。\n");
}

TEST(Cli, CreateReportsEveryFailureInTheScreensWords) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "copy.mdb").string();
    fs::copy_file(kMdb / "jp_sample_thinkami.mdb", mdb);
    const auto before = jt::mdbReader(mdb, {});
    Result r = cli({"create", "--layout", data("failures.edf"), data("failures.xlsx"), mdb});
    EXPECT_EQ(r.code, 1) << r.err;
    std::string abc;
    try {
        toInt16("abc");
    } catch (const ConversionError& e) {
        abc = e.what();
    }
    // Each field message names the table, the field, and the sheet and cell it was read from.
    EXPECT_EQ(r.out, " 文字 は未定義です（テーブル『T_UNKNOWN』、フィールド『A』、シート1「S1」のセルE7）\n" + abc +
                         "（テーブル『T_BADSIZE』、フィールド『CODE』、シート3「S3」のセルF7）"
                         "\nitem作成に失敗しました\nT_PKSKIP作成に失敗しました\nT_TWICE作成に失敗しました\n"
                         "作成処理を終了しました。\n");
    // A key on a field that was not created: the engine's words, then which field and where its mark is.
    EXPECT_NE(r.err.find("（主キーのフィールド『ID』は作成されていません。テーブル『T_PKSKIP』、シート5「S5」のセルG6）"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("テーブル『item』は既にデータベースにあります（シート4「S4」のセルC3）"), std::string::npos) << r.err;
    // The table without fields is not silently reported as made.
    EXPECT_NE(r.err.find("T_EMPTY"), std::string::npos);

    const auto after = jt::mdbReader(mdb, {});
    ASSERT_TRUE(after.ok) << after.error;
    auto has = [&](const std::string& t) { return after.details.count(t) != 0; };
    auto cols = [&](const std::string& t) {
        std::vector<std::string> n;
        for (const auto& c : after.details.at(t).columns) n.push_back(c.name);
        return n;
    };
    ASSERT_TRUE(has("T_UNKNOWN"));
    EXPECT_EQ(cols("T_UNKNOWN"), (std::vector<std::string>{"ID", "B"}));
    ASSERT_TRUE(has("T_NOSIZE"));
    EXPECT_EQ(cols("T_NOSIZE"), (std::vector<std::string>{"ID"}));
    ASSERT_TRUE(has("T_BADSIZE"));
    EXPECT_EQ(cols("T_BADSIZE"), (std::vector<std::string>{"ID"}));
    EXPECT_FALSE(has("T_PKSKIP"));
    EXPECT_FALSE(has("T_EMPTY"));
    ASSERT_TRUE(has("T_TWICE"));
    EXPECT_EQ(cols("T_TWICE"), (std::vector<std::string>{"A"}));  // the first of the two
    EXPECT_EQ(after.details.at("item").columns.size(), before.details.at("item").columns.size());
    EXPECT_EQ(after.tables.size(), before.tables.size() + 4);
}

TEST(Cli, ACommitThatFailsReportsEveryTableOfTheRunAndLeavesTheFileAsItWas) {
    // The run's tables reach the file when it is closed. Here the file may not grow (a file size
    // limit, as a full disk would): the journal is written, the database write fails and is undone.
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "copy.mdb").string();
    fs::copy_file(kMdb / "jp_sample_thinkami.mdb", mdb);
    const std::string original = testsupport::readBytes(mdb);
    const std::string blocks = std::to_string(original.size() / 512);
    jt::CommandResult r = jt::run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f " + blocks + " && exec \"$@\"", "sh", XLSDB_CLI,
                                   "create", "--layout", data("sales_design.edf"), data("sales_design.xls"), mdb});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "M_CUSTOMER作成に失敗しました\nM_PRODUCT作成に失敗しました\nT_ORDER作成に失敗しました\n"
                     "T_ORDER_NOTE作成に失敗しました\n作成処理を終了しました。\n");
    for (const char* t : {"M_CUSTOMER", "M_PRODUCT", "T_ORDER", "T_ORDER_NOTE"})
        EXPECT_NE(r.err.find(std::string("xlsdb-cli: ") + t + ": "), std::string::npos) << r.err;
    EXPECT_TRUE(testsupport::readBytes(mdb) == original);
    EXPECT_FALSE(fs::exists(mdb + "-journal"));
    // Nothing half written: the same run without the limit creates every table.
    Result again = cli({"create", "--layout", data("sales_design.edf"), data("sales_design.xls"), mdb});
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(checkMdb(data("sales_design.xls.json"), "default", mdb), "OK\n");
}

TEST(Cli, CreateOnADatabaseThatCannotBeOpened) {
    testsupport::TempDir dir;
    const std::string missing = (dir.path() / "none.mdb").string();
    Result r = cli({"create", "--layout", data("sales_design.edf"), data("sales_design.xls"), missing});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "『" + missing + "』Openに失敗しました\n");
    EXPECT_FALSE(fs::exists(missing));

    Result types = cli({"create", "--types", (dir.path() / "none.afa").string(), data("sales_design.xls"), missing});
    EXPECT_EQ(types.code, 2);
}

// True when the line, with the paths and the program's name taken out, still has ASCII letters
// (the C library's English words).
bool hasAsciiLetters(std::string strLine, const std::vector<std::string>& colPaths) {
    for (const std::string& strCut : colPaths) {
        for (std::size_t n; (n = strLine.find(strCut)) != std::string::npos;) strLine.erase(n, strCut.size());
    }
    for (unsigned char c : strLine)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return false;
}

TEST(Cli, SystemFailuresAreReportedInJapanese) {
    testsupport::TempDir dir;
    const Sample& s = samples()[2];
    const std::string strLong = (dir.path() / std::string(300, 'a')).string();
    Result r = cli({"html", "--layout", data(s.layout), data(s.book), strLong});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: 出力先フォルダ『" + strLong + "』を確認できません（ファイル名またはパスが長すぎます）\n");

    const std::string strMissing = (dir.path() / "no" / "such" / "x.mdb").string();
    r = cli({"newdb", strMissing});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("ファイルまたはフォルダが見つかりません"), std::string::npos) << r.err;
    EXPECT_FALSE(hasAsciiLetters(r.err, {strMissing, "xlsdb-cli"})) << r.err;
    EXPECT_EQ(occurrences(r.err, strMissing), 1u) << r.err;

    const std::string strLayout = (dir.path() / "none.edf").string();
    r = cli({"list", "--layout", strLayout, data(s.book)});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: レイアウト定義ファイル『" + strLayout + "』を読めません: " + systemErrorText(ENOENT) + "\n");
    EXPECT_FALSE(hasAsciiLetters(r.err, {strLayout, "xlsdb-cli"})) << r.err;

    // A file where a folder should be: the screen's words, then why, the path said once.
    const std::string strUnder = data(s.book) + "/x.mdb";
    r = cli({"tables", strUnder});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: 『" + strUnder + "』Openに失敗しました: ファイルを開けません（パスの途中にフォルダではないものがあります）。\n");
    EXPECT_FALSE(hasAsciiLetters(r.err, {strUnder, "xlsdb-cli", "Open"})) << r.err;
}

TEST(Cli, EachFailureNamesItsFileOnce) {
    testsupport::TempDir dir;
    const Sample& s = samples()[0];

    const std::string strTypes = (dir.path() / "none.afa").string();
    Result r = cli({"create", "--types", strTypes, data(s.book), (dir.path() / "x.mdb").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: 型の表記ファイル『" + strTypes + "』を読めません: " + systemErrorText(ENOENT) + "\n");

    const std::string strFolderLayout = dir.str();
    r = cli({"list", "--layout", strFolderLayout, data(s.book)});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: レイアウト定義ファイル『" + strFolderLayout + "』を読めません: " + systemErrorText(EISDIR) + "\n");

    const fs::path badLayout = dir.path() / "bad.edf";
    testsupport::writeBytes(badLayout, "<StartSheetNo>x</StartSheetNo>");
    r = cli({"list", "--layout", badLayout.string(), data(s.book)});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("xlsdb-cli: レイアウト定義ファイル『" + badLayout.string() + "』の値が正しくありません: <StartSheetNo> ", 0), 0u)
        << r.err;
    EXPECT_EQ(occurrences(r.err, badLayout.string()), 1u) << r.err;

    // The engine's sentences about a database name it; they are not wrapped in a second one.
    const std::string strNone = (dir.path() / "none.mdb").string();
    r = cli({"tables", strNone});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("xlsdb-cli: 『" + strNone + "』Openに失敗しました: ", 0), 0u) << r.err;
    EXPECT_EQ(occurrences(r.err, strNone), 1u) << r.err;
    r = cli({"tables", dir.str()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("xlsdb-cli: 『" + dir.str() + "』Openに失敗しました: ", 0), 0u) << r.err;
    EXPECT_EQ(occurrences(r.err, dir.str()), 1u) << r.err;
    const std::string strNoFolder = (dir.path() / "no" / "x.mdb").string();
    r = cli({"newdb", strNoFolder});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(occurrences(r.err, strNoFolder), 1u) << r.err;

    // A page that cannot be written: named once, with the reason.
    const fs::path out = dir.path() / "out";
    fs::create_directories(out / "index.htm");
    r = cli({"html", "--layout", data(s.layout), data(s.book), out.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "xlsdb-cli: 作成に失敗しました: 『" + (out / "index.htm").string() + "』を書き込めませんでした: " +
                         systemErrorText(EISDIR) + "\n");

    // A table the database already has: the line names the table once.
    const std::string strMdb = (dir.path() / "twice.mdb").string();
    ASSERT_EQ(cli({"newdb", strMdb}).code, 0);
    ASSERT_EQ(cli({"create", "--layout", data(s.layout), data(s.book), strMdb, "M_CUSTOMER"}).code, 0);
    r = cli({"create", "--layout", data(s.layout), data(s.book), strMdb, "M_CUSTOMER"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "M_CUSTOMER作成に失敗しました\n作成処理を終了しました。\n");
    EXPECT_EQ(r.err.rfind("xlsdb-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(occurrences(r.err, "M_CUSTOMER"), 1u) << r.err;
}

// Brackets and quotes in a path belong to the path: the line names it once and the reason
// after it is the reason alone.
TEST(Cli, PathsWithBracketsAndQuotesAreNamedOnce) {
    testsupport::TempDir dir;
    const Sample& s = samples()[0];
    const fs::path odd = dir.path() / "設計（旧）『控え』: 2";
    fs::create_directories(odd);

    const std::string strLayout = (odd / "none』（1）.edf").string();
    Result r = cli({"list", "--layout", strLayout, data(s.book)});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: レイアウト定義ファイル『" + strLayout + "』を読めません: " + systemErrorText(ENOENT) + "\n");

    const std::string strTypes = (odd / "none』.afa").string();
    r = cli({"create", "--types", strTypes, data(s.book), (odd / "x.mdb").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "xlsdb-cli: 型の表記ファイル『" + strTypes + "』を読めません: " + systemErrorText(ENOENT) + "\n");

    // A file that is not CP932: where the bad bytes are is part of the reason.
    const fs::path utf8Types = odd / "utf8（1）.afa";
    testsupport::writeBytes(utf8Types, "<Text>\xE3\x83\x86</Text>\r\n");
    r = cli({"create", "--types", utf8Types.string(), data(s.book), (odd / "x.mdb").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("xlsdb-cli: 型の表記ファイル『" + utf8Types.string() + "』を読めません: CP932 として読めないバイトがあります（位置 ", 0),
              0u)
        << r.err;
    EXPECT_EQ(occurrences(r.err, utf8Types.string()), 1u) << r.err;

    const fs::path badLayout = odd / "bad』.edf";
    testsupport::writeBytes(badLayout, "<StartSheetNo>x</StartSheetNo>");
    r = cli({"list", "--layout", badLayout.string(), data(s.book)});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("xlsdb-cli: レイアウト定義ファイル『" + badLayout.string() + "』の値が正しくありません: <StartSheetNo> の値を読めません。", 0), 0u)
        << r.err;
    EXPECT_EQ(occurrences(r.err, badLayout.string()), 1u) << r.err;

    const fs::path out = odd / "out";
    fs::create_directories(out / "index.htm");
    r = cli({"html", "--layout", data(s.layout), data(s.book), out.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "xlsdb-cli: 作成に失敗しました: 『" + (out / "index.htm").string() + "』を書き込めませんでした: " +
                         systemErrorText(EISDIR) + "\n");
}

TEST(Cli, NewDatabaseNeverReplacesAFile) {
    testsupport::TempDir dir;
    const fs::path existing = dir.path() / "keep.mdb";
    testsupport::writeBytes(existing, "precious");
    Result r = cli({"newdb", existing.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(testsupport::readBytes(existing), "precious");
    EXPECT_NE(cli({"newdb", (dir.path() / "no" / "such" / "x.mdb").string()}).code, 0);
    // An .accdb file already there is not replaced either.
    const fs::path accdb = dir.path() / "keep.accdb";
    testsupport::writeBytes(accdb, "precious");
    EXPECT_EQ(cli({"newdb", accdb.string()}).code, 1);
    EXPECT_EQ(testsupport::readBytes(accdb), "precious");

    const std::string fresh = (dir.path() / "fresh.mdb").string();
    ASSERT_EQ(cli({"newdb", fresh}).code, 0);
    const auto db = jt::mdbReader(fresh, {});
    ASSERT_TRUE(db.ok) << db.error;
    EXPECT_TRUE(db.details.empty());
    EXPECT_EQ(cli({"tables", (dir.path() / "none.mdb").string()}).code, 2);
}

TEST(Cli, TablesOnlyReadsEvenWhereWritingIsRefused) {
    testsupport::TempDir dir;
    const fs::path mdb = dir.path() / "open.mdb";
    ASSERT_EQ(cli({"newdb", mdb.string()}).code, 0);
    // A lock file beside the database: Access has it open, so writing is refused, listing is not.
    testsupport::writeBytes(dir.path() / "open.ldb", "");
    const std::string before = testsupport::readBytes(mdb);
    Result r = cli({"tables", mdb.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("MSysObjects\n"), std::string::npos);
    EXPECT_NE(cli({"create", data(samples()[0].book), mdb.string()}).code, 0);
    EXPECT_EQ(testsupport::readBytes(mdb), before);
}

TEST(Cli, HtmlForTheSampleAndForNamedTables) {
    testsupport::TempDir dir;
    const Sample& s = samples()[2];
    Result r = cli({"html", "--layout", data(s.layout), data(s.book), dir.str()});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir.path())) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"index.htm", "leftframe.htm", "rightframe.htm", "キュウヨ.htm",
                                               "シャイン.htm", "ブショ.htm"}));
    const std::string index = cp932ToUtf8(testsupport::readBytes(dir.path() / "index.htm"));
    EXPECT_NE(index.find("<title>テーブル定義書 - hr_design_ja.xls</title> "), std::string::npos);
    const std::string list = cp932ToUtf8(testsupport::readBytes(dir.path() / "leftframe.htm"));
    EXPECT_LT(list.find(">シャイン</a>"), list.find(">ブショ</a>"));
    EXPECT_LT(list.find(">ブショ</a>"), list.find(">キュウヨ</a>"));
    const std::string page = cp932ToUtf8(testsupport::readBytes(dir.path() / "キュウヨ.htm"));
    EXPECT_NE(page.find(">長整数</font>"), std::string::npos);  // the document's own type word

    testsupport::TempDir sub;
    Result named = cli({"html", "--title", "給与 & 部署", "--layout", data(s.layout), data(s.book), sub.str(), "ブショ"});
    ASSERT_EQ(named.code, 0) << named.err;
    EXPECT_TRUE(fs::exists(sub.path() / "ブショ.htm"));
    EXPECT_FALSE(fs::exists(sub.path() / "シャイン.htm"));
    EXPECT_NE(cp932ToUtf8(testsupport::readBytes(sub.path() / "index.htm")).find("<title>給与 &amp; 部署</title>"),
              std::string::npos);

    Result missing = cli({"html", "--layout", data(s.layout), data(s.book), (dir.path() / "nope").string()});
    EXPECT_EQ(missing.code, 2);
    EXPECT_FALSE(fs::exists(dir.path() / "nope"));
}

// detect finds, for every design sample, a layout that reads the tables exactly as the layout a
// person wrote for it; the type words it writes create the same fields where the person's did.
TEST(Cli, DetectFindsTheLayoutAPersonWouldWrite) {
    const fs::path root = fs::path(XLSDB_TEST_DATA);
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"reading/sales_design", ".xls"}, {"reading/sales_design", ".xlsx"}, {"reading/hr_design_ja", ".xls"},
        {"reading/hr_design_ja", ".xlsx"}, {"conventions/sql_types", ".xls"}, {"conventions/sql_types", ".xlsx"},
        {"conventions/template", ".xls"}, {"conventions/template", ".xlsx"}, {"conventions/multi", ".xls"},
        {"conventions/multi", ".xlsx"}, {"conventions/sheetname", ".xls"}, {"conventions/sheetname", ".xlsx"},
        // Every built-in header label and mark word (✓ and ✔ among them, kept in the .edf as &#x2713;).
        {"conventions/labels", ".xls"}, {"conventions/labels", ".xlsx"}, {"conventions/labels_remarks", ".xls"},
        {"conventions/labels_remarks", ".xlsx"}};
    for (const auto& [base, ext] : samples) {
        SCOPED_TRACE(base + ext);
        testsupport::TempDir dir;
        const std::string book = (root / (base + ext)).string();
        const std::string edf = (dir.path() / "found.edf").string();
        const std::string afa = (dir.path() / "found.afa").string();
        Result found = cli({"detect", "--edf", edf, "--afa", afa, book});
        ASSERT_EQ(found.code, 0) << found.out << found.err;
        Result mine = cli({"list", "--json", "--layout", edf, book});
        Result theirs = cli({"list", "--json", "--layout", (root / (base + ".edf")).string(), book});
        ASSERT_EQ(theirs.code, 0) << theirs.err;
        EXPECT_EQ(mine.out, theirs.out);
        EXPECT_EQ(mine.code, 0);
        // With such a layout, list names the sheets it read no table from.
        if (base == "conventions/template") {
            EXPECT_NE(theirs.err.find("xlsdb-cli: シート1「表紙」: 見出し行（"), std::string::npos) << theirs.err;
        }
    }
}

// Where two readings are possible, detect says so for each and takes none: nothing written, 1.
TEST(Cli, DetectLeavesWhatHasTwoReadingsToAPerson) {
    testsupport::TempDir dir;
    const std::string edf = (dir.path() / "found.edf").string();
    const std::string afa = (dir.path() / "found.afa").string();
    for (const char* ext : {".xls", ".xlsx"}) {
        SCOPED_TRACE(ext);
        Result r = cli({"detect", "--edf", edf, "--afa", afa,
                        (fs::path(XLSDB_TEST_DATA) / "conventions" / (std::string("ambiguous") + ext)).string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find("要確認: テーブル名のラベルがあるテーブルとないテーブルがあります（1 / 2）。ラベルの横とシート名のどちらを使うか決められません"),
                  std::string::npos) << r.out;
        EXPECT_NE(r.out.find("要確認: NULL の列の見出しに「NULL 可」の意味の「NULL」と「NULL 不可」の意味の「NOT NULL」があり、"
                             "印をどちらの意味で読むか決められません"),
                  std::string::npos) << r.out;
        EXPECT_NE(r.out.find("要確認: 主キー・NULL の列の「?」が「あり」か「なし」か決められません"), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(edf));
        EXPECT_FALSE(fs::exists(afa));
    }
}

// Where it finds no layout, detect says why, writes nothing and ends with 1.
TEST(Cli, DetectGivesNoLayoutWhereItFindsNone) {
    testsupport::TempDir dir;
    const std::string edf = (dir.path() / "found.edf").string();
    // failures.xlsx has no header rows at all.
    Result r = cli({"detect", "--edf", edf, data("failures.xlsx")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("要確認: "), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(edf));
    Result j = cli({"detect", "--json", data("failures.xlsx")});
    EXPECT_EQ(j.out.rfind("{\"found\":false,", 0), 0u) << j.out;
}
