// Text index keys for the General Legacy (1033 version 0), General (1033 version 1) and Japanese
// (1041 version 0) sort orders. General keys are built like General Legacy ones from their own table.
//
// Key layout (after the column's 7F flag, which the caller writes):
//   primaries 01 [diacritics] [01 01 [kana section] [FF] [01 word-sort records]] 00
// * primaries: each character's primary weights (one or two bytes per weight);
// * diacritics: one byte per character with primary weights, 02 by default, trailing 02s dropped;
// * kana section: small flags (2-bit codes under a 10 marker, three per byte, trailing
//   "normal" dropped), FF, mark codes (same packing, trailing "letter" dropped), then
//   02 <A> FF <B> with A = B = 80 repeated ceil(n / 7) times for n kana weights;
// * word-sort records for ignorable characters (apostrophe, hyphen...): u16 big-endian
//   0x8000 | (7 + 4 * characters with primary weights before it), 06, the character's code; after a kana
//   section they are introduced by FF 01, otherwise by 01.
// Context-dependent marks (prolonged sound mark, iteration marks) follow what has been
// measured in Access-written files; positions nobody has measured are refused.
#include "text_key.h"

#include <cstdio>

#include "text_key_weights.h"
#include "utf_codec.h"

namespace jet {
namespace {

constexpr size_t kMaxIndexedChars = 255;
constexpr size_t kMaxKana = 14;  // tail lengths beyond 14 kana have not been observed

constexpr uint8_t kEndOfText = 0x01;
constexpr uint8_t kTerminator = 0x00;
constexpr uint8_t kDefaultDiacritic = 0x02;
constexpr uint8_t kFlagMarker = 0x80;  // 10xxxxxx
constexpr uint8_t kSmallKana = 0x2;    // 10
constexpr uint8_t kNormalKana = 0x3;   // 11
constexpr uint8_t kMarkLetter = 0x1;   // 01
constexpr uint8_t kMarkProlonged = 0x3;  // 11
constexpr uint8_t kRepeatDiacritic = 0x05;  // 々
// The kana section's separator (also between it and the word-sort records), and its counts:
// kKanaCounts, then kKanaGroup once per kKanaPerGroup kana weights, twice over.
constexpr uint8_t kSectionSeparator = 0xFF;
constexpr uint8_t kKanaCounts = 0x02;
constexpr uint8_t kKanaGroup = 0x80;
constexpr size_t kKanaPerGroup = 7;
// A word-sort record: u16 kRecordPosition | (kRecordFirst + kRecordStep x the characters with
// primary weights before it), kRecordKind, the character's weight.
constexpr unsigned kRecordPosition = 0x8000;
constexpr unsigned kRecordFirst = 7, kRecordStep = 4;
constexpr uint8_t kRecordKind = 0x06;
// The prolonged sound mark weighs kProlongedLead and the vowel of the kana before it: the low
// bits (kVowelBits) of that kana's second weight byte, あ kVowelA ... お kVowelO within each row.
constexpr uint8_t kProlongedLead = 0x7F;
constexpr uint8_t kVowelBits = 0x07, kVowelA = 0x02, kVowelO = 0x06;
// What the half-width voicing marks add to the diacritic of the kana before them.
constexpr uint8_t kVoicedAdds = 0x01, kSemiVoicedAdds = 0x02;

// Characters whose key depends on the one before them. (The other code points below are the
// Unicode ranges and characters the rules cover: data, as in the weight tables.)
constexpr char16_t kProlongedMark = u'ー', kHalfwidthProlongedMark = u'ｰ';
constexpr char16_t kKanjiRepeatMark = u'々';
constexpr char16_t kHalfwidthVoicedMark = u'ﾞ', kHalfwidthSemiVoicedMark = u'ﾟ';

// 「論」(U+8AD6); code points that cannot be shown are given by number only.
std::string label(uint32_t cp) {
    char num[16];
    std::snprintf(num, sizeof num, "U+%04X", unsigned(cp));
    bool printable = cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0) &&
                     !base::isSurrogate(cp);
    if (!printable) return num;
    std::string s = "「";
    base::appendUtf8(s, cp);
    s += "」(";
    s += num;
    s += ")";
    return s;
}

const char* orderName(SortOrder order) {
    switch (order) {
        case SortOrder::Japanese: return "並べ替え順序「日本語」(1041)";
        case SortOrder::General2010: return "並べ替え順序「一般」(1033 バージョン 1)";
        default: return "並べ替え順序「一般 - 従来」(1033)";
    }
}

keyweights::WeightTable tableOf(SortOrder order) {
    return order == SortOrder::General2010 ? keyweights::WeightTable::General : keyweights::WeightTable::GeneralLegacy;
}

bool inRange(char16_t c, char16_t lo, char16_t hi) { return c >= lo && c <= hi; }

bool isHalfwidthKana(char16_t c) { return inRange(c, 0xFF66, 0xFF9D) && c != kHalfwidthProlongedMark; }

// Kana letters keyed by the shared kana rules.
bool isKanaLetter(char16_t c, SortOrder order) {
    if (isHalfwidthKana(c)) return true;
    if (order == SortOrder::Japanese) {
        // The letters seen in Japanese-sort keys: ぁ-ん, ァ-ヶ.
        return inRange(c, 0x3041, 0x3093) || inRange(c, 0x30A1, 0x30F6);
    }
    return inRange(c, 0x3041, 0x3094) || inRange(c, 0x30A1, 0x30FA);
}

// ASCII characters whose Japanese-sort key has been seen to equal the General Legacy one.
bool isJapaneseVerifiedAscii(char16_t c) {
    if (inRange(c, u'A', u'Z') || inRange(c, u'a', u'z') || inRange(c, u'0', u'9')) return true;
    switch (c) {
        case u' ': case u'%': case u'(': case u')': case u'-': case u'_': case u'{': case u'}':
        case u'~': case u'.':
        case 0x0003:  // ignorable (the Access storage name "\u0003DirData")
            return true;
        default:
            return false;
    }
}

class KeyBuilder {
public:
    explicit KeyBuilder(SortOrder order) : order_(order), table_(tableOf(order)) {}

    // Adds one character (a BMP code point). Returns false and sets the reason on refusal.
    bool add(char16_t c);
    TextKey finish();
    const std::string& reason() const { return reason_; }

private:
    enum class Prev { None, KanaLetter, Prolonged, Kanji, Other, Ignorable };

    bool refuse(char16_t c, const std::string& why) {
        reason_ = std::string("名前の ") + label(c) + " は、" + orderName(order_) +
                  "ではまだ正確な索引キーを計算できません（" + why + "）。";
        return false;
    }

    bool addGenLeg(char16_t c, const keyweights::GenLegEntry& e);
    bool addKana(char16_t c, const keyweights::GenLegEntry& e);
    bool addProlongedMark(char16_t c);
    bool addKanjiRepeat(char16_t c);
    bool addModifier(char16_t c, uint8_t value);
    bool addWeights(char16_t c, const uint8_t* bytes, size_t length, uint8_t diacritic);
    bool checkPositionsSettled(char16_t c);
    void setPrev(Prev p) {
        prev_ = p;
        prevModified_ = false;
    }

    SortOrder order_;
    keyweights::WeightTable table_;
    std::vector<uint8_t> primaries_;
    std::vector<uint8_t> diacritics_;  // one per character with primary weights
    std::vector<uint8_t> smallFlags_;  // one per kana weight
    std::vector<uint8_t> marks_;       // one per kana weight
    std::vector<uint8_t> records_;     // word-sort records
    std::string reason_;

    // The previous character, for the marks whose key depends on it.
    Prev prev_ = Prev::None;
    bool prevModified_ = false;  // a modifier (half-width voicing mark...) followed it
    size_t prevWeightCount_ = 0;
    uint8_t prevKanaSound_ = 0;
    bool prevKanaSmall_ = false;
    uint8_t prevKanji_[2] = {0, 0};

    // A character with more than one primary weight (ß, æ...). Whether a word-sort record after
    // it counts it once or per weight is not settled for Jet 4, so no such record is keyed.
    bool expansionSeen_ = false;
};

bool KeyBuilder::checkPositionsSettled(char16_t c) {
    if (!expansionSeen_) return true;
    return refuse(c, "複数の重みを持つ文字（ß、æ など）の後では、この文字の位置の記録が確定していません");
}

// Appends one character's primary weights and its slot in the diacritic section. The section
// has one slot per character, also for a character of several weights: Jet writes Æ's slot as a
// single 02 between Å's and Ç's diacritics.
bool KeyBuilder::addWeights(char16_t c, const uint8_t* bytes, size_t length, uint8_t diacritic) {
    size_t weights = 0;
    for (size_t i = 0; i < length;) {
        size_t n = keyweights::isSingleByteWeight(table_, bytes[i]) ? 1 : 2;
        if (i + n > length) return refuse(c, "重みの表の値を解釈できません");
        i += n;
        ++weights;
    }
    if (weights == 0) return refuse(c, "重みの表の値を解釈できません");
    primaries_.insert(primaries_.end(), bytes, bytes + length);
    diacritics_.push_back(diacritic);
    prevWeightCount_ = weights;
    if (weights > 1) expansionSeen_ = true;
    return true;
}

bool KeyBuilder::addKana(char16_t c, const keyweights::GenLegEntry& e) {
    if (e.inlineLength != 2 || e.extraLength > 1) return refuse(c, "重みの表の値を解釈できません");
    uint8_t voicing = e.extraLength ? e.extraBytes[0] : kDefaultDiacritic;
    if (!addWeights(c, e.inlineBytes, 2, voicing)) return false;
    smallFlags_.push_back(e.small ? kSmallKana : kNormalKana);
    marks_.push_back(kMarkLetter);
    setPrev(Prev::KanaLetter);
    prevKanaSound_ = e.inlineBytes[1];
    prevKanaSmall_ = e.small;
    return true;
}

// ー / ｰ after a kana letter weighs that kana's vowel, keeps its small flag and is marked 11.
bool KeyBuilder::addProlongedMark(char16_t c) {
    if (prev_ != Prev::KanaLetter)
        return refuse(c, "長音記号が仮名の直後にないため、キーが確定していません");
    uint8_t vowel = prevKanaSound_ & kVowelBits;  // あ 02 い 03 う 04 え 05 お 06 within each row
    if (vowel < kVowelA || vowel > kVowelO)
        return refuse(c, "「ん」の後の長音記号のキーは確認されていません");
    const uint8_t bytes[2] = {kProlongedLead, vowel};
    bool small = prevKanaSmall_;
    if (!addWeights(c, bytes, 2, kDefaultDiacritic)) return false;
    smallFlags_.push_back(small ? kSmallKana : kNormalKana);
    marks_.push_back(kMarkProlonged);
    setPrev(Prev::Prolonged);
    return true;
}

// 々 after a kanji repeats the kanji's weight with diacritic 05.
bool KeyBuilder::addKanjiRepeat(char16_t c) {
    if (prev_ != Prev::Kanji || prevModified_)
        return refuse(c, "「々」が漢字の直後にないため、キーが確定していません");
    const uint8_t weight[2] = {prevKanji_[0], prevKanji_[1]};
    if (!addWeights(c, weight, 2, kRepeatDiacritic)) return false;
    setPrev(Prev::Other);
    return true;
}

// A modifier adds its value to the diacritic of the character before it.
bool KeyBuilder::addModifier(char16_t c, uint8_t value) {
    bool base = prev_ == Prev::KanaLetter || prev_ == Prev::Kanji || prev_ == Prev::Other;
    if (!base || prevWeightCount_ != 1)
        return refuse(c, "結合する記号が一つの重みを持つ文字の直後にありません");
    unsigned d = unsigned(diacritics_.back()) + value;
    if (d > 0xFF) return refuse(c, "付加記号の値が範囲を超えます");
    diacritics_.back() = uint8_t(d);
    prevModified_ = true;
    return true;
}

bool KeyBuilder::addGenLeg(char16_t c, const keyweights::GenLegEntry& e) {
    switch (e.cls) {
        case 'S':
        case 'I': {
            uint8_t diacritic = kDefaultDiacritic;
            if (e.cls == 'I') {
                // Accented letters of several weights (Ǆ, Ǣ, Ǽ...) carry one diacritic per weight in
                // the tables; how Jet places them in the per-character section is not known.
                if (e.extraLength != 1)
                    return refuse(c, "複数の重みを持つアクセント付き文字のキーは確認されていません");
                diacritic = e.extraBytes[0];
            }
            if (!addWeights(c, e.inlineBytes, e.inlineLength, diacritic)) return false;
            bool kanji = inRange(c, 0x4E00, 0x9FFF) && e.cls == 'S' && e.inlineLength == 2;
            setPrev(kanji ? Prev::Kanji : Prev::Other);
            if (kanji) {
                prevKanji_[0] = e.inlineBytes[0];
                prevKanji_[1] = e.inlineBytes[1];
            }
            return true;
        }
        case 'Z':
            if (!isKanaLetter(c, order_)) return refuse(c, "この仮名の形のキーは確認されていません");
            return addKana(c, e);
        case 'U': {
            if (e.inlineLength != 1) return refuse(c, "重みの表の値を解釈できません");
            if (!checkPositionsSettled(c)) return false;
            unsigned position = kRecordPosition | (kRecordFirst + kRecordStep * unsigned(diacritics_.size()));
            records_.push_back(uint8_t(position >> 8));
            records_.push_back(uint8_t(position));
            records_.push_back(kRecordKind);
            records_.push_back(e.inlineBytes[0]);
            setPrev(Prev::Ignorable);
            return true;
        }
        case 'P':
            return addModifier(c, e.inlineBytes[0]);
        case 'X':
            // No weight at all; a later mark must not attach across it.
            setPrev(Prev::Ignorable);
            return true;
        default:
            return refuse(c, "重みの表の値を解釈できません");
    }
}

bool KeyBuilder::add(char16_t c) {
    if (inRange(c, 0xD800, 0xDFFF)) return refuse(c, "基本多言語面の外の文字や不正なサロゲートは扱えません");

    // Marks whose key depends on the character before them.
    if (c == kProlongedMark || c == kHalfwidthProlongedMark) return addProlongedMark(c);
    if (c == kKanjiRepeatMark) return addKanjiRepeat(c);
    if (c == 0x309D || c == 0x309E || c == 0x30FD || c == 0x30FE || c == 0x3031 || c == 0x3032)
        return refuse(c, "仮名の繰り返し記号のキーは確認されていません");
    // The tables give these the placeholder weight of 'A' like the marks above; what Jet
    // really writes for them is not known.
    if (c == 0xFE7C || c == 0xFE7D) return refuse(c, "この文字のキーは確認されていません");

    if (order_ == SortOrder::Japanese) {
        if (c < 0x80) {
            if (!isJapaneseVerifiedAscii(c)) return refuse(c, "この記号のキーは確認されていません");
            return addGenLeg(c, keyweights::genLeg(c));
        }
        if (isKanaLetter(c, order_)) return addGenLeg(c, keyweights::genLeg(c));
        // The middle dot, the ideographic comma and the zero-width space key as in General Legacy
        // (seen in Access-written keys): one weight and a diacritic slot of their own, no kana
        // weight. Marks after them (ー, 々, ﾞ) do not attach to them and stay refused.
        if (c == 0x30FB || c == 0x3001 || c == 0x200B) return addGenLeg(c, keyweights::genLeg(c));
        if (c == kHalfwidthVoicedMark || c == kHalfwidthSemiVoicedMark) {  // they fold into the kana before them
            if (prev_ != Prev::KanaLetter || prevModified_)
                return refuse(c, "半角の濁点・半濁点が仮名の直後にありません");
            return addModifier(c, c == kHalfwidthVoicedMark ? kVoicedAdds : kSemiVoicedAdds);
        }
        if (const keyweights::KanjiWeight* k = keyweights::jp1041Kanji(c)) {
            if (k->kind == keyweights::kUncertain)
                return refuse(c, "この漢字の重みは一つの範囲までしか分かっていません");
            const uint8_t weight[2] = {uint8_t(k->weight >> 8), uint8_t(k->weight)};
            if (!addWeights(c, weight, 2, kDefaultDiacritic)) return false;
            setPrev(k->kind == keyweights::kJisKanji ? Prev::Kanji : Prev::Other);
            prevKanji_[0] = weight[0];
            prevKanji_[1] = weight[1];
            return true;
        }
        if (inRange(c, 0x3400, 0x4DBF) || inRange(c, 0x4E00, 0x9FFF) || inRange(c, 0xF900, 0xFAFF))
            return refuse(c, "JIS X 0208 の漢字の重みの表にない文字です");
        return refuse(c, "この文字のキーは確認されていません");
    }

    // Scripts whose Windows sort keys depend on neighbouring characters (Thai and Lao vowels
    // written before their consonant, conjoining Hangul jamo): the per-character tables cannot
    // be trusted for them.
    if (inRange(c, 0x0E40, 0x0E44) || inRange(c, 0x0EC0, 0x0EC4) || inRange(c, 0x1100, 0x11FF))
        return refuse(c, "前後の文字で重みが変わる文字のキーは確認されていません");
    keyweights::GenLegEntry e = keyweights::lookup(table_, c);
    if (!e.found) return refuse(c, "重みの表にない文字です");
    return addGenLeg(c, e);
}

void packCodes(std::vector<uint8_t>& out, const std::vector<uint8_t>& codes, uint8_t defaultCode) {
    size_t n = codes.size();
    while (n > 0 && codes[n - 1] == defaultCode) --n;
    for (size_t i = 0; i < n; i += 3) {
        uint8_t b = kFlagMarker;
        for (size_t j = 0; j < 3 && i + j < n; ++j) b |= uint8_t(codes[i + j] << (4 - 2 * j));
        out.push_back(b);
    }
}

TextKey KeyBuilder::finish() {
    TextKey key;
    std::vector<uint8_t>& out = key.bytes;
    out = primaries_;
    out.push_back(kEndOfText);

    size_t n = diacritics_.size();
    while (n > 0 && diacritics_[n - 1] == kDefaultDiacritic) --n;
    out.insert(out.end(), diacritics_.begin(), diacritics_.begin() + n);

    bool kana = !smallFlags_.empty();
    if (kana || !records_.empty()) {
        out.push_back(kEndOfText);
        out.push_back(kEndOfText);
        if (kana) {
            packCodes(out, smallFlags_, kNormalKana);
            out.push_back(kSectionSeparator);
            packCodes(out, marks_, kMarkLetter);
            size_t groups = (smallFlags_.size() + kKanaPerGroup - 1) / kKanaPerGroup;
            out.push_back(kKanaCounts);
            out.insert(out.end(), groups, kKanaGroup);
            out.push_back(kSectionSeparator);
            out.insert(out.end(), groups, kKanaGroup);
            if (!records_.empty()) out.push_back(kSectionSeparator);
        }
        if (!records_.empty()) {
            out.push_back(kEndOfText);
            out.insert(out.end(), records_.begin(), records_.end());
        }
    }
    out.push_back(kTerminator);
    key.ok = true;
    return key;
}

}  // namespace

uint16_t sortOrderLcid(SortOrder order) { return order == SortOrder::Japanese ? kLcidJapanese : kLcidGeneral; }

uint8_t sortOrderVersion(SortOrder order) { return order == SortOrder::General2010 ? 1 : 0; }

bool sortOrderOf(uint16_t lcid, uint8_t version, SortOrder& order) {
    if (lcid == kLcidGeneral && version == 0) order = SortOrder::GeneralLegacy;
    else if (lcid == kLcidGeneral && version == 1) order = SortOrder::General2010;
    else if (lcid == kLcidJapanese && version == 0) order = SortOrder::Japanese;
    else return false;
    return true;
}

TextKey encodeTextKey(const std::u16string& text, SortOrder order) {
    TextKey key;
    if (order != SortOrder::General && order != SortOrder::Japanese && order != SortOrder::General2010) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "並べ替え順序 %u の索引キーは計算できません。", unsigned(order));
        key.reason = buf;
        return key;
    }
    std::u16string t = text.substr(0, kMaxIndexedChars);
    while (!t.empty() && t.back() == u' ') t.pop_back();

    KeyBuilder builder(order);
    size_t kana = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        char16_t c = t[i];
        if (base::isHighSurrogate(c) && i + 1 < t.size() && base::isLowSurrogate(t[i + 1])) {
            const uint32_t cp = base::combineSurrogates(c, t[i + 1]);
            key.reason = std::string("名前の ") + label(cp) + " は、" + orderName(order) +
                         "ではまだ正確な索引キーを計算できません（基本多言語面の外の文字です）。";
            return key;
        }
        if (!builder.add(c)) {
            key.reason = builder.reason();
            return key;
        }
        bool kanaWeight = isKanaLetter(c, order) || c == kProlongedMark || c == kHalfwidthProlongedMark;
        if (kanaWeight && ++kana > kMaxKana) {
            key.reason = std::string("名前の ") + label(c) + " は、" + orderName(order) +
                         "ではまだ正確な索引キーを計算できません（仮名が 14 文字を超える名前のキーは確認されていません）。";
            return key;
        }
    }
    return builder.finish();
}

TextKey encodeTextKeyUtf8(const std::string& text, SortOrder order) {
    std::u16string u16;
    if (!base::utf8ToUtf16(text, u16)) {
        TextKey key;
        key.reason = "名前の文字コード（UTF-8）が正しくないため、索引キーを計算できません。";
        return key;
    }
    return encodeTextKey(u16, order);
}

}  // namespace jet
