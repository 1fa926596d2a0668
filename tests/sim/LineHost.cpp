#include "tests/sim/LineHost.h"

#include "link/Replies.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace SimTest {

namespace {
constexpr auto replyWait = std::chrono::milliseconds(500);
constexpr auto replyQuiet = std::chrono::milliseconds(30);
constexpr auto lateRest = std::chrono::milliseconds(300);
constexpr std::size_t placesPerRow = 20;

speed_t speedOf(unsigned baudRate)
{
    switch (baudRate) {
    case 1200: return B1200;
    case 9600: return B9600;
    case 115200: return B115200;
    default: throw std::invalid_argument("baud rate not used by the tests");
    }
}

int remaining_ms(LineHost::Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - LineHost::Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
} // namespace

PortMapDirectory::PortMapDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vpanel-sim-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp");
    m_path = pattern;
    setenv("KELCOMM_PORTS_DIR", m_path.c_str(), 1);
}

PortMapDirectory::~PortMapDirectory()
{
    unsetenv("KELCOMM_PORTS_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

LineHost::LineHost(const std::filesystem::path& device, unsigned baudRate)
{
    m_fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + device.string());
    termios settings{};
    tcgetattr(m_fd, &settings);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&settings, speedOf(baudRate));
    tcsetattr(m_fd, TCSANOW, &settings);
}

LineHost::~LineHost() { close(m_fd); }

LineHost::Clock::time_point LineHost::send(const std::vector<std::uint8_t>& bytes) const
{
    // Taken before the write: a thread preempted after it would date the request too late.
    const Clock::time_point started = Clock::now();
    if (write(m_fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("write");
    return started;
}

std::vector<LineHost::Piece> LineHost::collect(std::chrono::milliseconds first, std::chrono::milliseconds quiet) const
{
    std::vector<Piece> pieces;
    Clock::time_point deadline = Clock::now() + first;
    for (;;) {
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, remaining_ms(deadline)) <= 0)
            return pieces;
        std::uint8_t buffer[512];
        const ssize_t size = read(m_fd, buffer, sizeof buffer);
        if (size <= 0)
            return pieces;
        const Clock::time_point now = Clock::now();
        pieces.push_back({now, {buffer, buffer + size}});
        deadline = now + quiet;
    }
}

std::vector<LineHost::Piece> LineHost::collectBytes(std::size_t count, std::chrono::milliseconds limit) const
{
    std::vector<Piece> pieces;
    std::size_t received = 0;
    const Clock::time_point deadline = Clock::now() + limit;
    while (received < count) {
        std::vector<Piece> more = collect(std::chrono::milliseconds(remaining_ms(deadline)), std::chrono::milliseconds(0));
        if (more.empty())
            break;
        for (Piece& piece : more) {
            received += piece.bytes.size();
            pieces.push_back(std::move(piece));
        }
    }
    return pieces;
}

std::vector<std::uint8_t> LineHost::transact(const VPanel::Link::Frame& frame) const
{
    send(frame);
    std::vector<std::uint8_t> reply = joined(collect(replyWait, replyQuiet));
    const auto checks = [&] {
        return VPanel::Link::decodeReply(frame, reply.data(), reply.size(), placesPerRow).status ==
               VPanel::Link::ReplyStatus::Ok;
    };
    while (!reply.empty() && !checks()) {
        const std::vector<std::uint8_t> rest = joined(collect(lateRest, replyQuiet));
        if (rest.empty())
            break;
        reply.insert(reply.end(), rest.begin(), rest.end());
    }
    return reply;
}

std::vector<std::uint8_t> LineHost::joined(const std::vector<Piece>& pieces)
{
    std::vector<std::uint8_t> bytes;
    for (const Piece& piece : pieces)
        bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
    return bytes;
}

} // namespace SimTest
