#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace VPanel::Sim {

// Puts the device's bytes on the line at the pace of the wire: a byte takes 10 bit times
// (start, 8 data, stop) and is handed over only once it would have been received in full.
// Every wait ends early when the stop descriptor becomes readable.
class LineWriter {
public:
    using Clock = std::chrono::steady_clock;

    LineWriter(int lineFd, int stopFd) : m_line(lineFd), m_stop(stopFd) {}

    // baudRate 0 writes at once. False when stopped; bytes the line cannot take (nobody
    // reads the port) are lost, as they would be on a wire.
    bool write(const std::uint8_t* bytes, std::size_t size, unsigned baudRate);
    // False when stopped before the time came.
    bool waitUntil(Clock::time_point deadline);
    bool pause(Clock::duration period) { return waitUntil(Clock::now() + period); }

    // The wire time of a byte and the silence that ends a frame; zero for an unknown rate (0).
    static Clock::duration byteTime(unsigned baudRate);
    static Clock::duration frameGap(unsigned baudRate);

private:
    void put(const std::uint8_t* bytes, std::size_t size);

    int m_line;
    int m_stop;
};

} // namespace VPanel::Sim
