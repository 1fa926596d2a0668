#include "comm/pdu/Time.h"

#include "baselib/exceptions/Exception.h"
#include "comm/pdu/WireField.h"

#include <algorithm>
#include <cmath>

namespace KelComm::PDU {

namespace {
// Absorbs the rounding of the day fraction, a few units in the last place.
constexpr double slack_ms = 1e-6;
constexpr double lastMillisecondOfDay = 86399999.0;
constexpr std::uint32_t millisecondsPerHour = 3600000;
constexpr std::uint32_t millisecondsPerMinute = 60000;
constexpr std::uint32_t millisecondsPerSecond = 1000;
} // namespace

Time::Time(const KelTime::Time& time)
{
    if (time.isInfinite() || time.isOverflow() != 0)
        throw KelBase::RuntimeException(L"PDU::Time: infinity not supported");
    if (time.isIndeterminate())
        return;
    // Counted in whole milliseconds at once: taking hours, minutes and seconds off the
    // fraction one after another truncates each rounding error and gave 00:00:01.000 for
    // 00:00:01.001.
    const double days = (time - KelTime::Time(0, 0, 0)).days();
    const double dayMilliseconds = std::clamp(
        std::floor(days * KelTime::TimeDuration::millisecondsPerDay + slack_ms), 0.0, lastMillisecondOfDay);
    const auto total_ms = static_cast<std::uint32_t>(dayMilliseconds);
    const std::uint32_t hours = total_ms / millisecondsPerHour;
    const std::uint32_t minutes = total_ms / millisecondsPerMinute % 60;
    const std::uint32_t seconds = total_ms / millisecondsPerSecond % 60;
    const std::uint32_t milliseconds = total_ms % millisecondsPerSecond;
    m_value = milliseconds << 17 | seconds << 11 | minutes << 5 | hours;
}

KelTime::Time Time::time() const
{
    if (hour() > unknownValue)
        throw KelBase::RuntimeException(L"Hour out of bounds");
    if (isUnknown())
        return KelTime::Time::indeterminate();
    return KelTime::Time(static_cast<int>(hour()), static_cast<int>((m_value >> 5) & 0x3F),
                         static_cast<int>((m_value >> 11) & 0x3F),
                         KelTime::Milliseconds(static_cast<double>((m_value >> 17) & 0xFFF)));
}

void Time::toWire(unsigned char* bytes) const
{
    for (std::size_t index = 0; index < wireSize; ++index)
        bytes[index] = static_cast<unsigned char>(m_value >> (8 * index));
}

Time Time::fromWire(const unsigned char* bytes)
{
    Time time;
    time.m_value = 0;
    for (std::size_t index = 0; index < wireSize; ++index)
        time.m_value |= static_cast<std::uint32_t>(bytes[index]) << (8 * index);
    return time;
}

Builder& operator<<(Builder& builder, const Time& time) { return Internal::appendField(builder, time); }

Builder& operator>>(const Time& time, Builder& builder) { return Internal::prependField(builder, time); }

Parser& operator>>(Parser& parser, Time& time) { return Internal::readField(parser, time); }

} // namespace KelComm::PDU
