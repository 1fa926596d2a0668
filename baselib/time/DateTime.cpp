#include "baselib/time/DateTime.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/time/Calendar.h"
#include "baselib/time/Clock.h"
#include "baselib/time/TimeText.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>

namespace KelTime {

namespace {

constexpr double infinite = std::numeric_limits<double>::infinity();
// 1601-01-01, the origin of FILETIME, in days from 1970-01-01.
constexpr double fileTimeOriginDays = -134774.0;
constexpr double fileTimeTicksPerMicrosecond = 10.0;
constexpr double microsecondsPerDay = 8.64e10;

[[noreturn]] void throwNotConvertible()
{
    throw DateTimeException(KelBase::resStr(DateTimeValueMessage::NotConvertible));
}

bool isSpecial(double days) { return !std::isfinite(days) || days == -DBL_MAX; }

// The split at the floor. A tiny negative instant gives a fraction that rounds up to 1.0:
// that is midnight of the next day.
void splitDays(double days, double& wholeDays, double& fraction)
{
    if (isSpecial(days)) {
        wholeDays = days;
        fraction = days;
        return;
    }
    wholeDays = std::floor(days);
    fraction = days - wholeDays;
    if (fraction >= 1.0) {
        wholeDays += 1.0;
        fraction = 0.0;
    }
}

} // namespace

DateTime::DateTime(Date date, Time time)
{
    if (date.isIndeterminate() || time.isIndeterminate())
        return;
    const double sum = date.days() + time.days();
    if (std::isinf(sum))
        m_days = sum;
    else if (!std::isnan(sum)) // +inf and -inf parts leave the instant unknown
        m_days = sum + precision().days();
}

DateTime::DateTime(Date date, Time time, Seconds& lost)
    : m_days(date.days() + time.days() + precision().days())
{
    lost = Seconds((time.days() - (m_days - std::floor(m_days))) * TimeDuration::secondsPerDay);
}

DateTime::DateTime(const FILETIME& fileTime)
{
    const std::uint64_t ticks = (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    const double daysSince1601 = static_cast<double>(ticks) / fileTimeTicksPerMicrosecond / microsecondsPerDay;
    m_days = daysSince1601 + fileTimeOriginDays + precision().days();
}

DateTime::DateTime(const SYSTEMTIME& systemTime)
    : m_days(Date(systemTime.wYear, systemTime.wMonth, systemTime.wDay).days() +
             Time(systemTime.wHour, systemTime.wMinute, systemTime.wSecond, Milliseconds(systemTime.wMilliseconds))
                 .days() +
             precision().days())
{
}

DateTime::DateTime(const std::tm* localTime)
{
    if (!localTime)
        throwNotConvertible();
    std::tm normalized = *localTime;
    // mktime() leaves the broken-down time alone when it fails, and -1 is also a valid result.
    normalized.tm_wday = -1;
    const std::time_t seconds = std::mktime(&normalized);
    if (normalized.tm_wday == -1)
        throwNotConvertible();
    m_days = fromCTime(seconds).m_days;
}

DateTime DateTime::infinity() { return DateTime(infinite); }

TimeDuration DateTime::precision()
{
    static const TimeDuration atPosixOrigin =
        TimeDuration::fromDays(static_cast<double>(Internal::posixOriginJdn)).precision();
    return atPosixOrigin;
}

const DateTime& DateTime::posixOrigin()
{
    static const DateTime origin(0.0);
    return origin;
}

DateTime DateTime::fromCTime(long long seconds)
{
    return DateTime(static_cast<double>(seconds) / TimeDuration::secondsPerDay + precision().days());
}

DateTime DateTime::fromISOString(const std::wstring& text)
{
    auto stream = Internal::isoInput(text);
    const Date date = Internal::readIsoDate(stream);
    if (!Internal::readSeparator(stream, L'T'))
        throw DateTimeException(KelBase::resStr(DateTimeSyntaxMessage::TimeSyntax));
    return DateTime(date, Internal::readIsoTime(stream));
}

long long DateTime::toCTime() const
{
    // 2^63 seconds is exact as a double; the count must stay below it.
    constexpr double limitSeconds = 9223372036854775808.0;
    if (!(m_days >= 0.0))
        throwNotConvertible();
    const double seconds = (m_days - posixOrigin().m_days) * TimeDuration::secondsPerDay;
    if (!(seconds < limitSeconds))
        throwNotConvertible();
    return static_cast<long long>(seconds);
}

void DateTime::toTm(std::tm* utc) const
{
    const std::time_t seconds = toCTime();
    if (!utc || !gmtime_r(&seconds, utc))
        throwNotConvertible();
}

void DateTime::toSystemTime(SYSTEMTIME& systemTime) const
{
    int year = 0;
    int month = 0;
    int day = 0;
    ymd(&year, &month, &day);
    const double t = time().days();
    systemTime.wYear = static_cast<std::uint16_t>(year);
    systemTime.wMonth = static_cast<std::uint16_t>(month);
    systemTime.wDayOfWeek = static_cast<std::uint16_t>(dayOfWeek());
    systemTime.wDay = static_cast<std::uint16_t>(day);
    systemTime.wHour = static_cast<std::uint16_t>(std::fmod(t * 24.0, 24.0));
    systemTime.wMinute = static_cast<std::uint16_t>(std::fmod(t * 1440.0, 60.0));
    systemTime.wSecond = static_cast<std::uint16_t>(std::fmod(t * TimeDuration::secondsPerDay, 60.0));
    systemTime.wMilliseconds = static_cast<std::uint16_t>(std::fmod(t * TimeDuration::millisecondsPerDay, 1000.0));
}

Date DateTime::date() const
{
    Date date;
    Time time;
    getDateAndTime(date, time);
    return date;
}

Time DateTime::time() const
{
    Date date;
    Time time;
    getDateAndTime(date, time);
    return time;
}

void DateTime::getDateAndTime(Date& date, Time& time) const
{
    splitDays(m_days, date.m_days, time.m_days);
}

std::wstring DateTime::toString() const { return Internal::displayText(L"%x %X", *this); }

std::wstring DateTime::toISOString() const
{
    auto stream = Internal::isoOutput();
    Internal::writeIsoDate(stream, date());
    stream << L'T';
    Internal::writeIsoTime(stream, time());
    return stream.str();
}

bool DateTime::isInfinite() const { return m_days == infinite; }

int DateTime::isOverflow() const { return TimeDuration::fromDays(m_days).isOverflow(); }

void DateTime::add(double days) { m_days += days + precision().days(); }

void DateTime::subtract(double days) { m_days -= days + precision().days(); }

} // namespace KelTime
