#include "DesignWords.h"

#include "TextRules.h"

namespace designwords {

namespace {

using T = AccessFieldType;

bool isAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

const std::vector<std::string> kHeaderLabels[kHeaderPartCount] = {
    // Name
    {"物理名", "物理名称", "カラム名", "カラム物理名", "カラムID", "列名", "フィールド名", "項目名", "項目ID", "物理項目名",
     "属性名", "column name", "column", "field name", "field", "physical name", "name"},
    // Type
    {"型", "データ型", "データタイプ", "型名", "属性", "type", "data type", "datatype"},
    // Size
    {"桁", "桁数", "サイズ", "長さ", "長", "精度", "length", "size", "digits", "precision", "len"},
    // PrimaryKey
    {"PK", "主キー", "キー", "primary key", "key"},
    // Null
    {"NULL", "NOT NULL", "必須", "NULL可", "NULL許可", "NULL許容", "NULL不可", "nullable", "required"},
    // Decimals
    {"小数", "小数桁", "小数部", "小数桁数", "小数点以下桁数", "scale", "decimals", "decimal places"},
    // Remarks
    {"備考", "説明", "摘要", "remarks", "remark", "note", "notes", "comment", "description"},
};

const std::vector<std::string> kNotNullHeaders = {"NOT NULL", "必須", "NULL不可", "required"};

const std::vector<std::string> kTableNameLabels = {"テーブル名", "物理テーブル名", "テーブル物理名", "物理エンティティ名",
                                                   "テーブルID", "Table name", "Table"};

const std::vector<std::string> kYesWords = {"○", "〇", "◯", "●", "◎", "Y", "Yes", "PK", "✓", "✔", "レ", "TRUE",
                                            "NOT NULL", "NULL不可", "必須"};
const std::vector<std::string> kNoWords = {"×", "✕", "-", "ー", "－", "―", "N", "No", "なし", "無", "FALSE", "NULL", "任意"};

const std::vector<std::string> kKeyWords = {"PK", "PRIMARY KEY", "主キー"};

const std::vector<std::string> kNonTableSheetWords = {"表紙", "履歴", "目次", "一覧", "ER図", "E-R図", "ER", "概要", "索引",
                                                      "cover", "history", "revision", "contents", "index", "list"};

const std::vector<DictionaryEntry> kDictionary = {
    // Text (a size over 255 makes the field a Memo)
    {"varchar", T::Text, false}, {"varchar2", T::Text, false}, {"nvarchar", T::Text, false},
    {"nvarchar2", T::Text, false}, {"char", T::Text, false}, {"nchar", T::Text, false},
    {"character", T::Text, false}, {"charactervarying", T::Text, false}, {"string", T::Text, false},
    {"文字列", T::Text, false}, {"文字", T::Text, false}, {"テキスト", T::Text, false},
    {"vch", T::Text, false}, {"chr", T::Text, false},
    // AutoNumber
    {"serial", T::AutoNumber, false}, {"serial4", T::AutoNumber, false}, {"bigserial", T::AutoNumber, false}, {"identity", T::AutoNumber, false},
    {"autoincrement", T::AutoNumber, false}, {"auto_increment", T::AutoNumber, false},
    {"counter", T::AutoNumber, false}, {"オートナンバー", T::AutoNumber, false}, {"連番", T::AutoNumber, false},
    // Date
    {"date", T::Date, false}, {"datetime", T::Date, false}, {"datetime2", T::Date, false},
    {"smalldatetime", T::Date, false}, {"timestamp", T::Date, false}, {"timestampwithtimezone", T::Date, false},
    {"timestampwithouttimezone", T::Date, false}, {"time", T::Date, false}, {"日付", T::Date, false},
    {"日時", T::Date, false}, {"日付/時刻", T::Date, false}, {"日付/時刻型", T::Date, false}, {"時刻", T::Date, false}, {"年月日", T::Date, false}, {"dt", T::Date, false},
    // Integer (16-bit)
    {"smallint", T::Integer, false}, {"int2", T::Integer, false}, {"tinyint", T::Integer, false},
    {"short", T::Integer, false},
    // Long (32-bit)
    {"int", T::Long, false}, {"integer", T::Long, false}, {"int4", T::Long, false}, {"mediumint", T::Long, false},
    {"整数", T::Long, false}, {"長整数", T::Long, false}, {"long", T::Long, false},
    // Double (Jet 4 has no 64-bit integer; a Double holds every integer up to 2^53 exactly)
    {"bigint", T::Double, false}, {"int8", T::Double, false},
    {"float", T::Double, false}, {"float8", T::Double, false}, {"double", T::Double, false},
    {"doubleprecision", T::Double, false}, {"binary_double", T::Double, false}, {"実数", T::Double, false},
    {"倍精度", T::Double, false}, {"倍精度浮動小数点型", T::Double, false},
    // Single
    {"real", T::Single, false}, {"float4", T::Single, false}, {"single", T::Single, false},
    {"binary_float", T::Single, false}, {"単精度", T::Single, false}, {"単精度浮動小数点型", T::Single, false},
    // Number words: the type follows precision and scale
    {"number", T::Double, true}, {"numeric", T::Double, true}, {"decimal", T::Double, true},
    {"dec", T::Double, true}, {"数値", T::Double, true}, {"num", T::Double, true},
    // Currency
    {"money", T::Currency, false}, {"smallmoney", T::Currency, false}, {"currency", T::Currency, false},
    {"金額", T::Currency, false}, {"通貨", T::Currency, false},
    // Yes/No
    {"boolean", T::YesNo, false}, {"bool", T::YesNo, false}, {"bit", T::YesNo, false},
    {"yes/no", T::YesNo, false}, {"真偽", T::YesNo, false}, {"真偽値", T::YesNo, false}, {"論理", T::YesNo, false},
    {"論理値", T::YesNo, false}, {"ブール", T::YesNo, false},
    // Memo (long text)
    {"text", T::Memo, false}, {"ntext", T::Memo, false}, {"clob", T::Memo, false}, {"nclob", T::Memo, false},
    {"longtext", T::Memo, false}, {"mediumtext", T::Memo, false}, {"longvarchar", T::Memo, false},
    {"memo", T::Memo, false}, {"長いテキスト", T::Memo, false}, {"メモ", T::Memo, false},
};

// The longest word (normal form) found in strNormal as a word of its own; its length, 0 if none.
std::size_t longestWordIn(const std::string& strNormal, const std::vector<std::string>& colWords) {
    std::size_t nBest = 0;
    for (const std::string& strWord : colWords) {
        const std::string w = normal(strWord);
        if (w.empty() || w.size() <= nBest) continue;
        for (std::size_t n = strNormal.find(w); n != std::string::npos; n = strNormal.find(w, n + 1)) {
            const bool blnStart = n == 0 || !isAsciiAlnum(strNormal[n - 1]) || !isAsciiAlnum(w.front());
            const std::size_t e = n + w.size();
            const bool blnEnd = e == strNormal.size() || !isAsciiAlnum(strNormal[e]) || !isAsciiAlnum(w.back());
            if (blnStart && blnEnd) {
                nBest = w.size();
                break;
            }
        }
    }
    return nBest;
}

}  // namespace

std::string normal(const std::string& strText) {
    const std::string strLower = lowerCaseText(strText);
    std::string out;
    std::size_t n = 0;
    while (n < strLower.size()) {
        char32_t ch = 0;
        if (!decodeUtf8(strLower, n, ch)) {
            out += strLower[n++];
            continue;
        }
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == 0x3000) continue;
        if (ch == 0xFF08) ch = '(';
        if (ch == 0xFF09) ch = ')';
        appendUtf8(out, ch);
    }
    return out;
}

std::vector<std::string> splitWords(const std::string& strList) {
    std::vector<std::string> out;
    std::size_t nStart = 0;
    while (nStart <= strList.size()) {
        std::size_t nBar = strList.find('|', nStart);
        if (nBar == std::string::npos) nBar = strList.size();
        const std::string strWord = trimBlanks(strList.substr(nStart, nBar - nStart));
        if (!strWord.empty()) out.push_back(strWord);
        nStart = nBar + 1;
    }
    return out;
}

std::string joinWords(const std::vector<std::string>& colWords) {
    std::string out;
    for (const std::string& w : colWords) out += (out.empty() ? "" : "|") + w;
    return out;
}

const std::vector<std::string>& headerLabels(HeaderPart enmPart) { return kHeaderLabels[static_cast<int>(enmPart)]; }
const std::vector<std::string>& notNullHeaders() { return kNotNullHeaders; }
const std::vector<std::string>& tableNameLabels() { return kTableNameLabels; }
const std::vector<std::string>& yesWords() { return kYesWords; }
const std::vector<std::string>& noWords() { return kNoWords; }
const std::vector<std::string>& keyWords() { return kKeyWords; }
const std::vector<std::string>& nonTableSheetWords() { return kNonTableSheetWords; }

bool isOneOf(const std::string& strText, const std::vector<std::string>& colWords) {
    const std::string s = normal(strText);
    if (s.empty()) return false;
    for (const std::string& w : colWords) {
        if (normal(w) == s) return true;
    }
    return false;
}

MarkReading readMark(const std::string& strText, const std::vector<std::string>& colYes,
                     const std::vector<std::string>& colNo) {
    const std::string s = normal(strText);
    if (s.empty()) return MarkReading::Blank;
    if (isOneOf(strText, colYes)) return MarkReading::Yes;
    if (isOneOf(strText, colNo)) return MarkReading::No;
    const std::size_t nYes = longestWordIn(s, colYes);
    const std::size_t nNo = longestWordIn(s, colNo);
    if (nYes > nNo) return MarkReading::Yes;
    if (nNo > nYes) return MarkReading::No;
    return MarkReading::Unknown;
}

bool containsWord(const std::string& strText, const std::vector<std::string>& colWords) {
    return longestWordIn(normal(strText), colWords) > 0;
}

const std::vector<DictionaryEntry>& typeDictionary() { return kDictionary; }

const DictionaryEntry* findInDictionary(const std::string& strWord) {
    const std::string s = normal(strWord);
    for (const DictionaryEntry& e : kDictionary) {
        if (normal(e.strWord) == s) return &e;
    }
    return nullptr;
}

}  // namespace designwords
