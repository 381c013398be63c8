// What the engine tells the user when the system refuses a file: Japanese sentences naming the
// path in 『』, never the C library's English words.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "dao.h"
#include "jet_error.h"
#include "new_database.h"
#include "oracles.h"

using namespace jet;
using jet::testsupport::scratchDir;

namespace {

// True when the message, with every occurrence of the path taken out, still has ASCII letters
// (the words of strerror, or a stray English text).
bool hasAsciiLetters(std::string message, const std::string& path = std::string()) {
    if (!path.empty()) {
        for (size_t at; (at = message.find(path)) != std::string::npos;) message.erase(at, path.size());
    }
    for (unsigned char c : message)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return false;
}

struct Failure {
    int number = 0;
    std::string message;
};

Failure openFailure(const std::string& path, bool readOnly) {
    try {
        DBEngine().OpenDatabase(path, readOnly);
    } catch (const JetError& e) {
        return {e.number(), e.what()};
    }
    return {};
}

Failure createFailure(const std::string& path) {
    try {
        writeNewDatabase(path, dbLangJapanese, dbVersion40);
    } catch (const JetError& e) {
        return {e.number(), e.what()};
    }
    return {};
}

[[maybe_unused]] bool refused(int err) { return err == EACCES || err == EPERM || err == EROFS; }

// A file that may not be opened, even by the superuser (for whom a write-only attribute of the
// kernel's file system serves); empty when this machine has none.
std::string refusingFile() {
#ifdef _WIN32
    return std::string();  // POSIX permissions and the kernel's file systems
#else
    if (::geteuid() != 0) {
        const std::string p = scratchDir() + "/locked.mdb";
        std::ofstream(p) << "x";
        ::chmod(p.c_str(), 0);
        return p;
    }
    for (const char* candidate : {"/sys/bus/pci/rescan", "/sys/kernel/uevent_helper", "/sys/power/wakeup_count"}) {
        struct stat st {};
        if (::stat(candidate, &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const int fd = ::open(candidate, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            continue;
        }
        if (refused(errno)) return candidate;
    }
    return std::string();
#endif
}

// A folder where no new file may be made, even by the superuser; empty when there is none.
std::string refusingFolder() {
#ifdef _WIN32
    return std::string();  // POSIX permissions and the kernel's file systems
#else
    if (::geteuid() != 0) {
        const std::string p = scratchDir() + "/locked-folder";
        ::mkdir(p.c_str(), 0555);
        ::chmod(p.c_str(), 0555);
        return p;
    }
    for (const char* candidate : {"/sys", "/proc/sys"}) {
        const std::string probe = std::string(candidate) + "/xlsdb-probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            continue;
        }
        if (refused(errno)) return candidate;
    }
    return std::string();
#endif
}

}  // namespace

TEST(JetErrorText, AMissingOrWrongPathIsExplainedInJapanese) {
    const std::string missing = scratchDir() + "/no-such-folder/x.mdb";
    Failure f = openFailure(missing, false);
    EXPECT_EQ(f.number, errFileNotFound);
    EXPECT_EQ(f.message, "ファイル『" + missing + "』が見つかりません。");
    f = createFailure(missing);
    EXPECT_EQ(f.number, errIo);
    EXPECT_EQ(f.message, "データベース『" + missing +
                             "』を作成できません（ファイルの作成に失敗しました: ファイルまたはフォルダが見つかりません）。");

    // A file where a folder should be.
    const std::string plain = scratchDir() + "/plain.txt";
    std::ofstream(plain) << "x";
    const std::string under = plain + "/x.mdb";
#ifndef _WIN32  // Windows says "path not found" there
    f = openFailure(under, true);
    EXPECT_EQ(f.number, errFileNotFound);
    EXPECT_EQ(f.message, "ファイル『" + under + "』を開けません（パスの途中にフォルダではないものがあります）。");
    f = createFailure(under);
    EXPECT_EQ(f.number, errIo);
    EXPECT_NE(f.message.find("パスの途中にフォルダではないものがあります"), std::string::npos) << f.message;
    EXPECT_FALSE(hasAsciiLetters(f.message, under)) << f.message;
#endif

    // A folder where the database should be.
    f = openFailure(scratchDir(), false);
    EXPECT_EQ(f.number, errFileNotFound);
    EXPECT_EQ(f.message, "『" + scratchDir() + "』はフォルダです。");

    f = createFailure(plain);
    EXPECT_EQ(f.number, errDatabaseExists);
    EXPECT_EQ(f.message, "データベース『" + plain + "』は既に存在します。");
}

TEST(JetErrorText, APermissionFailureIsExplainedInJapanese) {
    const std::string file = refusingFile();
    const std::string folder = refusingFolder();
    if (file.empty() && folder.empty()) GTEST_SKIP() << "nothing here refuses the superuser";
    if (!file.empty()) {
        Failure f = openFailure(file, false);
        EXPECT_EQ(f.number, errReadOnly);
        EXPECT_EQ(f.message.rfind("ファイル『" + file + "』を書き込み用に開けません（", 0), 0u) << f.message;
        EXPECT_FALSE(hasAsciiLetters(f.message, file)) << f.message;
        // Opened only for reading, the refusal is not about writing.
        f = openFailure(file, true);
        EXPECT_EQ(f.number, errFileNotFound);
        EXPECT_EQ(f.message, "ファイル『" + file + "』を開けません（権限がありません）。");
    }
    if (!folder.empty()) {
        const std::string target = folder + "/xlsdb-new.mdb";
        const Failure f = createFailure(target);
        EXPECT_EQ(f.number, errIo);
        EXPECT_EQ(f.message.rfind("データベース『" + target + "』を作成できません（", 0), 0u) << f.message;
        EXPECT_NE(f.message.find("権限がありません"), std::string::npos) << f.message;
        EXPECT_FALSE(hasAsciiLetters(f.message, target)) << f.message;
        EXPECT_NE(::access(target.c_str(), F_OK), 0);
    }
}
