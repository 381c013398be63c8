#include "xlsx_xml.h"

#include <cstring>

#include "utf_codec.h"
#include "workbook.h"

namespace xls {
namespace xlsx {
namespace {

// No cell holds more than 32767 characters; anything far beyond that is not a workbook.
constexpr size_t kMaxToken = 16u << 20;
constexpr size_t kMaxName = 1024;
constexpr size_t kMaxAttributes = 256;

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "_xHHHH_" at text[i]: the code unit, or -1.
long escapeAt(const std::string& text, size_t i) {
    if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return -1;
    long v = 0;
    for (size_t k = i + 2; k < i + 6; ++k) {
        const int h = hexValue(text[k]);
        if (h < 0) return -1;
        v = v * 16 + h;
    }
    return v;
}

}  // namespace

std::string decodeEscapes(const std::string& text) {
    if (text.find("_x") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        long unit = escapeAt(text, i);
        if (unit < 0) {
            out.push_back(text[i++]);
            continue;
        }
        i += 7;
        auto cp = static_cast<char32_t>(unit);
        if (base::isHighSurrogate(cp)) {
            const long low = escapeAt(text, i);
            if (low >= 0 && base::isLowSurrogate(static_cast<char32_t>(low))) {
                cp = base::combineSurrogates(cp, static_cast<char32_t>(low));
                i += 7;
            }
        }
        base::appendUtf8(out, cp);  // a lone surrogate becomes U+FFFD
    }
    return out;
}

XmlPull::XmlPull(Source source) : source_(std::move(source)), buf_(64 * 1024) {}

void XmlPull::fill() {
    if (eof_) return;
    len_ = source_(buf_.data(), buf_.size());
    pos_ = 0;
    if (len_ == 0) eof_ = true;
}

int XmlPull::peek() {
    if (pos_ >= len_) fill();
    if (pos_ >= len_) return -1;
    return static_cast<unsigned char>(buf_[pos_]);
}

int XmlPull::get() {
    const int c = peek();
    if (c >= 0) ++pos_;
    return c;
}

void XmlPull::fail(const char* what) const { throw Error(Error::Kind::Damaged, std::string("XML の形式が正しくありません: ") + what); }

void XmlPull::appendLimited(std::string& out, char c) {
    if (out.size() >= kMaxToken) fail("テキストが長すぎます");
    out.push_back(c);
}

void XmlPull::expect(const char* s) {
    for (; *s; ++s)
        if (get() != static_cast<unsigned char>(*s)) fail("予期しない文字があります");
}

void XmlPull::skipUntil(const char* terminator) {
    const size_t n = std::strlen(terminator);
    size_t matched = 0;
    while (matched < n) {
        const int c = get();
        if (c < 0) fail("データが途中で終わっています");
        if (c == static_cast<unsigned char>(terminator[matched]))
            ++matched;
        else
            matched = (c == static_cast<unsigned char>(terminator[0])) ? 1 : 0;
    }
}

void XmlPull::readName(std::string& out) {
    out.clear();
    for (;;) {
        const int c = peek();
        if (c < 0 || isSpace(c) || c == '/' || c == '>' || c == '=' || c == '<') break;
        if (out.size() >= kMaxName) fail("名前が長すぎます");
        out.push_back(static_cast<char>(get()));
    }
    if (out.empty()) fail("名前がありません");
    const size_t colon = out.rfind(':');
    if (colon != std::string::npos) out.erase(0, colon + 1);
}

// After '&': decodes one entity or character reference. Unknown entities are kept as written.
void XmlPull::readReference(std::string& out) {
    std::string ref;
    for (;;) {
        const int c = get();
        if (c < 0) fail("データが途中で終わっています");
        if (c == ';') break;
        if (ref.size() > 12) fail("参照が正しくありません");
        ref.push_back(static_cast<char>(c));
    }
    if (ref == "lt") out += '<';
    else if (ref == "gt") out += '>';
    else if (ref == "amp") out += '&';
    else if (ref == "quot") out += '"';
    else if (ref == "apos") out += '\'';
    else if (ref.size() > 1 && ref[0] == '#') {
        unsigned long cp = 0;
        const bool hex = ref[1] == 'x' || ref[1] == 'X';
        const size_t start = hex ? 2 : 1;
        if (start >= ref.size()) fail("文字参照が正しくありません");
        for (size_t i = start; i < ref.size(); ++i) {
            const int d = hex ? hexValue(ref[i]) : (ref[i] >= '0' && ref[i] <= '9' ? ref[i] - '0' : -1);
            if (d < 0) fail("文字参照が正しくありません");
            cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            if (cp > 0x10FFFF) fail("文字参照が正しくありません");
        }
        base::appendUtf8(out, static_cast<char32_t>(cp));  // a surrogate becomes U+FFFD
    } else {
        out += '&';
        out += ref;
        out += ';';
    }
    if (out.size() > kMaxToken) fail("テキストが長すぎます");
}

const std::string* XmlPull::attr(const char* localName) const {
    for (size_t i = 0; i < attrCount_; ++i)
        if (attrs_[i].first == localName) return &attrs_[i].second;
    return nullptr;
}

// Character data up to the next '<', references resolved.
void XmlPull::readText() {
    text_.clear();
    int c;
    while ((c = peek()) >= 0 && c != '<') {
        get();
        if (c == '&') {
            readReference(text_);
        } else if (c == '\r') {
            // Line ends read as LF, as XML prescribes.
            if (peek() == '\n') get();
            appendLimited(text_, '\n');
        } else {
            appendLimited(text_, static_cast<char>(c));
        }
    }
}

// A CDATA section after its "<![CDATA[": its characters, as they stand, up to "]]>".
void XmlPull::readCData() {
    text_.clear();
    size_t brackets = 0;  // ']' seen in a row, not yet known to be text
    for (;;) {
        const int d = get();
        if (d < 0) fail("データが途中で終わっています");
        if (d == ']') {
            ++brackets;
            continue;
        }
        if (d == '>' && brackets >= 2) {
            for (size_t k = 2; k < brackets; ++k) appendLimited(text_, ']');
            break;
        }
        for (size_t k = 0; k < brackets; ++k) appendLimited(text_, ']');
        brackets = 0;
        appendLimited(text_, static_cast<char>(d));
    }
}

// <!DOCTYPE ...> with an optional internal subset, after its "<!": skipped, never used.
void XmlPull::skipDeclaration() {
    int depth = 0;
    for (;;) {
        const int d = get();
        if (d < 0) fail("データが途中で終わっています");
        if (d == '[') ++depth;
        else if (d == ']') --depth;
        else if (d == '>' && depth <= 0) break;
    }
}

// One attribute of a start tag: name = "value", references resolved.
void XmlPull::readAttribute() {
    if (attrCount_ >= kMaxAttributes) fail("属性が多すぎます");
    if (attrs_.size() <= attrCount_) attrs_.emplace_back();
    auto& a = attrs_[attrCount_];
    readName(a.first);
    while (isSpace(peek())) get();
    if (get() != '=') fail("属性に値がありません");
    while (isSpace(peek())) get();
    const int quote = get();
    if (quote != '"' && quote != '\'') fail("属性値が引用符で囲まれていません");
    a.second.clear();
    for (;;) {
        const int d = get();
        if (d < 0) fail("データが途中で終わっています");
        if (d == quote) break;
        if (d == '&') readReference(a.second);
        else if (d == '<') fail("属性値に「<」があります");
        else appendLimited(a.second, static_cast<char>(d));
    }
    ++attrCount_;
}

// A start tag after its '<': the name and the attributes. An empty-element tag is reported as
// a start now and an end at the next call.
XmlPull::Event XmlPull::readStartTag() {
    readName(name_);
    attrCount_ = 0;
    for (;;) {
        while (isSpace(peek())) get();
        const int c = peek();
        if (c == '>') {
            get();
            return Start;
        }
        if (c == '/') {
            get();
            if (get() != '>') fail("空要素タグが正しくありません");
            pendingEnd_ = true;
            return Start;
        }
        if (c < 0) fail("データが途中で終わっています");
        readAttribute();
    }
}

XmlPull::Event XmlPull::next() {
    if (pendingEnd_) {
        pendingEnd_ = false;
        attrCount_ = 0;
        return End;
    }
    for (;;) {
        int c = peek();
        if (c < 0) return Eof;
        if (c != '<') {
            readText();
            return Text;
        }
        get();  // '<'
        c = peek();
        if (c == '/') {
            get();
            readName(name_);
            while (isSpace(peek())) get();
            if (get() != '>') fail("終了タグが正しくありません");
            attrCount_ = 0;
            return End;
        }
        if (c == '?') {
            skipUntil("?>");
            continue;
        }
        if (c == '!') {
            get();
            if (peek() == '-') {
                expect("--");
                skipUntil("-->");
                continue;
            }
            if (peek() == '[') {
                expect("[CDATA[");
                readCData();
                return Text;
            }
            skipDeclaration();
            continue;
        }
        return readStartTag();
    }
}

}  // namespace xlsx
}  // namespace xls
