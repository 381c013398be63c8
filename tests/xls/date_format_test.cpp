// Which number formats show dates and times.
#include <gtest/gtest.h>

#include "date_format.h"

using xls::isBuiltinDateFormat;
using xls::isDateFormatCode;

TEST(DateFormat, BuiltinIndexes) {
    for (int i : {14, 15, 16, 17, 18, 19, 20, 21, 22, 45, 46, 47}) EXPECT_TRUE(isBuiltinDateFormat(i)) << i;
    for (int i : {0, 1, 2, 9, 10, 11, 12, 13, 23, 37, 44, 48, 49, 59, 164}) EXPECT_FALSE(isBuiltinDateFormat(i)) << i;
}

TEST(DateFormat, DateAndTimeCodes) {
    for (const char* code : {"yyyy/mm/dd", "yyyy-mm-dd hh:mm:ss", "h:mm:ss", "m/d/yy", "d-mmm-yy", "mmm-yy",
                             "[h]:mm:ss", "[mm]:ss", "mm:ss.0", "hh:mm:ss.000", "h:mm AM/PM",
                             "yyyy\"年\"m\"月\"d\"日\"", "[$-411]ggge\"年\"m\"月\"d\"日\"", "[$-F800]dddd, mmmm dd, yyyy",
                             "[Red]yyyy/mm/dd", "YYYY/MM/DD", "yyyy/mm/dd;@", "dd\\.mm\\.yyyy"})
        EXPECT_TRUE(isDateFormatCode(code)) << code;
}

TEST(DateFormat, NumberAndTextCodes) {
    for (const char* code : {"General", "0", "00000", "0.00", "#,##0", "0%", "0.00E+00", "\"¥\"#,##0.00",
                             "0\" days\"", "0\" mmdd\"", "[Red]#,##0", "[<=9999999]###-####", "@", "\"yyyy\"",
                             "\\d\\a\\y 0", "_(* #,##0_)", "#,##0;[Red]-#,##0", "0.0 \"h\"", "General;\"dd\"",
                             // A digit placeholder beside a bare date letter: a number, from .xls and .xlsx alike.
                             "0.0 h", "# ?/? d",
                             ""})
        EXPECT_FALSE(isDateFormatCode(code)) << code;
}
