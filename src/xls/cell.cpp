// Turning a stored cell value into the text the design reader works with.
#include "cell.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "civil_date.h"

namespace xls {
namespace {

// Plain decimal text with at most 15 significant digits, no exponent, no trailing zeros.
std::string numberText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0.0) return "0";

    // Whole numbers below 10^15 are exact: their digits as they are.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        char digits[32];
        const auto res = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value));
        return std::string(digits, res.ptr);
    }
    // Scientific with 14 decimals rounds to 15 significant digits: d.dddddddddddddde±XX
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string s(buf, res.ptr);
    bool negative = false;
    size_t pos = 0;
    if (s[pos] == '-') {
        negative = true;
        ++pos;
    }
    std::string digits;
    size_t e = s.find('e', pos);
    for (size_t i = pos; i < e; ++i)
        if (s[i] >= '0' && s[i] <= '9') digits.push_back(s[i]);
    int exponent = std::atoi(s.c_str() + e + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (digits == "0") return "0";

    // digits = d1 d2 d3 ..., value = 0.d1d2d3... * 10^(exponent + 1)
    int pointAt = exponent + 1;  // digits before the decimal point
    std::string out;
    if (negative) out.push_back('-');
    if (pointAt <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-pointAt), '0');
        out += digits;
    } else if (static_cast<size_t>(pointAt) >= digits.size()) {
        out += digits;
        out.append(static_cast<size_t>(pointAt) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<size_t>(pointAt));
        out.push_back('.');
        out += digits.substr(static_cast<size_t>(pointAt));
    }
    return out;
}

// Days from 1970-01-01 to day 0 of the 1904 date system.
constexpr long long kDays1904_01_01 = base::daysFromCivil(1904, 1, 1);

std::string dateText(double serial, bool date1904) {
    // Whole seconds, rounded; a time of 23:59:59.6 becomes the next day.
    // Serials outside 0 .. 31 December 9999 are no date a workbook shows: the number stands.
    const double totalSeconds = std::floor(serial * 86400.0 + 0.5);
    if (!(totalSeconds >= 0.0) || totalSeconds > 86400.0 * 3000000.0) return numberText(serial);
    const long long total = static_cast<long long>(totalSeconds);
    const long long day = total / 86400;
    const long long secs = total % 86400;

    char timeBuf[32];
    std::snprintf(timeBuf, sizeof timeBuf, "%lld:%02lld:%02lld", secs / 3600, (secs / 60) % 60, secs % 60);

    bool hasDate = true;
    char dateBuf[32];
    if (!date1904 && day == 0) {
        hasDate = false;  // a time of day alone
    } else if (!date1904 && day == 60) {
        // The 1900 system counts a 29 February 1900 that never was.
        std::snprintf(dateBuf, sizeof dateBuf, "1900/02/29");
    } else {
        long long days;
        if (date1904)
            days = kDays1904_01_01 + day;
        else if (day < 60)
            days = base::kOleDateEpoch + day + 1;  // serial 1 is 1900-01-01
        else
            days = base::kOleDateEpoch + day;  // from 1 March 1900 on, the count is right again
        const base::CivilDate date = base::civilFromDays(days);
        if (date.year > 9999) return numberText(serial);
        std::snprintf(dateBuf, sizeof dateBuf, "%04lld/%02u/%02u", date.year, date.month, date.day);
    }
    if (!hasDate) return timeBuf;
    if (secs == 0) return dateBuf;
    return std::string(dateBuf) + " " + timeBuf;
}

}  // namespace

std::string cellText(const Cell& cell) {
    switch (cell.kind) {
    case CellKind::Empty:
        return std::string();
    case CellKind::Text:
    case CellKind::Error:
        return cell.text;
    case CellKind::Boolean:
        return cell.boolean ? "True" : "False";
    case CellKind::Number:
        if (cell.isDate) return dateText(cell.number, cell.date1904);
        return numberText(cell.number);
    }
    return std::string();
}

}  // namespace xls
