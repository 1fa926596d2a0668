#include "baselib/time/TimeDuration.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace KelTime {

namespace {

long long saturatingCount(double count)
{
    // 2^63 is exact as a double; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (std::isnan(count))
        return 0;
    if (count >= limit)
        return std::numeric_limits<long long>::max();
    if (count < -limit)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(count);
}

// Rounding up does not count what fromSeconds() and fromMilliseconds() add (one unit in the
// last place of the plain value, 2^-53 day for zero) nor the rounding of the product.
long long ceilingCount(TimeDuration duration, double unitsPerDay)
{
    const double added_days = std::max(duration.precision().days(), TimeDuration::null().precision().days());
    const double excess_units = 2.0 * added_days * unitsPerDay;
    return saturatingCount(std::ceil(duration.days() * unitsPerDay - excess_units));
}

} // namespace

TimeDuration TimeDuration::infinity() { return TimeDuration(std::numeric_limits<double>::infinity()); }

TimeDuration TimeDuration::fromSeconds(double seconds) { return withPrecision(seconds / secondsPerDay); }

TimeDuration TimeDuration::fromMilliseconds(double milliseconds)
{
    return withPrecision(milliseconds / millisecondsPerDay);
}

// The unit goes away from zero, so that truncation gives back the count for negative spans too.
TimeDuration TimeDuration::withPrecision(double days)
{
    const TimeDuration plain(days);
    return TimeDuration(days + std::copysign(plain.precision().days(), days));
}

bool TimeDuration::isInfinite() const { return m_days == std::numeric_limits<double>::infinity(); }

int TimeDuration::isOverflow() const
{
    if (m_days == std::numeric_limits<double>::infinity())
        return 1;
    if (m_days == -std::numeric_limits<double>::infinity())
        return -1;
    return 0;
}

TimeDuration TimeDuration::precision() const
{
    int exponent = 0;
    std::frexp(m_days, &exponent);
    return TimeDuration(std::ldexp(DBL_EPSILON, exponent - 1));
}

long long TimeDuration::toSeconds() const { return saturatingCount(m_days * secondsPerDay); }

long long TimeDuration::toMilliseconds() const { return saturatingCount(m_days * millisecondsPerDay); }

long long TimeDuration::toSecondsCeil() const { return ceilingCount(*this, secondsPerDay); }

long long TimeDuration::toMillisecondsCeil() const { return ceilingCount(*this, millisecondsPerDay); }

} // namespace KelTime
