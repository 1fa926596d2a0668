#include "panel/ExchangeRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace VPanel::Panel {

namespace {
// Past this much formatted text the writer writes without waiting for the flush time.
constexpr std::size_t writeChunk = 64 * 1024;
// Several of the longest frame lines, so that a cut can always leave room for the end line.
constexpr std::size_t tailSize = 4096;

std::string headerLine(const std::string& text) { return "# " + text; }

std::string localTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&now, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

bool cutTo(int fd, std::uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)) == 0; }
} // namespace

std::shared_ptr<ExchangeRecorder> ExchangeRecorder::open(const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::shared_ptr<ExchangeRecorder>(new ExchangeRecorder(path, fd));
}

ExchangeRecorder::ExchangeRecorder(std::string path, int fd) : m_path(std::move(path)), m_fd(fd)
{
    queue({0, {}, {}, headerLine("vpanel " VPANEL_VERSION)});
    m_writer = std::thread([this] { writeLoop(); });
}

ExchangeRecorder::~ExchangeRecorder()
{
    finish();
    ::close(m_fd);
}

void ExchangeRecorder::onWriteFailed(WriteFailed handler)
{
    std::unique_lock lock(m_mutex);
    m_onWriteFailed = std::move(handler);
    if (!m_failed || !m_onWriteFailed)
        return;
    const WriteFailed told = m_onWriteFailed;
    const std::string failure = m_failure;
    lock.unlock();
    told(failure);
}

void ExchangeRecorder::beginConnection(const Connection& connection)
{
    for (const std::string& line :
         {"port " + connection.port, "address " + std::to_string(connection.address),
          "baud " + std::to_string(connection.baudRate),
          "write interval " + std::to_string(connection.writeInterval_ms) + " ms", "started " + localTimeNow()})
        queue({0, {}, {}, headerLine(line)});
}

void ExchangeRecorder::record(Link::FrameDirection direction, const std::uint8_t* bytes, std::size_t size)
{
    const auto at = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_start);
    queue({at.count(), direction, std::vector<std::uint8_t>(bytes, bytes + size), {}});
}

void ExchangeRecorder::queue(Entry entry)
{
    std::unique_lock lock(m_mutex);
    if (m_finishing || m_failed)
        return;
    if (m_queue.size() >= queueCapacity) {
        ++m_lost;
        return;
    }
    const bool wasEmpty = m_queue.empty();
    m_queue.push_back(std::move(entry));
    lock.unlock();
    if (wasEmpty)
        m_wake.notify_one();
}

void ExchangeRecorder::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_wake.notify_one();
    if (m_writer.joinable())
        m_writer.join();
}

void ExchangeRecorder::writeLoop()
{
    auto lastFlush = Clock::now();
    std::vector<Entry> batch;
    for (bool finishing = false; !finishing;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, flushInterval, [this] { return m_finishing || !m_queue.empty(); });
            batch.swap(m_queue);
            finishing = m_finishing;
        }
        for (const Entry& entry : batch)
            append(entry);
        batch.clear();
        if (finishing)
            m_pending += "# lost " + std::to_string(m_lost) + " frames\n# end: stopped\n";
        const auto now = Clock::now();
        if (finishing || now - lastFlush >= flushInterval || m_pending.size() >= writeChunk) {
            if (!flush())
                return;
            lastFlush = now;
        }
    }
}

void ExchangeRecorder::append(const Entry& entry)
{
    if (!entry.text.empty()) {
        m_pending += entry.text;
    } else {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%" PRId64 ".%03" PRId64, entry.at_us / 1000, entry.at_us % 1000);
        m_pending += Link::frameLine(stamp, entry.direction, entry.bytes.data(), entry.bytes.size());
    }
    m_pending += '\n';
}

bool ExchangeRecorder::flush()
{
    std::size_t done = 0;
    while (done < m_pending.size()) {
        const ssize_t written = ::write(m_fd, m_pending.data() + done, m_pending.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const std::string cause = std::strerror(written < 0 ? errno : ENOSPC);
            cutBack(m_written + done, done, "# end: write failed: " + cause + '\n');
            WriteFailed told;
            {
                std::lock_guard lock(m_mutex);
                m_failed = true;
                m_failure = m_path + ": " + cause;
                m_queue.clear();
                told = m_onWriteFailed;
            }
            if (told)
                told(m_failure);
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    m_written += m_pending.size();
    m_tail += m_pending;
    if (m_tail.size() > tailSize)
        m_tail.erase(0, m_tail.size() - tailSize);
    m_pending.clear();
    return true;
}

void ExchangeRecorder::cutBack(std::uint64_t fileEnd, std::size_t pendingWritten, const std::string& endLine)
{
    const std::string known = m_tail + m_pending.substr(0, pendingWritten);
    const std::uint64_t knownStart = m_written - m_tail.size();
    // The last line end that leaves room for the end line, else the last line end.
    std::optional<std::uint64_t> lastLineEnd;
    std::optional<std::uint64_t> roomyLineEnd;
    for (std::size_t end = known.size() + 1; end-- > 0 && !roomyLineEnd;) {
        if (end > 0 ? known[end - 1] != '\n' : knownStart > 0)
            continue;
        const std::uint64_t at = knownStart + end;
        if (!lastLineEnd)
            lastLineEnd = at;
        if (at + endLine.size() <= fileEnd)
            roomyLineEnd = at;
    }
    const std::uint64_t cut = roomyLineEnd.value_or(lastLineEnd.value_or(m_written));
    // A device or a pipe cannot be cut, and has nothing to cut.
    if (!cutTo(m_fd, cut) || !roomyLineEnd)
        return;
    if (::pwrite(m_fd, endLine.data(), endLine.size(), static_cast<off_t>(cut)) != static_cast<ssize_t>(endLine.size()))
        cutTo(m_fd, cut);
}

} // namespace VPanel::Panel
