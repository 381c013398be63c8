// Crash safety: a table append failed or cut off at any write step leaves the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "checker.h"
#include "dao.h"
#include "file_io.h"
#include "jet_fixtures.h"
#include "journal.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

// Counts the steps of one append, so every one of them can be failed in turn.
std::vector<std::string> stepsOfOneAppend(const std::string& sample) {
    std::string path = freshCopy(sample, "steps");
    auto db = DBEngine().OpenDatabase(path);
    std::vector<std::string> steps;
    setFaultHook([&](const char* s) { steps.push_back(s); });
    db->TableDefs().Append(makeTable(*db, "Faulty", everyTypeFields(), {"ID"}));
    setFaultHook(nullptr);
    return steps;
}

struct HookReset {
    ~HookReset() { setFaultHook(nullptr); }
};

}  // namespace

// Index of the commit point (the journal's deletion) among the steps.
size_t commitStep(const std::vector<std::string>& steps) {
    for (size_t i = 0; i < steps.size(); ++i)
        if (steps[i] == "journal-delete") return i;
    ADD_FAILURE() << "no commit step";
    return steps.size();
}

bool hasTable(const std::string& path, const std::string& name) {
    auto db = DBEngine().OpenDatabase(path, true);
    auto names = db->TableDefs().Names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(JetJournal, EveryFailedStepLeavesTheFileUnchanged) {
    HookReset reset;
    for (const char* sample : {"jet_created_adox_jet4.mdb", "jp_sample_thinkami.mdb"}) {
        auto steps = stepsOfOneAppend(sample);
        ASSERT_GE(steps.size(), 6u);
        const size_t commit = commitStep(steps);
        for (size_t k = 0; k < steps.size(); ++k) {
            SCOPED_TRACE(std::string(sample) + " step " + std::to_string(k) + " " + steps[k]);
            std::string path = freshCopy(sample, "fail");
            const std::string original = readFile(path);
            auto db = DBEngine().OpenDatabase(path);
            size_t n = 0;
            setFaultHook([&](const char*) {
                if (n++ == k) throw JetError(errIo, "ディスクがいっぱいです（試験）。");
            });
            bool failed = false;
            try {
                db->TableDefs().Append(makeTable(*db, "Faulty", everyTypeFields(), {"ID"}));
            } catch (const JetError&) {
                failed = true;
            }
            setFaultHook(nullptr);
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
    HookReset reset;
    const char* sample = "jp_sample_thinkami.mdb";
    auto steps = stepsOfOneAppend(sample);
    const size_t commit = commitStep(steps);
    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE("step " + std::to_string(k) + " " + steps[k]);
        std::string path = freshCopy(sample, "kill");
        const std::string original = readFile(path);
        {
            auto db = DBEngine().OpenDatabase(path);
            size_t n = 0;
            setFaultHook([&](const char* s) {
                if (n++ == k) throw SimulatedCrash{s};
            });
            EXPECT_THROW(db->TableDefs().Append(makeTable(*db, "Killed", everyTypeFields(), {"ID"})), SimulatedCrash);
            setFaultHook(nullptr);
        }
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

TEST(JetJournal, ReadOnlyOpenRefusesAFileWithAPendingRollback) {
    std::string path = freshCopy("kenjinote_sample.mdb", "pending");
    const std::string original = readFile(path);
    {
        auto db = DBEngine().OpenDatabase(path);
        setFaultHook([](const char* s) {
            if (std::string(s) == "db-fsync") throw SimulatedCrash{s};
        });
        EXPECT_THROW(db->TableDefs().Append(makeTable(*db, "Half", {{"A", dbLong, 0, false, false}}, {})), SimulatedCrash);
        setFaultHook(nullptr);
    }
    EXPECT_FALSE(readFile(path) == original);  // the new pages did reach the file
    EXPECT_THROW(DBEngine().OpenDatabase(path, true), JetError);
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
    HookReset reset;
    // Leaves a half-written append and its journal behind; returns the original bytes.
    auto crashMidWrite = [](const std::string& path) {
        auto db = DBEngine().OpenDatabase(path);
        setFaultHook([](const char* s) {
            if (std::string(s) == "db-fsync") throw SimulatedCrash{s};
        });
        EXPECT_THROW(db->TableDefs().Append(makeTable(*db, "Half", everyTypeFields(), {"ID"})), SimulatedCrash);
        setFaultHook(nullptr);
    };
    std::vector<std::string> rollbackSteps;
    {
        std::string path = freshCopy("jp_sample_thinkami.mdb", "rbsteps");
        crashMidWrite(path);
        setFaultHook([&](const char* s) { rollbackSteps.push_back(s); });
        DBEngine().OpenDatabase(path)->Close();
        setFaultHook(nullptr);
    }
    ASSERT_GE(rollbackSteps.size(), 4u);
    for (size_t k = 0; k < rollbackSteps.size(); ++k) {
        SCOPED_TRACE("rollback step " + std::to_string(k) + " " + rollbackSteps[k]);
        std::string path = freshCopy("jp_sample_thinkami.mdb", "rbkill");
        const std::string original = readFile(path);
        crashMidWrite(path);
        size_t n = 0;
        setFaultHook([&](const char* s) {
            if (n++ == k) throw SimulatedCrash{s};
        });
        EXPECT_THROW(DBEngine().OpenDatabase(path), SimulatedCrash);
        setFaultHook(nullptr);
        auto db = DBEngine().OpenDatabase(path);
        db->Close();
        EXPECT_FALSE(std::ifstream(journalPath(path)).good());
        EXPECT_TRUE(readFile(path) == original);
    }
}
