#include "baselib/time/Timeout.h"

#include "baselib/time/Clock.h"

namespace KelTime {

Timeout::Timeout(TimeDuration duration)
    : m_end(duration.isInfinite() ? DateTime::infinity() : Clock::universalTime() + duration)
{
}

Timeout Timeout::infinite() { return Timeout(DateTime::infinity()); }

Timeout Timeout::at(const DateTime& end) { return Timeout(end); }

bool Timeout::isExpired() const
{
    if (isInfinite())
        return false;
    // Written as "not before the end" so that an unknown end counts as passed.
    return !(Clock::universalTime() < m_end);
}

TimeDuration Timeout::remainingTime() const
{
    if (isInfinite())
        return TimeDuration::infinity();
    const TimeDuration remaining = m_end - Clock::universalTime();
    return remaining > TimeDuration::null() ? remaining : TimeDuration::null();
}

} // namespace KelTime
