#include "Cp932.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "TextRules.h"
#include "code_page.h"
#include "file.h"
#include "file_names.h"

namespace {

// Converters are reused within a thread.
platform::CodePageConverter& converter(int to, int from) {
    thread_local platform::CodePageConverter cvTo(932, platform::kUtf8);
    thread_local platform::CodePageConverter cvFrom(platform::kUtf8, 932);
    platform::CodePageConverter& cv = to == 932 ? cvTo : cvFrom;
    if (!cv.ok())
        throw TextFileError(base::errInvalidText, std::string("文字コード変換を準備できません（") +
                                                      (from == 932 ? "CP932" : "UTF-8") + " → " +
                                                      (to == 932 ? "CP932" : "UTF-8") + "）");
    return cv;
}

platform::CodePageConverter& toCp932() { return converter(932, platform::kUtf8); }

platform::CodePageConverter& fromCp932() { return converter(platform::kUtf8, 932); }

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
            throw TextFileError(base::errInvalidText, std::string("文字列に不正な UTF-8 のバイトがあります") + sz);
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
    if (!fromCp932().run(strCp932, strBack, nStop)) strBack.clear();
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
    platform::CodePageConverter& cv = toCp932();
    std::string out;
    out.reserve(s.size());
    std::size_t nDone = 0;
    while (nDone < s.size()) {
        const std::string_view strRest = s.substr(nDone);
        std::string strPart;
        std::size_t nStop = 0;
        const bool blnAll = cv.run(strRest, strPart, nStop);
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
            if (nChanged > 0 && !cv.run(strRest.substr(0, nChanged), strGood, nStop))
                throw TextFileError(base::errInvalidText, "文字列を CP932 に変換できません");
            out += strGood;
            nBad = nChanged;
        }
        std::size_t nPos = nDone + nBad;
        char32_t ch = 0;
        if (!decodeUtf8(s, nPos, ch)) throw TextFileError(base::errInvalidText, "文字列を CP932 に変換できません");
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
        errNo = blnWrite ? base::errPathNotFound : base::errFileNotFound;
        break;
    case ENOSPC:
    case EDQUOT:
        errNo = base::errDiskFull;
        break;
    case EIO:
        errNo = base::errDeviceIo;
        break;
    default:
        errNo = base::errPathFileAccess;
        break;
    }
    const std::string strReason = pszWhy ? pszWhy : systemErrorText(nErr);
    throw TextFileError(errNo,
                        std::string(blnWrite ? "ファイルに書き込めません: " : "ファイルを読み込めません: ") +
                            strPath + "（" + strReason + "）",
                        strPath, strReason);
}

void writeBytes(const std::string& strPath, const std::string& bytes) {
    const int nErr = platform::replaceFileContent(strPath, bytes);
    if (nErr == platform::kReadOnlyFile) throwFileError(EACCES, strPath, true, "読み取り専用のファイルです");
    if (nErr != 0) throwFileError(nErr, strPath, true);
}

}  // namespace

bool cp932CanEncode(char32_t ch) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return false;
    std::string s;
    appendUtf8(s, ch);
    std::string out;
    std::size_t nStop = 0;
    return toCp932().run(s, out, nStop) && firstChangedChar(s, out) == std::string_view::npos;
}

std::string utf8ToCp932(std::string_view s) { return encode(s, nullptr, 0); }

std::string utf8ToCp932(std::string_view s, const Cp932Fallback& fnFallback) {
    return encode(s, &fnFallback, 0);
}

std::string cp932ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 3 / 2);
    std::size_t nStop = 0;
    if (!fromCp932().run(s, out, nStop)) {
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
    int nErr = 0;
    const platform::NodeKind kind = platform::targetKindOf(strPath, &nErr);
    if (kind == platform::NodeKind::Missing) throwFileError(nErr, strPath, false);
    if (kind == platform::NodeKind::Folder) throwFileError(EISDIR, strPath, false);
    const int fd = platform::openFile(strPath, platform::OpenMode::Read);
    if (fd < 0) throwFileError(-fd, strPath, false);
    std::string bytes;
    char buf[8192];
    std::size_t n = 0;
    while ((nErr = platform::readAt(fd, buf, sizeof buf, bytes.size(), n)) == 0 && n > 0) bytes.append(buf, n);
    platform::closeFile(fd);
    if (nErr != 0) throwFileError(nErr, strPath, false);
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

bool fnTextFileFailure(std::string& strMsg, std::string& strReason, std::int32_t& lngErrNo) {
    try {
        throw;
    } catch (const TextFileError& e) {
        strMsg = e.what();
        strReason = e.reason();
        lngErrNo = e.errNo();
    } catch (const std::exception& e) {
        strMsg = e.what();
        strReason = e.what();
        lngErrNo = base::errPathFileAccess;
    } catch (...) {
        return false;
    }
    return true;
}
