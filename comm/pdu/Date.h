#pragma once

#include "baselib/time/Date.h"
#include "comm/Export.h"

#include <cstdint>

namespace KelComm::PDU {

class Builder;
class Parser;

// A calendar date field: signed 16-bit year (little-endian), month, day - 4 bytes in memory
// and on the wire. Year 0x7FF0 marks the unknown date.
class KELCOMM_EXPORT Date {
public:
    static constexpr std::int16_t unknownYear = 0x7FF0;
    static constexpr std::size_t wireSize = 4;

    // The unknown date.
    Date() = default;
    // An indeterminate date gives the unknown date. Throws KelBase::RuntimeException for an
    // infinite date or a year outside -32768..32752.
    Date(const KelTime::Date& date);
    Date& operator=(const KelTime::Date& date);

    static Date unknown() { return Date(); }
    bool isUnknown() const { return m_year == unknownYear; }
    // The calendar date; an unknown date is not special here, so test isUnknown() first.
    // Throws KelBase::RuntimeException for a year above 0x7FF0.
    KelTime::Date date() const;

    void toWire(unsigned char* bytes) const;
    static Date fromWire(const unsigned char* bytes);

    friend bool operator==(const Date& a, const Date& b)
    {
        return a.m_year == b.m_year && a.m_month == b.m_month && a.m_day == b.m_day;
    }
    friend bool operator!=(const Date& a, const Date& b) { return !(a == b); }

private:
    std::int16_t m_year = unknownYear;
    std::uint8_t m_month = 0;
    std::uint8_t m_day = 0;
};

KELCOMM_EXPORT Builder& operator<<(Builder& builder, const Date& date);
KELCOMM_EXPORT Builder& operator>>(const Date& date, Builder& builder);
// At the end of the block the date is left as it was; otherwise 4 bytes are read.
KELCOMM_EXPORT Parser& operator>>(Parser& parser, Date& date);

} // namespace KelComm::PDU
