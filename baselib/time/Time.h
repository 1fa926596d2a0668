#pragma once

#include "baselib/Export.h"
#include "baselib/time/TimeDuration.h"

#include <cfloat>
#include <string>

namespace KelTime {

class DateTime;

// A time of day as a fraction of a day, 0.0 <= value < 1.0. Values that would reach the next
// day become +inf, values before midnight -inf.
class KELBASE_EXPORT Time {
public:
    // The indeterminate time.
    Time() = default;
    // hour 0..24, minute 0..60, second 0..60, else DateTimeException "Время задано неправильно".
    Time(int hour, int minute, int second);
    // Same bounds and -1000 < milliseconds < 1000; out of bounds gives the indeterminate
    // time instead of an exception.
    Time(int hour, int minute, int second, Milliseconds milliseconds);

    static Time indeterminate() { return Time(); }
    static Time infinity();
    // The unit in the last place of the largest time below 1.0: 2^-53 day. Every time built
    // from parts carries it once.
    static TimeDuration precision();
    // Parses "hour:minute:seconds" with a fractional part allowed in the seconds; throws
    // DateTimeException on bad syntax or a time out of bounds.
    static Time fromISOString(const std::wstring& text);

    // The time in the time format of the console's locale; see DateTime::toString().
    std::wstring toString() const;
    // 07:05:09 or 07:05:09.250. Throws DateTimeException "Невозможно преобразовать дату и
    // время в требуемый формат" for the special values, as Date and DateTime do.
    std::wstring toISOString() const;

    double days() const { return m_days; }
    bool isIndeterminate() const { return m_days == -DBL_MAX; }
    bool isInfinite() const;
    // +1 for +inf, -1 for -inf, 0 otherwise.
    int isOverflow() const;

    // Each step adds the precision once and saturates to +inf / -inf outside the day.
    Time& operator+=(TimeDuration duration)
    {
        add(duration.days());
        return *this;
    }
    Time& operator-=(TimeDuration duration)
    {
        subtract(duration.days());
        return *this;
    }
    friend Time operator+(Time time, TimeDuration duration) { return time += duration; }
    friend Time operator-(Time time, TimeDuration duration) { return time -= duration; }
    friend TimeDuration operator-(Time a, Time b) { return TimeDuration::fromDays(a.m_days - b.m_days); }

    friend bool operator==(Time a, Time b) { return a.m_days == b.m_days; }
    friend bool operator!=(Time a, Time b) { return a.m_days != b.m_days; }
    friend bool operator<(Time a, Time b) { return a.m_days < b.m_days; }
    friend bool operator<=(Time a, Time b) { return a.m_days <= b.m_days; }
    friend bool operator>(Time a, Time b) { return a.m_days > b.m_days; }
    friend bool operator>=(Time a, Time b) { return a.m_days >= b.m_days; }

private:
    friend class DateTime;
    explicit Time(double days) : m_days(days) {}

    void add(double days);
    void subtract(double days);

    double m_days = -DBL_MAX;
};

} // namespace KelTime
