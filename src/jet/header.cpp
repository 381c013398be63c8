#include "header.h"

#include <cstring>
#include <string>

namespace jet {

namespace {

// RC4 key stream of the fixed key C7 DA 39 6B, 128 bytes.
struct HeaderMask {
    uint8_t bytes[128];
    HeaderMask() {
        const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        uint8_t s[256];
        for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + key[i % 4]) & 0xFF;
            std::swap(s[i], s[j]);
        }
        for (int n = 0, i = 0, j = 0; n < 128; ++n) {
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
    for (int i = 0; i < 128; ++i) page0[0x18 + i] ^= mask().bytes[i];
}

DbHeader decodeHeader(const uint8_t* raw, uint32_t pageCount) {
    static const char jet[] = "Standard Jet DB";
    static const char ace[] = "Standard ACE DB";
    DbHeader h;
    if (!(raw[0] == 0 && raw[1] == 1 && raw[2] == 0 && raw[3] == 0))
        throw JetError(errNotDatabase, "Access データベース（.mdb / .accdb）ではありません。");
    if (std::memcmp(raw + 4, jet, 16) == 0) h.aceSignature = false;
    else if (std::memcmp(raw + 4, ace, 16) == 0) h.aceSignature = true;
    else throw JetError(errNotDatabase, "Access データベース（.mdb / .accdb）ではありません。");
    h.version = raw[0x14];
    if (h.version == 0)
        throw JetError(errNotDatabase,
                       "Jet 3（Access 97）形式のデータベースには対応していません。Jet 4（Access 2000〜2003）以降の形式に変換してください。");
    switch (h.version) {
        case 1: case 2: case 3: case 5: case 6:
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
    h.freeMapPointer = le32(p + 0x18);
    h.releasedMapPointer = le32(p + 0x1C);
    for (int i = 0; i < 4; ++i) h.systemTdefs[i] = le32(p + 0x20 + 4 * i);
    h.codePage = le16(p + 0x3C);
    h.databaseKey = le32(p + 0x3E);
    h.sortLcid = le16(p + 0x6E);
    h.sortId = p[0x70];
    h.sortVersion = p[0x71];
    std::memcpy(&h.creationDate, p + 0x72, 8);
    // An empty password is stored as the mask itself; anything else is a password.
    if (!(h.creationDate > -2147483648.0 && h.creationDate < 2147483648.0)) corrupt("ヘッダーの作成日時が不正");
    {
        int32_t whole = static_cast<int32_t>(h.creationDate);
        uint32_t m = static_cast<uint32_t>(whole);
        uint8_t plain[40];
        for (int i = 0; i < 40; ++i) {
            plain[i] = static_cast<uint8_t>(p[0x42 + i] ^ ((m >> (8 * (i % 4))) & 0xFF));
            if (plain[i] != 0) h.hasPassword = true;
        }
        for (int i = 0; i < 40; i += 2) {
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
    if (h.freeMapPointer != 0x100 || h.releasedMapPointer != 0x101)
        corrupt("ヘッダーのページ割り当てマップの位置が不正");
    for (int i = 0; i < 4; ++i)
        if (h.systemTdefs[i] != static_cast<uint32_t>(2 + i)) corrupt("ヘッダーのシステムテーブルの位置が不正");
    if (pageCount < 6) corrupt("ページ数が足りません");
    return h;
}

}  // namespace jet
