// Just enough JSON for the expected reading results kept beside the test workbooks.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace jsonlite {

struct Value {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    bool b = false;
    double n = 0;
    std::string s;
    std::vector<Value> a;
    std::map<std::string, Value> o;

    const Value& operator[](const std::string& key) const {
        auto it = o.find(key);
        if (it == o.end()) throw std::runtime_error("json: no key " + key);
        return it->second;
    }
    bool has(const std::string& key) const { return o.count(key) != 0; }
};

class Parser {
public:
    explicit Parser(const std::string& text) : t_(text) {}
    Value parse() {
        Value v = value();
        ws();
        if (i_ != t_.size()) fail("trailing data");
        return v;
    }

private:
    [[noreturn]] void fail(const char* what) { throw std::runtime_error(std::string("json: ") + what); }
    void ws() {
        while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
    }
    bool lit(const char* s) {
        const std::string l(s);
        if (t_.compare(i_, l.size(), l) != 0) return false;
        i_ += l.size();
        return true;
    }
    static void utf8(std::string& out, unsigned long cp) {
        if (cp < 0x80) out += char(cp);
        else if (cp < 0x800) { out += char(0xC0 | cp >> 6); out += char(0x80 | (cp & 0x3F)); }
        else if (cp < 0x10000) { out += char(0xE0 | cp >> 12); out += char(0x80 | (cp >> 6 & 0x3F)); out += char(0x80 | (cp & 0x3F)); }
        else { out += char(0xF0 | cp >> 18); out += char(0x80 | (cp >> 12 & 0x3F)); out += char(0x80 | (cp >> 6 & 0x3F)); out += char(0x80 | (cp & 0x3F)); }
    }
    unsigned long hex4() {
        if (i_ + 4 > t_.size()) fail("bad escape");
        const unsigned long v = std::strtoul(t_.substr(i_, 4).c_str(), nullptr, 16);
        i_ += 4;
        return v;
    }
    std::string str() {
        std::string out;
        ++i_;  // opening quote
        while (i_ < t_.size() && t_[i_] != '"') {
            char c = t_[i_++];
            if (c != '\\') { out += c; continue; }
            if (i_ >= t_.size()) fail("bad escape");
            c = t_[i_++];
            switch (c) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                unsigned long cp = hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF && lit("\\u")) cp = 0x10000 + ((cp - 0xD800) << 10) + (hex4() - 0xDC00);
                utf8(out, cp);
                break;
            }
            default: out += c;
            }
        }
        if (i_ >= t_.size()) fail("unterminated string");
        ++i_;
        return out;
    }
    Value value() {
        ws();
        if (i_ >= t_.size()) fail("unexpected end");
        Value v;
        const char c = t_[i_];
        if (c == '{') {
            v.type = Value::Object;
            ++i_;
            ws();
            if (t_[i_] == '}') { ++i_; return v; }
            for (;;) {
                ws();
                if (t_[i_] != '"') fail("key expected");
                std::string k = str();
                ws();
                if (t_[i_++] != ':') fail("':' expected");
                v.o[k] = value();
                ws();
                if (t_[i_] == ',') { ++i_; continue; }
                if (t_[i_++] != '}') fail("'}' expected");
                return v;
            }
        }
        if (c == '[') {
            v.type = Value::Array;
            ++i_;
            ws();
            if (t_[i_] == ']') { ++i_; return v; }
            for (;;) {
                v.a.push_back(value());
                ws();
                if (t_[i_] == ',') { ++i_; continue; }
                if (t_[i_++] != ']') fail("']' expected");
                return v;
            }
        }
        if (c == '"') { v.type = Value::String; v.s = str(); return v; }
        if (lit("true")) { v.type = Value::Bool; v.b = true; return v; }
        if (lit("false")) { v.type = Value::Bool; return v; }
        if (lit("null")) return v;
        char* end = nullptr;
        v.type = Value::Number;
        v.n = std::strtod(t_.c_str() + i_, &end);
        if (end == t_.c_str() + i_) fail("bad value");
        i_ = static_cast<size_t>(end - t_.c_str());
        return v;
    }
    const std::string& t_;
    size_t i_ = 0;
};

inline Value parse(const std::string& text) { return Parser(text).parse(); }

}  // namespace jsonlite
