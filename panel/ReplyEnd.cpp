#include "panel/ReplyEnd.h"

#include <algorithm>

namespace VPanel::Panel {

std::size_t bytesStillWanted(const Link::Frame& request, const std::uint8_t* bytes, std::size_t received,
                             Link::ConsoleShape console, std::size_t room)
{
    // Enough to tell an exchange reply's length by its flags, and shorter than any whole reply.
    constexpr std::size_t lengthTold = Link::headerSize + 2;
    const Link::ReplyLength length = Link::expectedReplyLength(request, bytes, received, console);
    switch (length.state) {
    case Link::ReplyLength::State::Pending:
        return std::min(room, std::max(lengthTold, received + 1) - received);
    case Link::ReplyLength::State::Known:
        if (length.bytes > received)
            return std::min(room, length.bytes - received);
        break;
    case Link::ReplyLength::State::Undetermined:
        break;
    }
    return room;
}

bool isWholeReply(const Link::Frame& request, const std::uint8_t* bytes, std::size_t received,
                  Link::ConsoleShape console)
{
    const Link::ReplyLength length = Link::expectedReplyLength(request, bytes, received, console);
    if (length.state != Link::ReplyLength::State::Known || length.bytes != received)
        return false;
    const std::size_t body = received - Link::checksumSize;
    return bytes[0] == request.address() && Link::checksum(bytes, body) == Link::readU16(bytes + body);
}

} // namespace VPanel::Panel
