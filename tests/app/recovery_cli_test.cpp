// The command line after an interrupted write and with database passwords: `tables` lists the
// database as it was before the interruption (rolling it back where it can, reading the journal
// where it cannot), and a password comes from XLSDB_PASSWORD.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "dao.h"
#include "file_io.h"
#include "header.h"
#include "jet_fixtures.h"
#include "journal.h"

using namespace jet;
using namespace jet::testsupport;

namespace {

CommandResult cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {XLSDB_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv);
}

// A `create` killed after its database writes, before their sync: the journal stays.
void killedCreate(const std::string& path) {
    EXPECT_EQ(killedAppend(path, stepNamed("db-fsync"), "Killed", everyTypeFields(), {"ID"}), RunEnd::Killed);
}

}  // namespace

TEST(CliRecovery, TablesAfterAKilledCreateListsTheTablesAsBefore) {
    for (bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "writable" : "open in Access (cannot be written)");
        std::string path = freshCopy("jp_sample_thinkami.mdb", writable ? "cli_killed" : "cli_killed_ldb");
        const std::string original = readFile(path);
        CommandResult before = cli({"tables", path});
        ASSERT_EQ(before.exitCode, 0) << before.err;
        killedCreate(path);
        const std::string half = readFile(path);
        const std::string ldb = path.substr(0, path.size() - 4) + ".ldb";
        if (!writable) std::ofstream(ldb) << "";
        CommandResult after = cli({"tables", path});
        ASSERT_EQ(after.exitCode, 0) << after.err;
        EXPECT_EQ(after.out, before.out);
        EXPECT_EQ(after.out.find("Killed"), std::string::npos);
        if (writable) {
            EXPECT_NE(after.err.find("書き込みの前の状態に戻しました"), std::string::npos) << after.err;
            EXPECT_TRUE(readFile(path) == original);
            EXPECT_FALSE(io::exists(journalPath(path)));
        } else {
            EXPECT_NE(after.err.find("『" + journalPath(path) + "』"), std::string::npos) << after.err;
            EXPECT_TRUE(readFile(path) == half);
            EXPECT_TRUE(io::exists(journalPath(path)));
            std::remove(ldb.c_str());
        }
    }
}

TEST(CliRecovery, APasswordComesFromXlsdbPassword) {
    std::string path = freshCopy("kenjinote_sample.mdb", "cli_pwd");
    {
        std::string bytes = readFile(path);
        auto* p = reinterpret_cast<uint8_t*>(&bytes[0]);
        toggleHeaderMask(p);
        double date = 0;
        std::memcpy(&date, p + 0x72, 8);
        const uint32_t mask = static_cast<uint32_t>(static_cast<int32_t>(date));
        const std::string pw = "pass";
        for (int i = 0; i < 40; ++i) {
            const uint8_t plain = i % 2 == 0 && i / 2 < static_cast<int>(pw.size()) ? static_cast<uint8_t>(pw[i / 2]) : 0;
            p[0x42 + i] = static_cast<uint8_t>(plain ^ ((mask >> (8 * (i % 4))) & 0xFF));
        }
        toggleHeaderMask(p);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    const std::string original = readFile(path);
    ::unsetenv("XLSDB_PASSWORD");
    CommandResult none = cli({"tables", path});  // no terminal: no prompt
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("パスワードで保護されています"), std::string::npos) << none.err;
    ::setenv("XLSDB_PASSWORD", "Pass", 1);
    CommandResult wrong = cli({"tables", path});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("パスワードが違います"), std::string::npos) << wrong.err;
    ::setenv("XLSDB_PASSWORD", "pass", 1);
    CommandResult right = cli({"tables", path});
    // The comparison takes it the same way.
    const std::string design = std::string(XLSDB_TEST_DATA) + "/app/diff/before.xlsx";
    CommandResult diff = cli({"diff", design, path, "customer"});
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    EXPECT_EQ(diff.out, "テーブル「customer」: データベースにありません\n");
    ::unsetenv("XLSDB_PASSWORD");
    EXPECT_EQ(cli({"diff", design, path}).exitCode, 2);
    EXPECT_EQ(right.exitCode, 0) << right.err;
    EXPECT_NE(right.out.find("Parties\n"), std::string::npos) << right.out;
    EXPECT_TRUE(readFile(path) == original);
}
