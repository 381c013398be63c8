// Why a definition file (.edf layout, .afa type notations) could not be read or written, in
// parts: for a caller that names the file in its own words and adds only the reason.
#pragma once

#include <cstdint>
#include <string>

struct DefFileFailure {
    std::string strPath;    // the file
    // Why, without the path: 「ファイルまたはフォルダが見つかりません」, or for a value that is not
    // a number "<ColNull> の値を読めません。…".
    std::string strReason;
    // The file key whose value could not be read (a .edf read); empty for a failure of the file.
    std::string strKey;
    // The number of the failure: the text file layer's (53 not found, 75 access, ...), 13 for a
    // value that is not a number, 6 for one out of range.
    std::int32_t lngErrNo = 0;
};
