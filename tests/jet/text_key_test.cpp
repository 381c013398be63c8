// Text index keys: against keys Access and Jet wrote into real files, the measured kana tails,
// hand-built keys for each kind of character, and the names that must be refused.
#include "text_key.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>
#endif

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using jet::SortOrder;

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (uint8_t x : bytes) {
        std::snprintf(b, sizeof b, "%02X ", x);
        s += b;
    }
    if (!s.empty()) s.pop_back();
    return s;
}

// Key as spaced upper-case hex, or "REFUSED: reason".
std::string key(const std::string& utf8, SortOrder order) {
    jet::TextKey k = jet::encodeTextKeyUtf8(utf8, order);
    return k.ok ? hex(k.bytes) : "REFUSED: " + k.reason;
}

std::string dataPath(const std::string& name) { return std::string(XLSDB_TEST_DATA) + "/jet/keys/" + name; }

std::vector<std::vector<std::string>> readTsv(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << path;
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t')) cols.push_back(col);
        rows.push_back(cols);
    }
    return rows;
}

// Compares every (value, key) pair of a file made by tools/extract_index_keys.py. A refusal is
// acceptable only for values with control characters (never table names) or characters outside
// the Basic Multilingual Plane; a key that is computed must be exact. Returns the number of
// exact keys; `japanese` and `general2010` count those of the two other orders.
size_t checkRealKeys(const std::string& file, size_t* japanese, size_t* general2010 = nullptr,
                     std::vector<std::string>* refusedOthers = nullptr) {
    auto rows = readTsv(dataPath(file));
    size_t exact = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(r.size(), 6u);
        if (r.size() != 6) continue;
        std::u16string text;
        bool control = false;
        for (size_t i = 0; i + 4 <= r[4].size(); i += 4) {
            text += char16_t(std::stoul(r[4].substr(i, 4), nullptr, 16));
            control |= text.back() < 0x20 || (text.back() >= 0xD800 && text.back() <= 0xDFFF);
        }
        SortOrder order = r[3] == "0411" ? SortOrder::Japanese : r[3] == "0409.1" ? SortOrder::General2010 : SortOrder::General;
        EXPECT_TRUE(r[3] == "0411" || r[3] == "0409.1" || r[3] == "0409") << r[3];
        jet::TextKey k = jet::encodeTextKey(text, order);
        if (!k.ok) {
            if (!control && refusedOthers) refusedOthers->push_back(r[4]);
            else EXPECT_TRUE(control) << r[0] << " " << r[4] << ": " << k.reason;
            continue;
        }
        std::string got;
        char b[3];
        for (uint8_t x : k.bytes) {
            std::snprintf(b, sizeof b, "%02x", x);
            got += b;
        }
        EXPECT_EQ(got, r[5]) << r[0] << " " << r[2] << " " << r[4];
        ++exact;
        if (japanese && order == SortOrder::Japanese) ++*japanese;
        if (general2010 && order == SortOrder::General2010) ++*general2010;
    }
    return exact;
}

// Keys read from the sample databases (see the data README): catalog names in both sort orders,
// relationship names, and one value holding every code point U+0001-U+00FF.
TEST(TextKeyRealFiles, SampleDatabases) {
    size_t japanese = 0;
    EXPECT_GE(checkRealKeys("sample_keys.tsv", &japanese), 330u);
    EXPECT_GE(japanese, 50u);
}

// Every key of the .accdb samples (catalog names, user-data text indexes) in General Legacy,
// General (1033 version 1) and Japanese, and the further distinct keys of Jackcess's ACE test files.
TEST(TextKeyRealFiles, AccdbSamplesInEveryOrder) {
    size_t japanese = 0, general2010 = 0;
    std::vector<std::string> refused;
    EXPECT_GE(checkRealKeys("accdb_sample_keys.tsv", &japanese, &general2010, &refused), 1247u);
    EXPECT_GE(japanese, 73u);  // with the theme's file name holding two zero-width spaces
    EXPECT_GE(general2010, 510u);  // the other 80 hold emoji (outside the BMP): refused
    EXPECT_EQ(refused, std::vector<std::string>{});
    size_t more2010 = 0;
    EXPECT_GE(checkRealKeys("jackcess_ace_test_keys.tsv", nullptr, &more2010), 150u);
    EXPECT_GE(more2010, 45u);
}

// Keys from Access-written test databases: user data in Greek, Cyrillic, kanji and kana.
TEST(TextKeyRealFiles, JackcessTestDatabases) { EXPECT_GE(checkRealKeys("jackcess_test_keys.tsv", nullptr), 100u); }

// Examples quoted from real keys in the format notes.
TEST(TextKeyRealFiles, NoteExamples) {
    for (SortOrder o : {SortOrder::General, SortOrder::Japanese}) {
        EXPECT_EQ(key("order", o), "64 69 4F 51 69 01 00");
        EXPECT_EQ(key("MSysObjects", o), "60 6B 76 6B 64 4C 5B 51 4D 6D 6B 01 00");
        EXPECT_EQ(key("~sq_c", o).substr(0, 20), "2B 0F 6B 68 2B 03 4D");
        EXPECT_EQ(key("カタログ", o), "7F 0A 7F 1A 7F 46 7F 0C 01 02 02 02 03 01 01 FF 02 80 FF 80 00");
        EXPECT_EQ(key("フィルタ", o), "7F 2C 7F 03 7F 44 7F 1A 01 01 01 B8 FF 02 80 FF 80 00");
        EXPECT_EQ(key("コーヒービター", o),
                  "7F 0E 7F 06 7F 2B 7F 03 7F 2B 7F 1A 7F 02 01 02 02 02 02 03 01 01 FF 9D B5 B0 02 80 FF 80 00");
    }
    EXPECT_EQ(key("ANNE-MARIE", SortOrder::General), "4A 62 62 51 60 4A 69 59 51 01 01 01 01 80 17 06 82 00");
    EXPECT_EQ(key("寿々", SortOrder::Japanese), "86 1B 86 1B 01 02 05 00");
    EXPECT_EQ(key("亜", SortOrder::Japanese), "81 08 01 00");   // first JIS kanji
    EXPECT_EQ(key("熙", SortOrder::Japanese), "9B 69 01 00");   // last JIS kanji
}

// ・ and 、 in Japanese-sort keys Access wrote: the General Legacy weight, a diacritic slot of
// their own (・'s is visible between ム and ド), and no part in the kana flags, marks or count.
TEST(TextKeyRealFiles, MiddleDotAndIdeographicComma) {
    const SortOrder j = SortOrder::Japanese;
    EXPECT_EQ(key("うどん・そばつゆ", j), "7F 04 7F 1E 7F 80 34 B2 7F 16 7F 2A 7F 1C 7F 3C 01 02 03 02 02 02 03 "
                                       "01 01 FF 02 80 FF 80 00");
    EXPECT_EQ(key("ポム・ド・テール", j), "7F 2E 7F 34 34 B2 7F 1E 34 B2 7F 1D 7F 05 7F 44 01 04 02 02 03 "
                                       "01 01 FF 95 9C 02 80 FF 80 00");
    EXPECT_EQ(key("洋風居酒屋けい・えっくす", j), "8C 8A 8B 2B 83 4A 86 16 81 DC 7F 0D 7F 03 34 B2 7F 05 7F 1C 7F 0C "
                                              "7F 14 01 01 01 BF A0 FF 02 80 FF 80 00");
    EXPECT_EQ(key("穀類、シリアル", j), "84 DD 8D 41 1B 03 7F 13 7F 43 7F 02 7F 44 01 01 01 FF 02 80 FF 80 00");
    // Fourteen kana around a dot are still within the kana that can be keyed.
    EXPECT_TRUE(jet::encodeTextKeyUtf8("アイウエオカキ・クケコサシスセ", j).ok);
}

// "." and the control character U+0003 in Japanese-sort keys Access wrote (theme file names; the
// storage name of every .accdb): keyed as in General Legacy, U+0003 as an ignorable character
// with its position record. (The zero-width space is in the .accdb sample keys above.)
TEST(TextKeyRealFiles, DotZeroWidthSpaceAndControlCharacter) {
    const SortOrder j = SortOrder::Japanese;
    EXPECT_EQ(key("Office テーマ.thmx", j), "64 53 53 59 4D 51 07 7F 1D 7F 05 7F 32 1C 6D 57 60 75 01 01 01 FF 9C "
                                          "02 80 FF 80 00");
    EXPECT_EQ(key("\x03" "DirData", j), "4F 59 69 4F 4A 6D 4A 01 01 01 01 80 07 06 05 00");
}

// The tail grows with the number of kana weights: 80 x ceil(n / 7) on both sides.
TEST(TextKeyKana, TailLengthAgainstObservations) {
    auto rows = readTsv(dataPath("jp1041_kana_tail_observations.tsv"));
    ASSERT_EQ(rows.size(), 15u);  // header + n = 1..14
    const std::vector<std::string> kana = {"ア", "イ", "ウ", "エ", "オ", "カ", "キ",
                                           "ク", "ケ", "コ", "サ", "シ", "ス", "セ"};
    for (size_t i = 1; i < rows.size(); ++i) {
        size_t n = std::stoul(rows[i][0]);
        std::string a, b;
        for (size_t j = 0; j < rows[i][1].size(); j += 2) a += " " + rows[i][1].substr(j, 2);
        for (size_t j = 0; j < rows[i][2].size(); j += 2) b += " " + rows[i][2].substr(j, 2);
        std::string name;
        for (size_t j = 0; j < n; ++j) name += kana[j];
        std::string tail = "02" + a + " FF" + b + " 00";  // no marks: "FF" comes right before it
        for (SortOrder o : {SortOrder::General, SortOrder::Japanese}) {
            std::string k = key(name, o);
            ASSERT_GE(k.size(), tail.size()) << n;
            EXPECT_EQ(k.substr(k.size() - tail.size() - 3), "FF " + tail) << "n = " << n;
        }
        // ー after a kana counts as a kana weight: n - 1 letters + ー has the same tail
        // (after its mark codes).
        std::string withMark = name.substr(0, name.size() - 3) + (n > 1 ? "ー" : "");
        if (n > 1) {
            std::string k = key(withMark, SortOrder::Japanese);
            EXPECT_EQ(k.substr(k.size() - tail.size()), tail) << "ー, n = " << n;
        }
    }
    std::string fifteen = "アイウエオカキクケコサシスセソ";
    EXPECT_NE(key(fifteen, SortOrder::Japanese).find("「ソ」(U+30BD)"), std::string::npos);
    EXPECT_EQ(key(fifteen, SortOrder::General).rfind("REFUSED", 0), 0u);
    EXPECT_NE(key("アイウエオカキクケコサシスセー", SortOrder::Japanese).find("「ー」"), std::string::npos);
}

// Keys built by hand from the rules, one per kind of character.
TEST(TextKeyKana, HandBuiltKeys) {
    const SortOrder j = SortOrder::Japanese;
    // Hiragana, katakana and half-width katakana share the sound; voicing is a diacritic.
    EXPECT_EQ(key("かたろぐ", j), key("カタログ", j));
    EXPECT_EQ(key("ｶﾀﾛｸﾞ", j), key("カタログ", j));
    EXPECT_EQ(key("パ", j), "7F 2A 01 04 01 01 FF 02 80 FF 80 00");
    EXPECT_EQ(key("ﾊﾟ", j), key("パ", j));
    // Five small kana: flags 10 packed three to a byte, trailing "normal" dropped.
    EXPECT_EQ(key("ァィゥェォア", j),
              "7F 02 7F 03 7F 04 7F 05 7F 06 7F 02 01 01 01 AA A8 FF 02 80 FF 80 00");
    // ー after a small kana: the vowel (ュ -> う), the small flag, mark 11.
    EXPECT_EQ(key("ニュース", j), "7F 23 7F 3C 7F 04 7F 14 01 01 01 BA FF 97 02 80 FF 80 00");
    // ー after a voiced kana is the plain vowel: デー -> 7F1D 7F05, diacritics 03 02.
    EXPECT_EQ(key("データ", j), "7F 1D 7F 05 7F 1A 01 03 01 01 FF 9C 02 80 FF 80 00");
    EXPECT_EQ(key("ﾃﾞｰﾀ", j), key("データ", j));
    // Kana and an ignorable hyphen: kana section, FF, then 01 and the record (position 1).
    EXPECT_EQ(key("ア-イ", j), "7F 02 7F 03 01 01 01 FF 02 80 FF 80 FF 01 80 0B 06 82 00");
    // Kanji (weights measured in Access-written files) and kana together.
    EXPECT_EQ(key("社員マスタ", j), "85 F0 81 66 7F 32 7F 14 7F 1A 01 01 01 FF 02 80 FF 80 00");
    EXPECT_EQ(key("受注明細", j), "86 19 88 C3 8C 17 85 27 01 00");
    EXPECT_EQ(key("愛", j), "81 0D 01 00");
    EXPECT_EQ(key("椒", j), "92 51 01 00");  // level 2
    // The band next to the uncertain kanji is exact on both sides.
    EXPECT_EQ(key("呂", j), "8D 7A 01 00");
    EXPECT_EQ(key("倭和", j), "8D AA 8D AB 01 00");
    // An interleaved equivalent takes the slot after its kanji.
    EXPECT_EQ(key("㈱", j), "82 8A 01 00");
}

TEST(TextKeyGeneral, HandBuiltKeys) {
    const SortOrder g = SortOrder::General;
    // Case folds; trailing spaces are dropped, inner ones weigh 07.
    EXPECT_EQ(key("Order", g), key("order", g));
    EXPECT_EQ(key("ab  ", g), key("ab", g));
    EXPECT_EQ(key("a b", g), "4A 07 4C 01 00");
    EXPECT_EQ(key("Z9", g), "78 48 01 00");
    // Accents are diacritics; trailing defaults are trimmed.
    EXPECT_EQ(key("Café", g), "4D 4A 53 51 01 02 02 02 0E 00");
    EXPECT_EQ(key("éa", g), "51 4A 01 0E 00");
    // A combining mark adds to the diacritic of the letter before it.
    EXPECT_EQ(key("e\u0301", g), "51 01 0E 00");
    // Apostrophe: a word-sort record at position 2 (7 + 4 * 2 = 0F).
    EXPECT_EQ(key("it's", g), "59 6D 6B 01 01 01 01 80 0F 06 80 00");
    // Two weights, one diacritic slot (as in Jet's key of U+0001-U+00FF).
    EXPECT_EQ(key("Æé", g), "4A 51 51 01 02 0E 00");
    EXPECT_EQ(key("Straße", g), "6B 6D 69 4A 6B 6B 51 01 00");
    // Iteration mark after a kanji, in the General order's kanji weights.
    EXPECT_EQ(key("人々", g), "9F D4 9F D4 01 02 05 00");
    EXPECT_EQ(key("\u3007", g), "01 00");  // an ignored character
}

// The JIS X 0208 kanji, in kuten order, from the system's CP932 converter (independent of the
// weight table): every one is keyable except the 28 uncertain ones (47-05 to 47-32), and their
// weights rise strictly in kuten order from 亜 81 08 to 熙 9B 69.
#ifndef _WIN32  // the reference order comes from iconv
TEST(TextKeyKanji, JisOrderFromCp932) {
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    ASSERT_NE(cd, (iconv_t)-1);
    unsigned previous = 0, keyed = 0, refused = 0;
    for (int row = 16; row <= 84; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            int j1 = row + 0x20, j2 = cell + 0x20;
            char sjis[2] = {char(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0)),
                            char(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E))};
            char u16[8];
            char* in = sjis;
            char* out = u16;
            size_t inLeft = 2, outLeft = sizeof u16;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1) || outLeft != sizeof u16 - 2)
                continue;  // an unassigned cell
            std::u16string text(1, char16_t(uint8_t(u16[0]) | uint8_t(u16[1]) << 8));
            jet::TextKey k = jet::encodeTextKey(text, SortOrder::Japanese);
            bool uncertain = row == 47 && cell >= 5 && cell <= 32;
            if (uncertain) {
                EXPECT_FALSE(k.ok) << row << "-" << cell;
                ++refused;
                continue;
            }
            ASSERT_TRUE(k.ok) << row << "-" << cell << ": " << k.reason;
            ASSERT_EQ(k.bytes.size(), 4u) << row << "-" << cell;
            unsigned weight = unsigned(k.bytes[0]) << 8 | k.bytes[1];
            EXPECT_GT(weight, previous) << row << "-" << cell;
            if (previous == 0) {
                EXPECT_EQ(weight, 0x8108u);
            }
            previous = weight;
            ++keyed;
        }
    }
    iconv_close(cd);
    EXPECT_EQ(previous, 0x9B69u);
    EXPECT_EQ(refused, 28u);
    EXPECT_EQ(keyed + refused, 6355u);  // 2,965 level-1 and 3,390 level-2 kanji
}
#endif

std::string reasonOf(const std::string& utf8, SortOrder order) {
    jet::TextKey k = jet::encodeTextKeyUtf8(utf8, order);
    EXPECT_FALSE(k.ok) << utf8 << " was keyed as " << hex(k.bytes);
    EXPECT_TRUE(k.bytes.empty());
    return k.reason;
}

// Everything without a settled key is refused, naming the character.
TEST(TextKeyRefusals, NamesTheCharacter) {
    const SortOrder j = SortOrder::Japanese, g = SortOrder::General;
    struct Case {
        const char* text;
        SortOrder order;
        const char* named;
    };
    const Case cases[] = {
        {"論理", j, "「論」(U+8AD6)"},     // uncertain kanji 47-32
        {"魯", j, "「魯」(U+9B6F)"},       // uncertain kanji 47-05
        {"\uF980", j, "(U+F980)"},          // uncertain equivalent
        {"髙橋", j, "「髙」(U+9AD9)"},     // NEC/IBM extension kanji
        {"\uFA11", j, "(U+FA11)"},
        {"\uF929", j, "(U+F929)"},
        {"\u4E02", j, "(U+4E02)"},          // not in JIS X 0208
        {"仝", j, "「仝」"},
        {"〆切", j, "「〆」"},
        {"〇", j, "「〇」"},
        {"㍻", j, "「㍻」"},               // era square
        {"a\\b", j, "(U+005C)"},
        {"a―b", j, "(U+2015)"},
        {"a#b", j, "「#」"},                // ASCII not seen in a Japanese key
        {"・ー", j, "「ー」"},               // marks after ・ and 、 are not settled
        {"ア・ー", j, "「ー」"},
        {"漢、々", j, "「々」"},
        {"カ・ﾞ", j, "(U+FF9E)"},
        {"ーア", j, "「ー」(U+30FC)"},      // ー at the start
        {"Aー", j, "「ー」"},               // after a non-kana
        {"アーー", j, "「ー」"},            // after ー
        {"ンー", j, "「ー」"},
        {"ｰｱ", j, "(U+FF70)"},
        {"ーア", g, "「ー」"},
        {"々", j, "「々」"},
        {"ア々", j, "「々」"},
        {"㈱々", j, "「々」"},              // after an equivalent, not a kanji
        {"あゝ", j, "「ゝ」"},
        {"アヽ", j, "「ヽ」"},
        {"あゞ", g, "「ゞ」"},
        {"アヾ", g, "「ヾ」"},
        {"あ〱", g, "「〱」"},
        {"\uFE7C", g, "(U+FE7C)"},
        {"\u0E40\u0E01", g, "(U+0E40)"},  // Thai vowel written before its consonant
        {"\u1100\u1161", g, "(U+1100)"},  // conjoining jamo
        {"ﾞｱ", j, "(U+FF9E)"},              // voicing mark with nothing to voice
        {"ｶﾞﾞ", j, "(U+FF9E)"},
        {"ヷ", j, "「ヷ」"},
        {"\u32D0", g, "(U+32D0)"},          // circled katakana
        {"ß-a", g, "(U+002D)"},             // record position after two weights unsettled
        {"\u01C4", g, "(U+01C4)"},          // accented letter of two weights
        {"\u0301a", g, "(U+0301)"},         // combining mark at the start
        {"a𠮷", g, "(U+20BB7)"},            // outside the BMP
        {"a𠮷", j, "(U+20BB7)"},
    };
    for (const Case& c : cases) {
        std::string reason = reasonOf(c.text, c.order);
        EXPECT_NE(reason.find(c.named), std::string::npos) << c.text << ": " << reason;
        EXPECT_NE(reason.find(c.order == j ? "(1041)" : "(1033)"), std::string::npos) << reason;
    }
    std::u16string lone = u"a";
    lone += char16_t(0xD800);
    EXPECT_FALSE(jet::encodeTextKey(lone, g).ok);
    EXPECT_FALSE(jet::encodeTextKey(u"abc", static_cast<SortOrder>(1036)).ok);
}

// Every BMP code unit, after a letter and alone, in both orders: either a well-formed key
// (primaries, 01, ..., 00) or a refusal naming the code point, never both, never an empty reason.
TEST(TextKeyInput, EveryCodeUnitKeyedOrRefused) {
    size_t keyed[2] = {0, 0};
    for (SortOrder o : {SortOrder::General, SortOrder::Japanese}) {
        for (unsigned c = 1; c <= 0xFFFF; ++c) {
            for (std::u16string text : {std::u16string(1, char16_t(c)), u"A" + std::u16string(1, char16_t(c))}) {
                jet::TextKey k = jet::encodeTextKey(text, o);
                if (k.ok) {
                    ASSERT_GE(k.bytes.size(), 2u) << std::hex << c;
                    ASSERT_EQ(k.bytes.back(), 0x00) << std::hex << c;
                    ASSERT_TRUE(k.reason.empty());
                    keyed[o == SortOrder::Japanese]++;
                } else {
                    char num[12];
                    std::snprintf(num, sizeof num, "U+%04X", c);
                    ASSERT_NE(k.reason.find(num), std::string::npos) << k.reason;
                    ASSERT_TRUE(k.bytes.empty());
                }
            }
        }
    }
    EXPECT_GT(keyed[0], 2u * 60000u);  // the General tables cover nearly the whole BMP
    EXPECT_GT(keyed[1], 2u * 6600u);   // kanji, kana and the verified ASCII
}

TEST(TextKeyInput, LengthAndUtf8) {
    // Only the first 255 characters count.
    EXPECT_EQ(key(std::string(300, 'a'), SortOrder::General), key(std::string(255, 'a'), SortOrder::General));
    EXPECT_NE(key(std::string(254, 'a') + "b", SortOrder::General), key(std::string(255, 'a'), SortOrder::General));
    EXPECT_EQ(key("", SortOrder::Japanese), "01 00");
    EXPECT_FALSE(jet::encodeTextKeyUtf8("a\xE3\x81", SortOrder::General).ok);
}

}  // namespace
