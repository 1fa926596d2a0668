#include "sim/LineWriter.h"

#include "baselib/time/RelativeTimespec.h"
#include "link/LineTiming.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace VPanel::Sim {

namespace {
LineWriter::Clock::duration bitTimes(long long bits, unsigned baudRate)
{
    if (baudRate == 0)
        return LineWriter::Clock::duration::zero();
    return std::chrono::ceil<LineWriter::Clock::duration>(Link::bitTimes(bits, static_cast<long>(baudRate)));
}
} // namespace

LineWriter::Clock::duration LineWriter::byteTime(unsigned baudRate) { return bitTimes(Link::bitsPerByte, baudRate); }

LineWriter::Clock::duration LineWriter::frameGap(unsigned baudRate) { return bitTimes(Link::frameGapBits, baudRate); }

bool LineWriter::write(const std::uint8_t* bytes, std::size_t size, unsigned baudRate)
{
    if (baudRate == 0) {
        put(bytes, size);
        return true;
    }
    const Clock::duration perByte = byteTime(baudRate);
    const Clock::time_point start = Clock::now();
    std::size_t sent = 0;
    while (sent < size) {
        const auto elapsed = Clock::now() - start;
        const std::size_t due = std::min<std::size_t>(size, static_cast<std::size_t>(elapsed / perByte));
        if (due > sent) {
            put(bytes + sent, due - sent);
            sent = due;
        }
        if (sent < size && !waitUntil(start + perByte * static_cast<Clock::rep>(sent + 1)))
            return false;
    }
    return true;
}

bool LineWriter::waitUntil(Clock::time_point deadline)
{
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const timespec timeout = KelTime::relativeTimespec(left);
        pollfd stop{m_stop, POLLIN, 0};
        const int ready = ppoll(&stop, 1, &timeout, nullptr);
        if (ready > 0)
            return false;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

void LineWriter::put(const std::uint8_t* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_line, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

} // namespace VPanel::Sim
