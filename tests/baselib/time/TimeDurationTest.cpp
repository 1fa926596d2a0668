#include "baselib/time/TimeDuration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using KelTime::Milliseconds;
using KelTime::Seconds;
using KelTime::TimeDuration;

namespace {

TEST(TimeDuration, PrecisionIsOneUnitInTheLastPlace)
{
    struct Case {
        double days;
        double unit;
    };
    const Case cases[] = {
        {1.0, std::ldexp(1.0, -52)},       {0.0, std::ldexp(1.0, -53)},  {-1.0, std::ldexp(1.0, -52)},
        {0.75, std::ldexp(1.0, -53)},      {2440588.0, std::ldexp(1.0, -31)}, {1.0 / 8.64e7, std::ldexp(1.0, -79)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeDuration::fromDays(c.days).precision().days(), c.unit) << c.days;
}

TEST(TimeDuration, UnitCountsCarryTheirPrecision)
{
    const double twentyMs = 20.0 / 8.64e7;
    const double oneAndAHalfSeconds = 1.5 / 86400;
    EXPECT_EQ(TimeDuration::fromMilliseconds(20).days(),
              twentyMs + TimeDuration::fromDays(twentyMs).precision().days());
    EXPECT_EQ(TimeDuration::fromSeconds(1.5).days(),
              oneAndAHalfSeconds + TimeDuration::fromDays(oneAndAHalfSeconds).precision().days());
    EXPECT_EQ(TimeDuration::fromMilliseconds(0).days(), std::ldexp(1.0, -53));
    EXPECT_EQ(TimeDuration(Milliseconds(175)), TimeDuration::fromMilliseconds(175));
    EXPECT_EQ(TimeDuration(Seconds(0.005)), TimeDuration::fromSeconds(0.005));
    EXPECT_EQ(TimeDuration::fromMilliseconds(-20), -TimeDuration::fromMilliseconds(20));
}

TEST(TimeDuration, ConvertsBackTruncatingOrRoundingUp)
{
    struct Case {
        TimeDuration duration;
        long long truncated_ms;
        long long ceiling_ms;
    };
    const Case cases[] = {
        {TimeDuration::fromMilliseconds(0), 0, 0},
        {TimeDuration::fromMilliseconds(1), 1, 1},
        {TimeDuration::fromMilliseconds(20), 20, 20},
        {TimeDuration::fromMilliseconds(86400000), 86400000, 86400000},
        {TimeDuration::fromMilliseconds(0.5), 0, 1},
        {TimeDuration::fromMilliseconds(19.01), 19, 20},
        {TimeDuration::fromMilliseconds(-20), -20, -20},
        {TimeDuration::fromMilliseconds(-20.5), -20, -20},
        {TimeDuration::fromSeconds(0.175), 175, 175},
        {TimeDuration::fromSeconds(1.0 / 19200 * 10), 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.duration.toMilliseconds(), c.truncated_ms) << c.duration.days();
        EXPECT_EQ(c.duration.toMillisecondsCeil(), c.ceiling_ms) << c.duration.days();
    }
    EXPECT_EQ(TimeDuration::fromSeconds(59.999).toSeconds(), 59);
    EXPECT_EQ(TimeDuration::fromSeconds(59.999).toSecondsCeil(), 60);
    EXPECT_EQ(TimeDuration::fromSeconds(60).toSecondsCeil(), 60);
}

TEST(TimeDuration, WholeMillisecondsSurviveTheRoundTrip)
{
    for (long long ms = 0; ms <= 3600 * 1000; ms += 7) {
        const TimeDuration d = TimeDuration::fromMilliseconds(static_cast<double>(ms));
        ASSERT_EQ(d.toMilliseconds(), ms);
        ASSERT_EQ(d.toMillisecondsCeil(), ms);
        ASSERT_EQ(TimeDuration::fromSeconds(ms / 1000.0).toMilliseconds(), ms);
    }
}

TEST(TimeDuration, SpecialValuesAndSaturation)
{
    EXPECT_TRUE(TimeDuration().isNull());
    EXPECT_TRUE(TimeDuration::infinity().isInfinite());
    EXPECT_FALSE((-TimeDuration::infinity()).isInfinite());
    EXPECT_EQ(TimeDuration::infinity().isOverflow(), 1);
    EXPECT_EQ((-TimeDuration::infinity()).isOverflow(), -1);
    EXPECT_EQ(TimeDuration::fromDays(1e300).isOverflow(), 0);

    constexpr long long most = std::numeric_limits<long long>::max();
    constexpr long long least = std::numeric_limits<long long>::min();
    EXPECT_EQ(TimeDuration::infinity().toMilliseconds(), most);
    EXPECT_EQ(TimeDuration::infinity().toMillisecondsCeil(), most);
    EXPECT_EQ((-TimeDuration::infinity()).toSeconds(), least);
    EXPECT_EQ(TimeDuration::fromDays(1e300).toSeconds(), most);
    EXPECT_EQ(TimeDuration::fromDays(std::nan("")).toMilliseconds(), 0);
}

} // namespace
