#include <gtest/gtest.h>

#include "files/StandardName.h"

namespace {

std::tm At(int day, int month, int hour, int minute)
{
    std::tm t{};
    t.tm_mday = day;
    t.tm_mon = month;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_year = 126;
    return t;
}

TEST(StandardName, DayMonthHourMinuteInTenCharacters)
{
    EXPECT_EQ(files::StandardFileName(At(31, 11, 23, 59)), "31dec_2359");
    EXPECT_EQ(files::StandardFileName(At(1, 0, 0, 0)), "01jan_0000");
    EXPECT_EQ(files::StandardFileName(At(9, 6, 10, 5)), "09jul_1005");
    EXPECT_EQ(files::StandardFileName(At(5, 2, 9, 7)), "05mar_0907");
    EXPECT_EQ(files::StandardFileName(At(10, 4, 10, 10)), "10may_1010");
}

TEST(StandardName, EveryMonthHasItsOwnAbbreviation)
{
    const char* months[] = {"jan_", "feb_", "mar_", "apr_", "may_", "jun_",
                            "jul_", "aug_", "sep_", "oct_", "nov_", "dec_"};
    for (int m = 0; m < 12; ++m)
        EXPECT_EQ(files::StandardFileName(At(15, m, 12, 30)), std::string("15") + months[m] + "1230");
}

TEST(StandardName, OutOfRangeFieldsStillGiveTenCharacters)
{
    // A leap second (tm_sec is not used) or a broken time source must not break the name.
    EXPECT_EQ(files::StandardFileName(At(0, 12, 24, 60)).size(), files::kStandardNameLength);
    EXPECT_EQ(files::StandardFileName(At(-3, -1, -1, -1)), "01jan_0000");
}

}  // namespace
