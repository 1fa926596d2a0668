#include "comm/serial/SerialLine.h"

#include <utility>

#include <poll.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

SerialLine::SerialLine(std::string path, int fd, int readyDescriptor) try
    : m_path(std::move(path)), m_fd(fd), m_readyDescriptor(readyDescriptor)
{
} catch (...) {
    // The waiter could not be had: the descriptor was handed over all the same.
    close(fd);
}

SerialLine::~SerialLine() { close(m_fd); }

SerialLine::WaitResult SerialLine::waitReadable(const Deadline& deadline)
{
    return m_waiter.wait(Direction::Read, m_fd, POLLIN, m_readyDescriptor, deadline);
}

SerialLine::WaitResult SerialLine::waitWritable(const Deadline& deadline) const
{
    return m_waiter.wait(Direction::Write, m_fd, POLLOUT, m_readyDescriptor, deadline);
}

SerialLine::WaitResult SerialLine::sleepUntil(const Deadline& deadline) const
{
    return m_waiter.wait(Direction::Write, m_fd, 0, -1, deadline);
}

void SerialLine::markClosed()
{
    m_closed = true;
    m_waiter.wakeAll();
}

} // namespace KelComm::Serial::Internal
