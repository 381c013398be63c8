// Files by name: whether they exist, what they are, the real path behind links, and the few
// operations that change names, each done so that a crash leaves either the old or the new state.
// Paths are UTF-8; failures are errno values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The characters that separate folders in a path: '/' on POSIX, '/' and '\' on Windows.
extern const char* const kPathSeparators;

// A UTF-8 path as the standard library's path (for streams and std::filesystem).
std::filesystem::path fsPath(const std::string& utf8);

enum class NodeKind { Missing, File, Folder, Link, Other };
// What the name stands for, links not followed (Link for a symbolic link or junction).
NodeKind kindOf(const std::string& path);
// What the name leads to, links followed; Missing also when it cannot be looked at (then `err`
// says why). `size` receives a file's size.
NodeKind targetKindOf(const std::string& path, int* err = nullptr, std::uint64_t* size = nullptr);
bool exists(const std::string& path);
// The file's real path, links resolved (the path itself when it cannot be resolved).
std::string resolvedPath(const std::string& path);
// Whether the file system of the folder takes a file name this long (bytes on POSIX, UTF-16
// units on Windows; 255 where the system does not say).
bool nameFits(const std::string& folder, const std::string& name);
// Folder of a path ("." for a bare name).
std::string folderOf(const std::string& path);

// Deletes a file; 0, ENOENT when there was none, or errno.
int removeFile(const std::string& path);
// Makes a change to the names in the file's folder durable where the system needs that (a
// directory sync on POSIX; nothing on Windows, where renames and deletes are written through).
// 0 or errno; EINVAL/EROFS when the file system cannot sync a folder. `opened` tells whether the
// failure came after the folder was opened.
int syncFolderOf(const std::string& path, bool* opened = nullptr);

// Creates the file with these bytes, never over an existing name: written and synced under no
// name or a temporary one, then given its name. Returns 0 or errno (EEXIST when something has the
// name); `step` then names the failed step ("書き込み", "ファイル名の設定", ...). `device`/`inode`
// receive the identity of the file written (see FileInfo).
int createFileWithContent(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& step,
                          std::uint64_t* device = nullptr, std::uint64_t* inode = nullptr);

// Replaces a file's content (or creates the file): the new bytes are written beside it and put in
// its place, so that a failure leaves the old file as it was. A file marked read-only is refused
// with kReadOnlyFile. Returns 0, kReadOnlyFile or errno.
constexpr int kReadOnlyFile = -1;
int replaceFileContent(const std::string& path, const std::string& bytes);

}  // namespace platform
