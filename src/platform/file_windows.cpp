#include "file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>

#include "windows_text.h"

namespace platform {

using windows::lastErrno;

namespace {

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// Others may read, write, rename and delete the file while it is open, as on POSIX; the
// engine's own lock (tryLock) keeps writers apart.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Which thread opened each descriptor (letGoFilesOfThisThread).
std::mutex openedLock;
std::map<int, DWORD>& opened() {
    static std::map<int, DWORD> m;
    return m;
}

int descriptorOf(HANDLE h, int flags) {
    if (h == INVALID_HANDLE_VALUE) return -lastErrno();
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return -EMFILE;
    }
    std::lock_guard<std::mutex> g(openedLock);
    opened()[fd] = GetCurrentThreadId();
    return fd;
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ov;
}

// The lock is taken on one byte far past the end of any database, so that it keeps writers apart
// without keeping anybody from reading the file (Windows locks are mandatory for the bytes they
// cover).
constexpr std::uint64_t kLockByte = 0x7FFFFFFF00000000ULL;

}  // namespace

int openFile(const std::string& path, OpenMode mode) {
    const std::wstring w = windows::widen(path);
    const DWORD attributes = GetFileAttributesW(w.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return -EISDIR;
    const DWORD access = mode == OpenMode::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    HANDLE h = CreateFileW(w.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return descriptorOf(h, mode == OpenMode::Read ? _O_RDONLY : _O_RDWR);
}

int createNewFile(const std::string& path) {
    HANDLE h = CreateFileW(windows::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return descriptorOf(h, _O_RDWR);
}

int createScratchFile(const std::string& folder) {
    static unsigned counter = 0;
    const std::string name = folder + "\\.xlsdb-spill-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++counter);
    HANDLE h = CreateFileW(windows::widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return descriptorOf(h, _O_RDWR);
}

void closeFile(int fd) {
    if (fd < 0) return;
    {
        std::lock_guard<std::mutex> g(openedLock);
        opened().erase(fd);
    }
    _close(fd);
}

void letGoFilesOfThisThread() {
    std::lock_guard<std::mutex> g(openedLock);
    const int nothing = _wopen(L"NUL", _O_RDWR | _O_BINARY);
    for (auto it = opened().begin(); it != opened().end();) {
        if (it->second != GetCurrentThreadId()) {
            ++it;
            continue;
        }
        _dup2(nothing, it->first);  // closes the file's handle; the number now names NUL
        it = opened().erase(it);
    }
    _close(nothing);
}

int readAt(int fd, void* buf, std::size_t len, std::uint64_t offset, std::size_t& got) {
    OVERLAPPED ov = at(offset);
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(len > (1u << 30) ? (1u << 30) : len);
    if (!ReadFile(handleOf(fd), buf, want, &n, &ov)) {
        const DWORD e = GetLastError();
        if (e != ERROR_HANDLE_EOF) return windows::errnoOf(e);
        n = 0;
    }
    got = n;
    return 0;
}

int writeAt(int fd, const void* buf, std::size_t len, std::uint64_t offset, std::size_t& written) {
    OVERLAPPED ov = at(offset);
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(len > (1u << 30) ? (1u << 30) : len);
    if (!WriteFile(handleOf(fd), buf, want, &n, &ov)) return lastErrno();
    written = n;
    return 0;
}

int syncFile(int fd) { return FlushFileBuffers(handleOf(fd)) ? 0 : lastErrno(); }

int truncateFile(int fd, std::uint64_t size) {
    FILE_END_OF_FILE_INFO eof{};
    eof.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(handleOf(fd), FileEndOfFileInfo, &eof, sizeof eof) ? 0 : lastErrno();
}

int tryLock(int fd, LockMode mode) {
    OVERLAPPED ov = at(kLockByte);
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(handleOf(fd), flags, 0, 1, 0, &ov)) return 0;
    const DWORD e = GetLastError();
    return e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING ? EWOULDBLOCK : windows::errnoOf(e);
}

namespace {
int infoOfHandle(HANDLE h, FileInfo& info) {
    BY_HANDLE_FILE_INFORMATION bh{};
    if (!GetFileInformationByHandle(h, &bh)) return lastErrno();
    info.size = (static_cast<std::uint64_t>(bh.nFileSizeHigh) << 32) | bh.nFileSizeLow;
    info.links = bh.nNumberOfLinks;
    info.device = bh.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(bh.nFileIndexHigh) << 32) | bh.nFileIndexLow;
    info.regular = GetFileType(h) == FILE_TYPE_DISK &&
                   !(bh.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    return 0;
}
}  // namespace

int infoOf(int fd, FileInfo& info) { return infoOfHandle(handleOf(fd), info); }

int infoAt(const std::string& path, FileInfo& info) {
    HANDLE h = CreateFileW(windows::widen(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    const int err = infoOfHandle(h, info);
    CloseHandle(h);
    return err;
}

}  // namespace platform
