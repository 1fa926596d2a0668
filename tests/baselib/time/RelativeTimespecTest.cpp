#include "baselib/time/RelativeTimespec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

namespace {

using std::chrono::nanoseconds;

TEST(RelativeTimespec, SplitsIntoSecondsAndNanosecondsAndNeverGoesNegative)
{
    struct Case {
        nanoseconds duration;
        time_t seconds;
        long nanos;
    };
    const Case cases[] = {
        {nanoseconds(-1), 0, 0},
        {nanoseconds::min(), 0, 0},
        {nanoseconds(0), 0, 0},
        {nanoseconds(999'999'999), 0, 999'999'999},
        {nanoseconds(1'000'000'000), 1, 0},
        {nanoseconds(2'500'000'001), 2, 500'000'001},
        {nanoseconds::max(), std::numeric_limits<long long>::max() / 1'000'000'000,
         std::numeric_limits<long long>::max() % 1'000'000'000},
    };
    for (const Case& c : cases) {
        const timespec result = KelTime::relativeTimespec(c.duration);
        EXPECT_EQ(result.tv_sec, c.seconds) << c.duration.count();
        EXPECT_EQ(result.tv_nsec, c.nanos) << c.duration.count();
    }
}

} // namespace
