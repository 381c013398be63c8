// Packages whose zip layer refuses a part: the reason is told in Japanese, naming the part.
#include <gtest/gtest.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "workbook.h"
#include "xlsx_workbook.h"

namespace {

const char* kSheetPart = "xl/worksheets/sheet1.xml";

std::string sheetXml() {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int r = 1; r <= 200; ++r) {
        s += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\" t=\"inlineStr\"><is><t>row " +
             std::to_string(r) + "</t></is></c></row>";
    }
    return s + "</sheetData></worksheet>";
}

void add(zip_t* z, const char* name, const std::string& text, bool stored) {
    char* copy = static_cast<char*>(std::malloc(text.size()));
    std::memcpy(copy, text.data(), text.size());
    zip_source_t* src = zip_source_buffer(z, copy, text.size(), 1);
    ASSERT_NE(src, nullptr);
    const zip_int64_t index = zip_file_add(z, name, src, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0);
    ASSERT_EQ(zip_set_file_compression(z, static_cast<zip_uint64_t>(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0), 0);
}

// A one-sheet workbook; the sheet's part deflated, or stored as it is.
std::string writePackage(const std::string& name, bool storedSheet) {
    const std::string path = ::testing::TempDir() + name;
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    EXPECT_NE(z, nullptr);
    if (!z) return path;
    add(z, "_rels/.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>",
        false);
    add(z, "xl/workbook.xml",
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" + rel +
            "\"><sheets><sheet name=\"表\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
        false);
    add(z, "xl/_rels/workbook.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>",
        false);
    add(z, kSheetPart, sheetXml(), storedSheet);
    EXPECT_EQ(zip_close(z), 0);
    return path;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Where the header of the sheet's part begins: the local one ("PK\3\4", name at 30) or the
// central one ("PK\1\2", name at 46).
size_t headerOf(const std::string& bytes, const char* signature, size_t nameAt) {
    const std::string name = kSheetPart;
    for (size_t pos = bytes.find(signature); pos != std::string::npos; pos = bytes.find(signature, pos + 1)) {
        if (bytes.compare(pos + nameAt, name.size(), name) == 0) return pos;
    }
    ADD_FAILURE() << "no header for " << name;
    return 0;
}

unsigned le16(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

size_t sheetDataOffset(const std::string& bytes) {
    const size_t local = headerOf(bytes, "PK\x03\x04", 30);
    return local + 30 + le16(bytes, local + 26) + le16(bytes, local + 28);
}

// The reason given when the sheet's cells are first asked for; "(read)" when they were read.
std::string sheetReason(const std::string& path) {
    try {
        auto wb = xls::openWorkbook(path);
        wb->cell(0, 1, 1);
    } catch (const xls::Error& e) {
        EXPECT_EQ(e.kind(), xls::Error::Kind::Damaged);
        EXPECT_EQ(e.sheet(), "シート1「表」");
        return e.reason();
    }
    return "(read)";
}

std::string partReason(const std::string& why) {
    return std::string("ファイルが壊れています（") + kSheetPart + " を読み取れません: " + why + "）。";
}

}  // namespace

TEST(XlsxZipErrors, APartTheZipLayerRefusesIsExplainedInJapanese) {
    // The sound package reads.
    const std::string sound = writePackage("xlsdb_zip_sound.xlsx", false);
    EXPECT_EQ(sheetReason(sound), "(read)");

    // Deflated data that does not inflate: the first block claims the reserved block type.
    {
        std::string bytes = readAll(sound);
        bytes[sheetDataOffset(bytes)] = 0x07;
        const std::string path = ::testing::TempDir() + "xlsdb_zip_inflate.xlsx";
        writeAll(path, bytes);
        EXPECT_EQ(sheetReason(path), partReason("圧縮データが壊れています"));
        std::remove(path.c_str());
    }
    // Stored data with a byte changed: the check value no longer matches.
    {
        const std::string stored = writePackage("xlsdb_zip_stored.xlsx", true);
        std::string bytes = readAll(stored);
        // Inside the text of a cell, so the XML itself stays sound.
        const size_t at = bytes.find("<t>row 100<", sheetDataOffset(bytes));
        ASSERT_NE(at, std::string::npos);
        bytes[at + 3] = 'R';
        writeAll(stored, bytes);
        EXPECT_EQ(sheetReason(stored), partReason("データの検査値（CRC）が一致しません"));
        std::remove(stored.c_str());
    }
    // An old compression method (6, implode, in both headers): the part cannot be opened at all.
    {
        std::string bytes = readAll(sound);
        bytes[headerOf(bytes, "PK\x03\x04", 30) + 8] = 6;
        bytes[headerOf(bytes, "PK\x01\x02", 46) + 10] = 6;
        const std::string path = ::testing::TempDir() + "xlsdb_zip_method.xlsx";
        writeAll(path, bytes);
        EXPECT_EQ(sheetReason(path), partReason("対応していない圧縮方式で格納されています"));
        std::remove(path.c_str());
    }
    // A part marked as encrypted with a zip password.
    {
        std::string bytes = readAll(sound);
        bytes[headerOf(bytes, "PK\x03\x04", 30) + 6] |= 1;
        bytes[headerOf(bytes, "PK\x01\x02", 46) + 8] |= 1;
        const std::string path = ::testing::TempDir() + "xlsdb_zip_password.xlsx";
        writeAll(path, bytes);
        EXPECT_EQ(sheetReason(path), partReason("zip のパスワードで暗号化されています"));
        std::remove(path.c_str());
    }
    // Method 99 (AES) without the record that must go with it: the package's directory itself is
    // inconsistent, so the file is refused when opened.
    {
        std::string bytes = readAll(sound);
        bytes[headerOf(bytes, "PK\x03\x04", 30) + 8] = 99;
        bytes[headerOf(bytes, "PK\x01\x02", 46) + 10] = 99;
        const std::string path = ::testing::TempDir() + "xlsdb_zip_aes.xlsx";
        writeAll(path, bytes);
        try {
            xls::openWorkbook(path);
            ADD_FAILURE() << "an inconsistent package was opened";
        } catch (const xls::Error& e) {
            EXPECT_EQ(e.kind(), xls::Error::Kind::Damaged);
            EXPECT_EQ(e.reason(), "ファイルが壊れています（zip の構造に矛盾があります）。");
        }
        std::remove(path.c_str());
    }
    std::remove(sound.c_str());
}

namespace {

// True when the phrase, with the format names it may use taken out, still has ASCII letters
// (the zip library's English words).
bool hasEnglish(std::string phrase) {
    for (const char* name : {"libzip", "zlib", "zip", "CRC"}) {
        for (size_t n; (n = phrase.find(name)) != std::string::npos;) phrase.erase(n, std::strlen(name));
    }
    for (unsigned char c : phrase)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return false;
}

}  // namespace

TEST(XlsxZipErrors, EveryCodeOfTheZipLayerHasAJapanesePhrase) {
    for (int code = ZIP_ER_OK; code <= ZIP_ER_CANCELLED + 1; ++code) {
        // With no reason behind it, and with one the system or zlib gives.
        for (int sys : {0, code == ZIP_ER_ZLIB ? -99 : EIO}) {
            const std::string why = xls::zipErrorReason(code, sys);
            EXPECT_FALSE(why.empty()) << code << "/" << sys;
            EXPECT_FALSE(hasEnglish(why)) << code << "/" << sys << ": " << why;
        }
    }
    // The system's reason for a failed read or open is the reason itself; for other system
    // failures it follows what was being done.
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_READ, EIO), xls::systemReason(EIO));
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_OPEN, EACCES), xls::systemReason(EACCES));
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_READ, 0), "読み取りに失敗しました");
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_SEEK, EIO), "ファイル内の位置を移動できません: " + xls::systemReason(EIO));
    // zlib's own codes: data error, memory.
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_ZLIB, -3), "圧縮データが壊れています");
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_ZLIB, -4), "展開するためのメモリが足りません");
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_MEMORY, 0), "メモリが不足しています");
    EXPECT_EQ(xls::zipErrorReason(ZIP_ER_INCONS, 0), "zip の構造に矛盾があります");
    // A code this build does not know keeps its number.
    EXPECT_NE(xls::zipErrorReason(1000, 0).find("1000"), std::string::npos);
}
