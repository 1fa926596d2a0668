#pragma once

#include "baselib/Export.h"
#include "baselib/time/TimeDuration.h"

#include <cfloat>
#include <string>

namespace KelTime {

class DateTime;

// A calendar day, held as whole days since 1970-01-01 (Julian Day Number - 2 440 588).
// Dates before 1582-10-15 are in the Julian calendar; the first valid day is -4713-01-02.
// Years before 1 count down from -1 (1 BC); there is no year 0.
class KELBASE_EXPORT Date {
public:
    // The indeterminate date.
    Date() = default;
    // Throws DateTimeException "Дата указана неправильно" for a day that does not exist.
    Date(int year, int month, int day);

    static Date indeterminate() { return Date(); }
    static Date infinity();
    static bool isValid(int year, int month, int day);
    // Parses "year-month-day"; throws DateTimeException on bad syntax or an invalid day.
    static Date fromISOString(const std::wstring& text);

    // Any pointer may be null. Throws DateTimeException "Невозможно преобразовать дату и время
    // в требуемый формат" for a special value or a day outside the calendar's range.
    void ymd(int* year, int* month, int* day) const;
    // 0 = Sunday ... 6 = Saturday; throws like ymd().
    int dayOfWeek() const;
    // The day in the date format of the console's locale; see DateTime::toString().
    std::wstring toString() const;
    // 2024-03-05; for ordinary values only.
    std::wstring toISOString() const;

    double days() const { return m_days; }
    bool isIndeterminate() const { return m_days == -DBL_MAX; }
    bool isInfinite() const;
    // +1 for +inf, -1 for -inf, 0 otherwise.
    int isOverflow() const;

    friend TimeDuration operator-(Date a, Date b) { return TimeDuration::fromDays(a.m_days - b.m_days); }
    friend bool operator==(Date a, Date b) { return a.m_days == b.m_days; }
    friend bool operator!=(Date a, Date b) { return a.m_days != b.m_days; }
    friend bool operator<(Date a, Date b) { return a.m_days < b.m_days; }
    friend bool operator<=(Date a, Date b) { return a.m_days <= b.m_days; }
    friend bool operator>(Date a, Date b) { return a.m_days > b.m_days; }
    friend bool operator>=(Date a, Date b) { return a.m_days >= b.m_days; }

private:
    friend class DateTime;
    explicit Date(double days) : m_days(days) {}

    double m_days = -DBL_MAX;
};

} // namespace KelTime
