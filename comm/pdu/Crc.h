#pragma once

#include <array>
#include <cstdint>

// Lookup tables of the two CRCs that the protocols use. A byte b is taken into a running
// value with crc = tbl[crc ^ b] (CRC-8) or crc = (crc >> 8) ^ tbl[(crc ^ b) & 0xff] (CRC-16);
// the initial value and the final XOR belong to the protocol.
namespace KelComm::PDU::CRC::Internal {

// Polynomial 0x31 (x^8 + x^5 + x^4 + 1), most significant bit first.
constexpr std::array<std::uint8_t, 256> crc8Table(std::uint8_t polynomial)
{
    std::array<std::uint8_t, 256> table{};
    for (unsigned int index = 0; index < table.size(); ++index) {
        unsigned int value = index;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 0x80) ? ((value << 1) ^ polynomial) : (value << 1);
        table[index] = static_cast<std::uint8_t>(value);
    }
    return table;
}

// A reflected polynomial, least significant bit first.
constexpr std::array<std::uint16_t, 256> crc16Table(std::uint16_t reflectedPolynomial)
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned int index = 0; index < table.size(); ++index) {
        unsigned int value = index;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? ((value >> 1) ^ reflectedPolynomial) : (value >> 1);
        table[index] = static_cast<std::uint16_t>(value);
    }
    return table;
}

// CRC-8 with polynomial 0x31, not reflected (as CRC-8/NRSC-5).
struct Crc8_Table {
    static constexpr std::array<std::uint8_t, 256> tbl = crc8Table(0x31);
};

// CRC-16 with polynomial 0x8005 reflected to 0xa001 (as CRC-16/ARC and CRC-16/MODBUS).
struct Crc16_Table {
    static constexpr std::array<std::uint16_t, 256> tbl = crc16Table(0xA001);
};

static_assert(Crc8_Table::tbl[1] == 0x31 && Crc8_Table::tbl[128] == 0x7A);
static_assert(Crc16_Table::tbl[1] == 0xC0C1 && Crc16_Table::tbl[128] == 0xA001);

} // namespace KelComm::PDU::CRC::Internal
