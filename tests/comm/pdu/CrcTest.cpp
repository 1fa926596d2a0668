#include "comm/pdu/Crc.h"

#include <boost/crc.hpp>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using KelComm::PDU::CRC::Internal::Crc16_Table;
using KelComm::PDU::CRC::Internal::Crc8_Table;

using BoostCrc8 = boost::crc_optimal<8, 0x31, 0, 0, false, false>;
using BoostCrc16 = boost::crc_optimal<16, 0x8005, 0, 0, true, true>;

std::uint8_t crc8(const unsigned char* data, std::size_t size, std::uint8_t crc)
{
    for (std::size_t index = 0; index < size; ++index)
        crc = Crc8_Table::tbl[crc ^ data[index]];
    return crc;
}

std::uint16_t crc16(const unsigned char* data, std::size_t size, std::uint16_t crc)
{
    for (std::size_t index = 0; index < size; ++index)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ Crc16_Table::tbl[(crc ^ data[index]) & 0xFF]);
    return crc;
}

TEST(Crc, TablesEqualTheCrcOfEachByte)
{
    for (unsigned int byte = 0; byte < 256; ++byte) {
        BoostCrc8 eight;
        eight.process_byte(static_cast<unsigned char>(byte));
        EXPECT_EQ(Crc8_Table::tbl[byte], eight.checksum()) << byte;
        BoostCrc16 sixteen;
        sixteen.process_byte(static_cast<unsigned char>(byte));
        EXPECT_EQ(Crc16_Table::tbl[byte], sixteen.checksum()) << byte;
    }
}

TEST(Crc, CatalogueCheckValues)
{
    const auto* check = reinterpret_cast<const unsigned char*>("123456789");
    const std::size_t size = std::strlen("123456789");
    EXPECT_EQ(crc16(check, size, 0x0000), 0xBB3D);  // CRC-16/ARC
    EXPECT_EQ(crc16(check, size, 0xFFFF), 0x4B37);  // CRC-16/MODBUS
    EXPECT_EQ(crc8(check, size, 0xFF), 0xF7);       // CRC-8/NRSC-5
}

TEST(Crc, RunsOverBlocksMatchBoostForAnyStart)
{
    std::mt19937 random(31);
    std::vector<unsigned char> data(1000);
    for (auto& byte : data)
        byte = static_cast<unsigned char>(random());
    // The 16-bit starts are bit-symmetric, so that no reflection of the start value matters.
    for (std::uint16_t start : {0x0000, 0xFFFF}) {
        BoostCrc16 sixteen(start);
        sixteen.process_bytes(data.data(), data.size());
        EXPECT_EQ(crc16(data.data(), data.size(), start), sixteen.checksum());
    }
    for (std::uint8_t start : {0x00, 0xFF, 0x1D, 0x5A}) {
        BoostCrc8 eight(start);
        eight.process_bytes(data.data(), data.size());
        EXPECT_EQ(crc8(data.data(), data.size(), start), eight.checksum());
    }
}

} // namespace
