#include "system_error_text.h"

#include <cerrno>
#include <cstring>

namespace base {

std::string systemErrorText(int err) {
    switch (err) {
        case 0: return "原因のわからないエラーが発生しました";
        case ENOENT: return "ファイルまたはフォルダが見つかりません";
        case ENOTDIR: return "パスの途中にフォルダではないものがあります";
        case EACCES:
        case EPERM: return "権限がありません";
        case EROFS: return "読み取り専用のファイルシステムです";
        case ENOSPC: return "ディスクの空き容量が不足しています";
        case EDQUOT: return "ディスクの使用量が上限（クォータ）に達しています";
        case EEXIST: return "同じ名前のファイルまたはフォルダが既にあります";
        case EISDIR: return "ファイルではなくフォルダです";
        case ENAMETOOLONG: return "ファイル名またはパスが長すぎます";
        case ELOOP: return "シンボリックリンクが多すぎるか、循環しています";
        case EBUSY: return "ファイルまたはデバイスが使用中です";
        case ETXTBSY: return "ファイルが実行中のプログラムに使われています";
        case EIO: return "ディスクの入出力エラーが発生しました";
        case EMFILE:
        case ENFILE: return "開いているファイルが多すぎます";
        case ENOMEM: return "メモリが不足しています";
        case EINTR: return "処理が中断されました";
        case EFBIG:
        case EOVERFLOW: return "ファイルが大きすぎます";
        case EAGAIN: return "一時的に使用できません";
        case ENXIO:
        case ENODEV: return "デバイスがありません";
        case EOPNOTSUPP: return "このファイルシステムではできない操作です";
        case ESTALE: return "ネットワーク上のファイルが無効になっています";
        default: break;
    }
    return "システムエラー（errno " + std::to_string(err) + ": " + std::strerror(err) + "）";
}

}  // namespace base
