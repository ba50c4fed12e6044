#include <gtest/gtest.h>

#include <limits>

#include "http/FormatDuration.h"
#include "http/FormatSize.h"

namespace {

TEST(FormatSize, UnitsAndTheirBoundaries)
{
    EXPECT_EQ(FormatSize(0), u"0Bytes");
    EXPECT_EQ(FormatSize(0.9), u"0Bytes");
    EXPECT_EQ(FormatSize(1023), u"1023Bytes");
    EXPECT_EQ(FormatSize(1024), u"1.00KB");
    EXPECT_EQ(FormatSize(1536), u"1.50KB");
    EXPECT_EQ(FormatSize(1048575), u"1024.00KB");
    EXPECT_EQ(FormatSize(1048576), u"1.00MB");
    EXPECT_EQ(FormatSize(1073741824.0), u"1.00GB");
    EXPECT_EQ(FormatSize(1099511627776.0 * 3.5), u"3.50TB");
}

TEST(FormatSize, TwoDecimalsRoundLikeTheCLibrary)
{
    // 1.125 is exact in binary; printf rounds the tie to even.
    EXPECT_EQ(FormatSize(1152), u"1.12KB");
    EXPECT_EQ(FormatSize(1048576.0 * 2.345), u"2.35MB");
}

TEST(FormatSize, MeaninglessInputShowsZero)
{
    EXPECT_EQ(FormatSize(-5), u"0Bytes");
    EXPECT_EQ(FormatSize(std::numeric_limits<double>::quiet_NaN()), u"0Bytes");
    EXPECT_EQ(FormatSize(std::numeric_limits<double>::infinity()).substr(0, 4), u"3094");
}

TEST(FormatDuration, HoursMinutesSecondsWithoutDays)
{
    EXPECT_EQ(FormatDuration(59.99), u"00:00:59");
    EXPECT_EQ(FormatDuration(3661.7), u"01:01:01");
    EXPECT_EQ(FormatDuration(90061), u"01:01:01");
    EXPECT_EQ(FormatDuration(86400), u"00:00:00");
    EXPECT_EQ(FormatDuration(86399), u"23:59:59");
    EXPECT_EQ(FormatDuration(600), u"00:10:00");
}

TEST(FormatDuration, NonPositiveAndUnboundedInput)
{
    EXPECT_EQ(FormatDuration(-5), u"00:00:00");
    EXPECT_EQ(FormatDuration(0), u"00:00:00");
    EXPECT_EQ(FormatDuration(std::numeric_limits<double>::quiet_NaN()), u"00:00:00");
    // An estimate from a zero speed is infinite; it must still give a clock text.
    EXPECT_EQ(FormatDuration(std::numeric_limits<double>::infinity()).size(), 8u);
}

} // namespace
