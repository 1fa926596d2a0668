#include "baselib/time/Time.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/TimeText.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace KelTime {

namespace {

constexpr double infinite = std::numeric_limits<double>::infinity();

bool withinBounds(int hour, int minute, int second)
{
    return hour >= 0 && hour <= 24 && minute >= 0 && minute <= 60 && second >= 0 && second <= 60;
}

double fractionOfDay(int hour, int minute, int second)
{
    return (hour * 3600 + minute * 60 + second) / TimeDuration::secondsPerDay;
}

// Outside the day a time saturates: past its end to +inf, before its start to -inf.
double saturated(double days)
{
    if (days < 0.0)
        return -infinite;
    if (days >= 1.0)
        return infinite;
    return days;
}

} // namespace

Time::Time(int hour, int minute, int second)
{
    if (!withinBounds(hour, minute, second))
        throw DateTimeException(KelBase::resStr(DateTimeValueMessage::InvalidTime));
    m_days = saturated(fractionOfDay(hour, minute, second) + precision().days());
}

Time::Time(int hour, int minute, int second, Milliseconds milliseconds)
{
    const double ms = milliseconds.count();
    if (!withinBounds(hour, minute, second) || !(ms > -1000.0 && ms < 1000.0))
        return;
    m_days = saturated(fractionOfDay(hour, minute, second) + ms / TimeDuration::millisecondsPerDay +
                       precision().days());
}

Time Time::infinity() { return Time(infinite); }

TimeDuration Time::precision()
{
    static const TimeDuration lastBeforeMidnight = TimeDuration::fromDays(std::nextafter(1.0, 0.0)).precision();
    return lastBeforeMidnight;
}

Time Time::fromISOString(const std::wstring& text)
{
    auto stream = Internal::isoInput(text);
    return Internal::readIsoTime(stream);
}

std::wstring Time::toString() const
{
    return Internal::displayText(L"%X", DateTime(Date(1970, 1, 1), *this));
}

std::wstring Time::toISOString() const
{
    auto stream = Internal::isoOutput();
    Internal::writeIsoTime(stream, *this);
    return stream.str();
}

bool Time::isInfinite() const { return m_days == infinite; }

int Time::isOverflow() const { return TimeDuration::fromDays(m_days).isOverflow(); }

// An unknown time stays unknown; anything else saturates in both directions, so that no
// arithmetic leaves a time outside the day.
void Time::add(double days)
{
    if (!isIndeterminate())
        m_days = saturated(m_days + (days + precision().days()));
}

void Time::subtract(double days)
{
    if (!isIndeterminate())
        m_days = saturated(m_days - (days + precision().days()));
}

} // namespace KelTime
