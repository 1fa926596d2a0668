#include "baselib/time/Date.h"

#include "TimeTestSupport.h"

#include <gtest/gtest.h>

using KelTime::Date;
using KelTime::DateTimeValueMessage;
using KelTimeTest::dateTimeError;
using KelTimeTest::text;

namespace {

struct Day {
    int year;
    int month;
    int day;
};

TEST(Date, RejectsDaysThatDoNotExist)
{
    const Day invalid[] = {
        {1582, 10, 5}, {1582, 10, 10}, {1582, 10, 14}, // the Gregorian gap
        {0, 1, 1},     {-4713, 1, 1},  {-4714, 12, 31}, {-4713, 0, 2},
        {1900, 2, 29}, {2023, 2, 29},  {2024, 2, 30},   {2024, 4, 31},
        {2024, 13, 1}, {2024, 0, 1},   {2024, 1, 0},    {-4, 2, 29}, // 4 BC: no Julian leap year
    };
    for (const Day& d : invalid) {
        EXPECT_FALSE(Date::isValid(d.year, d.month, d.day)) << d.year << '-' << d.month << '-' << d.day;
        EXPECT_EQ(dateTimeError([&] { Date(d.year, d.month, d.day); }), text(DateTimeValueMessage::InvalidDate));
    }
}

TEST(Date, AcceptsLeapDaysOfBothCalendars)
{
    const Day valid[] = {
        {-4713, 1, 2}, {-4713, 2, 29}, {-1, 2, 29}, {-5, 2, 29}, {4, 2, 29},
        {1500, 2, 29}, {1600, 2, 29},  {2000, 2, 29}, {2024, 2, 29}, {1582, 10, 4}, {1582, 10, 15},
    };
    for (const Day& d : valid)
        EXPECT_EQ(dateTimeError([&] { Date(d.year, d.month, d.day); }), L"(no exception)")
            << d.year << '-' << d.month << '-' << d.day;
}

TEST(Date, CountsDaysFrom1970)
{
    EXPECT_EQ(Date(1970, 1, 1).days(), 0.0);
    EXPECT_EQ(Date(2000, 1, 1).days(), 10957.0);
    EXPECT_EQ(Date(-4713, 1, 2).days(), 1.0 - 2440588.0);
    EXPECT_EQ(Date(9999, 12, 31).days(), 5373484.0 - 2440588.0);
    EXPECT_EQ((Date(1582, 10, 15) - Date(1582, 10, 4)).days(), 1.0);
}

TEST(Date, DayOfWeek)
{
    EXPECT_EQ(Date(1970, 1, 1).dayOfWeek(), 4);
    EXPECT_EQ(Date(2000, 1, 2).dayOfWeek(), 0);
    EXPECT_EQ(Date(1582, 10, 4).dayOfWeek(), 4);
    EXPECT_EQ(Date(1582, 10, 15).dayOfWeek(), 5);
    EXPECT_EQ(Date(2024, 3, 9).dayOfWeek(), 6);
}

TEST(Date, YmdSkipsNullPointersAndRefusesSpecialValues)
{
    int year = 0;
    Date(-44, 3, 15).ymd(&year, nullptr, nullptr);
    EXPECT_EQ(year, -44);
    const std::wstring notConvertible = text(DateTimeValueMessage::NotConvertible);
    EXPECT_EQ(dateTimeError([] { Date().ymd(nullptr, nullptr, nullptr); }), notConvertible);
    EXPECT_EQ(dateTimeError([] { Date::infinity().dayOfWeek(); }), notConvertible);
}

// Every day of the calendar's range: the parts survive the day count and back, and the day
// after each day is exactly one day later, across the Julian/Gregorian switch as well.
TEST(Date, EveryDayRoundTripsAndFollowsItsPredecessor)
{
    Date previous;
    long long days = 0;
    for (int year = -4713; year <= 9999; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                if (!Date::isValid(year, month, day))
                    continue;
                const Date date(year, month, day);
                int y = 0;
                int m = 0;
                int d = 0;
                date.ymd(&y, &m, &d);
                ASSERT_TRUE(y == year && m == month && d == day)
                    << year << '-' << month << '-' << day << " came back as " << y << '-' << m << '-' << d;
                if (!previous.isIndeterminate()) {
                    ASSERT_EQ((date - previous).days(), 1.0) << year << '-' << month << '-' << day;
                }
                previous = date;
                ++days;
            }
        }
    }
    EXPECT_EQ(days, 5373484);
}

} // namespace
