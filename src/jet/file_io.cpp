#include "file_io.h"

#include <cerrno>

#include "file.h"
#include "file_names.h"

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
        size_t got = 0;
        if (int err = platform::readAt(fd, buf + done, len - done, off + done, got)) ioFail("ファイルの読み込み", err);
        if (got == 0) corrupt("ファイルが途中で終わっています");
        done += got;
    }
}

void writeFull(int fd, const uint8_t* buf, size_t len, uint64_t off, const char* stepName) {
    step(stepName);
    size_t done = 0;
    while (done < len) {
        size_t written = 0;
        if (int err = platform::writeAt(fd, buf + done, len - done, off + done, written)) ioFail("ファイルの書き込み", err);
        if (written == 0) ioFail("ファイルの書き込み", ENOSPC);
        done += written;
    }
}

void sync(int fd, const char* stepName) {
    step(stepName);
    if (int err = platform::syncFile(fd)) ioFail("ファイルのディスクへの書き出し", err);
}

void syncDirectoryOf(const std::string& path, const char* stepName) {
    step(stepName);
    bool opened = false;
    const int err = platform::syncFolderOf(path, &opened);
    if (!opened) ioFail("ファイルのあるフォルダを開くの", err);
    // Some file systems cannot sync a directory; that is not a failure of ours.
    if (err != 0 && err != EINVAL && err != EROFS) ioFail("フォルダのディスクへの書き出し", err);
}

void truncate(int fd, uint64_t size, const char* stepName) {
    step(stepName);
    if (int err = platform::truncateFile(fd, size)) ioFail("ファイルの切り詰め", err);
}

void unlink(const std::string& path, const char* stepName) {
    step(stepName);
    const int err = platform::removeFile(path);
    if (err != 0 && err != ENOENT) ioFail("ファイルの削除", err);
}

uint64_t fileSize(int fd) {
    platform::FileInfo info;
    if (int err = platform::infoOf(fd, info)) ioFail("ファイル情報の取得", err);
    return info.size;
}

bool exists(const std::string& path) { return platform::exists(path); }

std::string resolvedPath(const std::string& path) { return platform::resolvedPath(path); }

uint64_t linkCount(int fd) {
    platform::FileInfo info;
    if (int err = platform::infoOf(fd, info)) ioFail("ファイル情報の取得", err);
    return info.links;
}

}  // namespace io
}  // namespace jet
