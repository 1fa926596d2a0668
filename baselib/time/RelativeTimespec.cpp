#include "baselib/time/RelativeTimespec.h"

namespace KelTime {

timespec relativeTimespec(std::chrono::nanoseconds duration)
{
    if (duration <= std::chrono::nanoseconds::zero())
        return timespec{};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const auto nanoseconds = duration - seconds;
    return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

} // namespace KelTime
