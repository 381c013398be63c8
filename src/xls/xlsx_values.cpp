#include "xlsx_values.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "civil_date.h"

namespace xls {
namespace xlsx {

bool equalsNoCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

// from_chars does not depend on the process locale.
bool parseNumber(const std::string& text, double& out) {
    std::string t = trimmed(text);
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    if (t.empty()) return false;
    const char* end = t.data() + t.size();
    auto res = std::from_chars(t.data(), end, out);
    return res.ec == std::errc() && res.ptr == end && std::isfinite(out);
}

bool parseUnsigned(const std::string& text, long long& out) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 18) return false;
    out = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

bool parseCellRef(const std::string& ref, long long& row, long long& col) {
    size_t i = 0;
    col = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        const char c = static_cast<char>(ref[i] & ~0x20);
        col = col * 26 + (c - 'A' + 1);
        if (++i > 3) return false;
    }
    if (i == 0) return false;
    row = 0;
    const size_t digits = i;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9' || i - digits >= 7) return false;
        row = row * 10 + (ref[i] - '0');
    }
    return i > digits && row >= 1;
}

bool parseIsoDate(const std::string& text, bool date1904, double& serial) {
    const std::string t = trimmed(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    size_t pos = 0;
    auto num = [&](int digits, int& out) {
        out = 0;
        for (int k = 0; k < digits; ++k, ++pos) {
            if (pos >= t.size() || t[pos] < '0' || t[pos] > '9') return false;
            out = out * 10 + (t[pos] - '0');
        }
        return true;
    };
    bool hasDate = false;
    if (t.size() >= 10 && t[4] == '-') {
        if (!num(4, y) || t[pos++] != '-' || !num(2, mo) || t[pos++] != '-' || !num(2, d)) return false;
        if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
        hasDate = true;
        if (pos < t.size() && t[pos] == 'T') ++pos;
    }
    if (pos < t.size() && t[pos] != 'Z') {
        int sec = 0;
        if (!num(2, h) || pos >= t.size() || t[pos++] != ':' || !num(2, mi)) return false;
        if (pos < t.size() && t[pos] == ':') {
            ++pos;
            if (!num(2, sec)) return false;
            s = sec;
            if (pos < t.size() && t[pos] == '.') {
                double scale = 0.1;
                for (++pos; pos < t.size() && t[pos] >= '0' && t[pos] <= '9'; ++pos, scale /= 10) s += (t[pos] - '0') * scale;
            }
        }
        if (h > 24 || mi > 59 || s >= 61) return false;
    }
    if (pos < t.size() && t[pos] == 'Z') ++pos;
    if (pos != t.size()) return false;
    double day = 0;
    if (hasDate) {
        const long long days = base::daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
        if (date1904) {
            day = static_cast<double>(days - base::daysFromCivil(1904, 1, 1));
        } else {
            day = static_cast<double>(days - base::kOleDateEpoch);
            if (day < 61) day -= 1;  // before March 1900 the 1900 system is one day behind
        }
        if (day < 0) return false;
    }
    serial = day + (h * 3600 + mi * 60 + s) / 86400.0;
    return true;
}

}  // namespace xlsx
}  // namespace xls
