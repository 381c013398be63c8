// Reads a generated 300-sheet workbook (.xls and .xlsx) the way the design reader does and prints
// the time and the peak memory beside python3-xlrd reading the same file.
//
//   bench_xls_read [--sheets N] [--runs R] [--keep]
//   bench_xls_read --read FILE N      (one measured reading, in a process of its own)
//
// Every reading runs in a fresh process, so that each peak memory figure is that reading's own.
// The workbooks are written at run time by gen_bench.py (xlwt) and gen_bench_xlsx.py.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"

namespace {

const std::string kScripts = XLSDB_BENCH_SCRIPTS;
const char* kPython = "/usr/bin/python3";

long peakKiB() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// User and system time of this process so far.
double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// One reading: the layout of the benchmark sheets (table name in B1, fields from row 2 with name,
// type, size, key and NULL columns B, C, D, F, J), every sheet in range.
int readOnce(const std::string& path, int sheets) {
    clsExcelDBDocInfo info;
    info.sbSetPage(1, sheets);
    info.sbSetTableNmPos(1, 2);
    info.sbSetFieldPos(2);
    info.sbSetFieldDefPos(2, 3, 4, 6, 10);
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = cpuSeconds();
    clsExcelDBDoc doc;
    doc.sbSetDocInfo(info);
    if (!doc.fnReadDBDoc(path)) {
        std::fprintf(stderr, "cannot read %s: %s\n", path.c_str(), doc.getLastError().c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - c0;
    size_t fields = 0;
    for (const auto& t : doc.getDBInfo()->getTables()) fields += t->getFields().size();
    std::printf("%.6f %.6f %ld %zu %zu\n", cpu, seconds, peakKiB(), doc.getDBInfo()->getTables().size(), fields);
    return 0;
}

struct Result {
    double cpu = 1e30;      // best of the runs
    double seconds = 1e30;  // best of the runs
    long peakKiB = 0;       // largest of the runs
    long tables = -1, fields = -1;
    bool ok = false;
};

// Runs a command that prints "cpu_seconds wall_seconds peak_kib tables fields", runs times.
Result measure(const std::string& command, int runs) {
    Result r;
    for (int i = 0; i < runs; ++i) {
        FILE* p = popen(command.c_str(), "r");
        if (!p) return r;
        double c = 0, s = 0;
        long kib = 0, tables = 0, fields = 0;
        const int got = std::fscanf(p, "%lf %lf %ld %ld %ld", &c, &s, &kib, &tables, &fields);
        if (pclose(p) != 0 || got != 5) return Result();
        r.cpu = std::min(r.cpu, c);
        r.seconds = std::min(r.seconds, s);
        r.peakKiB = std::max(r.peakKiB, kib);
        r.tables = tables;
        r.fields = fields;
        r.ok = true;
    }
    return r;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

bool run(const std::string& command) { return std::system((command + " >/dev/null").c_str()) == 0; }

}  // namespace

int main(int argc, char** argv) {
    int sheets = 300, runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--read" && i + 2 < argc) return readOnce(argv[i + 1], std::atoi(argv[i + 2]));
        if (a == "--sheets" && i + 1 < argc) sheets = std::max(1, std::atoi(argv[++i]));
        else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep") keep = true;
        else {
            std::fprintf(stderr, "usage: %s [--sheets N] [--runs R] [--keep]\n", argv[0]);
            return 2;
        }
    }

    char dirTemplate[] = "/tmp/xlsdb-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string n = std::to_string(sheets);
    const std::string xls = dir + "/bench" + n + ".xls";
    const std::string xlsx = dir + "/bench" + n + ".xlsx";
    std::printf("writing %d-sheet workbooks in %s ...\n", sheets, dir.c_str());
    if (!run(std::string(kPython) + " " + quoted(kScripts + "/gen_bench.py") + " " + n + " " + quoted(xls)) ||
        !run(std::string(kPython) + " " + quoted(kScripts + "/gen_bench_xlsx.py") + " " + n + " " + quoted(xlsx))) {
        std::fprintf(stderr, "could not write the workbooks (python3-xlwt is needed)\n");
        return 1;
    }

    char self[4096];
    const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) return 1;
    self[len] = '\0';

    std::printf("\n%-6s %-8s %9s %10s %10s %7s %7s\n", "file", "reader", "cpu [ms]", "wall [ms]", "peak [MB]", "tables",
                "fields");
    int status = 0;
    for (const std::string& file : {xls, xlsx}) {
        const std::string ext = file.substr(file.rfind('.'));
        const Result ours = measure(quoted(self) + " --read " + quoted(file) + " " + n, runs);
        const Result xlrd = measure(std::string(kPython) + " " + quoted(kScripts + "/xlrd_read.py") + " " + quoted(file), runs);
        for (const auto& [name, r] : {std::pair<const char*, const Result&>{"xlsdb", ours}, {"xlrd", xlrd}}) {
            if (!r.ok) {
                std::printf("%-6s %-8s %10s\n", ext.c_str(), name, "failed");
                status = 1;
                continue;
            }
            std::printf("%-6s %-8s %9.1f %10.1f %10.1f %7ld %7ld\n", ext.c_str(), name, r.cpu * 1000, r.seconds * 1000,
                        r.peakKiB / 1024.0, r.tables, r.fields);
        }
        if (ours.ok && xlrd.ok)
            std::printf("%-6s xlsdb: %.1fx less cpu time, %.1fx less wall time, %.1fx less memory\n", ext.c_str(),
                        xlrd.cpu / ours.cpu, xlrd.seconds / ours.seconds, double(xlrd.peakKiB) / double(ours.peakKiB));
    }
    std::printf("(best times and largest peak of %d runs each, for the reading alone, without process start;\n"
                " cpu = user + system time, the fairer figure on a busy machine; peak = the reading process's\n"
                " maximum resident set, interpreter included for xlrd)\n",
                runs);
    if (!keep) {
        std::remove(xls.c_str());
        std::remove(xlsx.c_str());
        rmdir(dir.c_str());
    }
    return status;
}
