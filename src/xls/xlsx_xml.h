// A small pull parser for the large parts of a workbook package (sheets, shared strings).
// It reads the part in chunks, so memory does not grow with the part's size, and it only
// understands what SpreadsheetML needs: elements, attributes, text, CDATA, the five named
// entities and character references. Comments, processing instructions and a document type
// declaration are skipped; entities declared there are never expanded.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace xls {
namespace xlsx {

class XmlPull {
public:
    enum Event { Start, End, Text, Eof };

    // read(buffer, capacity) returns how many bytes it placed, 0 at the end; it throws on failure.
    using Source = std::function<size_t(char*, size_t)>;
    explicit XmlPull(Source source);

    // The next event. For Start and End, name() is the element's local name (prefix dropped);
    // a self-closing element gives Start then End. For Text, text() holds the decoded characters.
    // Throws Error on malformed markup.
    Event next();

    const std::string& name() const { return name_; }
    const std::string& text() const { return text_; }
    // Attribute value by local name, or nullptr.
    const std::string* attr(const char* localName) const;

private:
    int get();
    int peek();
    void fill();
    void expect(const char* s);
    void readName(std::string& out);
    void readReference(std::string& out);
    void skipUntil(const char* terminator);
    void readText();
    void readCData();
    void skipDeclaration();
    void readAttribute();
    Event readStartTag();
    void appendLimited(std::string& out, char c);
    [[noreturn]] void fail(const char* what) const;

    Source source_;
    std::vector<char> buf_;
    size_t pos_ = 0;
    size_t len_ = 0;
    bool eof_ = false;
    bool pendingEnd_ = false;
    std::string name_;
    std::string text_;
    std::vector<std::pair<std::string, std::string>> attrs_;
    size_t attrCount_ = 0;
};

// Local name of a possibly prefixed XML name ("x:c" -> "c").
inline const char* localName(const char* name) {
    const char* colon = nullptr;
    for (const char* p = name; *p; ++p)
        if (*p == ':') colon = p;
    return colon ? colon + 1 : name;
}

// Decodes the _xHHHH_ escapes SpreadsheetML uses for characters XML cannot carry.
std::string decodeEscapes(const std::string& text);

}  // namespace xlsx
}  // namespace xls
