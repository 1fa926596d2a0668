#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The packet of the device line: address, 16-bit command, data, 16-bit additive checksum,
// multi-byte fields little-endian. Nothing marks where a packet ends on the wire; a reader
// knows it from the timing or, for requests, from the command.

namespace VPanel::Link {

namespace Command {
inline constexpr std::uint16_t DeviceIdentification = 0x0000;
inline constexpr std::uint16_t ConsoleIdentification = 0x0010;
inline constexpr std::uint16_t Start = 0x0011;
inline constexpr std::uint16_t Stop = 0x0012;
inline constexpr std::uint16_t Exchange = 0x0013;
inline constexpr std::uint16_t SymbolMatrix = 0x0014;
inline constexpr std::uint16_t Language = 0x0015;
} // namespace Command

inline constexpr std::size_t headerSize = 3;
inline constexpr std::size_t checksumSize = 2;
inline constexpr std::size_t frameOverhead = headerSize + checksumSize;
inline constexpr std::size_t maxDataSize = 250;
inline constexpr std::size_t maxFrameSize = maxDataSize + frameOverhead;

// The 16-bit sum of the bytes, wrapping.
std::uint16_t checksum(const std::uint8_t* bytes, std::size_t size);

inline std::uint16_t readU16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// One packet's wire image in a fixed buffer, so that a connection can reuse one per direction.
class Frame {
public:
    Frame() = default;
    // Builds the image and its checksum; throws LinkException for more than maxDataSize bytes.
    Frame(std::uint8_t address, std::uint16_t command, const std::uint8_t* data = nullptr,
          std::size_t dataSize = 0);
    Frame(std::uint8_t address, std::uint16_t command, const std::vector<std::uint8_t>& data);

    // Takes bytes as they are, without checking them; throws for more than maxFrameSize.
    static Frame fromWire(const std::uint8_t* bytes, std::size_t size);

    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    const std::uint8_t* bytes() const { return m_bytes.data(); }
    std::uint8_t* bytes() { return m_bytes.data(); }
    std::vector<std::uint8_t> toVector() const { return {m_bytes.begin(), m_bytes.begin() + m_size}; }

    // The fields below are meaningful only for a frame of at least frameOverhead bytes.
    std::uint8_t address() const { return m_bytes[0]; }
    std::uint16_t command() const { return readU16(&m_bytes[1]); }
    const std::uint8_t* data() const { return &m_bytes[headerSize]; }
    std::size_t dataSize() const { return m_size - frameOverhead; }
    std::uint16_t storedChecksum() const { return readU16(&m_bytes[m_size - checksumSize]); }
    bool checksumValid() const;

    // Recomputes the checksum after the address or data were changed in place.
    void seal();

    bool operator==(const Frame& other) const;
    bool operator!=(const Frame& other) const { return !(*this == other); }

private:
    std::array<std::uint8_t, maxFrameSize> m_bytes{};
    std::size_t m_size = 0;
};

} // namespace VPanel::Link
