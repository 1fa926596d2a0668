#include "baselib/time/Clock.h"
#include "baselib/time/DateTime.h"

#include "TimeTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

using KelTime::Date;
using KelTime::DateTime;
using KelTime::DateTimeValueMessage;
using KelTime::FILETIME;
using KelTime::Milliseconds;
using KelTime::Seconds;
using KelTime::SYSTEMTIME;
using KelTime::Time;
using KelTime::TimeDuration;
using KelTimeTest::dateTimeError;
using KelTimeTest::text;

namespace {

const double dateTimeUnit = std::ldexp(1.0, -31);
const double oneMicrosecond = 1.0 / 8.64e10;

FILETIME fileTimeFromTicks(unsigned long long ticks)
{
    FILETIME fileTime;
    fileTime.dwLowDateTime = static_cast<std::uint32_t>(ticks);
    fileTime.dwHighDateTime = static_cast<std::uint32_t>(ticks >> 32);
    return fileTime;
}

TEST(DateTime, PrecisionAndOrigin)
{
    EXPECT_EQ(DateTime::precision().days(), dateTimeUnit);
    EXPECT_EQ(DateTime::posixOrigin().days(), 0.0);
    EXPECT_EQ(DateTime::fromCTime(0) - DateTime::posixOrigin(), DateTime::precision());
    EXPECT_EQ(DateTime::fromCTime(0).toCTime(), 0);
    EXPECT_EQ(DateTime::fromCTime(1709622309).toCTime(), 1709622309);
}

TEST(DateTime, FromDateAndTime)
{
    const Date date(2024, 3, 5);
    const Time time(7, 5, 9);
    EXPECT_EQ(DateTime(date, time).days(), date.days() + time.days() + dateTimeUnit);
    EXPECT_TRUE(DateTime(Date(), time).isIndeterminate());
    EXPECT_TRUE(DateTime(date, Time()).isIndeterminate());
    EXPECT_TRUE(DateTime(date, Time(24, 0, 0)).isInfinite());
    EXPECT_TRUE(DateTime(Date::infinity(), time).isInfinite());
    EXPECT_TRUE(DateTime(Date::infinity(), Time(0, 0, 0, Milliseconds(-1))).isIndeterminate());

    Seconds lost(1.0);
    const DateTime carried(date, time, lost);
    EXPECT_EQ(carried, DateTime(date, time));
    EXPECT_NEAR(lost.count(), -dateTimeUnit * 86400, 1e-6);
}

TEST(DateTime, SplitsAtTheFloor)
{
    const DateTime evening(Date(1969, 12, 31), Time(18, 0, 0));
    EXPECT_EQ(evening.date(), Date(1969, 12, 31));
    EXPECT_NEAR(evening.time().days(), 0.75, 1e-9);
    int day = 0;
    evening.ymd(nullptr, nullptr, &day);
    EXPECT_EQ(day, 31);
    EXPECT_EQ(evening.dayOfWeek(), 3);

    Date date;
    Time time;
    DateTime::infinity().getDateAndTime(date, time);
    EXPECT_TRUE(date.isInfinite());
    EXPECT_TRUE(time.isInfinite());
    EXPECT_TRUE(DateTime().date().isIndeterminate());
    EXPECT_TRUE(DateTime().time().isIndeterminate());
    // 2^-60 day before midnight: the fraction rounds to 1.0, which is midnight of the next day.
    const DateTime hair = DateTime::fromCTime(0) - TimeDuration::fromDays(std::ldexp(1.0, -60));
    ASSERT_LT(hair.days(), 0.0);
    EXPECT_EQ(hair.date(), Date(1970, 1, 1));
    EXPECT_EQ(hair.time().days(), 0.0);
}

TEST(DateTime, ArithmeticAddsThePrecisionOnce)
{
    const DateTime start(Date(2024, 3, 5), Time(7, 0, 0));
    const TimeDuration hour = TimeDuration::fromSeconds(3600);
    EXPECT_NEAR((start + hour - start).days(), hour.days() + dateTimeUnit, 1e-11);
    EXPECT_NEAR((start - hour - start).days(), -hour.days() - dateTimeUnit, 1e-11);
    EXPECT_LT(start, start + hour);
    EXPECT_TRUE((DateTime::infinity() - hour).isInfinite());
}

TEST(DateTime, CTimeConversions)
{
    const std::wstring notConvertible = text(DateTimeValueMessage::NotConvertible);
    EXPECT_EQ(dateTimeError([] { DateTime(Date(1969, 12, 31), Time(23, 59, 59)).toCTime(); }), notConvertible);
    EXPECT_EQ(dateTimeError([] { DateTime().toCTime(); }), notConvertible);
    EXPECT_EQ(dateTimeError([] { DateTime::infinity().toCTime(); }), notConvertible);
    EXPECT_EQ(DateTime(Date(2024, 3, 5), Time(7, 5, 9)).toCTime(), 1709622309);

    std::tm utc{};
    DateTime(Date(2024, 3, 5), Time(7, 5, 9)).toTm(&utc);
    EXPECT_EQ(utc.tm_year, 124);
    EXPECT_EQ(utc.tm_mon, 2);
    EXPECT_EQ(utc.tm_mday, 5);
    EXPECT_EQ(utc.tm_hour, 7);
    EXPECT_EQ(utc.tm_min, 5);
    EXPECT_EQ(utc.tm_sec, 9);
    EXPECT_EQ(dateTimeError([] {
                  std::tm before{};
                  DateTime(Date(1960, 1, 1), Time(0, 0, 0)).toTm(&before);
              }),
              notConvertible);

    // The tm constructor reads local time, whatever the zone of the machine.
    const std::time_t seconds = 1709622309;
    std::tm local{};
    localtime_r(&seconds, &local);
    EXPECT_EQ(DateTime(&local), DateTime::fromCTime(seconds));
}

TEST(DateTime, FileTimeCountsFrom1601)
{
    const unsigned long long ticksAt1970 = 116444736000000000ULL;
    EXPECT_NEAR(DateTime(fileTimeFromTicks(ticksAt1970)).days(), dateTimeUnit, oneMicrosecond);
    EXPECT_NEAR(DateTime(fileTimeFromTicks(0)).days(), -134774.0 + dateTimeUnit, oneMicrosecond);
    const unsigned long long ticks = ticksAt1970 + 17096223095ULL * 1000000ULL;
    EXPECT_NEAR(DateTime(fileTimeFromTicks(ticks)).days(),
                (DateTime::posixOrigin() + TimeDuration::fromSeconds(1709622309.5)).days(), oneMicrosecond);
}

TEST(DateTime, SystemTimeRoundTrip)
{
    const DateTime instant(Date(2024, 3, 5), Time(7, 5, 9, Milliseconds(250)));
    SYSTEMTIME systemTime;
    instant.toSystemTime(systemTime);
    EXPECT_EQ(systemTime.wYear, 2024);
    EXPECT_EQ(systemTime.wMonth, 3);
    EXPECT_EQ(systemTime.wDay, 5);
    EXPECT_EQ(systemTime.wDayOfWeek, 2);
    EXPECT_EQ(systemTime.wHour, 7);
    EXPECT_EQ(systemTime.wMinute, 5);
    EXPECT_EQ(systemTime.wSecond, 9);
    EXPECT_EQ(systemTime.wMilliseconds, 250);
    EXPECT_EQ(DateTime(systemTime), instant);

    systemTime.wDay = 30;
    systemTime.wMonth = 2;
    EXPECT_EQ(dateTimeError([&] { DateTime{systemTime}; }), text(DateTimeValueMessage::InvalidDate));
}

} // namespace
