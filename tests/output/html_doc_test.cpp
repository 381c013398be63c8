// The HTML documentation: pages compared byte for byte with pages written by hand
// (tests/data/output/expected, made by make_expected.sh), the escaping of names and values,
// characters CP932 lacks, unsafe table names and write failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <cstdio>
#include <unistd.h>

#include "Cp932.h"
#include "clsHTMLDoc.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const fs::path kExpected = fs::path(XLSDB_TEST_DATA) / "output" / "expected";

FieldInfoPtr field(const std::string& name, const std::string& attr, const std::string& size, bool null) {
    auto f = std::make_shared<clsFieldInfo>();
    f->setName(name);
    f->setAttr(attr);
    f->setSize(size);
    f->setNull(null);
    return f;
}

TableInfoPtr table(const std::string& name, std::vector<FieldInfoPtr> fields, std::vector<std::string> keys) {
    auto t = std::make_shared<clsTableInfo>();
    t->setName(name);
    for (auto& f : fields) t->setField(f);
    for (auto& k : keys) t->sbAddPKey(k);
    return t;
}

// The model the expected pages were written for.
clsDBInfo smallModel() {
    clsDBInfo db;
    db.setTable(table("社員",
                      {field("SHAIN_ID", "AutoNumber", "", false), field("NAME", "Text", "50", true),
                       field("区分", "", "  ", false)},
                      {" SHAIN_ID", "name"}));
    db.setTable(table("A&B <x>#1", {field("𠮷田", "<Text>", " 10", false)}, {"𠮷田 "}));
    db.setTable(table("EMPTY", {}, {}));
    return db;
}

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

}  // namespace

TEST(HtmlDoc, SmallModelMatchesHandWrittenPagesByteForByte) {
#ifdef _WIN32
    GTEST_SKIP() << "its table names hold characters Windows file names cannot";
#endif
    testsupport::TempDir dir;
    clsHTMLDoc doc;
    doc.setTitle("社員 & 部署");
    ASSERT_TRUE(doc.fnWriteFile(smallModel(), dir.str()));

    std::set<std::string> expected = filesIn(kExpected);
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(filesIn(dir.path()), expected);
    for (const std::string& name : expected) {
        EXPECT_EQ(testsupport::readBytes(dir.path() / name), testsupport::readBytes(kExpected / name))
            << "page " << name;
    }
}

TEST(HtmlDoc, EmptyModelWritesFramesAndAnEmptyList) {
    testsupport::TempDir dir;
    clsHTMLDoc doc;  // no title: an empty <title></title>
    ASSERT_TRUE(doc.fnWriteFile(clsDBInfo(), dir.str()));
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"index.htm", "rightframe.htm", "leftframe.htm"}));
    std::string index = testsupport::readBytes(dir.path() / "index.htm");
    EXPECT_NE(index.find("<title></title> "), std::string::npos);
    std::string list = testsupport::readBytes(dir.path() / "leftframe.htm");
    EXPECT_EQ(list.find("<a href"), std::string::npos);
    // The heading row is followed directly by the foot: "</tr> </table><p>　</p></body></html>"
    EXPECT_NE(list.find("  </tr> </table><p>\x81\x40</p></body></html>\r\n"), std::string::npos);
}

TEST(HtmlDoc, MarkupInNamesAndTitleIsEscapedNotInjected) {
    clsHTMLDoc doc;
    doc.setTitle("</title><script>x()</script>");
    EXPECT_EQ(doc.fnIndexText().find("<script>"), std::string::npos);
    EXPECT_NE(doc.fnIndexText().find("<title>&lt;/title&gt;&lt;script&gt;x()&lt;/script&gt;</title> "),
              std::string::npos);
    EXPECT_EQ(doc.fnRightFrameText().find("<script>"), std::string::npos);

    auto t = table("<b>", {field("\"q\"", "a&b", "<5>", false)}, {});
    std::string page = clsHTMLDoc::fnTablePageText(*t);
    EXPECT_EQ(page.find("<b><b>"), std::string::npos);
    EXPECT_NE(page.find("<title>&lt;b&gt;</title>"), std::string::npos);
    EXPECT_NE(page.find(">&quot;q&quot;</font>"), std::string::npos);
    EXPECT_NE(page.find(">a&amp;b</font>"), std::string::npos);
    EXPECT_NE(page.find(">&lt;5&gt;</font>"), std::string::npos);
}

TEST(HtmlDoc, CharactersCp932OnlyApproximatesAreWrittenAsReferences) {
    testsupport::TempDir dir;
    clsHTMLDoc doc;
    // The converter would turn these into other characters (the yen sign into a backslash);
    // the full-width tilde at the end is CP932's own and stays a character.
    doc.setTitle("\u00A5\u203E\u301C\u2212\u2016\u2014\u00AC\u00A2\u00A3\uFF5E");
    clsDBInfo db;
    db.setTable(table("価格\u00A5", {field("波\u301C線", "Text", "1", false)}, {}));
    ASSERT_TRUE(doc.fnWriteFile(db, dir.str()));

    const std::string index = testsupport::readBytes(dir.path() / "index.htm");
    EXPECT_NE(index.find("<title>&#xA5;&#x203E;&#x301C;&#x2212;&#x2016;&#x2014;&#xAC;&#xA2;&#xA3;\x81\x60</title> "),
              std::string::npos)
        << index;
    // The page keeps the table's own name as its file name; the link reaches it.
    const fs::path page = dir.path() / fs::u8path("価格\u00A5.htm");
    ASSERT_TRUE(fs::exists(page));
    EXPECT_NE(testsupport::readBytes(page).find(utf8ToCp932("波&#x301C;線")), std::string::npos);
    const std::string list = testsupport::readBytes(dir.path() / "leftframe.htm");
    EXPECT_NE(list.find(utf8ToCp932("<a href=\"価格&#xA5;.htm\" target=\"mainFrame\">価格&#xA5;</a>")),
              std::string::npos);
    EXPECT_EQ(list.find('\\'), std::string::npos);
}

TEST(HtmlDoc, LinkTargetsKeepTheLinkWhole) {
    using htmldoc::linkTarget;
    EXPECT_EQ(linkTarget("a\"b"), "a%22b");
    EXPECT_EQ(linkTarget("100%"), "100%25");
    EXPECT_EQ(linkTarget("a#b?c"), "a%23b%3Fc");
    EXPECT_EQ(linkTarget("javascript:alert(1)//"), "javascript%3Aalert(1)//");
    EXPECT_EQ(linkTarget("  a b "), "%20%20a b ");
    EXPECT_EQ(linkTarget("A&B<>"), "A&amp;B&lt;&gt;");
    EXPECT_EQ(linkTarget("受注 明細"), "受注 明細");

    clsDBInfo db;
    db.setTable(table("x\" onclick=\"y", {}, {}));
    std::string list = clsHTMLDoc::fnListText(db);
    EXPECT_NE(list.find("<a href=\"x%22 onclick=%22y.htm\" target=\"mainFrame\">x&quot; onclick=&quot;y</a>"),
              std::string::npos);
}

TEST(HtmlDoc, PrimaryKeyMarksCompareTrimmedAndCaseSensitive) {
    auto t = table("T", {field("ID", "Long", "", false), field(" CODE ", "Text", "5", false)}, {"id", "CODE"});
    std::string page = clsHTMLDoc::fnTablePageText(*t);
    // ID is not marked by "id"; " CODE " is marked by "CODE".
    std::size_t id = page.find(">ID</font>");
    std::size_t code = page.find("> CODE </font>");
    ASSERT_NE(id, std::string::npos);
    ASSERT_NE(code, std::string::npos);
    std::string idRow = page.substr(id, code - id);
    std::string codeRow = page.substr(code);
    EXPECT_EQ(idRow.find(">y</font>"), std::string::npos);
    EXPECT_NE(codeRow.find(">y</font>"), std::string::npos);
}

TEST(HtmlDoc, UnsafeTableNamesAreRefusedBeforeAnyPageIsWritten) {
    const std::string longName(300, 'L');
    for (const std::string& bad : {std::string("../evil"), std::string("a/b"), std::string("a\\b"),
                                   std::string(""), std::string("."), std::string(".."),
                                   std::string("tab\there"), longName}) {
        testsupport::TempDir parent;
        fs::path dir = parent.path() / "out";
        fs::create_directory(dir);
        testsupport::writeBytes(dir / "index.htm", "earlier run");
        clsDBInfo db;
        db.setTable(table("OK", {}, {}));
        db.setTable(table(bad, {}, {}));
        clsHTMLDoc doc;
        try {
            doc.fnWriteFile(db, dir.string());
            ADD_FAILURE() << "no error for table name '" << bad << "'";
        } catch (const clsHTMLDocError& e) {
            EXPECT_NE(std::string(e.what()).find("『" + bad + "』"), std::string::npos) << e.what();
        }
        // The folder is as it was: not even the pages before the bad table were written.
        EXPECT_EQ(filesIn(dir), (std::set<std::string>{"index.htm"})) << bad;
        EXPECT_EQ(testsupport::readBytes(dir / "index.htm"), "earlier run");
        EXPECT_EQ(filesIn(parent.path()), (std::set<std::string>{"out"})) << bad;
    }
    // A name made long by its number is refused too, before anything is written.
    testsupport::TempDir dir;
#ifdef _WIN32
    const long lngMax = 255;
#else
    const long lngMax = ::pathconf(dir.str().c_str(), _PC_NAME_MAX);
#endif
    const std::string edge(static_cast<std::size_t>(lngMax > 0 ? lngMax : 255) - 4, 'E');  // + ".htm" fits
    clsDBInfo db;
    db.setTable(table(edge, {}, {}));
    db.setTable(table(edge, {}, {}));  // would need edge + "_2.htm"
    clsHTMLDoc doc;
    EXPECT_THROW(doc.fnWriteFile(db, dir.str()), clsHTMLDocError);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(HtmlDoc, FolderWithTrailingSeparatorIsNotDoubled) {
#ifdef _WIN32
    GTEST_SKIP() << "its table names hold characters Windows file names cannot";
#endif
    EXPECT_EQ(htmldoc::joinPath("/tmp/x/", "index.htm"), "/tmp/x/index.htm");
#ifdef _WIN32
    EXPECT_EQ(htmldoc::joinPath("C:\\x\\", "index.htm"), "C:\\x\\index.htm");
    EXPECT_EQ(htmldoc::joinPath("/tmp/x", "index.htm"), "/tmp/x\\index.htm");
#else
    EXPECT_EQ(htmldoc::joinPath("/tmp/x", "index.htm"), "/tmp/x/index.htm");
#endif
    testsupport::TempDir dir;
    clsHTMLDoc doc;
    ASSERT_TRUE(doc.fnWriteFile(smallModel(), dir.str() + "/"));
    EXPECT_TRUE(fs::exists(dir.path() / "leftframe.htm"));
}

// Names that would share a file with a frame page or with another table's page, also where a
// file system ignores letter case.
clsDBInfo collidingModel() {
    clsDBInfo db;
    int n = 0;
    for (const char* name : {"index", "LeftFrame", "rightframe", "Orders", "ORDERS", "Orders_2", "index",
                             "RIGHTFRAME_2", "Ｍａｓｔｅｒ", "ｍａｓｔｅｒ"}) {
        // Each table's one field names its place in the model, so a page shows whose it is.
        db.setTable(table(name, {field("F" + std::to_string(n++), "Text", "1", false)}, {}));
    }
    return db;
}

TEST(HtmlDoc, TablesNamedLikeFramePagesOrEachOtherGetPagesOfTheirOwn) {
#ifdef _WIN32
    GTEST_SKIP() << "its table names hold characters Windows file names cannot";
#endif
    const clsDBInfo db = collidingModel();
    const std::vector<std::string> want = {"index_2.htm",  "LeftFrame_2.htm", "rightframe_3.htm", "Orders.htm",
                                           "ORDERS_3.htm", "Orders_2.htm",    "index_3.htm",      "RIGHTFRAME_2.htm",
                                           "Ｍａｓｔｅｒ.htm", "ｍａｓｔｅｒ_2.htm"};
    EXPECT_EQ(clsHTMLDoc::fnPageFileNames(db), want);

    testsupport::TempDir dir;
    clsHTMLDoc doc;
    doc.setTitle("定義書");
    ASSERT_TRUE(doc.fnWriteFile(db, dir.str()));
    std::set<std::string> files = {"index.htm", "leftframe.htm", "rightframe.htm"};
    files.insert(want.begin(), want.end());
    EXPECT_EQ(filesIn(dir.path()), files);
    // The frame pages are intact.
    EXPECT_EQ(testsupport::readBytes(dir.path() / "index.htm"), utf8ToCp932(doc.fnIndexText() + "\r\n"));
    EXPECT_EQ(testsupport::readBytes(dir.path() / "rightframe.htm"), utf8ToCp932(doc.fnRightFrameText() + "\r\n"));
    const std::string list = testsupport::readBytes(dir.path() / "leftframe.htm");
    EXPECT_EQ(list, utf8ToCp932(clsHTMLDoc::fnListText(db) + "\r\n"));
    // Each page is its own table's, and the list links to it under the table's name.
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i]);
        const std::string page = testsupport::readBytes(dir.path() / want[i]);
        EXPECT_NE(page.find(">F" + std::to_string(i) + "</font>"), std::string::npos);
        const std::string name = db.getTables()[i]->getName();
        EXPECT_NE(list.find(utf8ToCp932("<a href=\"" + want[i] + "\" target=\"mainFrame\">" + name + "</a>")),
                  std::string::npos);
    }
}

// The progress callback hears of every page; stopped, the run writes no further table page and
// its list links to the pages written, none other.
TEST(HtmlDoc, ProgressIsReportedAndAStoppedRunListsOnlyItsPages) {
    clsDBInfo db;
    for (const char* name : {"T1", "T2", "T3"}) db.setTable(table(name, {}, {}));
    std::vector<std::pair<int, int>> calls;
    clsHTMLDoc doc;
    doc.sbSetProgress([&](int done, int total) {
        calls.emplace_back(done, total);
        return true;
    });
    testsupport::TempDir all;
    EXPECT_TRUE(doc.fnWriteFile(db, all.str()));
    EXPECT_FALSE(doc.wasCancelled());
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 6}, {6, 6}}));

    // Stopped after the first table's page.
    doc.sbSetProgress([](int done, int) { return done < 3; });
    testsupport::TempDir part;
    EXPECT_FALSE(doc.fnWriteFile(db, part.str()));
    EXPECT_TRUE(doc.wasCancelled());
    EXPECT_EQ(filesIn(part.path()), (std::set<std::string>{"index.htm", "rightframe.htm", "T1.htm", "leftframe.htm"}));
    const std::string list = testsupport::readBytes(part.path() / "leftframe.htm");
    EXPECT_NE(list.find("href=\"T1.htm\""), std::string::npos);
    EXPECT_EQ(list.find("T2"), std::string::npos);
    EXPECT_EQ(list.find("T3"), std::string::npos);
}

TEST(HtmlDoc, LinkUnderAPageNameIsReplacedNotWrittenThrough) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links made the POSIX way";
#endif
    testsupport::TempDir dir;
    testsupport::TempDir elsewhere;
    const fs::path victim = elsewhere.path() / "victim.txt";
    { std::ofstream(victim) << "keep me"; }
    fs::create_directory(dir.path() / "out");
    fs::create_symlink(victim, dir.path() / "out" / "EMPTY.htm");
    fs::create_symlink(elsewhere.path() / "gone.htm", dir.path() / "out" / "index.htm");  // dangling

    clsHTMLDoc doc;
    ASSERT_TRUE(doc.fnWriteFile(smallModel(), (dir.path() / "out").string()));
    EXPECT_EQ(testsupport::readBytes(victim), "keep me");
    EXPECT_FALSE(fs::exists(elsewhere.path() / "gone.htm"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "out" / "EMPTY.htm"));
    EXPECT_NE(testsupport::readBytes(dir.path() / "out" / "EMPTY.htm").find("<title>EMPTY</title>"),
              std::string::npos);
    EXPECT_FALSE(fs::is_symlink(dir.path() / "out" / "index.htm"));
}

TEST(HtmlDoc, MissingOrUnwritableFolderIsRaised) {
#ifdef _WIN32
    GTEST_SKIP() << "its table names hold characters Windows file names cannot";
#endif
    testsupport::TempDir dir;
    clsHTMLDoc doc;
    EXPECT_THROW(doc.fnWriteFile(smallModel(), (dir.path() / "missing").string()), clsHTMLDocError);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_THROW(doc.fnWriteFile(smallModel(), ""), clsHTMLDocError);

    // A page that cannot be replaced (a folder stands in its place) stops the run there, and
    // leftframe.htm, written last, is not made.
    fs::create_directory(dir.path() / "EMPTY.htm");
    try {
        doc.fnWriteFile(smallModel(), dir.str());
        ADD_FAILURE() << "no error";
    } catch (const clsHTMLDocError& e) {
        EXPECT_NE(e.path().find("EMPTY.htm"), std::string::npos);
        // The page is named once, with the system's reason.
        EXPECT_EQ(std::string(e.what()), "『" + e.path() + "』を書き込めませんでした: " + systemErrorText(EISDIR));
    }
    EXPECT_TRUE(fs::exists(dir.path() / "社員.htm"));
    EXPECT_FALSE(fs::exists(dir.path() / "leftframe.htm"));

    // Brackets and quotes in the folder's name stay in the path and out of the reason.
    const fs::path odd = dir.path() / "定義（旧）『控え』";
    fs::create_directory(odd);
    testsupport::writeBytes(odd / "index.htm", "old");
    fs::permissions(odd / "index.htm", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    try {
        doc.fnWriteFile(smallModel(), odd.string());
        ADD_FAILURE() << "no error";
    } catch (const clsHTMLDocError& e) {
        EXPECT_EQ(e.path(), (odd / "index.htm").string());
        EXPECT_EQ(e.number(), 75);
        EXPECT_EQ(std::string(e.what()), "『" + e.path() + "』を書き込めませんでした: 読み取り専用のファイルです");
    }
    EXPECT_EQ(testsupport::readBytes(odd / "index.htm"), "old");
}

// Opens the written set in headless Chromium through a harness page: the frameset must load
// both frames, and every link of the list must open, in the right frame, the page of the
// table it names.
TEST(HtmlDocBrowser, FramesetLoadsAndEveryLinkOpensItsPage) {
#ifdef _WIN32
    GTEST_SKIP() << "the browser is a Linux program";
#endif
    const char* chromium = "/usr/bin/chromium";
    if (::access(chromium, X_OK) != 0) GTEST_SKIP() << "chromium is not installed";

    testsupport::TempDir dir;
    fs::path site = dir.path() / "site";
    fs::create_directory(site);
    clsDBInfo db = smallModel();
    for (const char* name : {"a:b", " 先頭空白", "100%", "q?x", "x\"y", "𠮷", "受注 明細", "円\u00A5", "波\u301C線"}) {
        db.setTable(table(name, {field("F", "Text", "1", false)}, {}));
    }
    const clsDBInfo colliding = collidingModel();
    for (const TableInfoPtr& t : colliding.getTables()) db.setTable(t);
    // The frame pages must stay what they are, and each link must open its own table's page:
    // the harness compares the page's first field with the one the table at that place has.
    std::string strFirstFields = "[";
    for (const TableInfoPtr& t : db.getTables()) {
        strFirstFields += t->getFields().empty() ? "null," : "'" + t->getFields()[0]->getName() + "',";
    }
    strFirstFields += "]";
    const std::size_t tables = db.getTables().size();
    clsHTMLDoc doc;
    doc.setTitle("Docs");
    ASSERT_TRUE(doc.fnWriteFile(db, site.string()));

    testsupport::writeBytes(site / "harness.htm", std::string(R"(<html><head><meta charset="utf-8"></head><body>
<iframe id="f" src="index.htm" width="1000" height="600"></iframe><pre id="out">pending</pre>
<script>
const firstFields = )") + strFirstFields + R"(;
const log = [];
const frame = document.getElementById('f');
function wait(el) { return new Promise(res => el.addEventListener('load', res, {once: true})); }
frame.addEventListener('load', async () => {
  try {
    const top = frame.contentWindow;
    const left = top.frames['leftFrame'], main = top.frames['mainFrame'];
    log.push('LEFT ' + (left.document.title === '\u30c6\u30fc\u30d6\u30eb\u4e00\u89a7' ? 'ok' : 'bad'));
    log.push('MAIN ' + main.document.title);
    const mainEl = top.document.querySelector('frame[name=mainFrame]');
    let i = 0;
    for (const a of left.document.querySelectorAll('a')) {
      const loaded = wait(mainEl);
      a.click();
      await loaded;
      const d = top.frames['mainFrame'].document;
      const b = d.querySelector('b');
      const cell = d.querySelectorAll('tr')[2];
      const first = cell ? cell.querySelector('font').textContent : null;
      const ok = d.title === a.textContent.trim().replace(/\s+/g, ' ') && b && b.textContent === a.textContent &&
                 a.target === 'mainFrame' && d.querySelectorAll('tr').length >= 2 && first === firstFields[i];
      log.push('LINK ' + (i++) + ' ' + (ok ? 'ok' : 'bad ' + encodeURIComponent(d.title)));
    }
    log.push('DONE');
  } catch (e) { log.push('ERROR ' + e); }
  document.getElementById('out').textContent = log.join('\n');
});
</script></body></html>)");

    // timeout only guards against a browser that never exits; it asserts nothing.
    const std::string cmd = "timeout 300 " + std::string(chromium) +
                            " --headless --no-sandbox --disable-gpu --disable-background-networking"
                            " --disable-component-update --disable-sync --no-first-run"
                            " --user-data-dir='" + (dir.path() / "profile").string() + "'"
                            " --allow-file-access-from-files --virtual-time-budget=20000"
                            " --dump-dom 'file://" + (site / "harness.htm").string() + "' 2>/dev/null";
    std::string dom;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) dom.append(buf, n);
        ::pclose(p);
    }
    std::size_t from = dom.find("<pre id=\"out\">");
    ASSERT_NE(from, std::string::npos) << dom;
    std::string out = dom.substr(from + 14, dom.find("</pre>", from) - from - 14);

    std::string expected = "LEFT ok\nMAIN Docs\n";
    for (std::size_t i = 0; i < tables; ++i) expected += "LINK " + std::to_string(i) + " ok\n";
    expected += "DONE";
    EXPECT_EQ(out, expected);
}
