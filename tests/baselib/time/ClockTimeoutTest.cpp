#include "baselib/time/Clock.h"
#include "baselib/time/Timeout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

using KelTime::Clock;
using KelTime::DateTime;
using KelTime::Timeout;
using KelTime::TimeDuration;

namespace {

constexpr auto briefPause = std::chrono::milliseconds(2);
const TimeDuration twoSeconds = TimeDuration::fromSeconds(2);

TEST(Clock, UniversalTimeFollowsTheSystemClock)
{
    const DateTime system = DateTime::fromCTime(std::time(nullptr));
    EXPECT_LT(Clock::universalTime() - system, twoSeconds);
    EXPECT_GT(Clock::universalTime() - system, -twoSeconds);
}

TEST(Clock, LocalTimeIsUniversalTimeShiftedByTheZoneOffset)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const TimeDuration offset = Clock::localTime() - Clock::universalTime();
    EXPECT_NEAR(offset.days(), TimeDuration::fromSeconds(static_cast<double>(local.tm_gmtoff)).days(),
                twoSeconds.days());
}

TEST(Timeout, EndsTheDurationFromNow)
{
    const TimeDuration duration = TimeDuration::fromMilliseconds(200);
    const DateTime before = Clock::universalTime();
    const Timeout timeout(duration);
    const DateTime after = Clock::universalTime();
    EXPECT_GE(timeout.end() - before, duration);
    EXPECT_LE(timeout.end() - after, duration + DateTime::precision() + DateTime::precision());
    EXPECT_FALSE(timeout.isExpired());
    EXPECT_GT(timeout.remainingTime(), TimeDuration::null());
    EXPECT_LE(timeout.remainingTime(), duration + DateTime::precision() + DateTime::precision());
}

TEST(Timeout, ExpiresOnceTheClockReachesTheEnd)
{
    const Timeout timeout(TimeDuration::null());
    std::this_thread::sleep_for(briefPause);
    EXPECT_TRUE(timeout.isExpired());
    EXPECT_EQ(timeout.remainingTime(), TimeDuration::null());

    EXPECT_TRUE(Timeout::at(DateTime::posixOrigin()).isExpired());
    EXPECT_TRUE(Timeout(-TimeDuration::infinity()).isExpired());
    EXPECT_EQ(Timeout(-TimeDuration::infinity()).remainingTime(), TimeDuration::null());
}

TEST(Timeout, InfiniteDeadlineNeverExpires)
{
    for (const Timeout& timeout : {Timeout(TimeDuration::infinity()), Timeout::infinite(),
                                   Timeout::at(DateTime::infinity())}) {
        EXPECT_TRUE(timeout.isInfinite());
        EXPECT_TRUE(timeout.end().isInfinite());
        EXPECT_FALSE(timeout.isExpired());
        EXPECT_TRUE(timeout.remainingTime().isInfinite());
    }
}

} // namespace
