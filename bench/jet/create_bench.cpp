// Creates N tables (default 1,000) of 10 fields with a primary key in a copy of a sample
// database (or, given "new" as the sample, in a new database), in one open database, and prints the rate, the time per table of the first and the
// last 1,000 tables, and the peak memory of the process.
// One transaction for the run (BeginTrans ... CommitTrans), or one per table with "per-table".
// Usage: bench_jet_create [tables] [work folder] [sample.mdb|sample.accdb|new|new.mdb|new.accdb] [per-table]
// "new" is a new Japanese-sort .mdb; "new.mdb" and "new.accdb" new General-sort files of that format.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "checker.h"
#include "dao.h"
#include "new_database.h"

static double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    int tables = argc > 1 ? std::atoi(argv[1]) : 1000;
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    std::string sample = argc > 3 ? argv[3] : XLSDB_BENCH_SAMPLE;
    // "per-table": every table its own transaction (as before one transaction per run).
    const bool perTable = argc > 4 && std::string(argv[4]) == "per-table";
    // The copy keeps the sample's extension (.mdb or .accdb).
    const auto dot = sample.find_last_of('.');
    const std::string ext = dot != std::string::npos && sample.find('/', dot) == std::string::npos ? sample.substr(dot) : ".mdb";
    std::string path = dir + "/xlsdb-bench-" + std::to_string(getpid()) + ext;
    const bool fresh = sample == "new" || sample == "new.mdb" || sample == "new.accdb";  // a new, empty database
    if (!fresh) {
        std::ifstream in(sample, std::ios::binary);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!in || !out) {
            std::cerr << "cannot copy " << sample << " to " << path << "\n";
            return 2;
        }
    }
    try {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        jet::DBEngine engine;
        const char* locale = sample == "new" ? jet::dbLangJapanese : jet::dbLangGeneral;
        auto db = fresh ? jet::createDatabase(path, locale, ext == ".accdb" ? jet::dbVersionAccdb : jet::dbVersion40)
                        : engine.OpenDatabase(path);
        if (!perTable) db->BeginTrans();
        const int types[] = {jet::dbLong, jet::dbText, jet::dbText, jet::dbDate, jet::dbInteger,
                             jet::dbLong, jet::dbSingle, jet::dbDouble, jet::dbCurrency, jet::dbText};
        std::vector<Clock::time_point> marks;  // after every table
        std::vector<double> cpuMarks;          // the process's CPU time then (s)
        marks.reserve(static_cast<size_t>(tables));
        cpuMarks.reserve(static_cast<size_t>(tables));
        for (int i = 0; i < tables; ++i) {
            auto t = db->CreateTableDef("T_BENCH_" + std::to_string(i));
            for (int f = 0; f < 10; ++f) {
                std::string name = "FIELD_" + std::to_string(f);
                t->Fields().Append(t->CreateField(name, types[f], 50));
                if (f == 0) t->Fields().item(name)->setAttributes(jet::dbAutoIncrField);
                t->Fields().item(name)->setRequired(f % 2 == 0);
            }
            auto ix = t->CreateIndex("Primary");
            ix->Fields().Append(ix->CreateField("FIELD_0"));
            ix->setPrimary(true);
            t->Indexes().Append(ix);
            db->TableDefs().Append(t);
            marks.push_back(Clock::now());
            cpuMarks.push_back(cpuSeconds());
        }
        const auto committing = Clock::now();
        if (!perTable) db->CommitTrans();
        db->Close();
        const auto end = Clock::now();
        auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
        double secs = ms(end - start) / 1000;
        std::printf("%d tables x 10 fields in %.2f s (open to close): %.1f tables per second\n", tables, secs,
                    tables / secs);
        std::printf("commit and close %.3f s\n", ms(end - committing) / 1000);
        if (tables >= 2001) {
            // The first table also pays for the check made before the first write: both spans
            // start after a table.
            const size_t n = static_cast<size_t>(tables);
            double first = ms(marks[1000] - marks[0]) / 1000, last = ms(marks[n - 1] - marks[n - 1001]) / 1000;
            std::printf("per table: first 1,000 %.3f ms, last 1,000 %.3f ms (%.2fx)\n", first, last, last / first);
            // CPU time does not count the waits of a busy machine.
            double cpuFirst = cpuMarks[1000] - cpuMarks[0], cpuLast = cpuMarks[n - 1] - cpuMarks[n - 1001];
            if (std::getenv("XLSDB_BENCH_BLOCKS"))
                for (size_t b = 1000; b < n; b += 1000)
                    std::printf("  tables %zu-%zu: CPU %.3f ms a table\n", b - 999, b, cpuMarks[b] - cpuMarks[b - 1000]);
            std::printf("CPU per table: first 1,000 %.3f ms, last 1,000 %.3f ms (%.2fx)\n", cpuFirst, cpuLast,
                        cpuLast / cpuFirst);
        }
        struct rusage ru;
        getrusage(RUSAGE_SELF, &ru);
        std::printf("peak memory %.1f MB\n", ru.ru_maxrss / 1024.0);
        jet::CheckReport r = jet::checkDatabase(path);
        std::printf("structural check: %s\n", r.ok() ? "ok" : r.summary().c_str());
        std::remove(path.c_str());
        return r.ok() ? 0 : 1;
    } catch (const jet::JetError& e) {
        std::cerr << "error " << e.number() << ": " << e.what() << "\n";
        std::remove(path.c_str());
        return 1;
    }
}
