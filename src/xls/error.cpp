// The sentences that tell the user why a workbook could not be read: one per kind of failure.
#include <cerrno>
#include <utility>

#include "system_error_text.h"
#include "workbook.h"

namespace xls {
namespace {

const char* stem(Error::Kind kind) {
    switch (kind) {
        case Error::Kind::NotFound: return "ファイルが見つかりません";
        case Error::Kind::NotAFile: return "ファイルではなくフォルダーなどです";
        case Error::Kind::CannotOpen: return "ファイルを開けません";
        case Error::Kind::Empty: return "ファイルが空です。Excel のブックではありません";
        case Error::Kind::NotWorkbook: return "Excel のブックではありません";
        case Error::Kind::TooOld:
            return "Excel 5.0/95 より前の形式（BIFF2～4）のブックは読み込めません。"
                   "Excel 97-2003 ブック（.xls）か Excel ブック（.xlsx）として保存し直してください";
        case Error::Kind::Encrypted:
            return "パスワードで保護（暗号化）されたブックは読み込めません。"
                   "パスワードを解除して保存し直してください";
        case Error::Kind::Truncated: return "ファイルが途中で切れています";
        case Error::Kind::Damaged: return "ファイルが壊れています";
    }
    return "ブックを読み込めません";
}

int kindNumber(Error::Kind kind) {
    switch (kind) {
        case Error::Kind::NotFound: return base::errWorkbookNotFound;
        case Error::Kind::NotAFile: return base::errWorkbookNotAFile;
        case Error::Kind::CannotOpen: return base::errWorkbookCannotOpen;
        case Error::Kind::Empty: return base::errWorkbookEmpty;
        case Error::Kind::NotWorkbook: return base::errNotWorkbook;
        case Error::Kind::TooOld: return base::errWorkbookTooOld;
        case Error::Kind::Encrypted: return base::errWorkbookEncrypted;
        case Error::Kind::Truncated: return base::errWorkbookTruncated;
        case Error::Kind::Damaged: return base::errWorkbookDamaged;
    }
    return base::errWorkbookDamaged;
}

std::string located(const std::string& path, const std::string& sheet, const std::string& reason) {
    std::string out;
    if (!path.empty()) out += path + ": ";
    if (!sheet.empty()) out += sheet + ": ";
    return out + reason;
}

}  // namespace

std::string systemReason(int error) {
    if (error == 0) return std::string();  // the stream failed without saying why
    if (error == EACCES || error == EPERM) return "読み取りの権限がありません";
    return base::systemErrorText(error);
}

std::string Error::reasonText(Kind kind, const std::string& detail) {
    std::string out = stem(kind);
    if (!detail.empty()) out += "（" + detail + "）";
    return out + "。";
}

Error::Error(Kind kind, std::string detail) : Error(kind, std::move(detail), std::string(), std::string()) {}

Error::Error(Kind kind, std::string detail, std::string path, std::string sheet)
    : base::UserError(kindNumber(kind), located(path, sheet, reasonText(kind, detail)),
                      base::Subject{path, std::string(), sheet, std::string()},
                      reasonText(kind, detail)),
      kind_(kind),
      detail_(std::move(detail)) {}

Error Error::inFile(const std::string& path) const {
    return Error(kind_, detail_, this->path().empty() ? path : this->path(), sheet());
}

Error Error::inSheet(int sheetIndex, const std::string& sheetName) const {
    if (!sheet().empty()) return *this;
    return Error(kind_, detail_, path(), "シート" + std::to_string(sheetIndex + 1) + "「" + sheetName + "」");
}

}  // namespace xls
