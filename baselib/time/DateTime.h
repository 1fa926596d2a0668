#pragma once

#include "baselib/Export.h"
#include "baselib/time/Date.h"
#include "baselib/time/Time.h"
#include "baselib/time/TimeDuration.h"

#include <cfloat>
#include <ctime>
#include <string>

namespace KelTime {

struct FILETIME;
struct SYSTEMTIME;

// An instant in days since 1970-01-01 00:00 UTC, the fraction being the time of day.
// Every instant built from parts carries the DateTime precision (2^-31 day, about 40 us)
// once, so that splitting it again never falls just short of a whole second.
class KELBASE_EXPORT DateTime {
public:
    // The indeterminate instant.
    DateTime() = default;
    // Indeterminate when either part is.
    DateTime(Date date, Time time);
    // No indeterminate check; `lost` receives the seconds of `time` that the stored value
    // cannot carry.
    DateTime(Date date, Time time, Seconds& lost);
    // 100 ns ticks since 1601-01-01.
    explicit DateTime(const FILETIME& fileTime);
    // Throws DateTimeException for a day that does not exist; the day of the week is ignored.
    explicit DateTime(const SYSTEMTIME& systemTime);
    // Reads the broken-down time as local time.
    explicit DateTime(const std::tm* localTime);

    static DateTime indeterminate() { return DateTime(); }
    static DateTime infinity();
    // The unit in the last place of 2 440 588.0: 2^-31 day.
    static TimeDuration precision();
    // 1970-01-01 00:00 exactly, without the precision.
    static const DateTime& posixOrigin();
    static DateTime fromCTime(long long seconds);
    // Parses "date" "T" "time" as Date and Time do.
    static DateTime fromISOString(const std::wstring& text);

    // Whole seconds since 1970-01-01 00:00; throws DateTimeException "Невозможно
    // преобразовать дату и время в требуемый формат" before that instant, for the special
    // values and beyond the range of a 64-bit count.
    long long toCTime() const;
    // The broken-down UTC time of toCTime(); throws like it.
    void toTm(std::tm* utc) const;
    void toSystemTime(SYSTEMTIME& systemTime) const;

    // The split at the floor; special values give the same special date and time.
    Date date() const;
    Time time() const;
    void getDateAndTime(Date& date, Time& time) const;
    void ymd(int* year, int* month, int* day) const { date().ymd(year, month, day); }
    int dayOfWeek() const { return date().dayOfWeek(); }

    // In the date and time format of the locale imbued in std::wcout: "Unknown" for the
    // indeterminate value, "#Inf" / "-#Inf" for the overflow states and "Unpresentable"
    // when the instant has no C time form (before 1970, among others).
    std::wstring toString() const;
    // 2024-03-05T07:05:09.500; for ordinary values only.
    std::wstring toISOString() const;

    double days() const { return m_days; }
    bool isIndeterminate() const { return m_days == -DBL_MAX; }
    bool isInfinite() const;
    // +1 for +inf, -1 for -inf, 0 otherwise.
    int isOverflow() const;

    // Each step adds the precision once; no saturation beyond that of the double.
    DateTime& operator+=(TimeDuration duration)
    {
        add(duration.days());
        return *this;
    }
    DateTime& operator-=(TimeDuration duration)
    {
        subtract(duration.days());
        return *this;
    }
    friend DateTime operator+(DateTime instant, TimeDuration duration) { return instant += duration; }
    friend DateTime operator-(DateTime instant, TimeDuration duration) { return instant -= duration; }
    friend TimeDuration operator-(DateTime a, DateTime b) { return TimeDuration::fromDays(a.m_days - b.m_days); }

    friend bool operator==(DateTime a, DateTime b) { return a.m_days == b.m_days; }
    friend bool operator!=(DateTime a, DateTime b) { return a.m_days != b.m_days; }
    friend bool operator<(DateTime a, DateTime b) { return a.m_days < b.m_days; }
    friend bool operator<=(DateTime a, DateTime b) { return a.m_days <= b.m_days; }
    friend bool operator>(DateTime a, DateTime b) { return a.m_days > b.m_days; }
    friend bool operator>=(DateTime a, DateTime b) { return a.m_days >= b.m_days; }

private:
    explicit DateTime(double days) : m_days(days) {}

    void add(double days);
    void subtract(double days);

    double m_days = -DBL_MAX;
};

} // namespace KelTime
