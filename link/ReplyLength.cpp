#include "link/ReplyLength.h"

#include "link/Contents.h"
#include "link/Replies.h"

#include <algorithm>

namespace VPanel::Link {

namespace {

constexpr ReplyLength pending{ReplyLength::State::Pending, 0};
constexpr ReplyLength undetermined{ReplyLength::State::Undetermined, 0};

constexpr ReplyLength known(std::size_t bytes) { return {ReplyLength::State::Known, bytes}; }

constexpr std::size_t flagsSize = 2;

// The row flags a console can set: one for each row it has.
std::uint16_t rowFlagsOf(ConsoleShape console)
{
    const std::size_t rows = std::min(console.rows, static_cast<std::size_t>(exchangeRows));
    return static_cast<std::uint16_t>(((1u << rows) - 1) << ExchangeFlag::firstRowBit);
}

ReplyLength exchangeLength(const std::uint8_t* bytes, std::size_t size, ConsoleShape console)
{
    if (size < headerSize + flagsSize)
        return pending;
    const std::uint16_t flags = readU16(bytes + headerSize);
    if (flags & ExchangeFlag::rowBits & ~rowFlagsOf(console))
        return undetermined;
    const std::size_t length = exchangeReplySize(flags, console.placesPerRow);
    // No reader takes a frame this long, so waiting for its end would only stall the line.
    if (length > maxFrameSize)
        return undetermined;
    return known(length);
}

} // namespace

ReplyLength expectedReplyLength(const Frame& request, const std::uint8_t* bytes, std::size_t size,
                                ConsoleShape console)
{
    if (size < headerSize)
        return pending;
    if (readU16(bytes + 1) != request.command())
        return undetermined;
    switch (request.command()) {
    case Command::DeviceIdentification:
    case Command::ConsoleIdentification:
        return known(identificationReplySize);
    case Command::Start:
    case Command::Stop:
        return known(switchReplySize);
    case Command::SymbolMatrix:
        return known(symbolMatrixReplySize);
    case Command::Exchange:
        return exchangeLength(bytes, size, console);
    default:
        return undetermined;
    }
}

} // namespace VPanel::Link
