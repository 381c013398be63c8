// Cell values turned into text.
#include <gtest/gtest.h>

#include <string>

#include "cell.h"

using xls::Cell;
using xls::CellKind;

namespace {

Cell number(double v) {
    Cell c;
    c.kind = CellKind::Number;
    c.number = v;
    return c;
}

Cell date(double serial, bool date1904 = false) {
    Cell c = number(serial);
    c.isDate = true;
    c.date1904 = date1904;
    return c;
}

}  // namespace

TEST(CellText, NumbersArePlainDecimalWithFifteenDigits) {
    EXPECT_EQ(xls::cellText(number(10)), "10");
    EXPECT_EQ(xls::cellText(number(1.5)), "1.5");
    EXPECT_EQ(xls::cellText(number(0.1 + 0.2)), "0.3");
    EXPECT_EQ(xls::cellText(number(1e15)), "1000000000000000");
    EXPECT_EQ(xls::cellText(number(3e9)), "3000000000");
    EXPECT_EQ(xls::cellText(number(-42)), "-42");
    EXPECT_EQ(xls::cellText(number(-0.25)), "-0.25");
    EXPECT_EQ(xls::cellText(number(1e-7)), "0.0000001");
    EXPECT_EQ(xls::cellText(number(123456789)), "123456789");
    EXPECT_EQ(xls::cellText(number(0)), "0");
    EXPECT_EQ(xls::cellText(number(-0.0)), "0");
    // The 16th digit is rounded away, carrying into the digits before it.
    EXPECT_EQ(xls::cellText(number(1234567890123456.0)), "1234567890123460");
    EXPECT_EQ(xls::cellText(number(0.99999999999999999)), "1");
    EXPECT_EQ(xls::cellText(number(1e20)), "100000000000000000000");
    EXPECT_EQ(xls::cellText(number(0.1234567890123456)), "0.123456789012346");
    EXPECT_EQ(xls::cellText(number(-123456789012345.67)), "-123456789012346");
    EXPECT_EQ(xls::cellText(number(999999999999999.5)), "1000000000000000");
    EXPECT_EQ(xls::cellText(number(9.999999999999999e-5)), "0.0001");
}

TEST(CellText, ExtremeNumbersKeepPlainDecimals) {
    EXPECT_EQ(xls::cellText(number(1e-300)), "0." + std::string(299, '0') + "1");
    EXPECT_EQ(xls::cellText(number(-5e-324)), "-0." + std::string(323, '0') + "494065645841247");
    EXPECT_EQ(xls::cellText(number(1.7976931348623157e308)), "179769313486232" + std::string(294, '0'));
}

TEST(CellText, OtherKinds) {
    Cell c;
    EXPECT_EQ(xls::cellText(c), "");
    c.kind = CellKind::Text;
    c.text = "  padded  ";
    EXPECT_EQ(xls::cellText(c), "  padded  ");
    c.kind = CellKind::Boolean;
    c.boolean = true;
    EXPECT_EQ(xls::cellText(c), "True");
    c.boolean = false;
    EXPECT_EQ(xls::cellText(c), "False");
}

TEST(CellText, DatesIn1900System) {
    EXPECT_EQ(xls::cellText(date(45366)), "2024/03/15");
    EXPECT_EQ(xls::cellText(date(45366 + (13 * 3600 + 45 * 60 + 30) / 86400.0)), "2024/03/15 13:45:30");
    EXPECT_EQ(xls::cellText(date((13 * 3600 + 45 * 60 + 30) / 86400.0)), "13:45:30");
    EXPECT_EQ(xls::cellText(date(0.375)), "9:00:00");
    EXPECT_EQ(xls::cellText(date(0)), "0:00:00");
    // Before March 1900 the count includes a 29 February that never was.
    EXPECT_EQ(xls::cellText(date(1)), "1900/01/01");
    EXPECT_EQ(xls::cellText(date(59)), "1900/02/28");
    EXPECT_EQ(xls::cellText(date(60)), "1900/02/29");
    EXPECT_EQ(xls::cellText(date(61)), "1900/03/01");
    // Rounding to the second may carry into the next day.
    EXPECT_EQ(xls::cellText(date(45366.9999999)), "2024/03/16");
}

TEST(CellText, DatesIn1904System) {
    EXPECT_EQ(xls::cellText(date(0, true)), "1904/01/01");
    EXPECT_EQ(xls::cellText(date(45366 - 1462, true)), "2024/03/15");
    EXPECT_EQ(xls::cellText(date(45366 - 1462 + 0.5, true)), "2024/03/15 12:00:00");
}

TEST(CellText, DateOutsideTheCalendarFallsBackToTheNumber) {
    EXPECT_EQ(xls::cellText(date(-1)), "-1");
    // 31 December 9999 is the last day a date format shows; past it the number stands.
    EXPECT_EQ(xls::cellText(date(2958465)), "9999/12/31");
    EXPECT_EQ(xls::cellText(date(2958465.5)), "9999/12/31 12:00:00");
    EXPECT_EQ(xls::cellText(date(2958466)), "2958466");
    EXPECT_EQ(xls::cellText(date(2958500.25)), "2958500.25");
    EXPECT_EQ(xls::cellText(date(2958465.9999999)), "2958465.9999999");  // rounds into the year 10000
    EXPECT_EQ(xls::cellText(date(2957003, true)), "9999/12/31");
    EXPECT_EQ(xls::cellText(date(2957004, true)), "2957004");
    EXPECT_EQ(xls::cellText(date(1e300)), "1" + std::string(300, '0'));
}
