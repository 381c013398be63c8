// An open file, read and written at given offsets: a POSIX descriptor, or on Windows a C run-time
// descriptor over a file handle. Paths are UTF-8. Failures are errno values (ENOENT, EACCES, ...),
// also on Windows, so that one set of texts describes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class OpenMode { Read, ReadWrite };

// Opens an existing file; returns the descriptor, or -errno (-EISDIR for a folder).
int openFile(const std::string& path, OpenMode mode);
// Creates a file for writing that must not exist yet (-EEXIST when it does); returns the
// descriptor or -errno.
int createNewFile(const std::string& path);
// A scratch file in the folder, read and written like any, that has no name or disappears when it
// is closed; returns the descriptor or -errno.
int createScratchFile(const std::string& folder);
void closeFile(int fd);  // also drops the lock

// Each returns 0 or an errno value. readAt reports the bytes read in `got` (fewer at the end).
int readAt(int fd, void* buf, std::size_t len, std::uint64_t offset, std::size_t& got);
int writeAt(int fd, const void* buf, std::size_t len, std::uint64_t offset, std::size_t& written);
int syncFile(int fd);  // the file's data and size on the disk
int truncateFile(int fd, std::uint64_t size);

// An advisory lock on the whole file, held until it is closed: shared (readers) or exclusive (one
// writer), never waited for. Other programs may still read the file. Returns 0, or EWOULDBLOCK
// when another open of the file holds a conflicting lock.
enum class LockMode { Shared, Exclusive };
int tryLock(int fd, LockMode mode);

#ifdef _WIN32
// For tests that stand for a process killed where it stands (Windows has no fork): every file this
// thread opened here and has not closed is let go at once, its lock with it, as the system does
// for a killed process; the descriptors stay taken (they read and write nothing from then on).
void letGoFilesOfThisThread();
#endif

struct FileInfo {
    std::uint64_t size = 0;
    std::uint64_t links = 1;  // names (hard links) the file has
    // Which file it is, whatever name it is reached by: device and inode, or on Windows the
    // volume's serial number and the file index.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool regular = false;  // an ordinary file (not a folder, device, pipe)
};
int infoOf(int fd, FileInfo& info);  // 0 or errno
// The same by name, a symbolic link taken as itself (then `regular` is false).
int infoAt(const std::string& path, FileInfo& info);

}  // namespace platform
