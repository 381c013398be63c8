// Writing new database files: never over an existing file, no partial or temporary file left
// behind, and the result read by independent readers (mdbtools, mdb-reader).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <csignal>
#include <set>
#include <sys/resource.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "checker.h"
#include "new_database.h"

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

// Runs a shell command; returns its exit status and standard output.
struct Output {
    int status = -1;
    std::string out;
};
Output run(const std::string& command) {
    Output r;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

class NewDatabaseFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/xlsdb_newdb_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { run("rm -rf " + quote(dir_)); }
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

// The header fields the readers cannot show us, read straight from page 0.
struct HeaderFacts {
    uint8_t version;
    uint16_t codePage;
    uint16_t sortOrder;
    double created;
};
HeaderFacts headerFacts(const Bytes& file) {
    // Unmask 0x18-0x97 with the RC4 stream of the key C7 DA 39 6B.
    uint8_t s[256];
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    Bytes h(file.begin(), file.begin() + 0xA0);
    for (int k = 0, i = 0, j = 0; k < 128; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        h[0x18 + k] ^= s[(s[i] + s[j]) & 0xFF];
    }
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | h[0x72 + i];
    double created;
    std::memcpy(&created, &bits, sizeof created);
    return {h[0x14], static_cast<uint16_t>(h[0x3C] | (h[0x3D] << 8)),
            static_cast<uint16_t>(h[0x6E] | (h[0x6F] << 8)), created};
}

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
        const double before = jet::oleDateNow();
        jet::writeNewDatabase(path(c.name), c.locale, jet::dbVersion40);
        const double after = jet::oleDateNow();
        const Bytes file = readFile(path(c.name));
        ASSERT_EQ(file.size(), 16u * 4096) << c.name;
        HeaderFacts h = headerFacts(file);
        EXPECT_EQ(h.version, 1) << c.name;
        EXPECT_EQ(h.codePage, c.codePage) << c.name;
        EXPECT_EQ(h.sortOrder, c.sortOrder) << c.name;
        // The creation date is the time of the call.
        const double created = h.created;
        EXPECT_GE(created, before) << c.name;
        EXPECT_LE(created, after) << c.name;

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

    // A new database made earlier by us is refused too, and stays as it was.
    jet::writeNewDatabase(path("made.mdb"), jet::dbLangGeneral, jet::dbVersion40);
    const Bytes made = readFile(path("made.mdb"));
    EXPECT_EQ(writeError(path("made.mdb"), jet::dbLangGeneral, jet::dbVersion40), jet::errDatabaseExists);
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

TEST_F(NewDatabaseFile, AWriteThatFailsHalfWayLeavesNoFile) {
    // A child process whose files may not grow past two pages: the write fails part-way, as on
    // a full disk. Neither the database nor the temporary file may remain.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            jet::writeNewDatabase(path("full.mdb"), jet::dbLangJapanese, jet::dbVersion40);
        } catch (const jet::JetError& e) {
            _exit(e.number() == jet::errIo ? 10 : 11);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 10) << "the failed write was not reported as an I/O error";
    EXPECT_TRUE(listDir(dir_).empty());
}

TEST_F(NewDatabaseFile, AProcessKilledWhileWritingLeavesNoFile) {
    // The file is written without a name and named only when complete, so even a process that
    // dies half-way leaves nothing. (File systems without unnamed files fall back to a named
    // temporary file, which a killed process cannot clean up.)
    int probe = open(dir_.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "no unnamed files on this file system";
    close(probe);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        signal(SIGXFSZ, SIG_DFL);  // exceeding the limit kills the process in the middle of write()
        rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            jet::writeNewDatabase(path("killed.mdb"), jet::dbLangGeneral, jet::dbVersion40);
        } catch (...) {
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_TRUE(listDir(dir_).empty());
}

TEST_F(NewDatabaseFile, RefusesOtherLocalesAndOptionsBeforeTouchingTheDisk) {
    EXPECT_EQ(writeError(path("a.mdb"), ";LANGID=0x0407;CP=1252;COUNTRY=0", jet::dbVersion40), jet::errInvalidArgument);
    EXPECT_EQ(writeError(path("b.mdb"), jet::dbLangJapanese, 32), jet::errInvalidArgument);  // Jet 3
    EXPECT_EQ(writeError(path("c.mdb"), jet::dbLangJapanese, 64 | 2), jet::errInvalidArgument);  // encrypted
    EXPECT_EQ(writeError(path("d.mdb"), jet::dbLangJapanese, 0), jet::errInvalidArgument);
    EXPECT_TRUE(listDir(dir_).empty());
}

TEST_F(NewDatabaseFile, MdbtoolsReadsBothSortOrders) {
    for (const char* locale : {jet::dbLangGeneral, jet::dbLangJapanese}) {
        const std::string db = path(locale == jet::dbLangGeneral ? "g.mdb" : "j.mdb");
        jet::writeNewDatabase(db, locale, jet::dbVersion40);

        Output ver = run("mdb-ver " + quote(db));
        EXPECT_EQ(ver.status, 0) << locale;
        EXPECT_EQ(ver.out, "JET4\n") << locale;

        Output tables = run("mdb-tables -S -1 " + quote(db));
        EXPECT_EQ(tables.status, 0);
        EXPECT_EQ(tables.out, "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n") << locale;
        EXPECT_EQ(run("mdb-tables -1 " + quote(db)).out, "") << "a new database has no user tables";

        Output schema = run("mdb-schema -T MSysObjects " + quote(db) + " mysql");
        EXPECT_EQ(schema.status, 0);
        for (const char* column : {"`Id`", "`ParentId`", "`Name`", "`Type`", "`DateCreate`", "`Owner`", "`LvProp`"})
            EXPECT_NE(schema.out.find(column), std::string::npos) << column << "\n" << schema.out;
        EXPECT_EQ(run("mdb-schema " + quote(db) + " access").status, 0);

        // The catalog rows, in insertion order, and the permission rows.
        Output objects = run("mdb-export -H -d '|' " + quote(db) + " MSysObjects | cut -d'|' -f1-4");
        EXPECT_EQ(objects.status, 0);
        EXPECT_EQ(objects.out,
                  "251658241|251658240|\"Tables\"|3\n"
                  "251658242|251658240|\"Databases\"|3\n"
                  "251658243|251658240|\"Relationships\"|3\n"
                  "268435456|251658242|\"MSysDb\"|2\n"
                  "2|251658241|\"MSysObjects\"|1\n"
                  "3|251658241|\"MSysACEs\"|1\n"
                  "4|251658241|\"MSysQueries\"|1\n"
                  "5|251658241|\"MSysRelationships\"|1\n")
            << locale;
        Output aces = run("mdb-export -H " + quote(db) + " MSysACEs | wc -l");
        EXPECT_EQ(aces.out, "16\n");
    }
}

TEST_F(NewDatabaseFile, MdbReaderReadsBothSortOrders) {
    const std::string oracles = XLSDB_TEST_DATA "/../oracles/node_modules";
    for (const char* locale : {jet::dbLangGeneral, jet::dbLangJapanese}) {
        const std::string db = path(locale == jet::dbLangGeneral ? "g.mdb" : "j.mdb");
        jet::writeNewDatabase(db, locale, jet::dbVersion40);
        const std::string script =
            "const R=require('mdb-reader').default;const fs=require('fs');"
            "const r=new R(fs.readFileSync(process.argv[2]));"
            "const out=[r.getTableNames({normalTables:true,systemTables:true}).join(',')];"
            "for(const n of ['MSysObjects','MSysACEs','MSysQueries','MSysRelationships']){"
            "const t=r.getTable(n);out.push(n+':'+t.rowCount+':'+t.getColumns().map(c=>c.name+'/'+c.type).join(','));}"
            "out.push(r.getTable('MSysObjects').getData().map(x=>x.Name).join(','));"
            "console.log(out.join('\\n'));";
        writeFile(path("read.js"), script);
        Output r = run("NODE_PATH=" + quote(oracles) + " node " + quote(path("read.js")) + " " + quote(db));
        ASSERT_EQ(r.status, 0) << locale;
        EXPECT_EQ(r.out,
                  "MSysObjects,MSysACEs,MSysQueries,MSysRelationships\n"
                  "MSysObjects:8:Id/long,ParentId/long,Name/text,Type/integer,DateCreate/datetime,"
                  "DateUpdate/datetime,Owner/binary,Flags/long,Database/memo,Connect/memo,ForeignName/text,"
                  "RmtInfoShort/binary,RmtInfoLong/ole,Lv/ole,LvProp/ole,LvModule/ole,LvExtra/ole\n"
                  "MSysACEs:16:ObjectId/long,SID/binary,ACM/long,FInheritable/boolean\n"
                  "MSysQueries:0:ObjectId/long,Attribute/byte,Order/binary,Name1/text,Name2/text,"
                  "Expression/memo,Flag/integer,LvExtra/long\n"
                  "MSysRelationships:0:szRelationship/text,grbit/long,ccolumn/long,icolumn/long,"
                  "szObject/text,szColumn/text,szReferencedObject/text,szReferencedColumn/text\n"
                  "Tables,Databases,Relationships,MSysDb,MSysObjects,MSysACEs,MSysQueries,MSysRelationships\n")
            << locale;
    }
}
