// The ISO readers of Date, Time and DateTime on arbitrary UTF-8 text. Each either throws
// DateTimeException or gives a value that it could have meant: a date that exists, a time
// within the day (or +inf, past its end), an instant that is not indeterminate. A value read
// writes an ISO text that reads back to the same value, to the millisecond for times.
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Conversion.h"
#include "baselib/time/Date.h"
#include "baselib/time/DateTime.h"
#include "baselib/time/Time.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using KelTime::Date;
using KelTime::DateTime;
using KelTime::DateTimeException;
using KelTime::Time;
using KelTime::TimeDuration;

constexpr double oneMillisecondDays = 1.0 / TimeDuration::millisecondsPerDay;
// The writer rounds up by this much before it drops the part below the millisecond.
constexpr double writerSlackDays = 1e-5 * oneMillisecondDays;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

template <class Value>
std::optional<Value> tryRead(const std::wstring& text)
{
    try {
        return Value::fromISOString(text);
    } catch (const DateTimeException&) {
        return std::nullopt;
    }
}

void checkDate(const std::wstring& text)
{
    const auto date = tryRead<Date>(text);
    if (!date)
        return;
    require(!date->isIndeterminate() && std::isfinite(date->days()) && date->days() == std::floor(date->days()));
    int year = 0;
    int month = 0;
    int day = 0;
    date->ymd(&year, &month, &day);
    require(Date::isValid(year, month, day) && Date(year, month, day) == *date);
    require(Date::fromISOString(date->toISOString()) == *date);
}

void checkTime(const std::wstring& text)
{
    const auto time = tryRead<Time>(text);
    if (!time)
        return;
    if (time->isInfinite())
        return;
    require(time->days() >= 0.0 && time->days() < 1.0);
    // The text keeps whole milliseconds, so reading it back may only lose the rest.
    const std::wstring iso = time->toISOString();
    const Time again = Time::fromISOString(iso);
    const double lost = time->days() - again.days();
    require(lost > -writerSlackDays && lost < oneMillisecondDays);
    require(again.toISOString() == iso);
}

void checkDateTime(const std::wstring& text)
{
    const auto instant = tryRead<DateTime>(text);
    if (!instant)
        return;
    require(!instant->isIndeterminate() && instant->isOverflow() >= 0 && !std::isnan(instant->days()));
    if (instant->isInfinite())
        return;
    std::wstring iso;
    try {
        iso = instant->toISOString();
    } catch (const DateTimeException&) {
        // Only the last day of the largest year can roll over into a year an int cannot hold.
        int year = 0;
        Date::fromISOString(text).ymd(&year, nullptr, nullptr);
        require(year == INT_MAX);
        return;
    }
    const DateTime again = DateTime::fromISOString(iso);
    // Far from 1970 a day's fraction is coarse: allow the rounding of the sum twice.
    const double ulp = std::nextafter(std::fabs(instant->days()), INFINITY) - std::fabs(instant->days());
    const double slack = 4 * ulp + 2 * DateTime::precision().days() + writerSlackDays;
    const double lost = instant->days() - again.days();
    require(lost > -slack && lost < oneMillisecondDays + slack);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text =
        KelBase::Conversion::stringFromUTF8(std::string(reinterpret_cast<const char*>(data), size));
    checkDate(text);
    checkTime(text);
    checkDateTime(text);
    return 0;
}
