#pragma once

// What a line allows a connection's polls, worked out from the bytes that went over it rather
// than from a guessed reply size: the wire limit (every byte on the wire plus the turnaround
// gap before each request) and the interval limit (the same bytes plus the write interval
// after each reply, the timing of a link that ends a reply only at the line's silence).

#include "link/Contents.h"
#include "link/LineTiming.h"
#include "link/Packet.h"
#include "link/Replies.h"
#include "panel/FrameSink.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

namespace Bench {

using Seconds = std::chrono::duration<double>;

// Counts the bytes and requests of the line as the connection wrote and read them, and the
// reads that failed a check the connection reports (a read with less than a header in it is
// not reported); passes the frames on to another sink when given one. Told on the link's
// thread only.
class WireTally : public VPanel::Panel::FrameSink {
public:
    struct Load {
        std::uint64_t bytes = 0;
        std::uint64_t requests = 0;

        Load operator-(const Load& earlier) const { return {bytes - earlier.bytes, requests - earlier.requests}; }
    };

    // The simulator's console.
    static constexpr std::size_t consolePlaces = VPanel::Link::defaultConsolePlaces;

    explicit WireTally(std::shared_ptr<FrameSink> next = nullptr) : m_next(std::move(next)) {}

    void record(VPanel::Link::FrameDirection direction, const std::uint8_t* bytes, std::size_t size) override
    {
        using VPanel::Link::ReplyStatus;
        m_bytes += size;
        if (direction == VPanel::Link::FrameDirection::Request) {
            ++m_requests;
            m_request = VPanel::Link::Frame::fromWire(bytes, size);
        } else if (!m_request.empty()) {
            // Bytes left over from a reply come before the next request: only the first reply
            // after a request is its read.
            const auto status = VPanel::Link::decodeReply(m_request, bytes, size, consolePlaces).status;
            if (status != ReplyStatus::Ok && status != ReplyStatus::TooShort)
                ++m_failedReads;
            m_request = {};
        }
        if (m_next)
            m_next->record(direction, bytes, size);
    }

    Load load() const { return {m_bytes.load(), m_requests.load()}; }
    std::uint64_t failedReads() const { return m_failedReads.load(); }

private:
    std::shared_ptr<FrameSink> m_next;
    VPanel::Link::Frame m_request;
    std::atomic<std::uint64_t> m_failedReads{0};
    std::atomic<std::uint64_t> m_bytes{0};
    std::atomic<std::uint64_t> m_requests{0};
};

// The least time the line takes to carry the load with `perRequest` of silence beside each
// request.
inline Seconds lineTime(const WireTally::Load& load, long baudRate, Seconds perRequest)
{
    return Seconds(VPanel::Link::wireTime(load.bytes, baudRate)) + perRequest * static_cast<double>(load.requests);
}

// "name: ratio (goal >= g: met)"; a goal of 0 prints none.
inline void printRatio(const char* name, double ratio, double goal)
{
    if (goal > 0)
        std::printf("  %-34s %.3f  (goal >= %.2f: %s)\n", name, ratio, goal, ratio >= goal ? "met" : "MISSED");
    else
        std::printf("  %-34s %.3f\n", name, ratio);
}

} // namespace Bench
