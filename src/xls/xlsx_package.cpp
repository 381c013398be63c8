#include "xlsx_package.h"

#include <cctype>
#include <vector>

#include "workbook.h"
#include "xlsx_workbook.h"

namespace xls {
namespace xlsx {

// Resolves a relationship target against the folder of the part that holds the relationship.
std::string resolveTarget(const std::string& sourceDir, const std::string& target) {
    std::string raw;
    // Percent-encoded characters in the URI.
    for (size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size() && std::isxdigit(static_cast<unsigned char>(target[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(target[i + 2]))) {
            raw.push_back(static_cast<char>(std::stoi(target.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            raw.push_back(target[i] == '\\' ? '/' : target[i]);
        }
    }
    std::string full = (!raw.empty() && raw[0] == '/') ? raw.substr(1) : sourceDir + raw;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= full.size()) {
        size_t slash = full.find('/', start);
        if (slash == std::string::npos) slash = full.size();
        const std::string seg = full.substr(start, slash - start);
        if (seg == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!seg.empty() && seg != ".") {
            parts.push_back(seg);
        }
        start = slash + 1;
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

std::string folderOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string relsPartOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    if (slash == std::string::npos) return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

// Why libzip refused, from the error it left: the error's own words are English, so the code is
// said again in Japanese, with the system's or zlib's reason behind it where there is one.
std::string zipReason(const zip_error_t* ze) {
    const int code = zip_error_code_zip(ze);
    const int sys = zip_error_code_system(ze);
    const int sysType = zip_error_system_type(ze);
    // The system's reason alone says it best for a failed open or read; other failures keep
    // what was being done in front of it.
    auto withSystem = [&](const char* what) -> std::string {
        if (sysType != ZIP_ET_SYS || sys == 0) return what;
        return std::string(what) + ": " + systemReason(sys);
    };
    switch (code) {
        case ZIP_ER_OK: return "原因は不明です";
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
            if (sysType == ZIP_ET_SYS && sys != 0) return systemReason(sys);
            return code == ZIP_ER_OPEN ? "ファイルを開けません" : "読み取りに失敗しました";
        case ZIP_ER_SEEK: return withSystem("ファイル内の位置を移動できません");
        case ZIP_ER_TELL: return withSystem("ファイル内の位置を調べられません");
        case ZIP_ER_CLOSE: return withSystem("ファイルを閉じられません");
        case ZIP_ER_WRITE: return withSystem("書き込みに失敗しました");
        case ZIP_ER_RENAME: return withSystem("一時ファイルの名前を変えられません");
        case ZIP_ER_TMPOPEN: return withSystem("一時ファイルを作れません");
        case ZIP_ER_REMOVE: return withSystem("ファイルを削除できません");
        case ZIP_ER_CRC: return "データの検査値（CRC）が一致しません";
        case ZIP_ER_ZLIB:
            if (sysType == ZIP_ET_ZLIB) {
                switch (sys) {
                    case -3: return "圧縮データが壊れています";            // Z_DATA_ERROR
                    case -4: return "展開するためのメモリが足りません";    // Z_MEM_ERROR
                    case -5: return "圧縮データが途中で切れています";      // Z_BUF_ERROR
                    default: break;
                }
                return "圧縮データを展開できません（zlib のエラー番号 " + std::to_string(sys) + "）";
            }
            return "圧縮データを展開できません";
        case ZIP_ER_COMPRESSED_DATA: return "圧縮データが壊れています";
        case ZIP_ER_MEMORY: return "メモリが不足しています";
        case ZIP_ER_COMPNOTSUPP: return "対応していない圧縮方式で格納されています";
        case ZIP_ER_ENCRNOTSUPP: return "対応していない方式で暗号化されています";
        case ZIP_ER_NOPASSWD: return "zip のパスワードで暗号化されています";
        case ZIP_ER_WRONGPASSWD: return "zip のパスワードが違います";
        case ZIP_ER_EOF: return "ファイルが途中で終わっています";
        case ZIP_ER_NOZIP: return "zip 形式ではありません";
        case ZIP_ER_INCONS: return "zip の構造に矛盾があります";
        case ZIP_ER_MULTIDISK: return "複数に分割された zip には対応していません";
        case ZIP_ER_NOENT: return "そのパーツはありません";
        case ZIP_ER_EXISTS: return "同じ名前のパーツが既にあります";
        case ZIP_ER_ZIPCLOSED: return "zip が既に閉じられています";
        case ZIP_ER_CHANGED: return "パーツが変更されています";
        case ZIP_ER_DELETED: return "パーツが削除されています";
        case ZIP_ER_RDONLY: return "読み取り専用の zip です";
        case ZIP_ER_INVAL: return "zip の処理に渡した値が正しくありません";
        case ZIP_ER_INTERNAL: return "zip の処理で内部エラーが起きました";
        case ZIP_ER_OPNOTSUPP: return "対応していない操作です";
        case ZIP_ER_INUSE: return "zip が使用中です";
        case ZIP_ER_CANCELLED: return "処理が中断されました";
#ifdef ZIP_ER_DATA_LENGTH
        case ZIP_ER_DATA_LENGTH: return "データの長さが記録と一致しません";
#endif
#ifdef ZIP_ER_NOT_ALLOWED
        case ZIP_ER_NOT_ALLOWED: return "許可されていない操作です";
#endif
#ifdef ZIP_ER_TRUNCATED_ZIP
        case ZIP_ER_TRUNCATED_ZIP: return "ファイルが途中で終わっています";
#endif
        default: break;
    }
    return "zip を読み取れません（libzip のエラー番号 " + std::to_string(code) + "）";
}

}  // namespace xlsx

std::string zipErrorReason(int zipError, int systemError) {
    zip_error_t ze;
    zip_error_init(&ze);
    zip_error_set(&ze, zipError, systemError);
    std::string why = xlsx::zipReason(&ze);
    zip_error_fini(&ze);
    return why;
}

}  // namespace xls
