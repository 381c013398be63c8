// Writing new database files: never over an existing file, no partial or temporary file left
// behind; the result, and tables appended to it, read by independent readers (mdbtools,
// mdb-reader) and passed by the structural checker.
#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <csignal>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "checker.h"
#include "civil_date.h"
#include "dao.h"
#include "header.h"
#include "jet_fixtures.h"
#include "new_database.h"
#include "oracles.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::set<std::string> listDir(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.insert(n);
        }
        closedir(d);
    }
    return names;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class NewDatabaseFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/xlsdb_newdb_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { jet::testsupport::run({"rm", "-rf", dir_}); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // The error number of a failing writeNewDatabase, or 0 when it succeeds.
    static int writeError(const std::string& p, const std::string& locale, int options) {
        try {
            jet::writeNewDatabase(p, locale, options);
            return 0;
        } catch (const jet::JetError& e) {
            EXPECT_FALSE(std::string(e.what()).empty());
            return e.number();
        }
    }

    std::string dir_;
};

// New databases as the builder uses them: created open, tables appended, closed, reopened.
struct NewDatabaseCase {
    const char* name;
    const char* file;
    const char* locale;
    int options;
    size_t systemTables;
};
class NewDatabaseTables : public NewDatabaseFile, public ::testing::WithParamInterface<NewDatabaseCase> {
protected:
    void SetUp() override {
        NewDatabaseFile::SetUp();
        path_ = path(GetParam().file);
    }

    std::string path_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

TEST_F(NewDatabaseFile, WritesBothSortOrdersAndLeavesNothingElse) {
    struct Case {
        const char* name;
        const char* locale;
        uint16_t codePage;
        uint16_t sortOrder;
    } cases[] = {{"general.mdb", jet::dbLangGeneral, 1252, 1033},
                 {"japanese.mdb", jet::dbLangJapanese, 932, 1041}};
    for (const Case& c : cases) {
        const double before = base::oleDateNow();
        jet::writeNewDatabase(path(c.name), c.locale, jet::dbVersion40);
        const double after = base::oleDateNow();
        const Bytes file = readFile(path(c.name));
        ASSERT_EQ(file.size(), 16u * 4096) << c.name;
        const jet::DbHeader h = jet::decodeHeader(file.data(), 16);
        EXPECT_EQ(h.version, 1) << c.name;
        EXPECT_EQ(h.codePage, c.codePage) << c.name;
        EXPECT_EQ(h.sortLcid, c.sortOrder) << c.name;
        // The creation date is the time of the call.
        EXPECT_GE(h.creationDate, before) << c.name;
        EXPECT_LE(h.creationDate, after) << c.name;

        jet::CheckReport report = jet::checkDatabase(path(c.name));
        EXPECT_TRUE(report.ok()) << c.name << "\n" << report.summary();
        EXPECT_EQ(report.tablesChecked, 4) << c.name;
        EXPECT_EQ(report.indexesChecked, 7) << c.name;
        EXPECT_EQ(report.keysRecomputed, 8 + 8 + 16) << c.name;  // both catalog indexes, the ACE index
        EXPECT_EQ(report.keysUnverified, 0) << c.name;
    }
    // Exactly the two databases: no temporary files left in the folder.
    EXPECT_EQ(listDir(dir_), (std::set<std::string>{"general.mdb", "japanese.mdb"}));
    // An ordinary new file's permissions (not the private mode of a temporary file).
    struct stat st {};
    ASSERT_EQ(stat(path("general.mdb").c_str(), &st), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST_F(NewDatabaseFile, NeverReplacesOrTouchesWhatIsAlreadyThere) {
    // An existing database (any file) at the path.
    writeFile(path("existing.mdb"), "precious data");
    struct stat before {};
    ASSERT_EQ(stat(path("existing.mdb").c_str(), &before), 0);
    EXPECT_EQ(writeError(path("existing.mdb"), jet::dbLangJapanese, jet::dbVersion40), jet::errDatabaseExists);
    struct stat after {};
    ASSERT_EQ(stat(path("existing.mdb").c_str(), &after), 0);
    EXPECT_EQ(readFile(path("existing.mdb")), Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's', ' ', 'd', 'a', 't', 'a'}));
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    // A new database made earlier is refused too by the engine's CreateDatabase, which returns
    // nothing and leaves the file as it was.
    jet::writeNewDatabase(path("made.mdb"), jet::dbLangGeneral, jet::dbVersion40);
    const Bytes made = readFile(path("made.mdb"));
    try {
        jet::createDatabase(path("made.mdb"), jet::dbLangJapanese, jet::dbVersion40);
        ADD_FAILURE() << "created over an existing database";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::errDatabaseExists);
    }
    EXPECT_EQ(readFile(path("made.mdb")), made);

    // A dangling symbolic link: writing through it would create a file elsewhere.
    ASSERT_EQ(symlink(path("nowhere.mdb").c_str(), path("link.mdb").c_str()), 0);
    EXPECT_EQ(writeError(path("link.mdb"), jet::dbLangGeneral, jet::dbVersion40), jet::errDatabaseExists);
    struct stat lst {};
    EXPECT_EQ(lstat(path("nowhere.mdb").c_str(), &lst), -1);

    // A folder of that name.
    ASSERT_EQ(mkdir(path("folder.mdb").c_str(), 0755), 0);
    EXPECT_EQ(writeError(path("folder.mdb"), jet::dbLangGeneral, jet::dbVersion40), jet::errDatabaseExists);

    EXPECT_EQ(listDir(dir_), (std::set<std::string>{"existing.mdb", "made.mdb", "link.mdb", "folder.mdb"}));
}

TEST_F(NewDatabaseFile, ADatabaseThatCannotBeOpenedIsTakenBack) {
    // A lock file of that name beside it: the engine refuses to open the new file for writing,
    // so CreateDatabase fails, and must not leave the file behind (a retry would say "exists").
    // (An .accdb file's lock file is NAME.laccdb.)
    writeFile(path("locked.ldb"), "");
    writeFile(path("locked.laccdb"), "");
    for (const auto& [name, options] : {std::make_pair("locked.mdb", jet::dbVersion40),
                                        std::make_pair("locked.accdb", jet::dbVersionAccdb)}) {
        try {
            jet::createDatabase(path(name), jet::dbLangJapanese, options);
            ADD_FAILURE() << "opened beside a lock file: " << name;
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.number(), jet::errLockedByAccess) << name;
        }
    }
    EXPECT_EQ(listDir(dir_), (std::set<std::string>{"locked.ldb", "locked.laccdb"}));
}

TEST_F(NewDatabaseFile, PathsThatCannotBeMadeFailWithoutLeavingAFile) {
    EXPECT_EQ(writeError(path("no/such/folder/x.mdb"), jet::dbLangGeneral, jet::dbVersion40), jet::errIo);
    writeFile(path("plain.txt"), "x");
    EXPECT_EQ(writeError(path("plain.txt/x.mdb"), jet::dbLangGeneral, jet::dbVersion40), jet::errIo);
    EXPECT_EQ(writeError("", jet::dbLangGeneral, jet::dbVersion40), jet::errIo);
    // A folder the process may not write to (root may write anywhere: then only check the
    // outcome is consistent).
    ASSERT_EQ(mkdir(path("locked").c_str(), 0555), 0);
    int e = writeError(path("locked/x.mdb"), jet::dbLangGeneral, jet::dbVersion40);
    if (geteuid() != 0) {
        EXPECT_EQ(e, jet::errIo);
    }
    EXPECT_EQ(listDir(path("locked")).size(), e == 0 ? 1u : 0u);
    chmod(path("locked").c_str(), 0755);
    EXPECT_EQ(listDir(dir_), (std::set<std::string>{"plain.txt", "locked"}));
}

// Creates a database in a child process whose files may not grow past two pages, so the write
// stops part-way as on a full disk: with SIGXFSZ ignored write() fails, with its default action
// the process is killed in the middle of write(). Returns the child's wait status.
int statusOfWriteCutShort(const std::string& db, bool killed) {
    const int options = jet::isAccdbPath(db) ? jet::dbVersionAccdb : jet::dbVersion40;
    pid_t pid = fork();
    if (pid == 0) {
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
        rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            jet::writeNewDatabase(db, jet::dbLangJapanese, options);
        } catch (const jet::JetError& e) {
            // The refused write is told in the user's words, not the C library's.
            const std::string expected =
                "データベース『" + db + "』を作成できません（書き込みに失敗しました: ファイルが大きすぎます）。";
            _exit(e.number() != jet::errIo ? 11 : e.what() == expected ? 10 : 12);
        }
        _exit(0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

TEST_F(NewDatabaseFile, AWriteCutShortLeavesNoFile) {
    for (const char* name : {"full.mdb", "full.accdb"}) {
        int failed = statusOfWriteCutShort(path(name), false);
        ASSERT_TRUE(WIFEXITED(failed)) << name;
        EXPECT_EQ(WEXITSTATUS(failed), 10) << name << ": the failed write was not reported as an I/O error (11) or not in Japanese (12)";
        EXPECT_TRUE(listDir(dir_).empty()) << name;
    }

    // The file is written without a name and named only when complete, so even a process that
    // dies half-way leaves nothing. (File systems without unnamed files fall back to a named
    // temporary file, which a killed process cannot clean up.)
    int probe = open(dir_.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "no unnamed files on this file system";
    close(probe);
    for (const char* name : {"killed.mdb", "killed.accdb"}) {
        int killed = statusOfWriteCutShort(path(name), true);
        ASSERT_TRUE(WIFSIGNALED(killed)) << name;
        EXPECT_EQ(WTERMSIG(killed), SIGXFSZ) << name;
        EXPECT_TRUE(listDir(dir_).empty()) << name;
    }
}

TEST_F(NewDatabaseFile, RefusesOtherLocalesAndOptionsBeforeTouchingTheDisk) {
    EXPECT_EQ(writeError(path("a.mdb"), ";LANGID=0x0407;CP=1252;COUNTRY=0", jet::dbVersion40), jet::errInvalidArgument);
    EXPECT_EQ(writeError(path("b.mdb"), jet::dbLangJapanese, 32), jet::errInvalidArgument);  // Jet 3
    EXPECT_EQ(writeError(path("c.mdb"), jet::dbLangJapanese, 64 | 2), jet::errInvalidArgument);  // encrypted
    EXPECT_EQ(writeError(path("d.mdb"), jet::dbLangJapanese, 0), jet::errInvalidArgument);
    // A Jet 4 file is never written under an .accdb name, nor an .accdb file under another.
    EXPECT_EQ(writeError(path("e.accdb"), jet::dbLangJapanese, jet::dbVersion40), jet::errInvalidArgument);
    EXPECT_EQ(writeError(path("f.ACCDB"), jet::dbLangGeneral, jet::dbVersion40), jet::errInvalidArgument);
    EXPECT_EQ(writeError(path("g.mdb"), jet::dbLangGeneral, jet::dbVersionAccdb), jet::errInvalidArgument);
    EXPECT_TRUE(listDir(dir_).empty());
}

TEST_F(NewDatabaseFile, IndependentReadersReadBothSortOrders) {
    using namespace jet::testsupport;
    const std::vector<std::string> systemTables = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};
    for (const char* locale : {jet::dbLangGeneral, jet::dbLangJapanese}) {
        SCOPED_TRACE(locale);
        const std::string db = path(locale == jet::dbLangGeneral ? "g.mdb" : "j.mdb");
        jet::writeNewDatabase(db, locale, jet::dbVersion40);

        EXPECT_EQ(mdbVer(db), "JET4");
        EXPECT_EQ(mdbTables(db), systemTables);
        SchemaTable objects = mdbSchema(db, "MSysObjects");
        ASSERT_TRUE(objects.found) << objects.raw;
        EXPECT_EQ(objects.columns.size(), 17u);
        // The catalog rows in insertion order: Id, ParentId, Name, Type.
        CommandResult csv = mdbExport(db, "MSysObjects");
        ASSERT_EQ(csv.exitCode, 0) << csv.err;
        std::vector<std::string> rows;
        std::istringstream lines(csv.out);
        for (std::string line; std::getline(lines, line);) {
            size_t cut = 0;
            for (int commas = 0; commas < 4 && cut != std::string::npos; ++commas) cut = line.find(',', cut + 1);
            rows.push_back(line.substr(0, cut));
        }
        EXPECT_EQ(rows, (std::vector<std::string>{"Id,ParentId,Name,Type", "251658241,251658240,\"Tables\",3",
                                                  "251658242,251658240,\"Databases\",3",
                                                  "251658243,251658240,\"Relationships\",3",
                                                  "268435456,251658242,\"MSysDb\",2", "2,251658241,\"MSysObjects\",1",
                                                  "3,251658241,\"MSysACEs\",1", "4,251658241,\"MSysQueries\",1",
                                                  "5,251658241,\"MSysRelationships\",1"}));

        ReaderView reader = mdbReader(db, systemTables);
        ASSERT_TRUE(reader.ok) << reader.error;
        EXPECT_EQ(reader.tables, systemTables);
        const std::pair<int, size_t> shape[] = {{8, 17}, {16, 4}, {0, 8}, {0, 8}};  // rows, columns
        for (size_t i = 0; i < systemTables.size(); ++i) {
            EXPECT_EQ(reader.details[systemTables[i]].rowCount, shape[i].first) << systemTables[i];
            EXPECT_EQ(reader.details[systemTables[i]].columns.size(), shape[i].second) << systemTables[i];
        }
    }
}

TEST_P(NewDatabaseTables, CreatedOpenTakesTablesAndReopens) {
    using namespace jet::testsupport;
    const std::vector<FieldShape> fields = everyTypeFields();
    std::vector<std::string> system;
    {
        std::unique_ptr<jet::Database> db = jet::createDatabase(path_, GetParam().locale, GetParam().options);
        ASSERT_TRUE(db && db->IsOpen());
        EXPECT_FALSE(db->ReadOnly());
        system = sorted(db->TableDefs().Names());
        EXPECT_EQ(system.size(), GetParam().systemTables);
        for (const char* name : {"MSysACEs", "MSysObjects", "MSysQueries", "MSysRelationships"})
            EXPECT_TRUE(std::count(system.begin(), system.end(), name)) << name;
        db->TableDefs().Append(makeTable(*db, "ORDERS", fields, {"ID", "CODE"}));
        db->TableDefs().Append(makeTable(*db, "ORDER_LINES", fields, {"ID"}));
        db->Close();
    }
    std::unique_ptr<jet::Database> again = jet::DBEngine().OpenDatabase(path_);
    // (The listing order is the engine's own; only the set matters here.)
    std::vector<std::string> expected = system;
    expected.push_back("ORDERS");
    expected.push_back("ORDER_LINES");
    EXPECT_EQ(sorted(again->TableDefs().Names()), sorted(expected));
    // A name already there, in other letter case, is refused by the new database too.
    try {
        again->TableDefs().Append(makeTable(*again, "orders", fields, {"ID"}));
        ADD_FAILURE() << "duplicate name accepted";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::errTableExists);
    }
    again->Close();

    // Maps, pages, rows and index trees consistent; every catalog key recomputed exactly.
    jet::CheckReport report = jet::checkDatabase(path_);
    EXPECT_TRUE(report.ok()) << report.summary();
    EXPECT_EQ(report.tablesChecked, static_cast<int>(GetParam().systemTables) + 2);
    EXPECT_GT(report.keysRecomputed, 0);
    EXPECT_EQ(report.keysUnverified, 0);

    SchemaTable schema = mdbSchema(path_, "ORDERS");
    ASSERT_TRUE(schema.found) << schema.raw;
    ASSERT_EQ(schema.columns.size(), fields.size()) << schema.raw;
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(schema.columns[i].name, fields[i].name);
        // mdbtools calls every Yes/No field NOT NULL (its value is never NULL).
        EXPECT_EQ(schema.columns[i].notNull, fields[i].required || fields[i].type == jet::dbBoolean) << fields[i].name;
        EXPECT_EQ(schema.columns[i].autoIncrement, fields[i].autoIncrement) << fields[i].name;
    }
    EXPECT_EQ(schema.primaryKey, (std::vector<std::string>{"ID", "CODE"}));
    ReaderView reader = mdbReader(path_, {"ORDERS", "ORDER_LINES"});
    ASSERT_TRUE(reader.ok) << reader.error;
    for (const char* table : {"ORDERS", "ORDER_LINES"}) {
        const ReaderTable& t = reader.details[table];
        ASSERT_EQ(t.columns.size(), fields.size()) << table;
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(t.columns[i].name, fields[i].name) << table;
            if (fields[i].type == jet::dbText) {
                EXPECT_EQ(t.columns[i].size, 2 * fields[i].size) << fields[i].name;
            }
        }
    }
}

// .mdb in both sort orders, .accdb in all three.
INSTANTIATE_TEST_SUITE_P(
    FormatsAndSortOrders, NewDatabaseTables,
    ::testing::Values(NewDatabaseCase{"General", "new.mdb", jet::dbLangGeneral, jet::dbVersion40, 4},
                      NewDatabaseCase{"Japanese", "new.mdb", jet::dbLangJapanese, jet::dbVersion40, 4},
                      NewDatabaseCase{"AccdbGeneral", "new.accdb", jet::dbLangGeneral, jet::dbVersionAccdb, 21},
                      NewDatabaseCase{"AccdbGeneralLegacy", "new.accdb", jet::dbLangGeneralLegacy,
                                      jet::dbVersionAccdb, 21},
                      NewDatabaseCase{"AccdbJapanese", "new.accdb", jet::dbLangJapanese, jet::dbVersionAccdb, 21}),
    [](const ::testing::TestParamInfo<NewDatabaseCase>& info) { return std::string(info.param.name); });
