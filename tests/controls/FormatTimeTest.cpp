#include <gtest/gtest.h>

#include "controls/FormatTime.h"

namespace {

TEST(FormatTime, MinutesAndSecondsAlwaysHaveTwoDigits)
{
    EXPECT_EQ(FormatTime(0), "0:00:00");
    EXPECT_EQ(FormatTime(9), "0:00:09");
    EXPECT_EQ(FormatTime(10), "0:00:10");
    EXPECT_EQ(FormatTime(59), "0:00:59");
    EXPECT_EQ(FormatTime(60), "0:01:00");
    EXPECT_EQ(FormatTime(599), "0:09:59");
    EXPECT_EQ(FormatTime(3599), "0:59:59");
    EXPECT_EQ(FormatTime(3600), "1:00:00");
    EXPECT_EQ(FormatTime(3725), "1:02:05");
}

TEST(FormatTime, HoursNeitherWrapNorStopAtTwoDigits)
{
    EXPECT_EQ(FormatTime(86399), "23:59:59");
    EXPECT_EQ(FormatTime(86400), "24:00:00");
    EXPECT_EQ(FormatTime(360000), "100:00:00");
    EXPECT_EQ(FormatTime(2147483647), "596523:14:07");
}

TEST(FormatTime, NegativeCountsShowAsZero)
{
    EXPECT_EQ(FormatTime(-1), "0:00:00");
    EXPECT_EQ(FormatTime(-2147483647 - 1), "0:00:00");
}

}  // namespace
