#include "file_names.h"

#include <windows.h>

#include <atomic>
#include <cerrno>

#include "windows_text.h"

namespace platform {

using windows::lastErrno;
using windows::widen;

const char* const kPathSeparators = "/\\";

std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::path(widen(utf8)); }

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

NodeKind kindOfAttributes(DWORD a) {
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return NodeKind::Link;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return NodeKind::Folder;
    if (a & FILE_ATTRIBUTE_DEVICE) return NodeKind::Other;
    return NodeKind::File;
}

// The file or folder the name leads to, opened only to look at it.
HANDLE openToLookAt(const std::string& path) {
    return CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

int writeAll(HANDLE h, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size);
        if (!WriteFile(h, p, want, &n, nullptr)) return lastErrno();
        if (n == 0) return ENOSPC;
        p += n;
        size -= n;
    }
    return 0;
}

// A name beside `path` that nobody else uses: "<path>.xlsdb-<process>-<count>".
std::string temporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".xlsdb-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

// Writes the bytes to a new file under the name, synced. 0 or errno; the step that failed in `step`.
int writeNew(const std::string& name, const void* data, std::size_t size, std::string* step, std::uint64_t* device,
             std::uint64_t* inode) {
    auto fail = [&](int err, const char* what) {
        if (step) *step = what;
        return err == 0 ? EIO : err;
    };
    HANDLE h = CreateFileW(widen(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return fail(lastErrno(), "ファイルの作成");
    int err = writeAll(h, data, size);
    const char* what = "書き込み";
    if (err == 0 && !FlushFileBuffers(h)) {
        err = lastErrno();
        what = "ディスクへの書き出し";
    }
    if (err == 0 && (device || inode)) {
        BY_HANDLE_FILE_INFORMATION bh{};
        if (GetFileInformationByHandle(h, &bh)) {
            if (device) *device = bh.dwVolumeSerialNumber;
            if (inode) *inode = (static_cast<std::uint64_t>(bh.nFileIndexHigh) << 32) | bh.nFileIndexLow;
        } else {
            err = lastErrno();
            what = "ファイル情報の確認";
        }
    }
    CloseHandle(h);
    if (err != 0) {
        DeleteFileW(widen(name).c_str());
        return fail(err, what);
    }
    return 0;
}

}  // namespace

NodeKind kindOf(const std::string& path) {
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    return a == INVALID_FILE_ATTRIBUTES ? NodeKind::Missing : kindOfAttributes(a);
}

NodeKind targetKindOf(const std::string& path, int* err, std::uint64_t* size) {
    HANDLE h = openToLookAt(path);
    if (h == INVALID_HANDLE_VALUE) {
        if (err) *err = lastErrno();
        return NodeKind::Missing;
    }
    BY_HANDLE_FILE_INFORMATION bh{};
    const bool known = GetFileInformationByHandle(h, &bh);
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    if (err) *err = 0;
    if (size) *size = (static_cast<std::uint64_t>(bh.nFileSizeHigh) << 32) | bh.nFileSizeLow;
    if (!known || type != FILE_TYPE_DISK) return NodeKind::Other;
    return (bh.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? NodeKind::Folder : NodeKind::File;
}

bool exists(const std::string& path) { return targetKindOf(path) != NodeKind::Missing; }

std::string resolvedPath(const std::string& path) {
    HANDLE h = openToLookAt(path);
    if (h == INVALID_HANDLE_VALUE) return path;
    std::wstring buf(1024, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= buf.size()) {
        buf.assign(n + 1, L'\0');
        n = GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    CloseHandle(h);
    if (n == 0 || n >= buf.size()) return path;
    buf.resize(n);
    // "\\?\C:\..." and "\\?\UNC\server\share\..." in the forms users know.
    if (buf.rfind(L"\\\\?\\UNC\\", 0) == 0) buf = L"\\\\" + buf.substr(8);
    else if (buf.rfind(L"\\\\?\\", 0) == 0) buf = buf.substr(4);
    // Where no link was followed, the name stays as given (only separators, case or the folder of
    // a relative path would change).
    const std::wstring given = widen(path);
    std::wstring full(GetFullPathNameW(given.c_str(), 0, nullptr, nullptr) + 1, L'\0');
    const DWORD m = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (m > 0 && m < full.size()) {
        full.resize(m);
        if (CompareStringOrdinal(full.c_str(), -1, buf.c_str(), -1, TRUE) == CSTR_EQUAL) return path;
    }
    return windows::narrow(buf);
}

bool nameFits(const std::string&, const std::string& name) {
    // NTFS, exFAT, FAT long names and ReFS all take 255 UTF-16 units.
    return widen(name).size() <= 255;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    if (slash == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

int removeFile(const std::string& path) { return DeleteFileW(widen(path).c_str()) ? 0 : lastErrno(); }

int syncFolderOf(const std::string&, bool* opened) {
    if (opened) *opened = true;
    return 0;
}

int createFileWithContent(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& step,
                          std::uint64_t* device, std::uint64_t* inode) {
    // Written under a temporary name, then renamed without replacing: MoveFileEx without
    // MOVEFILE_REPLACE_EXISTING refuses a name that appeared meanwhile.
    const std::string temp = temporaryNameBeside(path);
    if (int err = writeNew(temp, bytes.data(), bytes.size(), &step, device, inode)) return err;
    if (!MoveFileExW(widen(temp).c_str(), widen(path).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const int err = lastErrno();
        DeleteFileW(widen(temp).c_str());
        step = "ファイル名の設定";
        return err;
    }
    return 0;
}

int replaceFileContent(const std::string& path, const std::string& bytes) {
    if (path.empty()) return ENOENT;
    const DWORD a = GetFileAttributesW(widen(path).c_str());
    if (a != INVALID_FILE_ATTRIBUTES) {
        if (a & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
        // A file marked read-only is not replaced behind the user's back.
        if (a & FILE_ATTRIBUTE_READONLY) return kReadOnlyFile;
    }
    // New content beside the old file, then moved over it.
    const std::string temp = temporaryNameBeside(path);
    int err = writeNew(temp, bytes.data(), bytes.size(), nullptr, nullptr, nullptr);
    if (err == 0) {
        if (MoveFileExW(widen(temp).c_str(), widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        err = lastErrno();
        DeleteFileW(widen(temp).c_str());
        return err;
    }
    if (err == ENOENT || err == ENOTDIR || err == ENOSPC) return err;
    // The folder may refuse new files while the file itself is writable: write in place.
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    err = writeAll(h, bytes.data(), bytes.size());
    if (!CloseHandle(h) && err == 0) err = lastErrno();
    return err;
}

}  // namespace platform
