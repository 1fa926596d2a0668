#include "baselib/time/Date.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/time/Calendar.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/TimeText.h"

#include <limits>
#include <sstream>

namespace KelTime {

namespace {

// The Julian Day Number of a date that the calendar can split into int parts.
std::int64_t checkedJdn(double days)
{
    const double jdn = days + static_cast<double>(Internal::posixOriginJdn);
    if (!(jdn >= static_cast<double>(Internal::firstValidJdn) &&
          jdn <= static_cast<double>(Internal::lastRepresentableJdn())))
        throw DateTimeException(KelBase::resStr(DateTimeValueMessage::NotConvertible));
    return static_cast<std::int64_t>(jdn);
}

} // namespace

Date::Date(int year, int month, int day)
{
    if (!Internal::isValidDate(year, month, day))
        throw DateTimeException(KelBase::resStr(DateTimeValueMessage::InvalidDate));
    m_days = static_cast<double>(Internal::julianDayNumber(year, month, day) - Internal::posixOriginJdn);
}

Date Date::infinity() { return Date(std::numeric_limits<double>::infinity()); }

bool Date::isValid(int year, int month, int day) { return Internal::isValidDate(year, month, day); }

Date Date::fromISOString(const std::wstring& text)
{
    auto stream = Internal::isoInput(text);
    return Internal::readIsoDate(stream);
}

void Date::ymd(int* year, int* month, int* day) const
{
    const Internal::CalendarDay parts = Internal::calendarDay(checkedJdn(m_days));
    if (year)
        *year = parts.year;
    if (month)
        *month = parts.month;
    if (day)
        *day = parts.day;
}

int Date::dayOfWeek() const { return Internal::dayOfWeek(checkedJdn(m_days)); }

std::wstring Date::toString() const { return Internal::displayText(L"%x", DateTime(*this, Time(0, 0, 0))); }

std::wstring Date::toISOString() const
{
    auto stream = Internal::isoOutput();
    Internal::writeIsoDate(stream, *this);
    return stream.str();
}

bool Date::isInfinite() const { return m_days == std::numeric_limits<double>::infinity(); }

int Date::isOverflow() const { return TimeDuration::fromDays(m_days).isOverflow(); }

} // namespace KelTime
