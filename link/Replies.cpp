#include "link/Replies.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace VPanel::Link {

namespace {

Reply failed(ReplyStatus status) { return Reply{status, {}}; }
Reply decoded(ReplyContent content) { return Reply{ReplyStatus::Ok, std::move(content)}; }

Glyph glyphAt(const std::uint8_t* bytes)
{
    Glyph glyph{};
    std::copy(bytes, bytes + glyphSize, glyph.begin());
    return glyph;
}

Reply decodeExchange(const std::uint8_t* data, std::size_t size, std::size_t placesPerRow)
{
    if (size < minExchangeReplySize)
        return failed(ReplyStatus::WrongFormat);
    const std::uint16_t flags = readU16(data);
    if (size != exchangeReplySize(flags, placesPerRow))
        return failed(ReplyStatus::WrongLength);

    ExchangeContent content;
    content.consoleOn = (flags & ExchangeFlag::consoleOn) != 0;
    content.soundOn = (flags & ExchangeFlag::soundOn) != 0;
    const std::uint8_t* next = data + sizeof flags;
    for (int row = 0; row < exchangeRows; ++row) {
        if (flags & (1u << (ExchangeFlag::firstRowBit + row))) {
            content.rows.push_back(RowUpdate{row, {next, next + placesPerRow}});
            next += placesPerRow;
        }
    }
    for (int code = 0; code < exchangeGlyphs; ++code) {
        if (flags & (1u << code)) {
            content.glyphs.push_back(GlyphUpdate{code, glyphAt(next)});
            next += glyphSize;
        }
    }
    return decoded(std::move(content));
}

// The checks every reply passes, in the order the connection reports their failures.
std::optional<ReplyStatus> frameFailure(const Frame& request, const std::uint8_t* bytes, std::size_t size)
{
    if (size < frameOverhead)
        return ReplyStatus::TooShort;
    if (readU16(bytes + 1) != request.command())
        return ReplyStatus::CommandMismatch;
    if (bytes[0] != request.address())
        return ReplyStatus::AddressMismatch;
    if (checksum(bytes, size - checksumSize) != readU16(bytes + size - checksumSize))
        return ReplyStatus::ChecksumMismatch;
    return std::nullopt;
}

} // namespace

Reply decodeReply(const Frame& request, const std::uint8_t* bytes, std::size_t size, std::size_t placesPerRow)
{
    if (const std::optional<ReplyStatus> failure = frameFailure(request, bytes, size))
        return failed(*failure);

    const std::uint8_t* data = bytes + headerSize;
    switch (request.command()) {
    case Command::DeviceIdentification:
        if (size != identificationReplySize)
            return failed(ReplyStatus::WrongLength);
        return decoded(DeviceIdentity{readU16(data), data[2], data[3]});
    case Command::ConsoleIdentification: {
        if (size != identificationReplySize)
            return failed(ReplyStatus::WrongLength);
        const ConsoleIdentity console{data[0], data[1], data[2], data[3]};
        if (console.version != 0)
            return Reply{ReplyStatus::UnsupportedConsoleVersion, console};
        return decoded(console);
    }
    case Command::Start:
        if (size != switchReplySize)
            return failed(ReplyStatus::WrongLength);
        return decoded(StartState{data[0] != 0});
    case Command::Stop:
        if (size != switchReplySize)
            return failed(ReplyStatus::WrongLength);
        return decoded(StopState{data[0] != 0});
    case Command::Exchange:
        return decodeExchange(data, size, placesPerRow);
    case Command::SymbolMatrix:
        if (size != symbolMatrixReplySize)
            return failed(ReplyStatus::WrongLength);
        return decoded(glyphAt(data));
    default:
        return decoded({});
    }
}

Reply decodeSearchIdentification(const Frame& request, const std::uint8_t* bytes, std::size_t size)
{
    if (const std::optional<ReplyStatus> failure = frameFailure(request, bytes, size))
        return failed(*failure);
    if (request.command() != Command::DeviceIdentification)
        return failed(ReplyStatus::CommandMismatch);
    if (size < minSearchIdentificationReplySize)
        return failed(ReplyStatus::WrongLength);
    const std::uint8_t* data = bytes + headerSize;
    DeviceIdentity identity{readU16(data)};
    if (size >= identificationReplySize) {
        identity.major = data[2];
        identity.minor = data[3];
    }
    return decoded(identity);
}

} // namespace VPanel::Link
