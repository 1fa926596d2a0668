#include "sim/RequestFramer.h"

#include "link/Device.h"
#include "link/Packet.h"

namespace VPanel::Sim {

std::vector<RequestFramer::Piece> RequestFramer::receive(const std::uint8_t* bytes, std::size_t size,
                                                         Clock::time_point now)
{
    std::vector<Piece> pieces;
    if (auto stale = expire(now))
        pieces.push_back(std::move(*stale));
    if (size == 0)
        return pieces;
    if (m_pending.empty())
        m_firstByte = now;
    m_pending.insert(m_pending.end(), bytes, bytes + size);
    m_lastByte = now;
    while (m_pending.size() >= Link::headerSize) {
        const auto length = Link::requestSize(Link::readU16(&m_pending[1]));
        if (!length || m_pending.size() < *length)
            break;
        pieces.push_back(
            {true, {m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(*length)}, m_firstByte});
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(*length));
        // What follows a frame completed only now came with this read.
        m_firstByte = now;
    }
    return pieces;
}

std::optional<RequestFramer::Clock::time_point> RequestFramer::deadline() const
{
    if (m_pending.empty())
        return std::nullopt;
    return m_lastByte + m_gap;
}

std::optional<RequestFramer::Piece> RequestFramer::expire(Clock::time_point now)
{
    const auto due = deadline();
    if (!due || now < *due)
        return std::nullopt;
    Piece noise{false, std::move(m_pending), m_firstByte};
    m_pending.clear();
    return noise;
}

} // namespace VPanel::Sim
