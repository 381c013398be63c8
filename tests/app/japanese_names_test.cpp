// Tables with Japanese names, end to end through xlsdb-cli: created in a new Japanese-sort
// database and in a copy of a Japanese-sort database written by Access, then read back by
// mdbtools, mdb-reader and the structural checker; the catalog's ParentIdName entries are read
// from the leaf pages (tools/extract_index_keys.py) and compared with keys assembled by hand.
// Names whose keys are not known exactly are refused, naming the character, with the file left
// byte for byte as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "checker.h"
#include "cli_support.h"
#include "text_key.h"
#include "utf_codec.h"

namespace fs = std::filesystem;
namespace jt = jet::testsupport;
using namespace clitest;

namespace {

const fs::path kData = fs::path(XLSDB_TEST_DATA) / "app" / "japanese";
const fs::path kJapaneseSample = fs::path(XLSDB_TEST_DATA) / "mdb" / "jp_sample_thinkami.mdb";
const std::string kExtractKeys = std::string(XLSDB_TEST_DATA) + "/../../tools/extract_index_keys.py";

const std::string kBook = (kData / "japanese_names.xlsx").string();
const std::string kLayout = (kData / "japanese_names.edf").string();
const std::string kReading = (kData / "japanese_names.xlsx.json").string();

const std::vector<std::string> kCreated = {"社員マスタ", "コーヒーデータ", "受注明細", "ｶﾀﾛｸﾞ", "受注・明細", "穀類、シリアル"};

// Keys of the names (after the text column's 7F flag) for sort order 1041, assembled from the key
// rules for the Japanese sort order:
//   primaries 01 [diacritics, trailing 02 dropped] [01 01 kana section] 00
//   kana section = <small flags> FF <mark codes> 02 <80 x ceil(n/7)> FF <80 x ceil(n/7)>
//   (2-bit codes three to a byte under a 10 marker, trailing defaults dropped; n kana weights).
// Kana sounds are the General Legacy weights (third_party/jackcess/data); kanji weights follow
// the JIS order rule: sequence i -> L = 6 + i, NT = (0x80 + L div 254) << 8 | (L mod 254 + 2),
// key = NT + 0x0100 (i from tools/data/jp1041_kanji_weights.tsv; all these kanji measured there).
const std::map<std::string, std::string>& handKeys() {
    static const std::map<std::string, std::string> keys = {
        // 社 28-50 i=1248: L=1254=4*254+238 -> 84F0 -> 85F0; 員 16-87 i=94: L=100 -> 8066 -> 8166;
        // マ 7F32 ス 7F14 タ 7F1A. No voicing: no diacritics. Three kana, none small, all letters:
        // both code lists empty; tail 02 80 FF 80.
        {"社員マスタ", "85F0" "8166" "7F32" "7F14" "7F1A" "01" "01" "01" "FF" "0280FF80" "00"},
        // コ 7F0E, ー after コ repeats its vowel オ 7F06; ヒ 7F2B, ー -> イ 7F03; デ 7F1D voiced
        // (diacritic 03), ー -> エ 7F05; タ 7F1A. Diacritics 02 02 02 02 03 (02 02 dropped).
        // Marks 01 11 01 11 01 11 01: trailing 01 dropped -> 10|01 11 01 = 9D, 10|11 01 11 = B7.
        // Seven kana weights: tail 02 80 FF 80.
        {"コーヒーデータ", "7F0E" "7F06" "7F2B" "7F03" "7F1D" "7F05" "7F1A" "01" "0202020203" "01" "01"
                           "FF" "9DB7" "0280FF80" "00"},
        // 受 28-85 i=1287: L=1293=5*254+23 -> 8519 -> 8619; 注 35-77 i=1965: L=1971=7*254+193 ->
        // 87C3 -> 88C3; 明 44-32 i=2809: L=2815=11*254+21 -> 8B17 -> 8C17; 細 26-57 i=1047:
        // L=1053=4*254+37 -> 8427 -> 8527. No kana, no diacritics: the key ends 01 00.
        {"受注明細", "8619" "88C3" "8C17" "8527" "01" "00"},
        // Half-width kana fold to the same sounds: ｶ 7F0A ﾀ 7F1A ﾛ 7F46 ｸ 7F0C, and ﾞ adds the
        // dakuten to ｸ's diacritic (03). Four kana, all letters, none small.
        {"ｶﾀﾛｸﾞ", "7F0A" "7F1A" "7F46" "7F0C" "01" "02020203" "01" "01" "FF" "0280FF80" "00"},
        // ・ and 、 take their General Legacy weights (・ 34B2, 、 1B03) and a diacritic slot of
        // their own (02, dropped here as trailing defaults); they are not kana. 受注・明細: the
        // kanji of 受注明細 around 34B2, no kana: the key ends 01 00.
        {"受注・明細", "8619" "88C3" "34B2" "8C17" "8527" "01" "00"},
        // 穀 25-82 i=975: L=981=3*254+219 -> 83DD -> 84DD; 類 46-64 i=3105: L=3111=12*254+63 ->
        // 8C41 -> 8D41; 、 1B03; シ 7F13 リ 7F43 ア 7F02 ル 7F44. No voicing; four kana, none small,
        // all letters, and 、 adds no kana code: tail 02 80 FF 80.
        {"穀類、シリアル", "84DD" "8D41" "1B03" "7F13" "7F43" "7F02" "7F44" "01" "01" "01" "FF" "0280FF80" "00"},
    };
    return keys;
}

Result create(const std::string& mdb, const std::vector<std::string>& tables) {
    std::vector<std::string> args = {"create", "--layout", kLayout, kBook, mdb};
    args.insert(args.end(), tables.begin(), tables.end());
    return cli(args);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string utf16Hex(const std::string& utf8) {
    std::u16string u;
    EXPECT_TRUE(base::utf8ToUtf16(utf8, u)) << utf8;
    std::string hex;
    char b[8];
    for (char16_t c : u) {
        std::snprintf(b, sizeof b, "%04x", unsigned(c));
        hex += b;
    }
    return hex;
}

// One catalog ParentIdName entry as read from the index leaves.
struct CatalogKey {
    std::string lcid;   // of the Name column
    std::string value;  // UTF-16 code units, hex
    std::string key;    // text key without its 7F flag, hex
    bool operator<(const CatalogKey& o) const {
        return std::tie(lcid, value, key) < std::tie(o.lcid, o.value, o.key);
    }
    bool operator==(const CatalogKey& o) const { return lcid == o.lcid && value == o.value && key == o.key; }
};

std::ostream& operator<<(std::ostream& os, const CatalogKey& k) {
    return os << "{" << k.lcid << " " << k.value << " " << k.key << "}";
}

// Every entry of MSysObjects' ParentIdName index (MSysObjects' definition is page 2), sorted.
std::vector<CatalogKey> catalogKeys(const std::string& mdb) {
    jt::CommandResult r = jt::run({"/usr/bin/python3", kExtractKeys, mdb});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<CatalogKey> keys;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream cols(line);
        std::string c;
        while (std::getline(cols, c, '\t')) f.push_back(c);
        if (f.size() != 6) {
            ADD_FAILURE() << "unexpected line: " << line;
            continue;
        }
        if (f[1] == "2" && f[2] == "ParentId+Name") keys.push_back({f[3], f[4], lower(f[5])});
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// The hand-made entries of `names` added to `before`.
std::vector<CatalogKey> withNewNames(std::vector<CatalogKey> before, const std::vector<std::string>& names) {
    for (const auto& n : names) before.push_back({"0411", utf16Hex(n), lower(handKeys().at(n))});
    std::sort(before.begin(), before.end());
    return before;
}

// The entries one sorted list has and the other lacks, one per line ("" when they are equal).
std::string difference(const std::vector<CatalogKey>& got, const std::vector<CatalogKey>& want) {
    std::vector<CatalogKey> extra, missing;
    std::set_difference(got.begin(), got.end(), want.begin(), want.end(), std::back_inserter(extra));
    std::set_difference(want.begin(), want.end(), got.begin(), got.end(), std::back_inserter(missing));
    std::ostringstream s;
    for (const auto& k : extra) s << "in the index, not expected: " << k << "\n";
    for (const auto& k : missing) s << "expected, not in the index: " << k << "\n";
    return s.str();
}

// Everything the readers and the checker must agree on after the tables were created.
// `unverifiedBefore`: index entries of the original file the checker cannot recompute (none of
// them may be ours).
void expectCreatedTablesReadBack(const std::string& mdb, const std::vector<CatalogKey>& keysBefore,
                                 int unverifiedBefore) {
    // Columns, types, sizes, auto-increment (mdb-reader), NOT NULL and primary keys (mdb-schema).
    // The other tables of the workbook must not be there ("created but not asked for").
    EXPECT_EQ(checkMdb(kReading, "default", mdb, kCreated), "OK\n");

    const std::vector<std::string> listed = jt::mdbTables(mdb);
    const jt::ReaderView reader = jt::mdbReader(mdb, kCreated);
    ASSERT_TRUE(reader.ok) << reader.error;
    for (const auto& name : kCreated) {
        SCOPED_TRACE(name);
        EXPECT_EQ(std::count(listed.begin(), listed.end(), name), 1);
        EXPECT_EQ(std::count(reader.tables.begin(), reader.tables.end(), name), 1);
        ASSERT_TRUE(reader.details.count(name));
        EXPECT_EQ(reader.details.at(name).rowCount, 0);
        const jt::SchemaTable schema = jt::mdbSchema(mdb, name);
        EXPECT_TRUE(schema.found) << schema.raw;
        EXPECT_FALSE(schema.primaryKey.empty()) << schema.raw;
        EXPECT_EQ(jt::mdbExport(mdb, name).exitCode, 0);
    }

    const jet::CheckReport report = jet::checkDatabase(mdb);
    EXPECT_TRUE(report.ok()) << report.summary();
    EXPECT_EQ(report.keysUnverified, unverifiedBefore) << report.summary();

    // The catalog index holds what it held before plus exactly one entry per new table, keyed
    // as the rules give it.
    EXPECT_EQ(difference(catalogKeys(mdb), withNewNames(keysBefore, kCreated)), "");

    // Listed in catalog (key) order: kana sounds 7Fxx before the kanji weights 84DD < 85F0 < 8619,
    // and ・ (34B2) before 明 (8C17).
    Result tables = cli({"tables", mdb});
    ASSERT_EQ(tables.code, 0) << tables.err;
    std::vector<size_t> at;
    for (const char* n : {"ｶﾀﾛｸﾞ", "コーヒーデータ", "穀類、シリアル", "社員マスタ", "受注・明細", "受注明細"})
        at.push_back(tables.out.find(std::string(n) + "\n"));
    for (size_t p : at) EXPECT_NE(p, std::string::npos) << tables.out;
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << tables.out;
}

std::vector<std::string> folderListing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A name the sort order cannot key exactly: refused with the character named, nothing written.
struct Refusal {
    const char* table;
    const char* character;  // as the message shows it
    const char* why;        // part of the reason
};
const std::vector<Refusal> kRefusals = {
    {"月次論評", "「論」(U+8AD6)", "一つの範囲までしか分かっていません"},
    {"髙橋商店", "「髙」(U+9AD9)", "JIS X 0208 の漢字の重みの表にない文字です"},
    {"ーテスト", "「ー」(U+30FC)", "長音記号が仮名の直後にない"},
};

void expectRefusalsLeaveFileAlone(const std::string& mdb) {
    const fs::path dir = fs::path(mdb).parent_path();
    const std::string bytes = testsupport::readBytes(mdb);
    const std::vector<std::string> files = folderListing(dir);
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.table);
        Result got = create(mdb, {r.table});
        EXPECT_EQ(got.code, 1);
        EXPECT_EQ(got.out, std::string(r.table) + "作成に失敗しました\n作成処理を終了しました。\n");
        // "xlsdb-cli: テーブル名『<table>』は作成できません。名前の 「論」(U+8AD6) は、並べ替え順序
        // 「日本語」(1041)では..." on one line, the table named once.
        EXPECT_EQ(got.err.rfind("xlsdb-cli: ", 0), 0u) << got.err;
        EXPECT_EQ(occurrences(got.err, r.table), 1u) << got.err;
        EXPECT_NE(got.err.find(std::string("名前の ") + r.character), std::string::npos) << got.err;
        EXPECT_NE(got.err.find("(1041)"), std::string::npos) << got.err;
        EXPECT_NE(got.err.find(r.why), std::string::npos) << got.err;
        EXPECT_EQ(std::count(got.err.begin(), got.err.end(), '\n'), 1) << got.err;
        EXPECT_EQ(testsupport::readBytes(mdb), bytes);
        EXPECT_EQ(folderListing(dir), files);  // no journal or lock file left behind
    }
    // All three in one run: three refusals, still nothing written.
    Result all = create(mdb, {"ーテスト", "髙橋商店", "月次論評"});
    EXPECT_EQ(all.code, 1);
    EXPECT_EQ(all.out, "月次論評作成に失敗しました\n髙橋商店作成に失敗しました\nーテスト作成に失敗しました\n"
                       "作成処理を終了しました。\n");
    EXPECT_EQ(testsupport::readBytes(mdb), bytes);
    EXPECT_EQ(folderListing(dir), files);
}

// カタログ keys exactly as ｶﾀﾛｸﾞ does (width is not part of the key), so with ｶﾀﾛｸﾞ in the
// catalog it would be a second entry with the same key in a unique index: refused, as is a name
// already there, and nothing written.
void expectSameKeyRefused(const std::string& mdb) {
    const std::string bytes = testsupport::readBytes(mdb);
    Result again = create(mdb, {"カタログ", "受注明細"});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.out, "受注明細作成に失敗しました\nカタログ作成に失敗しました\n作成処理を終了しました。\n");
    // Each refusal says the name is already there, naming the table once.
    for (const char* name : {"受注明細", "カタログ"}) {
        const size_t named = again.err.find(name);
        ASSERT_NE(named, std::string::npos) << again.err;
        const size_t at = again.err.rfind('\n', named) == std::string::npos ? 0 : again.err.rfind('\n', named) + 1;
        const std::string line = again.err.substr(at, again.err.find('\n', at) - at);
        EXPECT_EQ(line.rfind("xlsdb-cli: ", 0), 0u) << line;
        EXPECT_EQ(occurrences(line, name), 1u) << line;
        EXPECT_NE(line.find("既に"), std::string::npos) << line;
    }
    EXPECT_EQ(testsupport::readBytes(mdb), bytes);
}

}  // namespace

TEST(JapaneseNames, WorkbookListsTheNamesInUtf8) {
    Result r = cli({"list", "--layout", kLayout, kBook});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "社員マスタ\n月次論評\nコーヒーデータ\n髙橋商店\n受注明細\nーテスト\nｶﾀﾛｸﾞ\nカタログ\n受注・明細\n"
                     "穀類、シリアル\n");

    // The JSON reading carries the same names, fields and keys as the generator wrote them.
    Result json = cli({"list", "--json", "--layout", kLayout, kBook});
    ASSERT_EQ(json.code, 0) << json.err;
    testsupport::TempDir tmp;
    const fs::path got = tmp.path() / "got.json";
    testsupport::writeBytes(got, json.out);
    jt::CommandResult same = jt::run({"/usr/bin/python3", "-c",
                                      "import json,sys\n"
                                      "got=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                                      "exp=json.load(open(sys.argv[2],encoding='utf-8'))\n"
                                      "print('OK' if got=={'tables':exp['tables']} else 'DIFF')",
                                      got.string(), kReading});
    EXPECT_EQ(same.out + same.err, "OK\n") << json.out;
}

TEST(JapaneseNames, CreatedInANewJapaneseSortDatabase) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "新規.mdb").string();
    Result made = cli({"newdb", "--sort", "japanese", mdb});
    ASSERT_EQ(made.code, 0) << made.err;
    const std::vector<CatalogKey> before = catalogKeys(mdb);
    ASSERT_FALSE(before.empty());
    for (const auto& k : before) EXPECT_EQ(k.lcid, "0411") << k;

    // The whole workbook in one run: refusals between the tables that are made, and カタログ
    // refused because ｶﾀﾛｸﾞ, keyed the same, was made earlier in the same open database.
    Result r = create(mdb, {});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "月次論評作成に失敗しました\n髙橋商店作成に失敗しました\nーテスト作成に失敗しました\n"
                     "カタログ作成に失敗しました\n作成処理を終了しました。\n");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 4) << r.err;
    expectCreatedTablesReadBack(mdb, before, 0);
    expectRefusalsLeaveFileAlone(mdb);
    expectSameKeyRefused(mdb);
}

TEST(JapaneseNames, CreatedInACopyOfAnAccessWrittenJapaneseDatabase) {
    testsupport::TempDir dir;
    const std::string mdb = (dir.path() / "sample.mdb").string();
    fs::copy_file(kJapaneseSample, mdb);
    // Keys Access wrote; the new entries must join them without any of them changing.
    const std::vector<CatalogKey> before = catalogKeys(mdb);
    ASSERT_FALSE(before.empty());
    for (const auto& k : before) EXPECT_EQ(k.lcid, "0411") << k;
    const jt::ReaderView readerBefore = jt::mdbReader(mdb, {});
    ASSERT_TRUE(readerBefore.ok) << readerBefore.error;
    const jet::CheckReport original = jet::checkDatabase(mdb);
    ASSERT_TRUE(original.ok()) << original.summary();

    // Refused names first: the Access-written file stays exactly as it came.
    expectRefusalsLeaveFileAlone(mdb);
    EXPECT_EQ(testsupport::readBytes(mdb), testsupport::readBytes(kJapaneseSample));

    Result r = create(mdb, kCreated);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "作成処理を終了しました。\n");
    expectCreatedTablesReadBack(mdb, before, original.keysUnverified);

    // The sample's own tables are still there, with their columns.
    const jt::ReaderView after = jt::mdbReader(mdb, {});
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(after.tables.size(), readerBefore.tables.size() + kCreated.size());
    for (const auto& kv : readerBefore.details) {
        ASSERT_TRUE(after.details.count(kv.first)) << kv.first;
        EXPECT_EQ(after.details.at(kv.first).columns.size(), kv.second.columns.size()) << kv.first;
        EXPECT_EQ(after.details.at(kv.first).rowCount, kv.second.rowCount) << kv.first;
    }

    expectSameKeyRefused(mdb);
}
