#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace VPanel::Sim {

// Finds request frames in the bytes of the line. Nothing on the wire marks a frame's end,
// but every request of a known command has a fixed length, so a frame ends as soon as its
// last byte is in. Bytes that cannot start a known request, or a frame cut short, are noise
// once the line has been quiet for the frame gap.
class RequestFramer {
public:
    using Clock = std::chrono::steady_clock;

    struct Piece {
        bool complete = false; // a frame of a known command; otherwise noise
        std::vector<std::uint8_t> bytes;
        Clock::time_point began; // when its first byte was read
    };

    void setGap(Clock::duration gap) { m_gap = gap; }
    std::vector<Piece> receive(const std::uint8_t* bytes, std::size_t size, Clock::time_point now);
    // When the pending bytes become noise, if any are pending.
    std::optional<Clock::time_point> deadline() const;
    // The pending bytes as noise if the deadline has passed.
    std::optional<Piece> expire(Clock::time_point now);

private:
    std::vector<std::uint8_t> m_pending;
    Clock::time_point m_firstByte;
    Clock::time_point m_lastByte;
    Clock::duration m_gap = std::chrono::milliseconds(2);
};

} // namespace VPanel::Sim
