#include "dao.h"

#include <limits>

#include "database_file.h"
#include "name_rules.h"
#include "table_limits.h"
#include "tdef.h"

namespace jet {

namespace {
std::u16string foldCase(const std::string& s) { return foldNameCase(utf8ToUtf16(s)); }

int fixedSizeOf(int type) {
    switch (type) {
        case dbBoolean: case dbByte: return 1;
        case dbInteger: return 2;
        case dbLong: case dbSingle: return 4;
        case dbCurrency: case dbDouble: case dbDate: return 8;
        default: return 0;
    }
}
}  // namespace

// ---- Field ----------------------------------------------------------------

Field::Field(std::string name, int type, int size) : name_(std::move(name)), type_(type), size_(size) {
    if (type_ != dbText) size_ = fixedSizeOf(type_);  // Memo: 0, as DAO reports it
}

void Field::setAttributes(long attributes) {
    if ((attributes & dbAutoIncrField) && type_ != dbLong)
        throw JetError(errInvalidSize, "オートナンバーにできるのは長整数型のフィールドだけです（『" + name_ + "』）。");
    attributes_ = attributes;
}

// ---- Fields ---------------------------------------------------------------

FieldPtr Fields::item(int i) const {
    if (i < 0 || i >= Count()) throw JetError(errIndexField, "フィールド番号 " + std::to_string(i) + " はありません。");
    return items_[static_cast<size_t>(i)];
}

FieldPtr Fields::item(const std::string& name) const {
    for (auto& f : items_)
        if (f->Name() == name) return f;
    std::u16string key = foldCase(name);
    for (auto& f : items_)
        if (foldCase(f->Name()) == key) return f;
    throw JetError(errIndexField, "フィールド『" + name + "』はこのコレクションにありません。");
}

void Fields::Append(const FieldPtr& field) {
    if (!field) throw JetError(errIndexField, "フィールドが指定されていません。");
    if (field->appended_ && owner_ == Owner::Table)
        throw JetError(errAlreadyAppended, "フィールド『" + field->Name() + "』は既に追加されています。");
    std::u16string n = utf8ToUtf16(field->Name());
    validateObjectName(n, "フィールド");
    std::u16string key = foldCase(field->Name());
    for (auto& f : items_)
        if (foldCase(f->Name()) == key)
            throw JetError(errDuplicateField, "フィールド名『" + field->Name() + "』が重複しています。");
    if (owner_ == Owner::Table) {
        switch (field->Type()) {
            case dbText:
                if (field->Size() < 1 || field->Size() > kMaxTextChars)
                    throw JetError(errInvalidSize, "フィールド『" + field->Name() + "』のサイズ " + std::to_string(field->Size()) +
                                                       " は不正です（テキスト型は 1〜" + std::to_string(kMaxTextChars) + "）。");
                break;
            case dbBoolean: case dbInteger: case dbLong: case dbCurrency: case dbSingle: case dbDouble: case dbDate:
            case dbMemo:
                break;
            default:
                throw JetError(errInvalidSize, "フィールド『" + field->Name() + "』のデータ型 " + std::to_string(field->Type()) +
                                                   " には対応していません。");
        }
        if (items_.size() >= kMaxFields)
            throw JetError(errTooManyFields, "フィールドが多すぎます（" + std::to_string(kMaxFields) + " まで）。");
        field->appended_ = true;
    } else if (items_.size() >= kMaxIndexFields) {
        throw JetError(errIndexInvalid, "インデックスのフィールドが多すぎます（" + std::to_string(kMaxIndexFields) + " まで）。");
    }
    items_.push_back(field);
}

// ---- Index / Indexes --------------------------------------------------------

Index::Index(std::string name) : name_(std::move(name)) {}

FieldPtr Index::CreateField(const std::string& name) { return std::make_shared<Field>(name, dbText, 0); }

IndexPtr Indexes::item(int i) const {
    if (i < 0 || i >= Count()) throw JetError(errIndexField, "インデックス番号 " + std::to_string(i) + " はありません。");
    return items_[static_cast<size_t>(i)];
}

IndexPtr Indexes::item(const std::string& name) const {
    std::u16string key = foldCase(name);
    for (auto& x : items_)
        if (foldCase(x->Name()) == key) return x;
    throw JetError(errIndexField, "インデックス『" + name + "』はこのコレクションにありません。");
}

void Indexes::Append(const IndexPtr& index) {
    if (!index) throw JetError(errIndexInvalid, "インデックスが指定されていません。");
    if (index->appended_) throw JetError(errAlreadyAppended, "インデックス『" + index->Name() + "』は既に追加されています。");
    validateObjectName(utf8ToUtf16(index->Name()), "インデックス");
    if (index->Fields().Count() == 0)
        throw JetError(errIndexInvalid, "インデックス『" + index->Name() + "』にフィールドがありません。");
    std::u16string key = foldCase(index->Name());
    for (auto& x : items_) {
        if (foldCase(x->Name()) == key)
            throw JetError(errIndexInvalid, "インデックス名『" + index->Name() + "』が重複しています。");
        if (x->Primary() && index->Primary()) throw JetError(errIndexInvalid, "主キーは 1 つしか作れません。");
    }
    if (items_.size() >= kMaxIndexes)
        throw JetError(errIndexInvalid, "インデックスが多すぎます（" + std::to_string(kMaxIndexes) + " まで）。");
    index->appended_ = true;
    items_.push_back(index);
}

// ---- TableDef ---------------------------------------------------------------

TableDef::TableDef(std::string name) : name_(std::move(name)) {}

FieldPtr TableDef::CreateField(const std::string& name, int type, int size) {
    return std::make_shared<Field>(name, type, size);
}

IndexPtr TableDef::CreateIndex(const std::string& name) { return std::make_shared<Index>(name); }

// ---- Database / TableDefs --------------------------------------------------

Database::Database(std::string path, std::unique_ptr<DatabaseFile> file, bool readOnly)
    : path_(std::move(path)), file_(std::move(file)), readOnly_(readOnly),
      rolledBackAtOpen_(file_ && file_->rolledBackAtOpen()),
      rollbackPending_(file_ && file_->rollbackPending()),
      inspecting_(file_ && file_->neverWrites()),
      journal_(file_ ? file_->journal() : std::string()) {}

std::string Database::RollbackNotice() const {
    if (rollbackPending_ && inspecting_)
        return "データベース『" + path_ + "』への前回の書き込みが中断されたままです（書き込み記録ファイル『" + journal_ +
               "』）。データベースには書き込まずに、中断前の状態を記録ファイルから読んでいます。書き込みできる状態で開くと、中断前の状態に戻します。";
    if (rollbackPending_)
        return "データベース『" + path_ + "』への前回の書き込みが中断されたままです（書き込み記録ファイル『" + journal_ +
               "』）。いまは書き込めないため、中断前の状態を記録ファイルから読んでいます。書き込みできる状態で開くと、中断前の状態に戻します。";
    if (!rolledBackAtOpen_) return {};
    return "データベース『" + path_ + "』への前回の書き込みが中断されていたため、その書き込みの前の状態に戻しました。";
}

Database::~Database() = default;

DatabaseFile& Database::file() {
    if (!file_) throw JetError(errDatabaseClosed, "データベースは閉じられています。");
    return *file_;
}

DatabaseFile& databaseFile(Database& db) { return db.file(); }

TableDefPtr Database::CreateTableDef(const std::string& name) {
    file();
    return std::make_shared<TableDef>(name);
}

void Database::Close() {
    if (file_) {
        file_->close();
        file_.reset();
    }
}

void Database::BeginTrans() { file().beginTransaction(); }

void Database::CommitTrans() { file().commit(); }

void Database::Rollback() { file().rollback(); }

bool Database::InTransaction() const { return file_ && file_->inTransaction(); }

int TableDefs::Count() const { return static_cast<int>(db_.file().tables().size()); }

std::string TableDefs::item(int i) const {
    auto t = db_.file().tables();
    if (i < 0 || i >= static_cast<int>(t.size()))
        throw JetError(errIndexField, "テーブル番号 " + std::to_string(i) + " はありません。");
    return utf16ToUtf8(t[static_cast<size_t>(i)].name);
}

std::vector<std::string> TableDefs::Names() const {
    std::vector<std::string> out;
    for (auto& t : db_.file().tables()) out.push_back(utf16ToUtf8(t.name));
    return out;
}

namespace {
// The definition as the file layer takes it.
NewTable toNewTable(const TableDef& table) {
    NewTable t;
    t.name = utf8ToUtf16(table.Name());
    for (int i = 0; i < table.Fields().Count(); ++i) {
        const Field& fd = *table.Fields().item(i);
        NewColumn c;
        c.name = utf8ToUtf16(fd.Name());
        c.type = static_cast<uint8_t>(fd.Type());
        // A size no 16-bit count holds becomes 0, which the writer refuses.
        if (fd.Type() == dbText)
            c.textChars = static_cast<uint16_t>(fd.Size() < 0 || fd.Size() > std::numeric_limits<uint16_t>::max() ? 0 : fd.Size());
        c.autoIncrement = (fd.Attributes() & dbAutoIncrField) != 0;
        c.required = fd.Required();
        t.columns.push_back(c);
    }
    for (int i = 0; i < table.Indexes().Count(); ++i) {
        const Index& x = *table.Indexes().item(i);
        NewIndex ni;
        ni.name = utf8ToUtf16(x.Name());
        ni.primary = x.Primary();
        for (int k = 0; k < x.Fields().Count(); ++k) ni.columns.push_back(utf8ToUtf16(x.Fields().item(k)->Name()));
        t.indexes.push_back(ni);
    }
    return t;
}
}  // namespace

std::vector<DefinitionProblem> checkTableDef(const TableDef& table) {
    std::vector<DefinitionProblem> out;
    checkNewTable(toNewTable(table), [&](const TableProblem& p) {
        out.push_back(DefinitionProblem{p.error, p.column, p.index, p.key});
    });
    return out;
}

void TableDefs::Append(const TableDefPtr& table) {
    DatabaseFile& f = db_.file();
    if (!table) throw JetError(errNoFields, "テーブル定義が指定されていません。");
    if (table->appended_)
        throw JetError(errAlreadyAppended, "テーブル『" + table->Name() + "』は既に追加されています。",
                       base::Subject::ofTable(table->Name()));
    f.createTable(toNewTable(*table));
    table->appended_ = true;
}

// ---- DBEngine ------------------------------------------------------------------

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& path) { return OpenDatabase(path, false); }

namespace {
std::optional<std::u16string> passwordOf(const std::string& connect) {
    const auto at = connect.find("PWD=");
    if (at == std::string::npos) return std::nullopt;
    return utf8ToUtf16(connect.substr(at + 4));
}
}  // namespace

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& path, bool readOnly, const std::string& connect) {
    auto file = DatabaseFile::open(path, readOnly, passwordOf(connect));
    return std::unique_ptr<Database>(new Database(path, std::move(file), readOnly));
}

std::unique_ptr<Database> DBEngine::InspectDatabase(const std::string& path, const std::string& connect) {
    auto file = DatabaseFile::open(path, true, passwordOf(connect), true);
    return std::unique_ptr<Database>(new Database(path, std::move(file), true));
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& path, bool readOnly) {
    auto file = DatabaseFile::open(path, readOnly);
    return std::unique_ptr<Database>(new Database(path, std::move(file), readOnly));
}

}  // namespace jet
