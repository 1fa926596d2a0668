#include "baselib/threading/Timespec.h"

#include "baselib/time/DateTime.h"
#include "baselib/time/Timeout.h"

#include <cmath>
#include <limits>

namespace Threading::Internal {

namespace {
constexpr long nanosecondsPerSecond = 1000000000L;
constexpr double nanosecondsPerDay = 8.64e13;
// 2^63 is exact as a double; a second count must stay below it to fit time_t.
constexpr double timeLimit_s = 9223372036854775808.0;
} // namespace

WaitDeadline waitDeadline(const KelTime::Timeout& timeout)
{
    const double days = (timeout.end() - KelTime::DateTime::posixOrigin()).days();
    const double seconds = days * KelTime::TimeDuration::secondsPerDay;
    WaitDeadline result;
    // Written so that NaN counts as passed.
    if (!(seconds >= 0.0))
        return result;
    if (!(seconds < timeLimit_s)) {
        result.kind = WaitDeadline::Never;
        result.at.tv_sec = std::numeric_limits<time_t>::max();
        result.at.tv_nsec = nanosecondsPerSecond - 1;
        return result;
    }
    result.kind = WaitDeadline::At;
    result.at.tv_sec = static_cast<time_t>(std::trunc(seconds));
    result.at.tv_nsec = static_cast<long>(std::trunc(
        (days - static_cast<double>(result.at.tv_sec) / KelTime::TimeDuration::secondsPerDay) * nanosecondsPerDay));
    // Rounding of the double can leave the nanoseconds just outside their range, which the
    // timed waits reject with EINVAL instead of waiting.
    if (result.at.tv_nsec < 0) {
        result.at.tv_sec -= 1;
        result.at.tv_nsec += nanosecondsPerSecond;
    } else if (result.at.tv_nsec >= nanosecondsPerSecond) {
        result.at.tv_sec += 1;
        result.at.tv_nsec -= nanosecondsPerSecond;
    }
    if (result.at.tv_sec < 0) {
        result.at.tv_sec = 0;
        result.at.tv_nsec = 0;
    }
    return result;
}

timespec timespecFromTimeout(const KelTime::Timeout& timeout) { return waitDeadline(timeout).at; }

} // namespace Threading::Internal
