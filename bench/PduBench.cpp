// (a) Building a 250-byte unit: a 240-byte payload appended, then a 10-byte header put in
//     front, with the Builder against std::vector insertion at the front; once with the
//     header as one block and once as four fields (time, date, address, command) prepended
//     one after another, as stacked layers do.
// (b) CRC-16 (MODBUS start 0xffff) over 1 MiB with the library's table against
//     boost::crc_optimal.
// Usage: pdu_bench [units per round] [CRC rounds]
#include "comm/pdu/Builder.h"
#include "comm/pdu/Crc.h"
#include "comm/pdu/Date.h"
#include "comm/pdu/Time.h"

#include <boost/crc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace KelComm::PDU;

constexpr std::size_t payloadSize = 240;
constexpr std::size_t headerSize = 10;
constexpr unsigned int unitLimit = 256;
constexpr std::size_t crcBlockSize = 1 << 20;
constexpr int repetitions = 25;

using Bytes = std::vector<unsigned char>;

// The best of several timed repetitions of fn, in nanoseconds per call of fn's inner loop.
template <class Fn>
double bestNsPer(long count, Fn fn)
{
    double best = 1e300;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        const auto start = Clock::now();
        fn();
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / count;
        best = std::min(best, ns);
    }
    return best;
}

struct Header {
    Bytes block;
    Time time;
    Date date;
    unsigned char address;
    unsigned char command;
};

unsigned long builderUnits(long units, const Bytes& payload, const Header& header, bool asFields)
{
    unsigned long sink = 0;
    for (long unit = 0; unit < units; ++unit) {
        Builder builder(unitLimit);
        builder.pushBack(ConstBytes(payload.data(), payload.data() + payload.size()));
        if (asFields) {
            header.time >> builder;
            header.date >> builder;
            builder.pushFront(header.command);
            builder.pushFront(header.address);
        } else {
            builder.pushFront(ConstBytes(header.block.data(), header.block.data() + header.block.size()));
        }
        const ConstBytes block = builder.pdu();
        sink += block.begin[unit % block.size()] + block.size();
    }
    return sink;
}

unsigned long vectorUnits(long units, const Bytes& payload, const Header& header, bool asFields)
{
    unsigned long sink = 0;
    for (long unit = 0; unit < units; ++unit) {
        Bytes block;
        block.reserve(unitLimit);
        block.insert(block.end(), payload.begin(), payload.end());
        if (asFields) {
            unsigned char bytes[Time::wireSize];
            header.time.toWire(bytes);
            block.insert(block.begin(), bytes, bytes + Time::wireSize);
            header.date.toWire(bytes);
            block.insert(block.begin(), bytes, bytes + Date::wireSize);
            block.insert(block.begin(), header.command);
            block.insert(block.begin(), header.address);
        } else {
            block.insert(block.begin(), header.block.begin(), header.block.end());
        }
        sink += block[unit % block.size()] + block.size();
    }
    return sink;
}

// The running value stays within 16 bits by itself, so it is kept in a plain register.
std::uint16_t tableCrc16(const Bytes& data)
{
    unsigned int crc = 0xFFFF;
    for (unsigned char byte : data)
        crc = (crc >> 8) ^ CRC::Internal::Crc16_Table::tbl[(crc ^ byte) & 0xFF];
    return static_cast<std::uint16_t>(crc);
}

std::uint16_t boostCrc16(const Bytes& data)
{
    boost::crc_optimal<16, 0x8005, 0xFFFF, 0, true, true> crc;
    crc.process_bytes(data.data(), data.size());
    return crc.checksum();
}

} // namespace

int main(int argc, char** argv)
{
    const long units = argc > 1 ? std::atol(argv[1]) : 20000;
    const int crcRounds = argc > 2 ? std::atoi(argv[2]) : 20;

    std::mt19937 random(1);
    Bytes payload(payloadSize);
    for (auto& byte : payload)
        byte = static_cast<unsigned char>(random());
    const Header header{Bytes(headerSize, 0x5A), Time(KelTime::Time(13, 45, 30)),
                        Date(KelTime::Date(2024, 3, 5)), 0x11, 0x42};

    unsigned long sink = 0;
    for (bool asFields : {false, true}) {
        const double builderNs = bestNsPer(units, [&] { sink += builderUnits(units, payload, header, asFields); });
        const double vectorNs = bestNsPer(units, [&] { sink += vectorUnits(units, payload, header, asFields); });
        std::printf("(a) 250-byte unit, header %-13s Builder %7.1f ns, std::vector %7.1f ns: %.2f x\n",
                    asFields ? "as 4 fields:" : "as 1 block:", builderNs, vectorNs, vectorNs / builderNs);
    }

    Bytes data(crcBlockSize);
    for (auto& byte : data)
        byte = static_cast<unsigned char>(random());
    if (tableCrc16(data) != boostCrc16(data)) {
        std::fprintf(stderr, "CRC-16 mismatch\n");
        return 1;
    }
    std::uint16_t crcSink = 0;
    const double tableNs = bestNsPer(crcRounds, [&] {
        for (int round = 0; round < crcRounds; ++round)
            crcSink ^= tableCrc16(data);
    });
    const double boostNs = bestNsPer(crcRounds, [&] {
        for (int round = 0; round < crcRounds; ++round)
            crcSink ^= boostCrc16(data);
    });
    const double mib = static_cast<double>(crcBlockSize) / (1 << 20);
    std::printf("(b) CRC-16 over 1 MiB: table %.3f ms (%.0f MiB/s), boost::crc_optimal %.3f ms (%.0f MiB/s): %.2f x\n",
                tableNs / 1e6, mib / (tableNs / 1e9), boostNs / 1e6, mib / (boostNs / 1e9), boostNs / tableNs);
    std::printf("(checksum of results, to keep them: %lu %u)\n", sink, static_cast<unsigned>(crcSink));
    return 0;
}
