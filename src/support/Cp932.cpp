#include "Cp932.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "TextRules.h"

namespace {

const char* const kCp932 = "CP932";

class Iconv {
public:
    Iconv(const char* pszTo, const char* pszFrom) : mh(iconv_open(pszTo, pszFrom)) {
        if (mh == reinterpret_cast<iconv_t>(-1))
            throw TextFileError(5, std::string("文字コード変換を準備できません（") + pszFrom +
                                       " → " + pszTo + "）");
    }
    ~Iconv() { iconv_close(mh); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much as possible; returns false and sets nStop at the first byte that
    // could not be converted.
    bool run(std::string_view in, std::string& out, std::size_t& nStop, int& nErr) {
        iconv(mh, nullptr, nullptr, nullptr, nullptr);
        char* pIn = const_cast<char*>(in.data());
        std::size_t nInLeft = in.size();
        char buf[4096];
        while (nInLeft > 0) {
            char* pOut = buf;
            std::size_t nOutLeft = sizeof buf;
            const std::size_t r = iconv(mh, &pIn, &nInLeft, &pOut, &nOutLeft);
            out.append(buf, static_cast<std::size_t>(pOut - buf));
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                nErr = errno;
                nStop = static_cast<std::size_t>(pIn - in.data());
                return false;
            }
        }
        char* pOut = buf;
        std::size_t nOutLeft = sizeof buf;
        iconv(mh, nullptr, nullptr, &pOut, &nOutLeft);
        out.append(buf, static_cast<std::size_t>(pOut - buf));
        return true;
    }

private:
    iconv_t mh;
};

// Converters are reused within a thread; run() resets the state before each use.
Iconv& toCp932() {
    thread_local Iconv cv(kCp932, "UTF-8");
    return cv;
}

Iconv& fromCp932() {
    thread_local Iconv cv("UTF-8", kCp932);
    return cv;
}

std::string codePointText(char32_t ch) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "U+%04X", static_cast<unsigned>(ch));
    return sz;
}

std::string charName(char32_t ch) {
    std::string s;
    if (ch >= 0x20 && ch != 0x7F) {
        s += "\"";
        appendUtf8(s, ch);
        s += "\" ";
    }
    return s + "(" + codePointText(ch) + ")";
}

// Throws when the text is not valid UTF-8.
void checkUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t ch;
        if (!decodeUtf8(s, i, ch)) {
            char sz[64];
            std::snprintf(sz, sizeof sz, "（位置 %zu: 0x%02X）", i,
                          static_cast<unsigned>(static_cast<unsigned char>(s[i])));
            throw TextFileError(5, std::string("文字列に不正な UTF-8 のバイトがあります") + sz);
        }
    }
}

// Byte offset in strUtf8 of the first character whose CP932 form (in strCp932, the
// conversion of strUtf8) reads back as another character, or npos when all come back
// unchanged. The converter maps a few characters that CP932 does not have onto
// look-alikes (U+301C onto the code of U+FF5E, U+00A5 onto the backslash, ...); such
// a character would silently change on its way through a file.
std::size_t firstChangedChar(std::string_view strUtf8, std::string_view strCp932) {
    std::string strBack;
    std::size_t nStop = 0;
    int nErr = 0;
    if (!fromCp932().run(strCp932, strBack, nStop, nErr)) strBack.clear();
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < strUtf8.size()) {
        const std::size_t nChar = i;
        char32_t chWant = 0;
        char32_t chGot = 0;
        if (!decodeUtf8(strUtf8, i, chWant)) return nChar;
        if (!decodeUtf8(strBack, j, chGot) || chGot != chWant) return nChar;
    }
    return j == strBack.size() ? std::string_view::npos : strUtf8.size();
}

std::string encode(std::string_view s, const Cp932Fallback* pFallback, int nDepth) {
    checkUtf8(s);
    Iconv& cv = toCp932();
    std::string out;
    out.reserve(s.size());
    std::size_t nDone = 0;
    while (nDone < s.size()) {
        const std::string_view strRest = s.substr(nDone);
        std::string strPart;
        std::size_t nStop = 0;
        int nErr = 0;
        const bool blnAll = cv.run(strRest, strPart, nStop, nErr);
        const std::size_t nConverted = blnAll ? strRest.size() : nStop;
        const std::size_t nChanged = firstChangedChar(strRest.substr(0, nConverted), strPart);
        std::size_t nBad;
        if (nChanged == std::string_view::npos) {
            out += strPart;
            if (blnAll) break;
            nBad = nConverted;
        } else {
            // Keep what came back unchanged, converted once more on its own.
            std::string strGood;
            if (nChanged > 0 && !cv.run(strRest.substr(0, nChanged), strGood, nStop, nErr))
                throw TextFileError(5, "文字列を CP932 に変換できません");
            out += strGood;
            nBad = nChanged;
        }
        std::size_t nPos = nDone + nBad;
        char32_t ch = 0;
        if (!decodeUtf8(s, nPos, ch)) throw TextFileError(5, "文字列を CP932 に変換できません");
        if (pFallback && *pFallback && nDepth == 0) {
            out += encode((*pFallback)(ch), nullptr, 1);
        } else {
            throw Cp932EncodeError(ch, "文字 " + charName(ch) + " は CP932 で表せません");
        }
        nDone = nPos;
    }
    return out;
}

// Throws the TextFileError for a failed read or write: the number tells the kind of failure
// (53/76 not found, 61 disk full, 57 device I/O, 75 other access), the text why.
[[noreturn]] void throwFileError(int nErr, const std::string& strPath, bool blnWrite,
                                 const char* pszWhy = nullptr) {
    int errNo;
    switch (nErr) {
    case ENOENT:
    case ENOTDIR:
        errNo = blnWrite ? 76 : 53;
        break;
    case ENOSPC:
    case EDQUOT:
        errNo = 61;
        break;
    case EIO:
        errNo = 57;
        break;
    default:
        errNo = 75;
        break;
    }
    const std::string strReason = pszWhy ? pszWhy : systemErrorText(nErr);
    throw TextFileError(errNo,
                        std::string(blnWrite ? "ファイルに書き込めません: " : "ファイルを読み込めません: ") +
                            strPath + "（" + strReason + "）",
                        strPath, strReason);
}

// The process's file creation mask, read without changing it where the system
// tells it (/proc), otherwise set and restored at once.
mode_t currentUmask() {
    if (std::FILE* fp = std::fopen("/proc/self/status", "r")) {
        char szLine[256];
        unsigned uMask = 0;
        bool blnFound = false;
        while (!blnFound && std::fgets(szLine, sizeof szLine, fp)) {
            blnFound = std::sscanf(szLine, "Umask: %o", &uMask) == 1;
        }
        std::fclose(fp);
        if (blnFound) return static_cast<mode_t>(uMask & 0777);
    }
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

// Writes all bytes to the descriptor; returns 0 or the errno of the failure.
int writeAll(int fd, const std::string& bytes) {
    std::size_t n = 0;
    while (n < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + n, bytes.size() - n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        n += static_cast<std::size_t>(w);
    }
    return 0;
}

void writeBytes(const std::string& strPath, const std::string& bytes) {
    if (strPath.empty()) throwFileError(ENOENT, strPath, true);
    struct stat st {};
    const bool blnExists = ::lstat(strPath.c_str(), &st) == 0;
    if (blnExists && S_ISDIR(st.st_mode)) throwFileError(EISDIR, strPath, true);
    if (blnExists) {
        // A file we may not write, or one marked read-only for everybody, is not
        // replaced behind the user's back (the new content would otherwise simply be
        // renamed over it).
        struct stat stTarget {};
        if (::stat(strPath.c_str(), &stTarget) == 0 && S_ISREG(stTarget.st_mode) &&
            (stTarget.st_mode & 0222) == 0)
            throwFileError(EACCES, strPath, true, "読み取り専用のファイルです");
        if (::access(strPath.c_str(), W_OK) != 0) {
            const int nErr = errno;
            if (nErr != ENOENT) throwFileError(nErr, strPath, true);
        }
    }
    const bool blnPlain = !blnExists || S_ISREG(st.st_mode);

    if (blnPlain) {
        // New content beside the old file, then renamed over it.
        std::string strTemp = strPath + ".xlsdb-XXXXXX";
        std::unique_ptr<char[]> tmpl(new char[strTemp.size() + 1]);
        std::memcpy(tmpl.get(), strTemp.c_str(), strTemp.size() + 1);
        const int fd = ::mkstemp(tmpl.get());
        if (fd >= 0) {
            strTemp = tmpl.get();
            // A temporary file is private; give the result the mode the file had, or
            // for a new file the mode the user's umask allows.
            ::fchmod(fd, blnExists ? (st.st_mode & 07777) : (0666 & ~currentUmask()));
            int nErr = writeAll(fd, bytes);
            if (nErr == 0 && ::fsync(fd) != 0) nErr = errno;
            if (::close(fd) != 0 && nErr == 0) nErr = errno;
            if (nErr == 0 && ::rename(strTemp.c_str(), strPath.c_str()) != 0) nErr = errno;
            if (nErr != 0) {
                ::unlink(strTemp.c_str());
                throwFileError(nErr, strPath, true);
            }
            return;
        }
        const int nErr = errno;
        if (nErr == ENOENT || nErr == ENOTDIR || nErr == ENOSPC) throwFileError(nErr, strPath, true);
        // The folder may refuse new files while the file itself is writable: write in place.
    }
    const int fd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throwFileError(errno, strPath, true);
    int nErr = writeAll(fd, bytes);
    if (::close(fd) != 0 && nErr == 0) nErr = errno;
    if (nErr != 0) throwFileError(nErr, strPath, true);
}

}  // namespace

bool cp932CanEncode(char32_t ch) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return false;
    std::string s;
    appendUtf8(s, ch);
    Iconv& cv = toCp932();
    std::string out;
    std::size_t nStop = 0;
    int nErr = 0;
    return cv.run(s, out, nStop, nErr) && firstChangedChar(s, out) == std::string_view::npos;
}

std::string utf8ToCp932(std::string_view s) { return encode(s, nullptr, 0); }

std::string utf8ToCp932(std::string_view s, const Cp932Fallback& fnFallback) {
    return encode(s, &fnFallback, 0);
}

std::string cp932ToUtf8(std::string_view s) {
    Iconv& cv = fromCp932();
    std::string out;
    out.reserve(s.size() * 3 / 2);
    std::size_t nStop = 0;
    int nErr = 0;
    if (!cv.run(s, out, nStop, nErr)) {
        char sz[96];
        if (nStop + 1 < s.size()) {
            std::snprintf(sz, sizeof sz, "（位置 %zu: 0x%02X 0x%02X）", nStop,
                          static_cast<unsigned>(static_cast<unsigned char>(s[nStop])),
                          static_cast<unsigned>(static_cast<unsigned char>(s[nStop + 1])));
        } else {
            std::snprintf(sz, sizeof sz, "（位置 %zu: 0x%02X）", nStop,
                          static_cast<unsigned>(static_cast<unsigned char>(s[nStop])));
        }
        throw Cp932DecodeError(nStop, std::string("CP932 として読めないバイトがあります") + sz);
    }
    return out;
}

namespace {

// The text as CP932 for the file strPath: a failure of the conversion names the file it was for.
std::string encodeFor(const std::string& strPath, std::string_view strUtf8, const Cp932Fallback* pfnFallback) {
    try {
        return pfnFallback ? utf8ToCp932(strUtf8, *pfnFallback) : utf8ToCp932(strUtf8);
    } catch (const Cp932EncodeError& e) {
        throw Cp932EncodeError(e, strPath);
    } catch (const TextFileError& e) {
        throw TextFileError(e.errNo(), e.what(), strPath, e.reason());
    }
}

}  // namespace

void writeCp932File(const std::string& strPath, std::string_view strUtf8) {
    writeBytes(strPath, encodeFor(strPath, strUtf8, nullptr));
}

void writeCp932File(const std::string& strPath, std::string_view strUtf8,
                    const Cp932Fallback& fnFallback) {
    writeBytes(strPath, encodeFor(strPath, strUtf8, &fnFallback));
}

void writeCp932Lines(const std::string& strPath, const std::vector<std::string>& colLines) {
    std::string strText;
    for (const auto& strLine : colLines) {
        strText += strLine;
        strText += "\r\n";
    }
    writeCp932File(strPath, strText);
}

std::string readCp932File(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0) throwFileError(errno, strPath, false);
    if (S_ISDIR(st.st_mode)) throwFileError(EISDIR, strPath, false);
    std::FILE* fp = std::fopen(strPath.c_str(), "rb");
    if (!fp) throwFileError(errno, strPath, false);
    std::string bytes;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) bytes.append(buf, n);
    const bool blnFailed = std::ferror(fp) != 0;
    const int nErr = errno;
    std::fclose(fp);
    if (blnFailed) throwFileError(nErr ? nErr : EIO, strPath, false);
    try {
        return cp932ToUtf8(bytes);
    } catch (const Cp932DecodeError& e) {
        throw Cp932DecodeError(e.offset(), strPath + ": " + e.what(), strPath, e.what());
    }
}

std::vector<std::string> splitLines(std::string_view s) {
    std::vector<std::string> colLines;
    std::size_t nStart = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\r' || s[i] == '\n') {
            colLines.emplace_back(s.substr(nStart, i - nStart));
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            nStart = ++i;
        } else {
            ++i;
        }
    }
    if (nStart < s.size()) colLines.emplace_back(s.substr(nStart));
    return colLines;
}

std::vector<std::string> readCp932Lines(const std::string& strPath) {
    return splitLines(readCp932File(strPath));
}
