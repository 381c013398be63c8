#include "database_file.h"

#include <optional>

#include <cctype>
#include <cerrno>

#include "file.h"
#include "file_io.h"
#include "file_names.h"
#include "index_page.h"
#include "journal.h"
#include "name_rules.h"
#include "table_limits.h"

namespace jet {

std::string lockFileExtension(const std::string& dbPath) {
    // Access locks an .accdb file with NAME.laccdb, any other with NAME.ldb.
    std::string tail = dbPath.size() >= 6 ? dbPath.substr(dbPath.size() - 6) : std::string();
    for (auto& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return tail == ".accdb" ? ".laccdb" : ".ldb";
}

std::string lockFilePath(const std::string& dbPath) {
    auto slash = dbPath.find_last_of(platform::kPathSeparators);
    auto dot = dbPath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return dbPath.substr(0, dot) + lockFileExtension(dbPath);
    return dbPath + lockFileExtension(dbPath);
}

namespace {

[[noreturn]] void refuseHardLinks(const std::string& path) {
    throw fileError(errHardLinked, path,
                    {"データベース", "には別の名前（ハードリンク）があります。別の名前から開かれると、中断された書き込みの記録ファイル"
                                      "が見つからずにファイルを壊すおそれがあるため、書き込み用には開きません。ファイルをコピーして名前を 1 つに"
                                      "してから指定してください。"});
}

// The database password: a file that has one opens only with it. Checked on page 0 as it is on
// disk, before any rollback (adding tables never changes page 0). Files that are not Jet 4 at all
// are left to the open proper, which says what they are.
void checkPassword(const std::string& path, const std::string& realPath, const std::optional<std::u16string>& given) {
    int fd = platform::openFile(realPath, platform::OpenMode::Read);
    if (fd < 0) return;
    Bytes page0(kPageSize, 0);
    bool whole = false;
    try {
        if (io::fileSize(fd) >= kPageSize) {
            io::readFull(fd, page0.data(), kPageSize, 0);
            whole = true;
        }
    } catch (const JetError&) {
    }
    platform::closeFile(fd);
    if (!whole) return;
    DbHeader h;
    try {
        h = decodeHeader(page0.data(), kMaxPages);
    } catch (const JetError&) {
        return;
    }
    if (!h.hasPassword) return;
    if (!given)
        throw fileError(errPasswordRequired, path, {"データベース", "はパスワードで保護されています。パスワードを指定してください。"});
    if (*given != h.password)
        throw fileError(errWrongPassword, path, {"データベース", "のパスワードが違います。データベースには何も書き込んでいません。"});
}

// Before a read-only open: a pending rollback is applied whenever the file could be written
// (writable, not open in Access, one name, nobody else writing). True when it was applied.
bool rollBackIfWritable(const std::string& path, const std::string& realPath) {
    if (io::exists(lockFilePath(path)) || io::exists(lockFilePath(realPath))) return false;
    int fd = platform::openFile(realPath, platform::OpenMode::ReadWrite);
    if (fd < 0) return false;
    bool applied = false;
    try {
        if (platform::tryLock(fd, platform::LockMode::Exclusive) == 0 && io::linkCount(fd) == 1)
            applied = recoverFromJournal(fd, realPath);
    } catch (...) {
        platform::closeFile(fd);
        throw;
    }
    platform::closeFile(fd);
    return applied;
}

}  // namespace

std::unique_ptr<DatabaseFile> DatabaseFile::open(const std::string& path, bool readOnly,
                                                 const std::optional<std::u16string>& password, bool neverWrite) {
    std::unique_ptr<DatabaseFile> f(new DatabaseFile());
    f->path_ = path;
    // The journal and the lock file belong to the file, whatever name it is reached by.
    f->realPath_ = io::resolvedPath(path);
    checkPassword(path, f->realPath_, password);
    f->readOnly_ = readOnly;
    f->neverWrite_ = readOnly && neverWrite;
    if (readOnly && !neverWrite && io::exists(journalPath(f->realPath_)))
        f->rolledBack_ = rollBackIfWritable(path, f->realPath_);
    f->fd_ = platform::openFile(f->realPath_, readOnly ? platform::OpenMode::Read : platform::OpenMode::ReadWrite);
    if (f->fd_ < 0) {
        const int err = -f->fd_;
        f->fd_ = -1;
        if (err == ENOENT) throw fileError(errFileNotFound, path, {"ファイル", "が見つかりません。"});
        if (err == EISDIR) throw fileError(errFileNotFound, path, {"", "はフォルダです。"});
        if (!readOnly && (err == EACCES || err == EPERM || err == EROFS))
            throw fileError(errReadOnly, path, {"ファイル", "を書き込み用に開けません（" + systemErrorText(err) + "）。"});
        throw fileError(errFileNotFound, path, {"ファイル", "を開けません（" + systemErrorText(err) + "）。"});
    }
    platform::FileInfo st;
    if (platform::infoOf(f->fd_, st) != 0 || !st.regular)
        throw fileError(errFileNotFound, path, {"", "はデータベースファイルではありません（通常のファイルではありません）。"});
    if (!readOnly && (io::exists(lockFilePath(path)) || io::exists(lockFilePath(f->realPath_))))
        throw fileError(errLockedByAccess, path,
                        {"データベース", "は Access で開かれています（ロックファイル " + lockFileExtension(path) +
                                             " があります）。Access を閉じてから実行してください。Access を閉じても残っている場合は、その " +
                                             lockFileExtension(path) + " ファイルを削除してください。"});
    if (platform::tryLock(f->fd_, readOnly ? platform::LockMode::Shared : platform::LockMode::Exclusive) != 0)
        throw fileError(errLockedByOther, path, {"データベース", "は別のプログラムが使用中です。"});
    JournalView before;
    if (readOnly) {
        // Cannot be written now: list the file as it was before the interrupted write.
        f->pendingRollback_ = readPendingJournal(f->fd_, f->realPath_, before);
    } else {
        if (st.links > 1) refuseHardLinks(path);
        f->rolledBack_ = recoverFromJournal(f->fd_, f->realPath_);
    }
    uint64_t size = f->pendingRollback_ ? static_cast<uint64_t>(before.pageCount) * kPageSize : io::fileSize(f->fd_);
    Bytes page0(kPageSize, 0);
    size_t head = static_cast<size_t>(std::min<uint64_t>(size, kPageSize));
    if (before.originals.count(0)) page0 = before.originals[0];
    else if (head) io::readFull(f->fd_, page0.data(), head, 0);
    if (size < header::kIdentifyingSize) throw JetError(errNotDatabase, "Access データベース（.mdb / .accdb）ではありません。");
    if (size < kPageSize) {
        decodeHeader(page0.data(), 0);  // says what it is if it is not Jet 4 or ACE
        corrupt("ファイルが途中で切れています");
    }
    uint32_t pages = static_cast<uint32_t>(std::min<uint64_t>(size / kPageSize, 0xFFFFFFu));
    f->header_ = decodeHeader(page0.data(), pages);
    if (size % kPageSize != 0) corrupt("ファイルの大きさがページの倍数ではありません（途中で切れています）");
    f->pager_ = std::make_unique<Pager>(f->fd_, pages);
    if (f->pendingRollback_) f->pager_->showBefore(pages, std::move(before.originals));
    // The catalog must be readable: its definition, its maps, its name index.
    TableDefinition objs = f->readTdef(kMSysObjectsPage);
    CatalogColumns cols(objs);
    (void)cols;
    f->readTdef(kMSysAcesPage);
    f->tables();
    return f;
}

DatabaseFile::~DatabaseFile() { close(); }

std::string DatabaseFile::journal() const { return journalPath(realPath_); }

void DatabaseFile::close() {
    inTransaction_ = false;
    if (fd_ >= 0) {
        if (pager_) pager_->discard();
        platform::closeFile(fd_);  // also drops the lock
        fd_ = -1;
    }
}

std::vector<CatalogObject> DatabaseFile::tables() {
    if (fd_ < 0) throw JetError(errDatabaseClosed, "データベースは閉じられています。");
    if (!tables_) {
        pager_->trimCache();
        TableDefinition objs = readTdef(kMSysObjectsPage);
        tables_ = listTables(*pager_, objs);
    }
    return *tables_;
}

std::string sortOrderName(uint16_t lcid, uint8_t sortVersion) {
    struct Known {
        uint16_t lcid;
        const char* name;
    };
    static const Known known[] = {{1033, "一般"}, {1041, "日本語"}, {2052, "中国語 (簡体字、ピンイン)"},
                                  {1028, "中国語 (繁体字、画数)"}, {1042, "韓国語"}, {1049, "キリル言語"},
                                  {1031, "ドイツ語 (電話帳)"}, {1053, "スウェーデン語/フィンランド語"}};
    std::string name = "LCID " + std::to_string(lcid);
    for (const Known& k : known)
        if (k.lcid == lcid) name = std::string(k.name) + "、LCID " + std::to_string(lcid);
    if (sortVersion != 0) name += "、Access 2010 以降の形式";
    return name;
}

std::optional<SortOrder> DatabaseFile::catalogSortOrder() {
    TableDefinition objs = readTdef(kMSysObjectsPage);
    const ColumnDef& name = objs.columnByName(u"Name", "MSysObjects");
    SortOrder order;
    if (name.sortId != 0 || !sortOrderOf(name.lcid, name.sortVersion, order)) return std::nullopt;
    return order;
}

namespace {
std::u16string fold(const std::u16string& s) { return foldNameCase(s); }

// Reports a problem of a table request, about a column, an index and one of its key fields, or
// -1 for each part that does not apply.
class ProblemReport {
public:
    explicit ProblemReport(const std::function<void(const TableProblem&)>& report) : report_(report) {}
    void operator()(int column, int index, int key, int number, const std::string& text,
                    base::Subject subject = {}) const {
        TableProblem p{JetError(number, text, std::move(subject)), column, index, key};
        report_(p);
    }

private:
    const std::function<void(const TableProblem&)>& report_;
};

void checkColumns(const NewTable& t, const ProblemReport& at) {
    int autos = 0, secondAuto = -1;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const NewColumn& c = t.columns[i];
        const int ci = static_cast<int>(i);
        try {
            validateObjectName(c.name, "フィールド");
        } catch (const JetError& e) {
            at(ci, -1, -1, e.number(), e.what());
        }
        for (size_t j = 0; j < i; ++j)
            if (fold(t.columns[j].name) == fold(c.name)) {
                at(ci, -1, -1, errDuplicateField, "フィールド名『" + utf16ToUtf8(c.name) + "』が重複しています。");
                break;
            }
        switch (c.type) {
            case colText:
                if (c.textChars < 1 || c.textChars > kMaxTextChars)
                    at(ci, -1, -1, errInvalidSize, "フィールド『" + utf16ToUtf8(c.name) + "』のサイズ " +
                                                       std::to_string(c.textChars) + " は不正です（テキスト型は 1〜" + std::to_string(kMaxTextChars) + "）。");
                break;
            case colBoolean: case colInteger: case colLong: case colCurrency: case colSingle: case colDouble:
            case colDateTime: case colMemo:
                break;
            default:
                at(ci, -1, -1, errInvalidSize, "フィールド『" + utf16ToUtf8(c.name) + "』のデータ型には対応していません。");
        }
        if (c.autoIncrement && c.type != colLong)
            at(ci, -1, -1, errInvalidSize, "オートナンバーにできるのは長整数型のフィールドだけです（『" + utf16ToUtf8(c.name) + "』）。");
        if (c.autoIncrement && ++autos == 2) secondAuto = ci;
    }
    if (secondAuto >= 0) at(secondAuto, -1, -1, errInvalidSize, "オートナンバー型のフィールドは 1 テーブルに 1 つまでです。");
}

// The key fields of index `xi`: each a column of the table (not a Memo), none twice.
void checkIndexFields(const NewTable& t, const NewIndex& x, int xi, const ProblemReport& at) {
    for (size_t k = 0; k < x.columns.size(); ++k) {
        const int ki = static_cast<int>(k);
        const NewColumn* column = nullptr;
        for (auto& c : t.columns)
            if (!column && fold(c.name) == fold(x.columns[k])) column = &c;
        if (!column)
            at(-1, xi, ki, errIndexField, "インデックス『" + utf16ToUtf8(x.name) + "』のフィールド『" +
                                              utf16ToUtf8(x.columns[k]) + "』はテーブルにありません。");
        // Access keeps no index over long text: its values have no key.
        else if (column->type == colMemo)
            at(-1, xi, ki, errIndexInvalid, "メモ型のフィールド『" + utf16ToUtf8(column->name) + "』にはインデックス『" +
                                                utf16ToUtf8(x.name) + "』を設定できません。");
        for (size_t m = 0; m < k; ++m)
            if (fold(x.columns[m]) == fold(x.columns[k])) {
                at(-1, xi, ki, errIndexInvalid, "インデックス『" + utf16ToUtf8(x.name) + "』に同じフィールドが 2 回あります。");
                break;
            }
    }
}

void checkIndexes(const NewTable& t, const ProblemReport& at) {
    if (t.indexes.size() > kMaxIndexes) at(-1, -1, -1, errIndexInvalid, "索引が多すぎます（" + std::to_string(kMaxIndexes) + " まで）。");
    int primaries = 0, secondPrimary = -1;
    for (size_t i = 0; i < t.indexes.size(); ++i) {
        const NewIndex& x = t.indexes[i];
        const int xi = static_cast<int>(i);
        try {
            validateObjectName(x.name, "インデックス");
        } catch (const JetError& e) {
            at(-1, xi, -1, e.number(), e.what());
        }
        for (size_t j = 0; j < i; ++j)
            if (fold(t.indexes[j].name) == fold(x.name)) {
                at(-1, xi, -1, errIndexInvalid, "インデックス名『" + utf16ToUtf8(x.name) + "』が重複しています。");
                break;
            }
        if (x.columns.empty())
            at(-1, xi, -1, errIndexInvalid, "インデックス『" + utf16ToUtf8(x.name) + "』にフィールドがありません。");
        if (x.columns.size() > kMaxIndexFields)
            at(-1, xi, static_cast<int>(kMaxIndexFields), errIndexInvalid, "インデックス『" + utf16ToUtf8(x.name) + "』のフィールドが多すぎます（" + std::to_string(kMaxIndexFields) + " まで）。");
        checkIndexFields(t, x, xi, at);
        if (x.primary && ++primaries == 2) secondPrimary = xi;
    }
    if (secondPrimary >= 0) at(-1, secondPrimary, -1, errIndexInvalid, "主キーは 1 つしか作れません。");
}
}  // namespace

void checkNewTable(const NewTable& t, const std::function<void(const TableProblem&)>& report) {
    const ProblemReport at(report);
    const std::string tn = utf16ToUtf8(t.name);
    const base::Subject table = base::Subject::ofTable(tn);
    try {
        validateObjectName(t.name, "テーブル");
    } catch (const JetError& e) {
        at(-1, -1, -1, e.number(), e.what(), t.name.empty() ? base::Subject{} : table);  // names a name it has
    }
    if (t.columns.empty()) at(-1, -1, -1, errNoFields, "テーブル『" + tn + "』にフィールドがありません。", table);
    if (t.columns.size() > kMaxFields)
        at(-1, -1, -1, errTooManyFields, "テーブル『" + tn + "』のフィールドが多すぎます（" + std::to_string(kMaxFields) + " まで）。", table);
    checkColumns(t, at);
    checkIndexes(t, at);
}

void validateNewTable(const NewTable& t) {
    // The first problem found, in the order checkNewTable looks.
    struct First {};
    std::optional<JetError> first;
    try {
        checkNewTable(t, [&](const TableProblem& p) {
            first = p.error;
            throw First{};
        });
    } catch (const First&) {
    }
    if (first) throw *first;
}

}  // namespace jet
