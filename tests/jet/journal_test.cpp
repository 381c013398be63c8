// Crash safety: a table append failed or cut off at any write step leaves the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "checker.h"
#include "dao.h"
#include "database_file.h"
#include "file_io.h"
#include "jet_fixtures.h"
#include "journal.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

// The fault hook for one block: cleared when the block ends, however it ends.
class HookScope {
public:
    explicit HookScope(FaultHook hook) { setFaultHook(std::move(hook)); }
    ~HookScope() { setFaultHook(nullptr); }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;
};

// The write steps `work` goes through, in order.
std::vector<std::string> stepsOf(const std::function<void()>& work) {
    std::vector<std::string> steps;
    HookScope hook([&](const char* s) { steps.push_back(s); });
    work();
    return steps;
}

// A hook under which the write fails at the first step named so, as on a full disk.
FaultHook failAt(const std::string& step) {
    return [step](const char* s) {
        if (s == step) throw JetError(errIo, "ディスクがいっぱいです（試験）。");
    };
}

// Appends a table to the database at path in a run killed at the step picked: the journal and
// whatever reached the file stay behind.
void expectKilledAppend(const std::string& path, StepPick pick, const std::string& name = "Half",
                        const std::vector<FieldShape>& fields = everyTypeFields(),
                        const std::vector<std::string>& keys = {"ID"}) {
    EXPECT_EQ(killedAppend(path, std::move(pick), name, fields, keys), RunEnd::Killed);
}

// Counts the steps of one append, so every one of them can be failed in turn.
std::vector<std::string> stepsOfOneAppend(const std::string& sample) {
    auto db = DBEngine().OpenDatabase(freshCopy(sample, "steps"));
    return stepsOf([&] { db->TableDefs().Append(makeTable(*db, "Faulty", everyTypeFields(), {"ID"})); });
}

}  // namespace

// Index of the commit point (the journal's deletion) among the steps.
size_t commitStep(const std::vector<std::string>& steps) {
    for (size_t i = 0; i < steps.size(); ++i)
        if (steps[i] == "journal-delete") return i;
    ADD_FAILURE() << "no commit step";
    return steps.size();
}

bool hasTableIn(Database& db, const std::string& name) {
    auto names = db.TableDefs().Names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool hasTable(const std::string& path, const std::string& name) {
    auto db = DBEngine().OpenDatabase(path, true);
    auto names = db->TableDefs().Names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(JetJournal, EveryFailedStepLeavesTheFileUnchanged) {
    for (const char* sample : {"jet_created_adox_jet4.mdb", "jp_sample_thinkami.mdb", "testV2010.accdb", "newdb.accdb"}) {
        auto steps = stepsOfOneAppend(sample);
        ASSERT_GE(steps.size(), 6u);
        const size_t commit = commitStep(steps);
        for (size_t k = 0; k < steps.size(); ++k) {
            SCOPED_TRACE(std::string(sample) + " step " + std::to_string(k) + " " + steps[k]);
            std::string path = freshCopy(sample, "fail");
            const std::string original = readFile(path);
            auto db = DBEngine().OpenDatabase(path);
            bool failed = false;
            try {
                HookScope hook([n = size_t(0), k](const char*) mutable {
                    if (n++ == k) throw JetError(errIo, "ディスクがいっぱいです（試験）。");
                });
                db->TableDefs().Append(makeTable(*db, "Faulty", everyTypeFields(), {"ID"}));
            } catch (const JetError&) {
                failed = true;
            }
            EXPECT_FALSE(std::ifstream(journalPath(path)).good());
            if (k <= commit) {
                // Failed before the commit point: reported, and nothing of it is in the file.
                EXPECT_TRUE(failed);
                EXPECT_TRUE(readFile(path) == original);
                // The same open database takes the table afterwards.
                db->TableDefs().Append(makeTable(*db, "Faulty", everyTypeFields(), {"ID"}));
            } else {
                // After the commit point only a best-effort sync is left: the append stands.
                EXPECT_FALSE(failed);
            }
            db->Close();
            EXPECT_TRUE(hasTable(path, "Faulty"));
            EXPECT_TRUE(checkDatabase(path).ok());
        }
    }
}

TEST(JetJournal, KilledAtAnyStepTheNextOpenRestoresTheFile) {
    for (const char* sample : {"jp_sample_thinkami.mdb", "jp_sample_thinkami.accdb", "newdb.accdb"}) {
        auto steps = stepsOfOneAppend(sample);
        const size_t commit = commitStep(steps);
        for (size_t k = 0; k < steps.size(); ++k) {
            SCOPED_TRACE(std::string(sample) + " step " + std::to_string(k) + " " + steps[k]);
            std::string path = freshCopy(sample, "kill");
            const std::string original = readFile(path);
            expectKilledAppend(path, stepNumber(k), "Killed");
            // Whatever the disk holds now, opening it again gives the file before or after the append.
            auto db = DBEngine().OpenDatabase(path);
            db->Close();
            EXPECT_FALSE(std::ifstream(journalPath(path)).good());
            if (k <= commit) {
                EXPECT_TRUE(readFile(path) == original);
            } else {
                EXPECT_TRUE(hasTable(path, "Killed"));
                EXPECT_TRUE(checkDatabase(path).ok());
            }
        }
    }
}

TEST(JetJournal, AReadOnlyOpenRollsBackWhereItCanAndElseReadsTheJournal) {
    auto crash = [](const std::string& path) {
        expectKilledAppend(path, stepNamed("db-fsync"), "Half", {{"A", dbLong, 0, false, false}}, {});
    };
    {
        SCOPED_TRACE("writable file: rolled back by the listing open");
        std::string path = freshCopy("kenjinote_sample.mdb", "pending");
        const std::string original = readFile(path);
        crash(path);
        EXPECT_FALSE(readFile(path) == original);  // the new pages did reach the file
        auto db = DBEngine().OpenDatabase(path, true);
        EXPECT_TRUE(db->RolledBackAtOpen());
        EXPECT_FALSE(db->RollbackPending());
        db->Close();
        EXPECT_TRUE(readFile(path) == original);
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
    }
    {
        SCOPED_TRACE("open in Access: listed as before, nothing written, told");
        std::string path = freshCopy("kenjinote_sample.mdb", "pending_ldb");
        const std::string original = readFile(path);
        const std::vector<std::string> namesBefore = DBEngine().OpenDatabase(path, true)->TableDefs().Names();
        crash(path);
        const std::string half = readFile(path), journal = readFile(journalPath(path));
        const std::string ldb = path.substr(0, path.size() - 4) + ".ldb";
        { std::ofstream(ldb) << ""; }
        {
            auto db = DBEngine().OpenDatabase(path, true);
            EXPECT_TRUE(db->RollbackPending());
            EXPECT_EQ(db->TableDefs().Names(), namesBefore);
            EXPECT_NE(db->RollbackNotice().find("『" + journalPath(path) + "』"), std::string::npos) << db->RollbackNotice();
            EXPECT_TRUE(checkDatabase(databaseFile(*db)).ok()) << checkDatabase(databaseFile(*db)).summary();
        }
        EXPECT_TRUE(readFile(path) == half);
        EXPECT_TRUE(readFile(journalPath(path)) == journal);
        std::remove(ldb.c_str());
        DBEngine().OpenDatabase(path)->Close();
        EXPECT_TRUE(readFile(path) == original);
    }
}

TEST(JetJournal, AWriteThatCannotBeUndoneLeavesItsJournalAndSaysSo) {
    std::string path = freshCopy("jp_sample_thinkami.mdb", "stuck");
    const std::string original = readFile(path);
    auto db = DBEngine().OpenDatabase(path);
    const auto namesBefore = db->TableDefs().Names();
    try {
        HookScope hook([](const char* s) {
            if (std::string(s) == "db-fsync" || std::string(s) == "rollback-write") throw JetError(errIo, "書けません（試験）。");
        });
        db->TableDefs().Append(makeTable(*db, "Stuck", everyTypeFields(), {"ID"}));
        ADD_FAILURE() << "appended";
    } catch (const JetError& e) {
        EXPECT_NE(std::string(e.what()).find("『" + journalPath(path) + "』"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("次にこのデータベースを開くとき"), std::string::npos) << e.what();
    }
    ASSERT_TRUE(std::ifstream(journalPath(path)).good());
    // The same database: listed as before the write, further writes refused with the same advice.
    EXPECT_EQ(db->TableDefs().Names(), namesBefore);
    try {
        db->TableDefs().Append(makeTable(*db, "Next", {{"A", dbLong, 0, false, false}}, {}));
        ADD_FAILURE() << "appended";
    } catch (const JetError& e) {
        EXPECT_NE(std::string(e.what()).find("『" + journalPath(path) + "』"), std::string::npos) << e.what();
    }
    db->Close();
    DBEngine().OpenDatabase(path)->Close();
    EXPECT_TRUE(readFile(path) == original);
}

TEST(JetJournal, TornJournalIsDiscardedWithoutTouchingTheDatabase) {
    std::string path = freshCopy("kenjinote_sample.mdb", "torn");
    const std::string original = readFile(path);
    // A journal cut short (the crash hit while it was being written) never led to a database write.
    std::ofstream(journalPath(path), std::ios::binary) << "XLSDBJNL\x00\x10";
    auto db = DBEngine().OpenDatabase(path);
    db->Close();
    EXPECT_TRUE(readFile(path) == original);
    EXPECT_FALSE(std::ifstream(journalPath(path)).good());
}

TEST(JetJournal, AForeignFileWhereTheJournalWouldBeIsLeftAlone) {
    std::string path = freshCopy("kenjinote_sample.mdb", "foreign");
    const std::string original = readFile(path);
    { std::ofstream(journalPath(path), std::ios::binary) << "SQLite format 3"; }
    try {
        DBEngine().OpenDatabase(path);
        ADD_FAILURE() << "opened";
    } catch (const JetError& e) {
        EXPECT_NE(std::string(e.what()).find("journal"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(journalPath(path)), "SQLite format 3");
    EXPECT_TRUE(readFile(path) == original);
}

TEST(JetJournal, KilledWhileRollingBackTheOpenAfterThatStillRestoresTheFile) {
    // Leaves a half-written append and its journal behind.
    auto crashMidWrite = [](const std::string& path) { expectKilledAppend(path, stepNamed("db-fsync")); };
    std::vector<std::string> rollbackSteps;
    {
        std::string path = freshCopy("jp_sample_thinkami.mdb", "rbsteps");
        crashMidWrite(path);
        rollbackSteps = stepsOf([&] { DBEngine().OpenDatabase(path)->Close(); });
    }
    ASSERT_GE(rollbackSteps.size(), 4u);
    for (size_t k = 0; k < rollbackSteps.size(); ++k) {
        SCOPED_TRACE("rollback step " + std::to_string(k) + " " + rollbackSteps[k]);
        std::string path = freshCopy("jp_sample_thinkami.mdb", "rbkill");
        const std::string original = readFile(path);
        crashMidWrite(path);
        EXPECT_EQ(runKilledAt(
                      stepNumber(k), [] { return true; }, [&] { return DBEngine().OpenDatabase(path) != nullptr; }),
                  RunEnd::Killed);
        auto db = DBEngine().OpenDatabase(path);
        db->Close();
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
        EXPECT_TRUE(readFile(path) == original);
    }
}

namespace {

const size_t kPage = 4096;

// Cuts an append off after every database write but before its sync, leaving the journal and the
// whole new content on disk. Returns the file as it was before the append.
std::string crashAfterTheDatabaseWrites(const std::string& path) {
    const std::string original = readFile(path);
    expectKilledAppend(path, stepNamed("db-fsync"));
    return original;
}

void overwrite(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The first page that the interrupted write changed inside the old length of the file.
size_t firstChangedOldPage(const std::string& original, const std::string& now) {
    for (size_t p = 0; p * kPage < original.size(); ++p)
        if (original.compare(p * kPage, kPage, now, p * kPage, kPage) != 0) return p;
    ADD_FAILURE() << "the interrupted write changed no page";
    return 0;
}

// Opening for writing must refuse, naming the journal, and leave both files exactly as they are.
void expectRefusedAndUntouched(const std::string& path) {
    const std::string db = readFile(path);
    const std::string journal = readFile(journalPath(path));
    try {
        DBEngine().OpenDatabase(path);
        ADD_FAILURE() << "opened for writing";
    } catch (const JetError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("『" + journalPath(path) + "』"), std::string::npos) << msg;
        EXPECT_NE(msg.find("別のプログラムによって変更されています"), std::string::npos) << msg;
    }
    EXPECT_TRUE(readFile(path) == db);
    EXPECT_TRUE(readFile(journalPath(path)) == journal);
}

}  // namespace

TEST(JetJournal, AFileChangedAfterTheInterruptedWriteIsNotRolledBack) {
    {
        SCOPED_TRACE("a rewritten page the journal holds");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "changed");
        const std::string original = crashAfterTheDatabaseWrites(path);
        std::string now = readFile(path);
        now[firstChangedOldPage(original, now) * kPage + 100] ^= 0x5A;
        overwrite(path, now);
        expectRefusedAndUntouched(path);
    }
    {
        SCOPED_TRACE("a journaled page put to content that is neither the old nor the new");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "changed_old");
        const std::string original = crashAfterTheDatabaseWrites(path);
        const std::string now = readFile(path);
        // A page the write changed in two places or more: keep the new first change, the old rest.
        std::string mixed = original;
        bool found = false;
        for (size_t p = 0; !found && p * kPage < original.size(); ++p) {
            std::vector<size_t> diffs;
            for (size_t i = p * kPage; i < (p + 1) * kPage; ++i)
                if (original[i] != now[i]) diffs.push_back(i);
            if (diffs.size() < 2) continue;
            mixed[diffs.front()] = now[diffs.front()];
            found = true;
        }
        ASSERT_TRUE(found);
        overwrite(path, mixed);
        expectRefusedAndUntouched(path);
    }
    {
        SCOPED_TRACE("grown past the intended end");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "grown");
        crashAfterTheDatabaseWrites(path);
        overwrite(path, readFile(path) + std::string(kPage, 'A'));
        expectRefusedAndUntouched(path);
    }
    {
        SCOPED_TRACE("grown past the intended end by an empty page");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "grown_zero");
        crashAfterTheDatabaseWrites(path);
        overwrite(path, readFile(path) + std::string(kPage, '\0'));
        expectRefusedAndUntouched(path);
    }
    {
        SCOPED_TRACE("an appended page written by somebody else");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "appended");
        const std::string original = crashAfterTheDatabaseWrites(path);
        std::string now = readFile(path);
        ASSERT_GT(now.size(), original.size());
        now[now.size() - kPage + 7] ^= 0x01;
        overwrite(path, now);
        expectRefusedAndUntouched(path);
    }
    {
        SCOPED_TRACE("half an appended page that is not ours");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "tail");
        const std::string original = crashAfterTheDatabaseWrites(path);
        overwrite(path, readFile(path).substr(0, original.size()) + std::string(kPage / 2, 'B'));
        expectRefusedAndUntouched(path);
    }
    {
        SCOPED_TRACE("cut below the old length");
        std::string path = freshCopy("jp_sample_thinkami.mdb", "shrunk");
        const std::string original = crashAfterTheDatabaseWrites(path);
        overwrite(path, readFile(path).substr(0, original.size() - kPage));
        expectRefusedAndUntouched(path);
    }
}

TEST(JetJournal, ATableAddedWhileTheJournalWasAsideSurvivesTheNextOpen) {
    std::string path = freshCopy("kenjinote_sample.mdb", "aside");
    crashAfterTheDatabaseWrites(path);
    const std::string aside = path + ".aside";
    ASSERT_EQ(std::rename(journalPath(path).c_str(), aside.c_str()), 0);
    {
        // Another writer that knows nothing of the journal takes the file as it finds it.
        auto db = DBEngine().OpenDatabase(path);
        EXPECT_FALSE(db->RolledBackAtOpen());
        db->TableDefs().Append(makeTable(*db, "Later", {{"A", dbLong, 0, false, false}}, {}));
        db->Close();
    }
    ASSERT_EQ(std::rename(aside.c_str(), journalPath(path).c_str()), 0);
    expectRefusedAndUntouched(path);
    std::remove(journalPath(path).c_str());
    EXPECT_TRUE(hasTable(path, "Later"));
    EXPECT_TRUE(checkDatabase(path).ok());
}

TEST(JetJournal, EveryStateTheInterruptedWriteCanLeaveIsRolledBack) {
    // Besides what the write steps produce: a file system may keep appended pages as zeros, keep
    // only some of them, or keep only some of the overwritten pages.
    struct Case {
        const char* what;
        std::string (*leave)(const std::string& original, const std::string& now);
    };
    const Case cases[] = {
        {"appended pages still zero",
         [](const std::string& o, const std::string& n) { return n.substr(0, o.size()) + std::string(n.size() - o.size(), '\0'); }},
        {"only the first appended page there",
         [](const std::string& o, const std::string& n) { return n.substr(0, o.size() + kPage); }},
        {"the first appended page cut short",
         [](const std::string& o, const std::string& n) { return n.substr(0, o.size() + kPage / 2); }},
        {"appended pages lost, old pages rewritten", [](const std::string& o, const std::string& n) { return n.substr(0, o.size()); }},
        {"one overwritten page still old",
         [](const std::string& o, const std::string& n) {
             std::string r = n;
             const size_t p = firstChangedOldPage(o, n);
             r.replace(p * kPage, kPage, o, p * kPage, kPage);
             return r;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = freshCopy("jp_sample_thinkami.mdb", "legal");
        const std::string original = crashAfterTheDatabaseWrites(path);
        overwrite(path, c.leave(original, readFile(path)));
        auto db = DBEngine().OpenDatabase(path);
        EXPECT_TRUE(db->RolledBackAtOpen());
        EXPECT_NE(db->RollbackNotice().find("『" + path + "』"), std::string::npos) << db->RollbackNotice();
        db->Close();
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
        EXPECT_TRUE(readFile(path) == original);
    }
    std::string path = freshCopy("jp_sample_thinkami.mdb", "plain");
    auto db = DBEngine().OpenDatabase(path);
    EXPECT_FALSE(db->RolledBackAtOpen());
    EXPECT_EQ(db->RollbackNotice(), "");
}

TEST(JetJournal, AJournalOfAnotherFormatIsLeftAlone) {
    std::string path = freshCopy("kenjinote_sample.mdb", "version");
    const std::string original = readFile(path);
    const std::string journal = std::string("XLSDBJNL") + std::string("\x07\x00\x00\x00", 4) + std::string(64, '\x01');
    overwrite(journalPath(path), journal);
    try {
        DBEngine().OpenDatabase(path);
        ADD_FAILURE() << "opened";
    } catch (const JetError& e) {
        EXPECT_NE(std::string(e.what()).find(journalPath(path)), std::string::npos) << e.what();
    }
    EXPECT_TRUE(readFile(journalPath(path)) == journal);
    EXPECT_TRUE(readFile(path) == original);
}

TEST(JetJournal, AWriteThatFailsHalfwayThroughAPageIsUndoneAtOnce) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "short");
    const std::string original = readFile(path);
    auto db = DBEngine().OpenDatabase(path);
    {
        size_t writes = 0;
        HookScope hook([&](const char* s) {
            if (std::string(s) != "db-write" || ++writes < 3) return;
            // As a full disk does: part of a page reaches the file, then the write fails.
            std::ofstream(path, std::ios::binary | std::ios::app) << std::string(kPage / 2, '\x7F');
            throw JetError(errIo, "ディスクがいっぱいです（試験）。");
        });
        EXPECT_THROW(db->TableDefs().Append(makeTable(*db, "Short", everyTypeFields(), {"ID"})), JetError);
    }
    EXPECT_FALSE(std::ifstream(journalPath(path)).good());
    EXPECT_TRUE(readFile(path) == original);
    db->TableDefs().Append(makeTable(*db, "Short", everyTypeFields(), {"ID"}));
    db->Close();
    EXPECT_TRUE(checkDatabase(path).ok());
}

#ifndef _WIN32  // symbolic and hard links made the POSIX way
TEST(JetJournal, TheJournalBelongsToTheFileNotToTheNameUsed) {
    {
        SCOPED_TRACE("crashed through a symbolic link, opened by the real name and the other way round");
        for (bool crashThroughLink : {true, false}) {
            std::string path = freshCopy("jp_sample_thinkami.mdb", crashThroughLink ? "linked" : "linked2");
            const std::string link = path + ".link.mdb";
            std::remove(link.c_str());
            ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
            const std::string original = readFile(path);
            crashAfterTheDatabaseWrites(crashThroughLink ? link : path);
            EXPECT_TRUE(std::ifstream(journalPath(path)).good());
            EXPECT_FALSE(std::ifstream(journalPath(link)).good());
            auto db = DBEngine().OpenDatabase(crashThroughLink ? path : link);
            EXPECT_TRUE(db->RolledBackAtOpen());
            db->Close();
            EXPECT_TRUE(readFile(path) == original);
        }
    }
    {
        SCOPED_TRACE("a second hard link: never opened for writing");
        std::string path = freshCopy("kenjinote_sample.mdb", "hardlink");
        const std::string other = path + ".other.mdb";
        std::remove(other.c_str());
        ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
        const std::string original = readFile(path);
        for (const std::string& name : {path, other}) {
            try {
                DBEngine().OpenDatabase(name);
                ADD_FAILURE() << "opened for writing";
            } catch (const JetError& e) {
                EXPECT_EQ(e.number(), errHardLinked);
                EXPECT_NE(std::string(e.what()).find("ハードリンク"), std::string::npos) << e.what();
            }
            EXPECT_GT(DBEngine().OpenDatabase(name, true)->TableDefs().Count(), 0);
        }
        EXPECT_TRUE(readFile(path) == original);
    }
    {
        SCOPED_TRACE("a journal beside a file it was not written for");
        std::string a = freshCopy("kenjinote_sample.mdb", "ident_a");
        std::string b = freshCopy("kenjinote_sample.mdb", "ident_b");
        crashAfterTheDatabaseWrites(a);
        // b gets a's half-written content and a's journal: the same bytes, another file.
        overwrite(b, readFile(a));
        overwrite(journalPath(b), readFile(journalPath(a)));
        const std::string db = readFile(b), journal = readFile(journalPath(b));
        try {
            DBEngine().OpenDatabase(b);
            ADD_FAILURE() << "opened";
        } catch (const JetError& e) {
            EXPECT_NE(std::string(e.what()).find("別のファイルの記録"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(readFile(b) == db);
        EXPECT_TRUE(readFile(journalPath(b)) == journal);
    }
}
#endif

TEST(JetJournal, ADamagedJournalIsNeverDeletedNorApplied) {
    const std::string sample = "jet_created_adox_jet4.mdb";
    std::string path = freshCopy(sample, "damaged");
    crashAfterTheDatabaseWrites(path);
    const std::string half = readFile(path), journal = readFile(journalPath(path));
    ASSERT_GT(journal.size(), 3 * kPage);
    auto expectRefused = [&](const std::string& damagedJournal, const std::string& what) {
        SCOPED_TRACE(what);
        overwrite(path, half);
        overwrite(journalPath(path), damagedJournal);
        for (bool readOnly : {false, true}) {
            try {
                DBEngine().OpenDatabase(path, readOnly);
                ADD_FAILURE() << "opened";
            } catch (const JetError& e) {
                const std::string msg = e.what();
                EXPECT_NE(msg.find("『" + journalPath(path) + "』が壊れています"), std::string::npos) << msg;
                EXPECT_NE(msg.find("バックアップから戻してください"), std::string::npos) << msg;
            }
            EXPECT_TRUE(readFile(path) == half);
            EXPECT_TRUE(readFile(journalPath(path)) == damagedJournal);
        }
    };
    // One flipped bit at offsets spread over the head, every record and the trailer.
    std::vector<size_t> offsets = {8, 12, 20, 28, 32, 36, 44, 52, 59, journal.size() - 1, journal.size() - 12};
    for (size_t off = 60; off < journal.size(); off += 1499) offsets.push_back(off);
    for (size_t off : offsets) {
        std::string j = journal;
        j[off] ^= static_cast<char>(1u << (off % 8));
        expectRefused(j, "bit flipped at " + std::to_string(off));
    }
    // Cut short, grown: the database was written, so it cannot be a journal cut while written.
    for (size_t len : {size_t(20), size_t(59), size_t(60), size_t(61), size_t(60 + kPage), journal.size() / 2, journal.size() - 1})
        expectRefused(journal.substr(0, len), "cut to " + std::to_string(len));
    expectRefused(journal + std::string(8, '\0'), "grown");
    // The undamaged journal still rolls back.
    overwrite(path, half);
    overwrite(journalPath(path), journal);
    DBEngine().OpenDatabase(path)->Close();
    EXPECT_TRUE(readFile(path) == readFile(samplePath(sample)));
}

TEST(JetJournal, AJournalCutWhileBeingWrittenIsRemovedWhenTheFileIsUntouched) {
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "cutshort");
    const std::string original = readFile(path);
    // Killed at the first database write: the journal is whole, the database untouched.
    expectKilledAppend(path, stepNamed("db-write"), "Cut");
    const std::string journal = readFile(journalPath(path));
    ASSERT_TRUE(readFile(path) == original);
    for (size_t len : {size_t(0), size_t(11), size_t(59), size_t(60), size_t(60 + kPage + 100), journal.size() - 17}) {
        SCOPED_TRACE("cut to " + std::to_string(len));
        overwrite(journalPath(path), journal.substr(0, len));
        auto db = DBEngine().OpenDatabase(path);
        EXPECT_FALSE(db->RolledBackAtOpen());
        db->Close();
        EXPECT_TRUE(readFile(path) == original);
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
    }
}

TEST(JetJournal, MutatedJournalsAreNeverAppliedNorDeleted) {
    // A bounded mutation run over a journal whose database was half written: random bytes
    // changed, runs overwritten, pieces cut or added. Every outcome must be a refusal (a JetError)
    // with both files byte for byte as they were; nothing else (a crash, another exception).
    std::string path = freshCopy("jet_created_adox_jet4.mdb", "mutated");
    crashAfterTheDatabaseWrites(path);
    const std::string half = readFile(path), journal = readFile(journalPath(path));
    uint64_t state = 0x9E3779B97F4A7C15ULL;  // fixed seed: a failure can be replayed
    auto next = [&state](uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<size_t>((state >> 33) % bound);
    };
    for (int round = 0; round < 150; ++round) {
        std::string j = journal;
        switch (round % 4) {
            case 0:
                for (int k = 1 + static_cast<int>(next(4)); k > 0; --k) j[next(j.size())] ^= static_cast<char>(1 + next(255));
                break;
            case 1: {
                const size_t at = next(j.size()), len = 1 + next(64);
                for (size_t i = at; i < std::min(j.size(), at + len); ++i) j[i] = static_cast<char>(next(256));
                break;
            }
            case 2:
                j.resize(16 + next(j.size() - 16));
                break;
            default:
                j.insert(next(j.size()), std::string(1 + next(16), static_cast<char>(next(256))));
                break;
        }
        if (j == journal) continue;
        SCOPED_TRACE("round " + std::to_string(round));
        overwrite(path, half);
        overwrite(journalPath(path), j);
        EXPECT_THROW(DBEngine().OpenDatabase(path), JetError);
        EXPECT_THROW(DBEngine().OpenDatabase(path, true), JetError);
        ASSERT_TRUE(readFile(path) == half);
        ASSERT_TRUE(readFile(journalPath(path)) == j);
    }
}

namespace {

// A run of several tables in one transaction whose pages go out to the scratch file as it grows.
void appendRun(Database& db, const std::string& prefix) {
    databaseFile(db).beginTransaction(4);
    for (int i = 0; i < 4; ++i) db.TableDefs().Append(makeTable(db, prefix + std::to_string(i), everyTypeFields(), {"ID"}));
    // A table refused on the way changes nothing; the others stay in the run.
    EXPECT_THROW(db.TableDefs().Append(makeTable(db, prefix + "1", everyTypeFields(), {"ID"})), JetError);
    db.CommitTrans();
}

std::vector<std::string> stepsOfARun(const std::string& sample) {
    auto db = DBEngine().OpenDatabase(freshCopy(sample, "runsteps"));
    return stepsOf([&] { appendRun(*db, "Run"); });
}

}  // namespace

TEST(JetJournal, ARunIsWrittenOnlyAtItsCommitAndKilledAtAnyStepIsUndoneWhole) {
    const char* sample = "jp_sample_thinkami.mdb";
    auto steps = stepsOfARun(sample);
    ASSERT_NE(std::find(steps.begin(), steps.end(), "spill-write"), steps.end());
    const size_t commit = commitStep(steps);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "journal-fsync"), 1);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "db-fsync"), 1);
    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE("step " + std::to_string(k) + " " + steps[k]);
        std::string path = freshCopy(sample, "runkill");
        const std::string original = readFile(path);
        {
            std::unique_ptr<Database> db;
            EXPECT_EQ(runKilledAt(
                          stepNumber(k), [&] { return (db = DBEngine().OpenDatabase(path)) != nullptr; },
                          [&] {
                              appendRun(*db, "Run");
                              return true;
                          }),
                      RunEnd::Killed);
            if (k < commit) {
                EXPECT_TRUE(readFile(path) == original || steps[k].rfind("db-", 0) == 0);
            }
        }
        auto db = DBEngine().OpenDatabase(path);
        db->Close();
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
        if (k <= commit) {
            EXPECT_TRUE(readFile(path) == original);
        } else {
            for (int i = 0; i < 4; ++i) EXPECT_TRUE(hasTable(path, "Run" + std::to_string(i)));
            EXPECT_TRUE(checkDatabase(path).ok());
        }
    }
}

TEST(JetJournal, ARunWhoseCommitFailsLeavesTheFileAsBeforeTheRun) {
    for (const char* failing : {"spill-write", "journal-write", "db-write", "db-fsync"}) {
        SCOPED_TRACE(failing);
        std::string path = freshCopy("jp_sample_thinkami.mdb", "runfail");
        const std::string original = readFile(path);
        auto db = DBEngine().OpenDatabase(path);
        bool failed = false;
        try {
            HookScope hook(failAt(failing));
            appendRun(*db, "Run");
        } catch (const JetError&) {
            failed = true;
        }
        db->Close();
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
        if (std::string(failing) == "spill-write") {
            // The scratch file is only a place to keep pages: without it they stay in memory.
            EXPECT_FALSE(failed);
            EXPECT_TRUE(hasTable(path, "Run3"));
            EXPECT_TRUE(checkDatabase(path).ok());
        } else {
            EXPECT_TRUE(failed);
            EXPECT_TRUE(readFile(path) == original);
        }
    }
    // Rolled back and closed with a transaction open: nothing written either.
    std::string path = freshCopy("jp_sample_thinkami.mdb", "runback");
    const std::string original = readFile(path);
    {
        auto db = DBEngine().OpenDatabase(path);
        db->BeginTrans();
        db->TableDefs().Append(makeTable(*db, "Gone", everyTypeFields(), {"ID"}));
        EXPECT_TRUE(hasTableIn(*db, "Gone"));
        db->Rollback();
        EXPECT_FALSE(hasTableIn(*db, "Gone"));
        db->BeginTrans();
        db->TableDefs().Append(makeTable(*db, "Gone", everyTypeFields(), {"ID"}));
        db->Close();
    }
    EXPECT_TRUE(readFile(path) == original);
}
