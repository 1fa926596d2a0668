#include "baselib/time/TimeText.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"
#include "baselib/platform/Console.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <locale>
#include <sstream>

namespace KelTime::Internal {

namespace {

[[noreturn]] void throwSyntax(DateTimeSyntaxMessage code) { throw DateTimeException(KelBase::resStr(code)); }

} // namespace

std::wistringstream isoInput(const std::wstring& text)
{
    std::wistringstream stream(text);
    stream.imbue(std::locale::classic());
    return stream;
}

std::wostringstream isoOutput()
{
    std::wostringstream stream;
    stream.imbue(std::locale::classic());
    return stream;
}

bool readSeparator(std::wistream& stream, wchar_t separator)
{
    wchar_t character = 0;
    if (!(stream >> character))
        return false;
    if (character != separator) {
        stream.putback(character);
        stream.setstate(std::ios_base::failbit);
        return false;
    }
    return true;
}

Date readIsoDate(std::wistream& stream)
{
    int year = 0;
    int month = 0;
    int day = 0;
    stream >> year;
    if (!readSeparator(stream, L'-'))
        throwSyntax(DateTimeSyntaxMessage::DateSyntax);
    stream >> month;
    if (!readSeparator(stream, L'-'))
        throwSyntax(DateTimeSyntaxMessage::DateSyntax);
    stream >> day;
    if (stream.fail())
        throwSyntax(DateTimeSyntaxMessage::DateSyntax);
    return Date(year, month, day);
}

Time readIsoTime(std::wistream& stream)
{
    int hour = 0;
    int minute = 0;
    double seconds = 0.0;
    stream >> hour;
    if (!readSeparator(stream, L':'))
        throwSyntax(DateTimeSyntaxMessage::TimeSyntax);
    stream >> minute;
    if (!readSeparator(stream, L':'))
        throwSyntax(DateTimeSyntaxMessage::TimeSyntax);
    stream >> seconds;
    if (stream.fail() || !(seconds >= 0.0 && seconds < 60.0))
        throwSyntax(DateTimeSyntaxMessage::TimeSyntax);
    return Time(hour, minute, 0) + TimeDuration::fromDays(seconds / TimeDuration::secondsPerDay);
}

void writeIsoDate(std::wostream& stream, Date date)
{
    int year = 0;
    int month = 0;
    int day = 0;
    date.ymd(&year, &month, &day);
    stream << year << L'-' << std::setfill(L'0') << std::setw(2) << month << L'-' << std::setw(2) << day;
}

void writeIsoTime(std::wostream& stream, Time time)
{
    // The special values (and anything outside the day) have no clock form; Date and DateTime
    // refuse theirs alike.
    if (!(time.days() >= 0.0 && time.days() < 1.0))
        throw DateTimeException(KelBase::resStr(DateTimeValueMessage::NotConvertible));
    // Counted in whole milliseconds at once: splitting the fraction step by step (hours, then
    // minutes, ...) loses a little at each step and wrote 00:00:10.999 for 11 s. The precision
    // that every time carries keeps the product above the whole millisecond; the slack absorbs
    // the rounding of the product itself.
    constexpr double slack_ms = 1e-6;
    constexpr long long lastMillisecondOfDay = 86399999;
    const long long total_ms = std::min(
        static_cast<long long>(std::floor(time.days() * TimeDuration::millisecondsPerDay + slack_ms)),
        lastMillisecondOfDay);
    const long long hours = total_ms / 3600000;
    const long long minutes = total_ms / 60000 % 60;
    const long long seconds = total_ms / 1000 % 60;
    const long long milliseconds = total_ms % 1000;
    stream << std::setfill(L'0') << std::setw(2) << hours << L':' << std::setw(2) << minutes << L':'
           << std::setw(2) << seconds;
    if (milliseconds >= 1)
        stream << L'.' << std::setw(3) << milliseconds;
}

std::wstring displayText(const wchar_t* format, const DateTime& instant)
{
    if (instant.isIndeterminate())
        return L"Unknown";
    if (instant.isOverflow() > 0)
        return L"#Inf";
    if (instant.isOverflow() < 0)
        return L"-" + std::wstring(L"#Inf");
    try {
        std::tm utc{};
        instant.toTm(&utc);
        const std::wstring pattern(format);
        KelConsole::Internal::ScopedConsoleLock lock;
        const std::locale consoleLocale = std::wcout.getloc();
        // The facet takes its names of days and months from the stream it writes for.
        std::wostringstream text;
        text.imbue(consoleLocale);
        std::use_facet<std::time_put<wchar_t>>(consoleLocale)
            .put(std::ostreambuf_iterator<wchar_t>(text), text, L' ', &utc, pattern.data(),
                 pattern.data() + pattern.size());
        return text.str();
    } catch (const std::exception&) {
        return L"Unpresentable";
    }
}

} // namespace KelTime::Internal
