#pragma once

#include "link/Packet.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace SimTest {

// A temporary port map for the test's process, so that published ports never meet the
// user's own.
class PortMapDirectory {
public:
    PortMapDirectory();
    ~PortMapDirectory();
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The PC's end of a simulated line, in plain POSIX: it opens the port's device node raw at a
// baud rate, writes requests and notes when each piece of the reply arrives.
class LineHost {
public:
    using Clock = std::chrono::steady_clock;

    struct Piece {
        Clock::time_point at;
        std::vector<std::uint8_t> bytes;
    };

    LineHost(const std::filesystem::path& device, unsigned baudRate);
    ~LineHost();
    LineHost(const LineHost&) = delete;
    LineHost& operator=(const LineHost&) = delete;

    // Writes the request and returns the moment just before it was handed over.
    Clock::time_point send(const std::vector<std::uint8_t>& bytes) const;
    Clock::time_point send(const VPanel::Link::Frame& frame) const { return send(frame.toVector()); }
    // Pieces as they arrive, until the line has been quiet for `quiet` after the last one or
    // nothing came within `first`.
    std::vector<Piece> collect(std::chrono::milliseconds first, std::chrono::milliseconds quiet) const;
    // Pieces as they arrive, until `count` bytes came or `limit` passed.
    std::vector<Piece> collectBytes(std::size_t count, std::chrono::milliseconds limit) const;
    // One request and its whole reply (empty when none came). A reply that does not check yet
    // is given time to finish: a loaded machine may pause the simulator in the middle of it.
    std::vector<std::uint8_t> transact(const VPanel::Link::Frame& frame) const;

    static std::vector<std::uint8_t> joined(const std::vector<Piece>& pieces);

private:
    int m_fd = -1;
};

} // namespace SimTest
