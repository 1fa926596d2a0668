#include "link/FrameNotation.h"

#include "link/Packet.h"

#include <sstream>

namespace VPanel::Link {

namespace {
constexpr char requestMark[] = "<-";
constexpr char replyMark[] = "->";
constexpr char noteStart[] = "  (";

int digitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}
} // namespace

std::string hexBytes(const std::uint8_t* bytes, std::size_t size)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            text.push_back(' ');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string frameLine(const std::string& stamp, FrameDirection direction, const std::uint8_t* bytes, std::size_t size,
                      const std::string& note)
{
    std::string line = stamp;
    line += ' ';
    line += direction == FrameDirection::Request ? requestMark : replyMark;
    line += ' ';
    line += hexBytes(bytes, size);
    if (!note.empty())
        line += noteStart + note + ')';
    return line;
}

std::optional<NotedFrame> parseFrameLine(const std::string& line, FrameLineFault& fault)
{
    const std::string frame = line.substr(0, line.find(noteStart));
    std::istringstream words(frame);
    NotedFrame noted;
    std::string mark;
    if (!(words >> noted.stamp >> mark) || (mark != requestMark && mark != replyMark)) {
        fault = FrameLineFault::NoDirection;
        return std::nullopt;
    }
    noted.direction = mark == requestMark ? FrameDirection::Request : FrameDirection::Reply;
    for (std::string byte; words >> byte;) {
        const int high = byte.size() == 2 ? digitValue(byte[0]) : -1;
        const int low = byte.size() == 2 ? digitValue(byte[1]) : -1;
        if (high < 0 || low < 0) {
            fault = FrameLineFault::BadByte;
            return std::nullopt;
        }
        noted.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    if (noted.bytes.empty()) {
        fault = FrameLineFault::NoBytes;
        return std::nullopt;
    }
    // A read may join frames, but never takes more than a reply buffer.
    if (noted.bytes.size() > maxFrameSize) {
        fault = FrameLineFault::TooLong;
        return std::nullopt;
    }
    return noted;
}

} // namespace VPanel::Link
