#include "baselib/time/Time.h"

#include "TimeTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using KelTime::DateTimeValueMessage;
using KelTime::Milliseconds;
using KelTime::Time;
using KelTime::TimeDuration;
using KelTimeTest::dateTimeError;
using KelTimeTest::text;

namespace {

TEST(Time, PartsCarryThePrecisionOnce)
{
    EXPECT_EQ(Time::precision().days(), std::ldexp(1.0, -53));
    EXPECT_EQ(Time(12, 0, 0).days(), 0.5 + std::ldexp(1.0, -53));
    EXPECT_EQ(Time(0, 0, 0).days(), std::ldexp(1.0, -53));
    EXPECT_EQ(Time(6, 0, 0, Milliseconds(0)).days(), 0.25 + std::ldexp(1.0, -53));
}

TEST(Time, BoundsOfThePartsConstructor)
{
    EXPECT_TRUE(Time(24, 0, 0).isInfinite());
    EXPECT_TRUE(Time(23, 59, 60).isInfinite());
    EXPECT_TRUE(Time(24, 60, 60).isInfinite());
    EXPECT_FALSE(Time(23, 59, 59).isInfinite());
    const std::wstring invalid = text(DateTimeValueMessage::InvalidTime);
    EXPECT_EQ(dateTimeError([] { Time(25, 0, 0); }), invalid);
    EXPECT_EQ(dateTimeError([] { Time(-1, 0, 0); }), invalid);
    EXPECT_EQ(dateTimeError([] { Time(0, 61, 0); }), invalid);
    EXPECT_EQ(dateTimeError([] { Time(0, 0, 61); }), invalid);
}

TEST(Time, MillisecondsConstructorNeverThrows)
{
    EXPECT_TRUE(Time(0, 0, 0, Milliseconds(1000.0)).isIndeterminate());
    EXPECT_TRUE(Time(0, 0, 0, Milliseconds(-1000.0)).isIndeterminate());
    EXPECT_TRUE(Time(25, 0, 0, Milliseconds(0)).isIndeterminate());
    EXPECT_TRUE(Time(0, 0, 0, Milliseconds(std::nan(""))).isIndeterminate());
    EXPECT_EQ(Time(0, 0, 0, Milliseconds(-1.0)).isOverflow(), -1);
    EXPECT_EQ(Time(23, 59, 59, Milliseconds(999.9)).isOverflow(), 0);
    EXPECT_EQ(Time(24, 0, 0, Milliseconds(0)).isOverflow(), 1);
}

TEST(Time, ArithmeticSaturatesAtTheEdgesOfTheDay)
{
    const TimeDuration twoHours = TimeDuration::fromSeconds(7200);
    EXPECT_TRUE((Time(23, 0, 0) + twoHours).isInfinite());
    EXPECT_EQ((Time(1, 0, 0) - twoHours).isOverflow(), -1);
    EXPECT_EQ((Time(1, 0, 0) + (-twoHours)).isOverflow(), -1);
    EXPECT_TRUE((Time(23, 0, 0) - (-twoHours)).isInfinite());
    EXPECT_TRUE((Time() + twoHours).isIndeterminate());
    EXPECT_TRUE((Time() - twoHours).isIndeterminate());

    const Time later = Time(10, 0, 0) + twoHours;
    EXPECT_NEAR((later - Time(12, 0, 0)).days(), 0.0, 4 * Time::precision().days());
}

} // namespace
