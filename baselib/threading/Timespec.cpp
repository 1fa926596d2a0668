#include "baselib/threading/Timespec.h"

#include "baselib/time/DateTime.h"
#include "baselib/time/Timeout.h"

#include <cmath>

namespace Threading::Internal {

namespace {
constexpr long nanosecondsPerSecond = 1000000000L;
constexpr double nanosecondsPerDay = 8.64e13;
} // namespace

timespec timespecFromTimeout(const KelTime::Timeout& timeout)
{
    const double days = (timeout.end() - KelTime::DateTime::posixOrigin()).days();
    timespec result{};
    result.tv_sec = static_cast<time_t>(std::trunc(days * KelTime::TimeDuration::secondsPerDay));
    result.tv_nsec = static_cast<long>(std::trunc(
        (days - static_cast<double>(result.tv_sec) / KelTime::TimeDuration::secondsPerDay) * nanosecondsPerDay));
    // Rounding of the double can leave the nanoseconds just outside their range, which the
    // timed waits reject with EINVAL instead of waiting.
    if (result.tv_nsec < 0) {
        result.tv_sec -= 1;
        result.tv_nsec += nanosecondsPerSecond;
    } else if (result.tv_nsec >= nanosecondsPerSecond) {
        result.tv_sec += 1;
        result.tv_nsec -= nanosecondsPerSecond;
    }
    return result;
}

} // namespace Threading::Internal
