// Writing a new database file: the image is written under no name (or a temporary one), synced,
// then given its name, never over an existing file.
#include <cctype>
#include <cerrno>

#include "file_names.h"
#include "new_database.h"

#include "civil_date.h"

namespace jet {

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
        throw fileError(errInvalidArgument, path,
                        {"", ": " + std::string(accdb ? ".accdb 形式のデータベースは名前が .accdb で終わるファイルにだけ作成します。"
                                                      : ".accdb の名前には .accdb 形式（Access 2007 以降）のデータベースを作成します。")});

    if (platform::kindOf(path) != platform::NodeKind::Missing)
        throw fileError(errDatabaseExists, path, {"データベース", "は既に存在します。"});

    NewDatabaseSettings settings;
    settings.format = accdb ? FileFormat::Ace16 : FileFormat::Jet4;
    // The General order of an .accdb file is that of Access 2010 and later, unless the legacy one
    // is asked for by name; a Jet 4 file knows only the legacy one.
    settings.sortOrder = accdb && loc.sortOrder == SortOrder::General && !loc.legacy ? SortOrder::General2010 : loc.sortOrder;
    settings.codePage = loc.codePage;
    settings.created = base::oleDateNow();
    const std::vector<uint8_t> image = buildNewDatabaseImage(settings);

    std::string step;
    int err = platform::createFileWithContent(path, image, step, written ? &written->device : nullptr,
                                              written ? &written->inode : nullptr);
    if (err == EEXIST) throw fileError(errDatabaseExists, path, {"データベース", "は既に存在します。"});
    if (err != 0)
        throw fileError(errIo, path, {"データベース", "を作成できません（" + step + "に失敗しました: " + systemErrorText(err) + "）。"});
}

}  // namespace jet
