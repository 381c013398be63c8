// What the command-line tests share: running the built xlsdb-cli, reading its JSON through
// Python, its output as lines, and a database checked against an expected reading.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "oracles.h"
#include "test_support.h"

namespace clitest {

struct Result {
    int code = -1;
    std::string out, err;
};

inline Result cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {XLSDB_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    jet::testsupport::CommandResult r = jet::testsupport::run(argv);
    return {r.exitCode, r.out, r.err};
}

// Runs a Python script with the JSON the program printed bound to j (json and sys imported,
// the further arguments from sys.argv[2]); its output and errors together.
inline std::string overJson(const std::string& output, const std::string& script,
                            const std::vector<std::string>& more = {}) {
    testsupport::TempDir tmp;
    const std::filesystem::path got = tmp.path() / "got.json";
    testsupport::writeBytes(got, output);
    std::vector<std::string> argv = {"/usr/bin/python3", "-c",
                                     "import json,sys\nj=json.load(open(sys.argv[1],encoding='utf-8'))\n" + script,
                                     got.string()};
    argv.insert(argv.end(), more.begin(), more.end());
    jet::testsupport::CommandResult r = jet::testsupport::run(argv);
    return r.out + r.err;
}

// The value of a Python expression over the JSON the program printed (bound to j), printed.
inline std::string json(const std::string& output, const std::string& expression) {
    return overJson(output, "print(" + expression + ")");
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t a = 0;
    for (std::size_t b; (b = text.find('\n', a)) != std::string::npos; a = b + 1) out.push_back(text.substr(a, b - a));
    return out;
}

inline std::size_t occurrences(const std::string& s, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + part.size())) ++n;
    return n;
}

// tests/app/check_mdb.py: the database holds the expected reading's tables (all, or those named)
// as the type words make them, by mdb-reader and mdbtools. "OK\n" when it does.
inline std::string checkMdb(const std::string& expectedJson, const std::string& types, const std::string& mdb,
                            const std::vector<std::string>& only = {}) {
    std::vector<std::string> argv = {"/usr/bin/python3", std::string(XLSDB_TEST_DATA) + "/../app/check_mdb.py",
                                     expectedJson, types, mdb, std::string(XLSDB_TEST_DATA) + "/../oracles"};
    argv.insert(argv.end(), only.begin(), only.end());
    jet::testsupport::CommandResult r = jet::testsupport::run(argv);
    return r.out + r.err;
}

}  // namespace clitest
