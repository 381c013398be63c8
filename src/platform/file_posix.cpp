#include "file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int openFile(const std::string& path, OpenMode mode) {
    const int fd = ::open(path.c_str(), (mode == OpenMode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

int createNewFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    return fd >= 0 ? fd : -errno;
}

int createScratchFile(const std::string& folder) {
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        std::string name = folder + "/.xlsdb-spill-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return -errno;
        ::unlink(name.c_str());
    }
    return fd;
}

void closeFile(int fd) {
    if (fd >= 0) ::close(fd);
}

int readAt(int fd, void* buf, std::size_t len, std::uint64_t offset, std::size_t& got) {
    for (;;) {
        const ssize_t r = ::pread(fd, buf, len, static_cast<off_t>(offset));
        if (r >= 0) {
            got = static_cast<std::size_t>(r);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int writeAt(int fd, const void* buf, std::size_t len, std::uint64_t offset, std::size_t& written) {
    for (;;) {
        const ssize_t r = ::pwrite(fd, buf, len, static_cast<off_t>(offset));
        if (r >= 0) {
            written = static_cast<std::size_t>(r);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int syncFile(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int truncateFile(int fd, std::uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno; }

int tryLock(int fd, LockMode mode) {
    if (::flock(fd, (mode == LockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0) return 0;
    return errno == EINTR ? EWOULDBLOCK : errno;
}

namespace {
void fill(const struct stat& st, FileInfo& info) {
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.links = static_cast<std::uint64_t>(st.st_nlink);
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.regular = S_ISREG(st.st_mode);
}
}  // namespace

int infoOf(int fd, FileInfo& info) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return errno;
    fill(st, info);
    return 0;
}

int infoAt(const std::string& path, FileInfo& info) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno;
    fill(st, info);
    return 0;
}

}  // namespace platform
