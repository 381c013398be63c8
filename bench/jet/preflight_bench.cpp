// Cost of the check made before the first write into an open database (checkBeforeWrite):
// builds a database of about 40 MB by creating N tables (default 3,000) in a copy of a sample,
// then opens it afresh and times the check, best and worst of five runs.
// Usage: bench_jet_preflight [tables] [work folder] [sample.mdb]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "checker.h"
#include "dao.h"
#include "database_file.h"

int main(int argc, char** argv) {
    int tables = argc > 1 ? std::atoi(argv[1]) : 3000;
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    std::string sample = argc > 3 ? argv[3] : XLSDB_BENCH_SAMPLE;
    std::string path = dir + "/xlsdb-preflight-" + std::to_string(getpid()) + ".mdb";
    {
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
        {
            auto db = jet::DBEngine().OpenDatabase(path);
            for (int i = 0; i < tables; ++i) {
                auto t = db->CreateTableDef("T_PRE_" + std::to_string(i));
                for (int f = 0; f < 10; ++f)
                    t->Fields().Append(t->CreateField("FIELD_" + std::to_string(f), f % 2 ? jet::dbText : jet::dbLong, 50));
                auto ix = t->CreateIndex("Primary");
                ix->Fields().Append(ix->CreateField("FIELD_0"));
                ix->setPrimary(true);
                t->Indexes().Append(ix);
                db->TableDefs().Append(t);
            }
            db->Close();
        }
        double best = 1e9, worst = 0;
        size_t problems = 0;
        uint32_t pages = 0;
        for (int run = 0; run < 5; ++run) {
            auto f = jet::DatabaseFile::open(path, true);
            pages = f->pager().pageCount();
            const auto t0 = Clock::now();
            problems = jet::checkBeforeWrite(*f).size();
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            best = std::min(best, ms);
            worst = std::max(worst, ms);
        }
        std::printf("database: %d tables added, %u pages (%.1f MB)\n", tables, pages, pages * 4096.0 / 1e6);
        std::printf("check before the first write: best %.1f ms, worst %.1f ms, %zu problems\n", best, worst, problems);
    } catch (const std::exception& e) {
        std::cerr << "failed: " << e.what() << "\n";
        std::remove(path.c_str());
        return 1;
    }
    std::remove(path.c_str());
    return 0;
}
