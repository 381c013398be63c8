// The few file-system calls the engine writes with. Every call that changes the disk passes a
// named step through an optional fault hook first, so tests can fail the write at any step (or
// end a process there) and check what is left on disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bytes.h"

namespace jet {

// Called before every step that changes the disk (step names like "journal-write", "db-fsync").
// A hook that throws makes that step fail. Not thread-safe: set it only in tests.
using FaultHook = std::function<void(const char* step)>;
void setFaultHook(FaultHook hook);

namespace io {
void step(const char* name);  // runs the hook
void readFull(int fd, uint8_t* buf, size_t len, uint64_t off);
void writeFull(int fd, const uint8_t* buf, size_t len, uint64_t off, const char* stepName);
void sync(int fd, const char* stepName);
void syncDirectoryOf(const std::string& path, const char* stepName);
void truncate(int fd, uint64_t size, const char* stepName);
void unlink(const std::string& path, const char* stepName);
uint64_t fileSize(int fd);
bool exists(const std::string& path);
// The file's real path, symbolic links resolved (the path itself when it cannot be resolved).
std::string resolvedPath(const std::string& path);
// Number of names (hard links) the open file has.
uint64_t linkCount(int fd);
}  // namespace io

}  // namespace jet
