#include "xlsx_package.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "workbook.h"
#include "xlsx_values.h"
#include "xlsx_workbook.h"
#include "xlsx_xml.h"

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

namespace {
constexpr zip_uint64_t kMaxSmallPart = 64u << 20;
}  // namespace

pugi::xml_node childElement(pugi::xml_node node, const char* local) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(localName(c.name()), local) == 0) return c;
    return pugi::xml_node();
}

Package::Package(const std::string& path) : path_(path) {
    int err = 0;
    // No ZIP_CHECKCONS: it refuses some packages that spreadsheet programs open; damage inside a
    // part still shows as a CRC or inflate error when the part is read.
    zip_ = zip_open(path.c_str(), ZIP_RDONLY, &err);
    if (zip_) return;
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);  // also takes errno for the failures it comes with
    const std::string why = zipReason(&ze);
    zip_error_fini(&ze);
    // The file begins like a zip archive, so a missing end record means it was cut short.
    if (err == ZIP_ER_NOZIP || err == ZIP_ER_EOF)
        throw Error(Error::Kind::Truncated, "zip の末尾にある目次がありません").inFile(path);
    if (err == ZIP_ER_INCONS) throw Error(Error::Kind::Damaged, why).inFile(path);
    if (err == ZIP_ER_READ || err == ZIP_ER_SEEK)
        throw Error(Error::Kind::Damaged, "zip の目次を読み取れません: " + why).inFile(path);
    throw Error(Error::Kind::CannotOpen, why).inFile(path);
}

Package::~Package() {
    if (zip_) zip_discard(zip_);
}

void Package::corrupt(const std::string& what) const { throw Error(Error::Kind::Damaged, what).inFile(path_); }

bool Package::hasPart(const std::string& name) const { return zip_name_locate(zip_, name.c_str(), 0) >= 0; }

bool Package::readSmallPart(const std::string& name, std::string& out) const {
    zip_stat_t st;
    const zip_int64_t index = zip_name_locate(zip_, name.c_str(), 0);
    if (index < 0) return false;
    if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0)
        corrupt(name + " を読み取れません: " + zipReason(zip_get_error(zip_)));
    if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxSmallPart) corrupt(name + " が大きすぎます");
    zip_file_t* f = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
    if (!f) corrupt(name + " を読み取れません: " + zipReason(zip_get_error(zip_)));
    out.clear();
    char buf[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(f, buf, sizeof buf);
        if (n < 0) {
            const std::string why = zipReason(zip_file_get_error(f));
            zip_fclose(f);
            corrupt(name + " を読み取れません: " + why);
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > kMaxSmallPart) {
            zip_fclose(f);
            corrupt(name + " が大きすぎます");
        }
    }
    zip_fclose(f);
    return true;
}

void Package::parseSmallPart(const std::string& name, pugi::xml_document& doc) const {
    std::string data;
    if (!readSmallPart(name, data)) corrupt(name + " がありません");
    const pugi::xml_parse_result r =
        doc.load_buffer(data.data(), data.size(), pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_auto);
    if (!r) corrupt(name + " の XML の形式が正しくありません: " + r.description());
}

std::unordered_map<std::string, Relationship> Package::relationships(const std::string& part) const {
    std::unordered_map<std::string, Relationship> rels;
    const std::string relsName = relsPartOf(part);
    if (!hasPart(relsName)) return rels;
    pugi::xml_document doc;
    parseSmallPart(relsName, doc);
    for (pugi::xml_node r = childElement(doc, "Relationships").first_child(); r; r = r.next_sibling()) {
        if (r.type() != pugi::node_element || std::strcmp(localName(r.name()), "Relationship") != 0) continue;
        if (equalsNoCase(r.attribute("TargetMode").value(), "External")) continue;
        std::string type = r.attribute("Type").value();
        const size_t slash = type.rfind('/');
        if (slash != std::string::npos) type.erase(0, slash + 1);
        rels[r.attribute("Id").value()] = Relationship{type, resolveTarget(folderOf(part), r.attribute("Target").value())};
    }
    return rels;
}

void Package::streamPart(const std::string& part, const std::function<void(XmlPull&)>& fn) const {
    zip_file_t* file = zip_fopen(zip_, part.c_str(), 0);
    if (!file) corrupt(part + " を読み取れません: " + zipReason(zip_get_error(zip_)));
    try {
        XmlPull parser([this, file, part](char* buf, size_t cap) -> size_t {
            const zip_int64_t n = zip_fread(file, buf, cap);
            if (n < 0) corrupt(part + " を読み取れません: " + zipReason(zip_file_get_error(file)));
            return static_cast<size_t>(n);
        });
        fn(parser);
    } catch (const Error& e) {
        zip_fclose(file);
        if (!e.path().empty()) throw;  // already tells where
        throw Error(e.kind(), part + ": " + e.detail()).inFile(path_);
    } catch (...) {
        zip_fclose(file);
        throw;
    }
    zip_fclose(file);
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
