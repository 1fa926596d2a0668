#pragma once

#include "baselib/time/Time.h"
#include "comm/Export.h"

#include <cstdint>

namespace KelComm::PDU {

class Builder;
class Parser;

// A time-of-day field: one 32-bit value, little-endian on the wire, with the hour in bits
// 0-4, minute 5-10, second 11-16 and millisecond 17-28. Hour 24 marks the unknown time.
class KELCOMM_EXPORT Time {
public:
    static constexpr std::uint32_t unknownValue = 24;
    static constexpr std::size_t wireSize = 4;

    // The unknown time.
    Time() = default;
    // An indeterminate time gives the unknown time. Throws KelBase::RuntimeException for an
    // infinite time.
    Time(const KelTime::Time& time);

    static Time unknown() { return Time(); }
    bool isUnknown() const { return hour() == unknownValue; }
    // The time of day; the unknown time gives the indeterminate time. Throws
    // KelBase::RuntimeException for an hour above 24.
    KelTime::Time time() const;

    std::uint32_t value() const { return m_value; }
    void toWire(unsigned char* bytes) const;
    static Time fromWire(const unsigned char* bytes);

    friend bool operator==(const Time& a, const Time& b) { return a.m_value == b.m_value; }
    friend bool operator!=(const Time& a, const Time& b) { return a.m_value != b.m_value; }

private:
    std::uint32_t hour() const { return m_value & 0x1F; }

    std::uint32_t m_value = unknownValue;
};

KELCOMM_EXPORT Builder& operator<<(Builder& builder, const Time& time);
KELCOMM_EXPORT Builder& operator>>(const Time& time, Builder& builder);
// At the end of the block the time is left as it was; otherwise 4 bytes are read.
KELCOMM_EXPORT Parser& operator>>(Parser& parser, Time& time);

} // namespace KelComm::PDU
