#include "link/Packet.h"

#include "link/LinkErrors.h"

#include <boost/format.hpp>

#include <algorithm>
#include <numeric>

namespace VPanel::Link {

std::uint16_t checksum(const std::uint8_t* bytes, std::size_t size)
{
    return static_cast<std::uint16_t>(std::accumulate(bytes, bytes + size, 0u));
}

Frame::Frame(std::uint8_t address, std::uint16_t command, const std::uint8_t* data, std::size_t dataSize)
{
    if (dataSize > maxDataSize)
        throw LinkException(
            (boost::wformat(KelBase::resStr(LinkMessage::DataTooLong)) % maxDataSize).str());
    m_bytes[0] = address;
    m_bytes[1] = static_cast<std::uint8_t>(command & 0xFF);
    m_bytes[2] = static_cast<std::uint8_t>(command >> 8);
    if (dataSize > 0)
        std::copy(data, data + dataSize, m_bytes.begin() + headerSize);
    m_size = dataSize + frameOverhead;
    seal();
}

Frame::Frame(std::uint8_t address, std::uint16_t command, const std::vector<std::uint8_t>& data)
    : Frame(address, command, data.data(), data.size())
{
}

Frame Frame::fromWire(const std::uint8_t* bytes, std::size_t size)
{
    if (size > maxFrameSize)
        throw LinkException(
            (boost::wformat(KelBase::resStr(LinkMessage::FrameTooLong)) % maxFrameSize).str());
    Frame frame;
    std::copy(bytes, bytes + size, frame.m_bytes.begin());
    frame.m_size = size;
    return frame;
}

bool Frame::checksumValid() const
{
    return m_size >= frameOverhead && checksum(m_bytes.data(), m_size - checksumSize) == storedChecksum();
}

void Frame::seal()
{
    if (m_size < frameOverhead)
        return;
    const std::uint16_t sum = checksum(m_bytes.data(), m_size - checksumSize);
    m_bytes[m_size - 2] = static_cast<std::uint8_t>(sum & 0xFF);
    m_bytes[m_size - 1] = static_cast<std::uint8_t>(sum >> 8);
}

bool Frame::operator==(const Frame& other) const
{
    return m_size == other.m_size && std::equal(bytes(), bytes() + m_size, other.bytes());
}

} // namespace VPanel::Link
