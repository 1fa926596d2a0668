#include "baselib/time/Clock.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

#include <ctime>

namespace KelTime {

namespace {

// Seconds from 1601-01-01 to 1970-01-01 (134 774 days).
constexpr std::uint64_t fileTimeToPosixSeconds = 11644473600ULL;
constexpr std::uint64_t ticksPerSecond = 10000000ULL;
constexpr long nanosecondsPerTick = 100;
constexpr long nanosecondsPerMillisecond = 1000000;

timespec realTimeNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

FILETIME systemTimeAsFileTime()
{
    const timespec now = realTimeNow();
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.tv_sec) + fileTimeToPosixSeconds) * ticksPerSecond +
                                static_cast<std::uint64_t>(now.tv_nsec / nanosecondsPerTick);
    FILETIME fileTime;
    fileTime.dwLowDateTime = static_cast<std::uint32_t>(ticks);
    fileTime.dwHighDateTime = static_cast<std::uint32_t>(ticks >> 32);
    return fileTime;
}

SYSTEMTIME localSystemTime()
{
    const timespec now = realTimeNow();
    std::tm local{};
    if (!localtime_r(&now.tv_sec, &local))
        throw DateTimeException(KelBase::resStr(DateTimeValueMessage::NotConvertible));
    SYSTEMTIME systemTime;
    systemTime.wYear = static_cast<std::uint16_t>(local.tm_year + 1900);
    systemTime.wMonth = static_cast<std::uint16_t>(local.tm_mon + 1);
    systemTime.wDayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    systemTime.wDay = static_cast<std::uint16_t>(local.tm_mday);
    systemTime.wHour = static_cast<std::uint16_t>(local.tm_hour);
    systemTime.wMinute = static_cast<std::uint16_t>(local.tm_min);
    systemTime.wSecond = static_cast<std::uint16_t>(local.tm_sec);
    systemTime.wMilliseconds = static_cast<std::uint16_t>(now.tv_nsec / nanosecondsPerMillisecond);
    return systemTime;
}

} // namespace

DateTime Clock::universalTime() { return DateTime(systemTimeAsFileTime()); }

DateTime Clock::localTime() { return DateTime(localSystemTime()); }

} // namespace KelTime
