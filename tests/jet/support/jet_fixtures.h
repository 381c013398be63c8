// Helpers shared by the engine's own tests: sample lists, byte comparison of files, a table
// definition using every supported type and flag, and a run killed at a write step.
#pragma once

#ifdef _WIN32
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "file.h"
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao.h"
#include "file_io.h"
#include "header.h"
#include "new_database.h"
#include "oracles.h"

namespace jet::testsupport {

inline std::vector<std::string> sampleNames() {
    return {"access2000_empty_jackcess_template.mdb", "compIndexTestV2000.mdb", "indexTestV2000.mdb",
            "jet_created_adox_jet4.mdb", "jp_sample_thinkami.mdb", "kenjinote_sample.mdb",
            "testIndexPropertiesV2000.mdb", "testUnicodeCompV2003.mdb", "grown_by_other_writer.mdb"};
}

// The .accdb samples: every ACE version, General Legacy, General and Japanese sort orders,
// complex, calculated, extended-date and linked tables.
inline std::vector<std::string> accdbSampleNames() {
    return {"bigIndexTestV2010.accdb", "calcFieldTestV2010.accdb", "compIndexTestV2007.accdb",
            "complexDataTestV2007.accdb", "complexDataTestV2010.accdb", "empty2007.accdb",
            "empty2010.accdb", "empty2016.accdb", "empty2019.accdb", "extDateTestV2019.accdb",
            "indexTestV2007.accdb", "indexTestV2010.accdb", "jp_sample_thinkami.accdb",
            "linkerTestV2007.accdb", "test2V2007.accdb", "test2V2010.accdb", "testEmoticonsV2010.accdb",
            "testV2007.accdb", "testV2010.accdb"};
}

// Both formats' samples: the .mdb ones first.
inline std::vector<std::string> allSampleNames() {
    std::vector<std::string> all = sampleNames();
    for (auto& s : accdbSampleNames()) all.push_back(s);
    return all;
}

inline bool isAccdb(const std::string& name) {
    return name.size() > 6 && name.compare(name.size() - 6, 6, ".accdb") == 0;
}

// "newdb.accdb" is no file of the test data but a new .accdb as newdb writes it (General order),
// made once per test program in the scratch folder, so that tests driven by samples cover it too.
inline std::string samplePath(const std::string& name) {
    if (name == "newdb.accdb") {
        static const std::string made = [] {
            const std::string path = scratchDir() + "/newdb_sample.accdb";
            std::remove(path.c_str());
            writeNewDatabase(path, dbLangGeneral, dbVersionAccdb);
            return path;
        }();
        return made;
    }
    return testDataDir() + (isAccdb(name) ? "/accdb/" : "/mdb/") + name;
}

// What the structural checker finds in a sample (and so in every copy of it) that is Access's
// own doing: calcFieldTestV2010.accdb's Table1 holds 4 rows but its definition counts 3.
inline std::vector<std::string> knownSampleProblems(const std::string& path) {
    if (path.find("calcFieldTestV2010.accdb") != std::string::npos)
        return {"Table1: definition counts 3 rows, pages hold 4"};
    return {};
}

// What mdb-ver prints for a format.
inline std::string mdbVerName(FileFormat f) {
    switch (f) {
        case FileFormat::Jet4: return "JET4";
        case FileFormat::Ace12: return "ACE12";
        case FileFormat::Ace14: return "ACE14";
        case FileFormat::Ace16: return "ACE16";
        case FileFormat::Ace17: return "ACE17";
    }
    return "?";
}

// A fresh copy of a sample in the scratch folder.
inline std::string freshCopy(const std::string& sample, const std::string& tag) {
    return copyToScratch(samplePath(sample), tag + "_" + sample);
}

struct FieldShape {
    std::string name;
    int type;
    int size;
    bool autoIncrement;
    bool required;
};

// Every type the builder creates, required and not, plus auto-increment. The Yes/No field sits
// between fixed columns (it takes no fixed room), the Memo between fixed ones (it is variable).
inline std::vector<FieldShape> everyTypeFields() {
    return {
        {"ID", dbLong, 0, true, true},        {"CODE", dbText, 10, false, true},
        {"NAME", dbText, 255, false, false},  {"ONECHAR", dbText, 1, false, false},
        {"CREATED", dbDate, 0, false, true},  {"ACTIVE", dbBoolean, 0, false, false},
        {"QTY", dbInteger, 0, false, false},  {"NOTE", dbMemo, 0, false, true},
        {"TOTAL", dbLong, 0, false, true},    {"RATIO", dbSingle, 0, false, false},
        {"AMOUNT", dbDouble, 0, false, true}, {"PRICE", dbCurrency, 0, false, false},
    };
}

inline TableDefPtr makeTable(Database& db, const std::string& name, const std::vector<FieldShape>& fields,
                             const std::vector<std::string>& primaryKey) {
    TableDefPtr t = db.CreateTableDef(name);
    for (auto& f : fields) {
        t->Fields().Append(t->CreateField(f.name, f.type, f.size));
        if (f.autoIncrement) t->Fields().item(f.name)->setAttributes(dbAutoIncrField);
        t->Fields().item(f.name)->setRequired(f.required);
    }
    if (!primaryKey.empty()) {
        IndexPtr ix = t->CreateIndex("Primary");
        for (auto& k : primaryKey) ix->Fields().Append(ix->CreateField(k));
        ix->setPrimary(true);
        t->Indexes().Append(ix);
    }
    return t;
}

// Picks the write step (file_io.h) at which a run is killed.
using StepPick = std::function<bool(const char* step)>;
// The k-th step (from 0), or the first step of that name.
inline StepPick stepNumber(size_t k) {
    return [k, n = size_t(0)](const char*) mutable { return n++ == k; };
}
inline StepPick stepNamed(const std::string& name) {
    return [name](const char* s) { return s == name; };
}

enum class RunEnd { Killed, Finished, Failed };

// Runs setup, then work, as a process of its own that is killed at the step of work picked, as
// the system or a power cut can stop a real run: it ends there at once, nothing cleaned up, its
// locks let go, and the disk holds what the steps before wrote. setup's steps are not counted.
// setup or work return false (or throw) when something they needed went wrong: Failed; Finished
// when work never reached the step.
#ifdef _WIN32
// Windows has no fork: the run goes in a thread of its own, which at the step picked lets go of
// every file it opened (platform::letGoFilesOfThisThread, as the system does for a killed process)
// and stops there for good.
inline RunEnd runKilledAt(StepPick pick, const std::function<bool()>& setup, const std::function<bool()>& work) {
    struct Outcome {
        std::mutex lock;
        std::condition_variable changed;
        std::optional<RunEnd> end;
        void set(RunEnd e) {
            std::lock_guard<std::mutex> g(lock);
            if (!end) end = e;
            changed.notify_all();
        }
    };
    auto outcome = std::make_shared<Outcome>();
    auto picked = std::make_shared<StepPick>(std::move(pick));
    std::thread run([outcome, picked, &setup, &work] {
        bool ok = false;
        try {
            if (setup()) {
                setFaultHook([outcome, picked](const char* s) {
                    if (!(*picked)(s)) return;
                    platform::letGoFilesOfThisThread();
                    outcome->set(RunEnd::Killed);
                    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
                });
                ok = work();
            }
        } catch (...) {
        }
        outcome->set(ok ? RunEnd::Finished : RunEnd::Failed);
    });
    std::unique_lock<std::mutex> g(outcome->lock);
    outcome->changed.wait(g, [&] { return outcome->end.has_value(); });
    const RunEnd end = *outcome->end;
    g.unlock();
    setFaultHook(nullptr);
    if (end == RunEnd::Killed) run.detach();
    else run.join();
    return end;
}
#else
inline RunEnd runKilledAt(StepPick pick, const std::function<bool()>& setup, const std::function<bool()>& work) {
    constexpr int kKilledStatus = 77;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        bool ok = false;
        try {
            if (setup()) {
                setFaultHook([&pick](const char* s) {
                    if (pick(s)) ::_exit(kKilledStatus);
                });
                ok = work();
            }
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return RunEnd::Failed;
    if (WEXITSTATUS(status) == kKilledStatus) return RunEnd::Killed;
    return WEXITSTATUS(status) == 0 ? RunEnd::Finished : RunEnd::Failed;
}
#endif

// Opens the database at path, then appends the table in a run killed at the step picked.
inline RunEnd killedAppend(const std::string& path, StepPick pick, const std::string& name,
                           const std::vector<FieldShape>& fields, const std::vector<std::string>& primaryKey) {
    std::unique_ptr<Database> db;
    return runKilledAt(
        std::move(pick), [&] { return (db = DBEngine().OpenDatabase(path)) != nullptr; },
        [&] {
            db->TableDefs().Append(makeTable(*db, name, fields, primaryKey));
            return true;
        });
}

}  // namespace jet::testsupport
