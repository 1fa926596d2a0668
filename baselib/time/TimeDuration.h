#pragma once

#include "baselib/Export.h"

namespace KelTime {

// A count of seconds or milliseconds, kept apart from a plain number so that a unit is
// never guessed. Both convert to a TimeDuration.
template <class T>
class BasicSeconds {
public:
    BasicSeconds() = default;
    explicit BasicSeconds(T count) : m_count(count) {}
    T count() const { return m_count; }

private:
    T m_count{};
};

template <class T>
class BasicMilliseconds {
public:
    BasicMilliseconds() = default;
    explicit BasicMilliseconds(T count) : m_count(count) {}
    T count() const { return m_count; }

private:
    T m_count{};
};

using Seconds = BasicSeconds<double>;
using Milliseconds = BasicMilliseconds<double>;

// A signed span of time in days (1.0 is 86 400 s). Durations made from seconds or
// milliseconds carry one unit in the last place beyond their plain value, so that converting
// them back by truncation gives the count they were made from.
class KELBASE_EXPORT TimeDuration {
public:
    static constexpr double secondsPerDay = 86400.0;
    static constexpr double millisecondsPerDay = 8.64e7;

    TimeDuration() = default;
    template <class T>
    TimeDuration(BasicSeconds<T> seconds) : TimeDuration(fromSeconds(static_cast<double>(seconds.count())))
    {
    }
    template <class T>
    TimeDuration(BasicMilliseconds<T> milliseconds)
        : TimeDuration(fromMilliseconds(static_cast<double>(milliseconds.count())))
    {
    }

    static TimeDuration null() { return TimeDuration(); }
    static TimeDuration infinity();
    // The plain number of days, nothing added.
    static TimeDuration fromDays(double days) { return TimeDuration(days); }
    // seconds / 86 400 plus its precision() (minus it for a negative count).
    static TimeDuration fromSeconds(double seconds);
    // milliseconds / 8.64e7 plus its precision() (minus it for a negative count).
    static TimeDuration fromMilliseconds(double milliseconds);

    double days() const { return m_days; }
    bool isNull() const { return m_days == 0.0; }
    bool isInfinite() const;
    // +1 for +inf, -1 for -inf, 0 otherwise.
    int isOverflow() const;
    // One unit in the last place of the stored value (2^-52 for 1.0, 2^-53 for 0.0).
    TimeDuration precision() const;

    // Truncated towards zero; infinite or out-of-range values saturate at the limits of
    // long long and NaN gives 0.
    long long toSeconds() const;
    long long toMilliseconds() const;
    // Rounded up, for callers that need a bound no shorter than the duration. The one unit in
    // the last place that a duration from seconds or milliseconds carries is not counted, so
    // a duration made from 20 ms gives 20, not 21. Saturates like the truncating forms.
    long long toSecondsCeil() const;
    long long toMillisecondsCeil() const;

    TimeDuration operator-() const { return TimeDuration(-m_days); }
    TimeDuration& operator+=(TimeDuration other)
    {
        m_days += other.m_days;
        return *this;
    }
    TimeDuration& operator-=(TimeDuration other)
    {
        m_days -= other.m_days;
        return *this;
    }
    TimeDuration& operator*=(double factor)
    {
        m_days *= factor;
        return *this;
    }
    TimeDuration& operator/=(double divisor)
    {
        m_days /= divisor;
        return *this;
    }

    friend TimeDuration operator+(TimeDuration a, TimeDuration b) { return a += b; }
    friend TimeDuration operator-(TimeDuration a, TimeDuration b) { return a -= b; }
    friend TimeDuration operator*(TimeDuration a, double factor) { return a *= factor; }
    friend TimeDuration operator*(double factor, TimeDuration a) { return a *= factor; }
    friend TimeDuration operator/(TimeDuration a, double divisor) { return a /= divisor; }
    friend double operator/(TimeDuration a, TimeDuration b) { return a.m_days / b.m_days; }

    friend bool operator==(TimeDuration a, TimeDuration b) { return a.m_days == b.m_days; }
    friend bool operator!=(TimeDuration a, TimeDuration b) { return a.m_days != b.m_days; }
    friend bool operator<(TimeDuration a, TimeDuration b) { return a.m_days < b.m_days; }
    friend bool operator<=(TimeDuration a, TimeDuration b) { return a.m_days <= b.m_days; }
    friend bool operator>(TimeDuration a, TimeDuration b) { return a.m_days > b.m_days; }
    friend bool operator>=(TimeDuration a, TimeDuration b) { return a.m_days >= b.m_days; }

private:
    explicit TimeDuration(double days) : m_days(days) {}
    static TimeDuration withPrecision(double days);

    double m_days = 0.0;
};

} // namespace KelTime
