// Calendar dates as day counts (proleptic Gregorian calendar, no time zone), and OLE dates:
// the days since 30 December 1899 as a double, the time of day as its fraction, which is how
// databases store date/time values.
#pragma once

#include <ctime>

namespace base {

struct CivilDate {
    long long year = 1970;
    unsigned month = 1;  // 1..12
    unsigned day = 1;    // 1..31
};

// Days from 1970-01-01 to the date (negative before it).
constexpr long long daysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);                 // year of era, 0..399
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;  // day of year from March
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;                // day of era
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The date that lies the given number of days from 1970-01-01.
constexpr CivilDate civilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    CivilDate date;
    date.day = doy - (153 * mp + 2) / 5 + 1;
    date.month = mp < 10 ? mp + 3 : mp - 9;
    date.year = static_cast<long long>(yoe) + era * 400 + (date.month <= 2);
    return date;
}

// Day 0 of OLE dates, 1899-12-30, counted from 1970-01-01.
constexpr long long kOleDateEpoch = daysFromCivil(1899, 12, 30);

// The OLE date of a broken-down local time (tm_year, tm_mon, tm_mday, tm_hour, tm_min, tm_sec),
// plus the given fraction of a second.
double oleDateFromLocalTime(const std::tm& local, double fractionOfSecond = 0.0);

// The current local time as an OLE date, to the millisecond.
double oleDateNow();

}  // namespace base
