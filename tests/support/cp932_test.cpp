#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "Cp932.h"
#include "TempDir.h"
#include "TextRules.h"

TEST(Cp932Text, JapaneseRoundTrip) {
    const std::string s = "テキスト 日付/時刻 ｶﾅ ①～\\~";
    const std::string b = utf8ToCp932(s);
    EXPECT_EQ(utf8ToCp932("テ"), "\x83\x65");
    EXPECT_EQ(utf8ToCp932("ｶ"), "\xB6");
    EXPECT_EQ(utf8ToCp932("①"), "\x87\x40");  // NEC special character
    EXPECT_EQ(utf8ToCp932("\\~"), "\\~");        // single-byte as Windows has them
    EXPECT_EQ(utf8ToCp932("ⅰ￢"), "\xFA\x40\x81\xCA");  // the codes Windows picks
    EXPECT_EQ(cp932ToUtf8("\xEE\xEF"), "ⅰ");                 // NEC-selected duplicate
    EXPECT_EQ(cp932ToUtf8(b), s);
}

TEST(Cp932Text, UnrepresentableCharacterIsNamed) {
    try {
        utf8ToCp932("社員\U00020BB7名");
        FAIL();
    } catch (const Cp932EncodeError& e) {
        EXPECT_EQ(e.character(), U'\U00020BB7');
        EXPECT_EQ(e.errNo(), 5);
        const std::string m = e.what();
        EXPECT_NE(m.find("\U00020BB7"), std::string::npos) << m;
        EXPECT_NE(m.find("U+20BB7"), std::string::npos) << m;
    }
    EXPECT_THROW(utf8ToCp932("😀"), Cp932EncodeError);
    EXPECT_THROW(utf8ToCp932("\xFF"), TextFileError);  // not UTF-8 at all
    EXPECT_FALSE(cp932CanEncode(U'\U00020BB7'));
    EXPECT_FALSE(cp932CanEncode(U'\u00E9'));
    EXPECT_TRUE(cp932CanEncode(U'あ'));
    EXPECT_TRUE(cp932CanEncode(U'A'));
}

TEST(Cp932Text, LookAlikesThatWouldComeBackChangedAreRefused) {
    // The converter would write these as the codes of other characters; read back they
    // would be U+FF5E, the backslash, U+FF0D, U+2225, U+FFE0 and the tilde.
    for (const char32_t ch : {U'\u301C', U'\u00A5', U'\u2212', U'\u2016', U'\u00A2', U'\u203E'}) {
        std::string s = "単価";
        appendUtf8(s, ch);
        try {
            utf8ToCp932(s);
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(ch) << " converted";
        } catch (const Cp932EncodeError& e) {
            EXPECT_EQ(e.character(), ch);
        }
        EXPECT_FALSE(cp932CanEncode(ch)) << std::hex << static_cast<unsigned>(ch);
    }
    // Their CP932 counterparts are kept, and a fallback replaces only the look-alike.
    EXPECT_EQ(utf8ToCp932("～￥－∥￠"), "\x81\x60\x81\x8F\x81\x7C\x81\x61\x81\x91");
    EXPECT_TRUE(cp932CanEncode(U'\uFF5E'));
    const Cp932Fallback fnRef = [](char32_t ch) {
        char sz[16];
        std::snprintf(sz, sizeof sz, "&#x%X;", static_cast<unsigned>(ch));
        return std::string(sz);
    };
    EXPECT_EQ(utf8ToCp932("a〜b～c¥", fnRef), "a&#x301C;b\x81\x60" "c&#xA5;");
}

TEST(Cp932Text, FallbackSubstitutesOnlyUnrepresentableCharacters) {
    int nCalls = 0;
    const Cp932Fallback fnRef = [&](char32_t ch) {
        ++nCalls;
        char sz[16];
        std::snprintf(sz, sizeof sz, "&#x%X;", static_cast<unsigned>(ch));
        return std::string(sz);
    };
    EXPECT_EQ(utf8ToCp932("a\U00020BB7b😀", fnRef), "a&#x20BB7;b&#x1F600;");
    EXPECT_EQ(nCalls, 2);
    EXPECT_EQ(utf8ToCp932("表", fnRef), "\x95\x5C");
    // A substitute that is itself unrepresentable is an error, not a loop or a "?".
    const Cp932Fallback fnBad = [](char32_t) { return std::string("\U00020BB7"); };
    EXPECT_THROW(utf8ToCp932("\U00020BB7", fnBad), Cp932EncodeError);
}

TEST(Cp932Text, InvalidBytesFailWithTheirPosition) {
    try {
        cp932ToUtf8("ab\xEF\xBB\xBF");
        FAIL();
    } catch (const Cp932DecodeError& e) {
        EXPECT_EQ(e.offset(), 2u);
    }
    EXPECT_THROW(cp932ToUtf8("\x83"), Cp932DecodeError);  // lead byte cut off
    EXPECT_THROW(cp932ToUtf8("\x80"), Cp932DecodeError);
    EXPECT_EQ(cp932ToUtf8(""), "");
}

TEST(Cp932File, LinesAreWrittenWithCrLf) {
    TempDir dir;
    const std::string p = dir.file("a.txt");
    writeCp932Lines(p, {"<A>1</A>", "日本", ""});
    EXPECT_EQ(readBytes(p), "<A>1</A>\r\n\x93\xFA\x96\x7B\r\n\r\n");
    writeCp932Lines(p, {});
    EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_EQ(readBytes(p), "");
}

TEST(Cp932File, FailedConversionLeavesTheOldFile) {
    TempDir dir;
    const std::string p = dir.file("keep.txt");
    writeBytes(p, "old content\r\n");
    EXPECT_THROW(writeCp932Lines(p, {"ok", "bad \U00020BB7"}), Cp932EncodeError);
    EXPECT_EQ(readBytes(p), "old content\r\n");
    // No stray temporary file is left beside it.
    int nFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++nFiles;
    }
    EXPECT_EQ(nFiles, 1);
}

TEST(Cp932File, ReplacingKeepsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permission bits";
#endif
    TempDir dir;
    const std::string p = dir.file("mode.txt");
    writeBytes(p, "x");
    ::chmod(p.c_str(), 0600);
    writeCp932File(p, "新しい");
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readCp932File(p), "新しい");
}

TEST(Cp932File, NewFileFollowsTheUmask) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permission bits";
#endif
    TempDir dir;
    const mode_t old = ::umask(077);
    writeCp932File(dir.file("private.txt"), "x");
    ::umask(022);
    writeCp932File(dir.file("shared.txt"), "x");
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("private.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(dir.file("shared.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(Cp932File, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    const std::string p = dir.file("locked.edf");
    writeBytes(p, "<A>1</A>\r\n");
    ::chmod(p.c_str(), 0444);
    try {
        writeCp932File(p, "<A>2</A>\r\n");
        FAIL() << "replaced";
    } catch (const TextFileError& e) {
        EXPECT_EQ(e.errNo(), 75);
        EXPECT_EQ(std::string(e.what()), "ファイルに書き込めません: " + p + "（読み取り専用のファイルです）");
    }
    EXPECT_EQ(readBytes(p), "<A>1</A>\r\n");
    ::chmod(p.c_str(), 0644);
    writeCp932File(p, "<A>2</A>\r\n");
    EXPECT_EQ(readBytes(p), "<A>2</A>\r\n");
}

TEST(Cp932File, WriteFailuresAreReported) {
    TempDir dir;
    try {
        writeCp932File(dir.file("no/such/folder/x.txt"), "x");
        FAIL();
    } catch (const TextFileError& e) {
        EXPECT_EQ(e.errNo(), 76);
        EXPECT_EQ(std::string(e.what()), "ファイルに書き込めません: " + dir.file("no/such/folder/x.txt") +
                                             "（ファイルまたはフォルダが見つかりません）");
    }
    EXPECT_THROW(writeCp932File(dir.path().string(), "x"), TextFileError);  // a folder
    EXPECT_THROW(writeCp932File("", "x"), TextFileError);
}

TEST(Cp932File, ReadFailures) {
    TempDir dir;
    try {
        readCp932File(dir.file("missing.txt"));
        FAIL();
    } catch (const TextFileError& e) {
        EXPECT_EQ(e.errNo(), 53);
        EXPECT_EQ(std::string(e.what()),
                  "ファイルを読み込めません: " + dir.file("missing.txt") + "（ファイルまたはフォルダが見つかりません）");
    }
    try {
        readCp932File(dir.path().string());
        FAIL();
    } catch (const TextFileError& e) {
        EXPECT_EQ(e.errNo(), 75);
        EXPECT_EQ(std::string(e.what()), "ファイルを読み込めません: " + dir.path().string() + "（ファイルではなくフォルダです）");
    }
    const std::string p = dir.file("utf8.txt");
    writeBytes(p, "\xEF\xBB\xBF<Text>テキスト</Text>\r\n");  // UTF-8, not CP932
    try {
        readCp932File(p);
        FAIL();
    } catch (const Cp932DecodeError& e) {
        EXPECT_NE(std::string(e.what()).find(p), std::string::npos);
    }
}

namespace {

// True when the message, with the path taken out, still has ASCII letters (strerror's words).
[[maybe_unused]] bool hasAsciiLetters(std::string strMessage, const std::string& strPath) {
    for (std::size_t n; (n = strMessage.find(strPath)) != std::string::npos;) strMessage.erase(n, strPath.size());
    for (unsigned char c : strMessage)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return false;
}

// The TextFileError of an operation, or an empty message when it did not fail.
template <class F>
TextFileError failureOf(F fn) {
    try {
        fn();
    } catch (const TextFileError& e) {
        return e;
    }
    return TextFileError(0, "");
}

[[maybe_unused]] bool refused(int nErr) { return nErr == EACCES || nErr == EPERM || nErr == EROFS; }

}  // namespace

#ifndef _WIN32  // POSIX permissions and the kernel's file systems
TEST(Cp932File, SystemRefusalsAreExplainedInJapanese) {
    TempDir dir;
    const std::string strPlain = dir.file("plain.txt");
    writeBytes(strPlain, "x");
    // A file where a folder should be.
    const std::string strUnder = strPlain + "/x.edf";
    TextFileError e = failureOf([&] { readCp932File(strUnder); });
    EXPECT_EQ(e.errNo(), 53);
    EXPECT_EQ(std::string(e.what()), "ファイルを読み込めません: " + strUnder + "（パスの途中にフォルダではないものがあります）");
    e = failureOf([&] { writeCp932File(strUnder, "x"); });
    EXPECT_EQ(e.errNo(), 76);
    EXPECT_FALSE(hasAsciiLetters(e.what(), strUnder)) << e.what();

    // Refused by the system even to the superuser: a write-only attribute of the kernel's file
    // system, a folder of it that takes no new files (or plain permissions for anybody else).
    std::string strUnreadable, strFolder;
    if (::geteuid() != 0) {
        strUnreadable = dir.file("locked.edf");
        writeBytes(strUnreadable, "x");
        ::chmod(strUnreadable.c_str(), 0);
        strFolder = dir.file("locked");
        ::mkdir(strFolder.c_str(), 0555);
    } else {
        for (const char* psz : {"/sys/bus/pci/rescan", "/sys/kernel/uevent_helper", "/sys/power/wakeup_count"}) {
            struct stat st {};
            if (::stat(psz, &st) != 0 || !S_ISREG(st.st_mode)) continue;
            std::FILE* fp = std::fopen(psz, "rb");
            if (fp) std::fclose(fp);
            else if (refused(errno)) strUnreadable = psz;
            if (!strUnreadable.empty()) break;
        }
        const std::string strProbe = "/sys/xlsdb-probe";
        const int fd = ::open(strProbe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(strProbe.c_str());
        } else if (refused(errno)) {
            strFolder = "/sys";
        }
    }
    if (strUnreadable.empty() && strFolder.empty()) GTEST_SKIP() << "nothing here refuses the superuser";
    if (!strUnreadable.empty()) {
        e = failureOf([&] { readCp932File(strUnreadable); });
        EXPECT_EQ(e.errNo(), 75);
        EXPECT_EQ(std::string(e.what()), "ファイルを読み込めません: " + strUnreadable + "（権限がありません）");
    }
    if (!strFolder.empty()) {
        const std::string strTarget = strFolder + "/xlsdb-new.edf";
        e = failureOf([&] { writeCp932File(strTarget, "x"); });
        EXPECT_EQ(e.errNo(), 75);
        EXPECT_NE(std::string(e.what()).find("権限がありません"), std::string::npos) << e.what();
        EXPECT_FALSE(hasAsciiLetters(e.what(), strTarget)) << e.what();
    }
}
#endif

TEST(Cp932File, LineSplitting) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), (V{"a"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (V{"a", ""}));
    EXPECT_EQ(splitLines("\r\nb"), (V{"", "b"}));
    EXPECT_EQ(splitLines(""), V{});
    TempDir dir;
    writeBytes(dir.file("l.txt"), "\x93\xFA,\x96\x7B\r\nx");
    EXPECT_EQ(readCp932Lines(dir.file("l.txt")), (V{"日,本", "x"}));
}

// A file's failures tell the file and the reason apart, whatever the path holds: brackets and
// quotes in a folder name must not end up in the reason or cut the path short.
TEST(Cp932File, FailuresTellTheFileAndTheReasonApart) {
#ifdef _WIN32
    GTEST_SKIP() << "the test makes its Japanese-named files through narrow (ANSI) paths";
#endif
    TempDir dir;
    const std::string strFolder = dir.file("設計（旧）『控え』: x");
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(strFolder)));

    const std::string strMissing = strFolder + "/none（1）.edf";
    TextFileError e = failureOf([&] { readCp932File(strMissing); });
    EXPECT_EQ(e.errNo(), 53);
    EXPECT_EQ(e.path(), strMissing);
    EXPECT_EQ(e.reason(), "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(std::string(e.what()), "ファイルを読み込めません: " + strMissing + "（" + e.reason() + "）");

    const std::string strNoFolder = strFolder + "/no』/x.edf";
    e = failureOf([&] { writeCp932File(strNoFolder, "x"); });
    EXPECT_EQ(e.errNo(), 76);
    EXPECT_EQ(e.path(), strNoFolder);
    EXPECT_EQ(e.reason(), "ファイルまたはフォルダが見つかりません");

#ifndef _WIN32  // made read-only the POSIX way
    const std::string strLocked = strFolder + "/ro（）.edf";
    writeBytes(strLocked, "x");
    ::chmod(strLocked.c_str(), 0444);
    e = failureOf([&] { writeCp932Lines(strLocked, {"y"}); });
    EXPECT_EQ(e.path(), strLocked);
    EXPECT_EQ(e.reason(), "読み取り専用のファイルです");
#endif

    e = failureOf([&] { readCp932File(strFolder); });
    EXPECT_EQ(e.path(), strFolder);
    EXPECT_EQ(e.reason(), "ファイルではなくフォルダです");

    // Bytes that are not CP932: where they are is part of the reason, the path is not.
    const std::string strBad = strFolder + "/bad.edf";
    writeBytes(strBad, "ab\x81");
    try {
        readCp932File(strBad);
        FAIL() << "read";
    } catch (const Cp932DecodeError& d) {
        EXPECT_EQ(d.path(), strBad);
        EXPECT_EQ(d.reason(), "CP932 として読めないバイトがあります（位置 2: 0x81）");
        EXPECT_EQ(std::string(d.what()), strBad + ": " + d.reason());
        EXPECT_EQ(d.offset(), 2u);
    }

    // A character CP932 cannot hold, met while writing a file: the message stays the
    // character's, the file is told beside it.
    try {
        writeCp932File(strFolder + "/new.edf", "a\U00020BB7");
        FAIL() << "written";
    } catch (const Cp932EncodeError& c) {
        EXPECT_EQ(c.path(), strFolder + "/new.edf");
        EXPECT_EQ(c.character(), U'\U00020BB7');
        EXPECT_EQ(c.reason(), std::string(c.what()));
        EXPECT_EQ(std::string(c.what()).find(strFolder), std::string::npos) << c.what();
    }
    EXPECT_FALSE(std::filesystem::exists(strFolder + "/new.edf"));

    // Not about a file: no path, the whole message is the reason.
    e = failureOf([] { utf8ToCp932("\U00020BB7"); });
    EXPECT_EQ(e.path(), "");
    EXPECT_EQ(e.reason(), std::string(e.what()));
}
