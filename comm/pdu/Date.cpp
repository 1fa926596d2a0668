#include "comm/pdu/Date.h"

#include "baselib/exceptions/Exception.h"
#include "comm/pdu/WireField.h"

namespace KelComm::PDU {

namespace {
// Years -32768..32752 map onto 0..65520 once shifted.
constexpr long long yearShift = 32768;
constexpr long long lastShiftedYear = 65520;
} // namespace

Date::Date(const KelTime::Date& date)
{
    if (date.isInfinite() || date.isOverflow() != 0)
        throw KelBase::RuntimeException(L"PDU::Date: infinity not supported");
    if (date.isIndeterminate())
        return;
    int year = 0;
    int month = 0;
    int day = 0;
    date.ymd(&year, &month, &day);
    const long long shiftedYear = year + yearShift;
    if (shiftedYear < 0 || shiftedYear > lastShiftedYear)
        throw KelBase::RuntimeException(L"PDU::Date: year out of bounds");
    m_year = static_cast<std::int16_t>(year);
    m_month = static_cast<std::uint8_t>(month);
    m_day = static_cast<std::uint8_t>(day);
}

Date& Date::operator=(const KelTime::Date& date)
{
    return *this = Date(date);
}

KelTime::Date Date::date() const
{
    if (m_year > unknownYear)
        throw KelBase::RuntimeException(L"Year out of bounds");
    return KelTime::Date(m_year, m_month, m_day);
}

void Date::toWire(unsigned char* bytes) const
{
    const auto year = static_cast<std::uint16_t>(m_year);
    bytes[0] = static_cast<unsigned char>(year & 0xFF);
    bytes[1] = static_cast<unsigned char>(year >> 8);
    bytes[2] = m_month;
    bytes[3] = m_day;
}

Date Date::fromWire(const unsigned char* bytes)
{
    Date date;
    date.m_year = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
    date.m_month = bytes[2];
    date.m_day = bytes[3];
    return date;
}

Builder& operator<<(Builder& builder, const Date& date) { return Internal::appendField(builder, date); }

Builder& operator>>(const Date& date, Builder& builder) { return Internal::prependField(builder, date); }

Parser& operator>>(Parser& parser, Date& date) { return Internal::readField(parser, date); }

} // namespace KelComm::PDU
