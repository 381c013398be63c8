// Writing a new database file: the image is written under no name, synced, then linked in at its
// path, never over an existing file.
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/fs.h>

#include "new_database.h"

#include "civil_date.h"

namespace jet {

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The process's file-creation mask, read without changing it (umask() would, for a moment,
// affect every thread).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file being written, under no name or a temporary one, until it gets its final name.
class PendingFile {
public:
    explicit PendingFile(const std::string& path) : path_(path) {}
    ~PendingFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!tmp_.empty()) ::unlink(tmp_.c_str());
    }

    // Writes the bytes, syncs them, and links the file in at its name. Returns 0, or the errno
    // of the failed step (EEXIST when something appeared at the name meanwhile).
    int commit(const std::vector<uint8_t>& bytes, std::string& step, FileIdentity* written) {
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
        if (!writeAll(fd_, bytes)) return fail(errno, step, "書き込み");
        if (::fsync(fd_) != 0) return fail(errno, step, "ディスクへの書き出し");
        if (written) {
            struct stat st {};
            if (::fstat(fd_, &st) != 0) return fail(errno, step, "ファイル情報の確認");
            written->device = st.st_dev;
            written->inode = st.st_ino;
        }
        int err = anonymous ? linkAnonymous() : linkNamed();
        if (err != 0) return fail(err, step, "ファイル名の設定");
        // The bytes are synced and the name is in place: the database exists from here on.
        ::close(fd_);
        fd_ = -1;
        syncFolder(folder);
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

    static void syncFolder(const std::string& folder) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    std::string path_;
    int fd_ = -1;
    std::string tmp_;
};

}  // namespace

bool isAccdbPath(const std::string& path) {
    if (path.size() < 6) return false;
    std::string ext = path.substr(path.size() - 6);
    for (auto& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext == ".accdb";
}

void writeNewDatabase(const std::string& path, const std::string& locale, int options, FileIdentity* written) {
    if (options != dbVersion40 && options != dbVersionAccdb)
        throw JetError(errInvalidArgument,
                       "オプション " + std::to_string(options) +
                           " はサポートされていません。作成できるのは Jet 4.0 形式（64）と .accdb 形式（128）のデータベースです。");
    const NewDatabaseLocale loc = parseDatabaseLocale(locale);
    if (path.empty()) throw JetError(errIo, "データベースのパスが指定されていません。");
    // A file under the other format's name would be taken for what it is not.
    const bool accdb = options == dbVersionAccdb;
    if (accdb != isAccdbPath(path))
        throw JetError(errInvalidArgument,
                       "『" + path + "』: " +
                           (accdb ? std::string(".accdb 形式のデータベースは名前が .accdb で終わるファイルにだけ作成します。")
                                  : std::string(".accdb の名前には .accdb 形式（Access 2007 以降）のデータベースを作成します。")));

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0)
        throw JetError(errDatabaseExists, "データベース『" + path + "』は既に存在します。");

    NewDatabaseSettings settings;
    settings.format = accdb ? FileFormat::Ace16 : FileFormat::Jet4;
    // The General order of an .accdb file is that of Access 2010 and later, unless the legacy one
    // is asked for by name; a Jet 4 file knows only the legacy one.
    settings.sortOrder = accdb && loc.sortOrder == SortOrder::General && !loc.legacy ? SortOrder::General2010 : loc.sortOrder;
    settings.codePage = loc.codePage;
    settings.created = base::oleDateNow();
    const std::vector<uint8_t> image = buildNewDatabaseImage(settings);

    PendingFile file(path);
    std::string step;
    int err = file.commit(image, step, written);
    if (err == EEXIST) throw JetError(errDatabaseExists, "データベース『" + path + "』は既に存在します。");
    if (err != 0)
        throw JetError(errIo, "データベース『" + path + "』を作成できません（" + step + "に失敗しました: " + systemErrorText(err) + "）。");
}

}  // namespace jet
