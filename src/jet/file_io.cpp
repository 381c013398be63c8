#include "file_io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

namespace {
FaultHook& hook() {
    static FaultHook h;
    return h;
}

// what names the step as in "<what>に失敗しました".
[[noreturn]] void ioFail(const char* what, int err) {
    throw JetError(errIo, std::string(what) + "に失敗しました（" + systemErrorText(err) + "）。");
}
}  // namespace

void setFaultHook(FaultHook h) { hook() = std::move(h); }

namespace io {

void step(const char* name) {
    if (hook()) hook()(name);
}

void readFull(int fd, uint8_t* buf, size_t len, uint64_t off) {
    size_t done = 0;
    while (done < len) {
        ssize_t r = ::pread(fd, buf + done, len - done, static_cast<off_t>(off + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            ioFail("ファイルの読み込み", errno);
        }
        if (r == 0) corrupt("ファイルが途中で終わっています");
        done += static_cast<size_t>(r);
    }
}

void writeFull(int fd, const uint8_t* buf, size_t len, uint64_t off, const char* stepName) {
    step(stepName);
    size_t done = 0;
    while (done < len) {
        ssize_t r = ::pwrite(fd, buf + done, len - done, static_cast<off_t>(off + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            ioFail("ファイルの書き込み", errno);
        }
        if (r == 0) ioFail("ファイルの書き込み", ENOSPC);
        done += static_cast<size_t>(r);
    }
}

void sync(int fd, const char* stepName) {
    step(stepName);
    if (::fsync(fd) != 0) ioFail("ファイルのディスクへの書き出し", errno);
}

void syncDirectoryOf(const std::string& path, const char* stepName) {
    step(stepName);
    std::string dir = ".";
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ioFail("ファイルのあるフォルダを開くの", errno);
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    // Some file systems cannot sync a directory; that is not a failure of ours.
    if (rc != 0 && err != EINVAL && err != EROFS) ioFail("フォルダのディスクへの書き出し", err);
}

void truncate(int fd, uint64_t size, const char* stepName) {
    step(stepName);
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) ioFail("ファイルの切り詰め", errno);
}

void unlink(const std::string& path, const char* stepName) {
    step(stepName);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) ioFail("ファイルの削除", errno);
}

uint64_t fileSize(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) ioFail("ファイル情報の取得", errno);
    return static_cast<uint64_t>(st.st_size);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string resolvedPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string r(real);
    std::free(real);
    return r;
}

uint64_t linkCount(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) ioFail("ファイル情報の取得", errno);
    return static_cast<uint64_t>(st.st_nlink);
}

}  // namespace io
}  // namespace jet
