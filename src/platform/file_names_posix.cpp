#include "file_names.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/fs.h>

namespace platform {

const char* const kPathSeparators = "/";

std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::path(utf8); }

namespace {
NodeKind kindOfMode(mode_t m) {
    if (S_ISREG(m)) return NodeKind::File;
    if (S_ISDIR(m)) return NodeKind::Folder;
    if (S_ISLNK(m)) return NodeKind::Link;
    return NodeKind::Other;
}
}  // namespace

NodeKind kindOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return NodeKind::Missing;
    return kindOfMode(st.st_mode);
}

NodeKind targetKindOf(const std::string& path, int* err, std::uint64_t* size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (err) *err = errno;
        return NodeKind::Missing;
    }
    if (err) *err = 0;
    if (size) *size = static_cast<std::uint64_t>(st.st_size);
    return kindOfMode(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string resolvedPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string r(real);
    std::free(real);
    return r;
}

bool nameFits(const std::string& folder, const std::string& name) {
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (max <= 0) max = 255;
    return name.size() <= static_cast<std::size_t>(max);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int syncFolderOf(const std::string& path, bool* opened) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened) *opened = fd >= 0;
    if (fd < 0) return errno;
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    return rc == 0 ? 0 : err;
}

namespace {

// The process's file-creation mask, read without changing it (umask() would, for a moment,
// affect every thread); set and restored at once where /proc does not tell it.
mode_t currentUmask() {
    if (std::FILE* fp = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, fp)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(fp);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

// Writes all bytes to the descriptor; returns 0 or the errno of the failure.
int writeAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The file being written, under no name or a temporary one, until it gets its final name.
class PendingFile {
public:
    explicit PendingFile(const std::string& path) : path_(path) {}
    ~PendingFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!tmp_.empty()) ::unlink(tmp_.c_str());
    }

    int commit(const std::vector<std::uint8_t>& bytes, std::string& step, std::uint64_t* device,
               std::uint64_t* inode) {
        const std::string folder = folderOf(path_);
        // A file without a name first: if the process dies before the end, nothing is left.
        // (Naming it later goes through /proc/self/fd, so without /proc use a temporary name.)
        const bool procAvailable = ::access("/proc/self/fd", X_OK) == 0;
        fd_ = procAvailable ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
        const bool anonymous = fd_ >= 0;
        if (!anonymous) {
            int err = procAvailable ? errno : EOPNOTSUPP;
            // File systems without unnamed files: a hidden temporary name in the same folder.
            if (err != EOPNOTSUPP && err != EISDIR && err != EINVAL && err != ENOENT) return fail(err, step, "ファイルの作成");
            std::string name = folder + "/.xlsdb-new-XXXXXX";
            std::vector<char> buf(name.begin(), name.end());
            buf.push_back('\0');
            fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
            if (fd_ < 0) return fail(errno, step, "ファイルの作成");
            tmp_.assign(buf.data());
            // mkostemp makes the file private; give it an ordinary new file's permissions.
            if (::fchmod(fd_, 0666 & ~currentUmask()) != 0) return fail(errno, step, "権限の設定");
        }
        if (int err = writeAll(fd_, bytes.data(), bytes.size())) return fail(err, step, "書き込み");
        if (::fsync(fd_) != 0) return fail(errno, step, "ディスクへの書き出し");
        if (device || inode) {
            struct stat st {};
            if (::fstat(fd_, &st) != 0) return fail(errno, step, "ファイル情報の確認");
            if (device) *device = st.st_dev;
            if (inode) *inode = st.st_ino;
        }
        int err = anonymous ? linkAnonymous() : linkNamed();
        if (err != 0) return fail(err, step, "ファイル名の設定");
        // The bytes are synced and the name is in place: the file exists from here on.
        ::close(fd_);
        fd_ = -1;
        syncFolderOf(path_);
        return 0;
    }

private:
    int fail(int err, std::string& step, const char* what) {
        step = what;
        return err == 0 ? EIO : err;
    }

    // linkat refuses an existing name: a file that appeared meanwhile is never replaced.
    int linkAnonymous() {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        return errno;
    }

    // link() refuses an existing name too; where hard links are not supported, renameat2 with
    // RENAME_NOREPLACE does the same.
    int linkNamed() {
        if (::link(tmp_.c_str(), path_.c_str()) == 0) {
            ::unlink(tmp_.c_str());
            tmp_.clear();
            return 0;
        }
        int err = errno;
        if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS) {
            if (::syscall(SYS_renameat2, AT_FDCWD, tmp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) == 0) {
                tmp_.clear();
                return 0;
            }
            err = errno;
        }
        return err;
    }

    std::string path_;
    int fd_ = -1;
    std::string tmp_;
};

}  // namespace

int createFileWithContent(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& step,
                          std::uint64_t* device, std::uint64_t* inode) {
    PendingFile file(path);
    return file.commit(bytes, step, device, inode);
}

int replaceFileContent(const std::string& path, const std::string& bytes) {
    if (path.empty()) return ENOENT;
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return EISDIR;
    if (exists) {
        // A file we may not write, or one marked read-only for everybody, is not replaced behind
        // the user's back (the new content would otherwise simply be renamed over it).
        struct stat target {};
        if (::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode) && (target.st_mode & 0222) == 0)
            return kReadOnlyFile;
        if (::access(path.c_str(), W_OK) != 0 && errno != ENOENT) return errno;
    }
    const bool plain = !exists || S_ISREG(st.st_mode);
    if (plain) {
        // New content beside the old file, then renamed over it.
        std::string temp = path + ".xlsdb-XXXXXX";
        std::unique_ptr<char[]> tmpl(new char[temp.size() + 1]);
        std::memcpy(tmpl.get(), temp.c_str(), temp.size() + 1);
        const int fd = ::mkstemp(tmpl.get());
        if (fd >= 0) {
            temp = tmpl.get();
            // A temporary file is private; give the result the mode the file had, or for a new
            // file the mode the user's umask allows.
            ::fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~currentUmask()));
            int err = writeAll(fd, bytes.data(), bytes.size());
            if (err == 0 && ::fsync(fd) != 0) err = errno;
            if (::close(fd) != 0 && err == 0) err = errno;
            if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
            if (err != 0) ::unlink(temp.c_str());
            return err;
        }
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR || err == ENOSPC) return err;
        // The folder may refuse new files while the file itself is writable: write in place.
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    int err = writeAll(fd, bytes.data(), bytes.size());
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

}  // namespace platform
