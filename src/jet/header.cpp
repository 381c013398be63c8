#include "header.h"

#include <cstring>
#include <string>

#include "data_page.h"

namespace jet {

namespace {

// The RC4 key stream of header::kMaskKey, header::kMaskSize bytes long.
struct HeaderMask {
    uint8_t bytes[header::kMaskSize];
    HeaderMask() {
        constexpr int kKeySize = sizeof header::kMaskKey;
        uint8_t s[256];  // RC4's state: a permutation of the byte values
        for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + header::kMaskKey[i % kKeySize]) & 0xFF;
            std::swap(s[i], s[j]);
        }
        for (size_t n = 0, i = 0, j = 0; n < header::kMaskSize; ++n) {
            i = (i + 1) & 0xFF;
            j = (j + s[i]) & 0xFF;
            std::swap(s[i], s[j]);
            bytes[n] = s[(s[i] + s[j]) & 0xFF];
        }
    }
};

const HeaderMask& mask() {
    static const HeaderMask m;
    return m;
}

}  // namespace

bool isAce(FileFormat f) { return f != FileFormat::Jet4; }

const char* formatName(FileFormat f) {
    switch (f) {
        case FileFormat::Jet4: return "Jet 4（Access 2000〜2003）";
        case FileFormat::Ace12: return "ACE 12（Access 2007）";
        case FileFormat::Ace14: return "ACE 14（Access 2010）";
        case FileFormat::Ace16: return "ACE 16（Access 2016）";
        case FileFormat::Ace17: return "ACE 17（Access 2019 以降）";
    }
    return "?";
}

void toggleHeaderMask(uint8_t* page0) {
    for (size_t i = 0; i < header::kMaskSize; ++i) page0[header::kMaskStart + i] ^= mask().bytes[i];
}

uint32_t passwordMask(double creationDate) {
    return static_cast<uint32_t>(static_cast<int32_t>(creationDate));
}

DbHeader decodeHeader(const uint8_t* raw, uint32_t pageCount) {
    using namespace header;
    DbHeader h;
    if (std::memcmp(raw + kMagic, kMagicBytes, sizeof kMagicBytes) != 0)
        throw JetError(errNotDatabase, "Access データベース（.mdb / .accdb）ではありません。");
    if (std::memcmp(raw + kSignature, kJetSignature, kSignatureSize) == 0) h.aceSignature = false;
    else if (std::memcmp(raw + kSignature, kAceSignature, kSignatureSize) == 0) h.aceSignature = true;
    else throw JetError(errNotDatabase, "Access データベース（.mdb / .accdb）ではありません。");
    h.version = raw[kVersion];
    if (h.version == 0)  // Jet 3
        throw JetError(errNotDatabase,
                       "Jet 3（Access 97）形式のデータベースには対応していません。Jet 4（Access 2000〜2003）以降の形式に変換してください。");
    switch (static_cast<FileFormat>(h.version)) {
        case FileFormat::Jet4: case FileFormat::Ace12: case FileFormat::Ace14: case FileFormat::Ace16: case FileFormat::Ace17:
            h.format = static_cast<FileFormat>(h.version);
            break;
        default:
            throw JetError(errNotDatabase, "未知のバージョン（" + std::to_string(h.version) + "）のデータベースです。");
    }
    // Jet 4 files say "Jet", ACE files "ACE".
    if (h.aceSignature != isAce(h.format))
        throw JetError(errNotDatabase, std::string("ヘッダーの署名と形式のバージョン（") + formatName(h.format) +
                                           "）が一致しないため、Access データベースとして扱えません。");
    uint8_t p[kPageSize];
    std::memcpy(p, raw, kPageSize);
    toggleHeaderMask(p);
    h.freeMapPointer = le32(p + kFreeMap);
    h.releasedMapPointer = le32(p + kReleasedMap);
    for (uint32_t i = 0; i < kSystemTableCount; ++i) h.systemTdefs[i] = le32(p + kSystemTdefs + sizeof(uint32_t) * i);
    h.codePage = le16(p + kCodePage);
    h.databaseKey = le32(p + kDatabaseKey);
    h.sortLcid = le16(p + kSortLcid);
    h.sortId = p[kSortId];
    h.sortVersion = p[kSortVersion];
    std::memcpy(&h.creationDate, p + kCreationDate, sizeof h.creationDate);
    // An empty password is stored as the mask itself; anything else is a password.
    if (!(h.creationDate > -2147483648.0 && h.creationDate < 2147483648.0)) corrupt("ヘッダーの作成日時が不正");
    {
        const uint32_t m = passwordMask(h.creationDate);
        uint8_t plain[kPasswordSize];
        for (size_t i = 0; i < kPasswordSize; ++i) {
            plain[i] = static_cast<uint8_t>(p[kPassword + i] ^ ((m >> (8 * (i % sizeof m))) & 0xFF));
            if (plain[i] != 0) h.hasPassword = true;
        }
        for (size_t i = 0; i < kPasswordSize; i += 2) {
            char16_t c = static_cast<char16_t>(plain[i] | (plain[i + 1] << 8));
            if (c == 0) break;
            h.password.push_back(c);
        }
    }
    if (h.databaseKey != 0 && isAce(h.format))
        throw JetError(errEncrypted, std::string(formatName(h.format)) +
                                         " のデータベースはパスワードで暗号化されているため、開けません（Office の暗号化には対応していません）。Access で「データベース パスワードの解除」を行ってから指定してください。");
    if (h.databaseKey != 0)
        throw JetError(errEncrypted, "暗号化されたデータベースには対応していません。Access で暗号化を解除してから指定してください。");
    if (h.freeMapPointer != RowPointer{kGlobalMapPage, kGlobalFreeRow}.toLe() ||
        h.releasedMapPointer != RowPointer{kGlobalMapPage, kGlobalReleasedRow}.toLe())
        corrupt("ヘッダーのページ割り当てマップの位置が不正");
    for (uint32_t i = 0; i < kSystemTableCount; ++i)
        if (h.systemTdefs[i] != kMSysObjectsPage + i) corrupt("ヘッダーのシステムテーブルの位置が不正");
    if (pageCount < kMSysRelationshipsPage + 1) corrupt("ページ数が足りません");
    return h;
}

}  // namespace jet
