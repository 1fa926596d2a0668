// The reply decoder on arbitrary bytes: it decodes or names a failure, never reads outside
// the reply, and whatever it decodes agrees with the wire format, so that the device side
// builds the very same bytes back. The device's request parser gets the same bytes. The
// length told from the reply's first bytes never exceeds a frame, never changes as more bytes
// come, and never names a length the decoder would refuse.
//
// Input: request address, command selector, places per row, then the reply's bytes.
#include "link/Device.h"
#include "link/Replies.h"
#include "link/ReplyLength.h"

#include <algorithm>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace VPanel::Link;

constexpr std::uint16_t commands[] = {
    Command::DeviceIdentification, Command::ConsoleIdentification, Command::Start, Command::Stop,
    Command::Exchange,             Command::SymbolMatrix,          Command::Language,
};
constexpr std::size_t headerBytes = 3;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::uint16_t commandOf(std::uint8_t selector, const std::uint8_t* reply, std::size_t size)
{
    // Most inputs ask with a known command; the rest with whatever the reply echoes.
    if (selector < 0xF0 || size < 3)
        return commands[selector % std::size(commands)];
    return readU16(reply + 1);
}

void checkExchange(const Frame& request, const std::uint8_t* reply, std::size_t size, std::size_t places,
                   const ExchangeContent& content)
{
    const std::uint16_t flags = readU16(reply + headerSize);
    require(size == exchangeReplySize(flags, places));
    require(content.rows.size() == std::bitset<16>(flags & ExchangeFlag::rowBits).count());
    require(content.glyphs.size() == std::bitset<16>(flags & ExchangeFlag::glyphBits).count());
    for (const RowUpdate& row : content.rows)
        require(row.cells.size() == places);
    require(content.flags() == (flags & ~0xC000u));
    // Rows of any common width re-encode to the reply itself when no unused bit is set.
    if ((flags & 0xC000u) == 0 && size <= maxFrameSize) {
        const Frame rebuilt = exchangeReply(request.address(), content);
        require(rebuilt.size() == size);
        for (std::size_t i = 0; i < size; ++i)
            require(rebuilt.bytes()[i] == reply[i]);
    }
}

// The console's rows come from the address's low bits, so that every shape gets its inputs.
void checkLength(const Frame& request, const std::vector<std::uint8_t>& reply, std::size_t places,
                 const Reply& decoded)
{
    const ConsoleShape console{request.address() % (exchangeRows + 1u), places};
    const ReplyLength told = expectedReplyLength(request, reply.data(), reply.size(), console);
    if (told.state == ReplyLength::State::Known) {
        require(told.bytes <= maxFrameSize);
        if (decoded.status == ReplyStatus::Ok)
            require(told.bytes == reply.size());
        if (decoded.status == ReplyStatus::WrongLength || decoded.status == ReplyStatus::WrongFormat)
            require(told.bytes != reply.size());
    }
    // The first bytes that tell a length tell this one.
    const std::vector<std::uint8_t> head(reply.begin(), reply.begin() + std::min(reply.size(), headerSize + sizeof(std::uint16_t)));
    const ReplyLength early = expectedReplyLength(request, head.data(), head.size(), console);
    require(early.state == ReplyLength::State::Pending || early == told);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < headerBytes)
        return 0;
    // A copy of exactly the reply's length, so that a sanitizer sees any read past its end.
    const std::vector<std::uint8_t> reply(data + headerBytes, data + size);
    const std::size_t places = data[2];
    const Frame request(data[0], commandOf(data[1], reply.data(), reply.size()));

    const Reply decoded = decodeReply(request, reply.data(), reply.size(), places);
    checkLength(request, reply, places, decoded);
    if (decoded.status == ReplyStatus::Ok) {
        require(reply.size() >= frameOverhead);
        if (const auto* content = std::get_if<ExchangeContent>(&decoded.content))
            checkExchange(request, reply.data(), reply.size(), places, *content);
        if (std::holds_alternative<Glyph>(decoded.content))
            require(reply.size() == symbolMatrixReplySize);
    } else if (decoded.status == ReplyStatus::TooShort) {
        require(reply.size() < frameOverhead);
    }

    const ParsedRequest parsed = parseRequest(reply.data(), reply.size());
    if (parsed.status == RequestStatus::Ok)
        require(requestSize(parsed.request.command) == reply.size());
    return 0;
}
