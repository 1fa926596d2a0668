#include "app/window/UnwaitedOutput.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

// A descriptor of the output's own, so that non-blocking writes leave the one shared with
// the shell and other programs as it was. A regular file never makes a writer wait, and keeps
// its shared offset; a socket cannot be opened again, but takes a non-blocking send.
int ownDescriptorOf(int descriptor, bool& socket)
{
    struct stat status {};
    const bool known = ::fstat(descriptor, &status) == 0;
    socket = known && S_ISSOCK(status.st_mode);
    if (known && !socket && !S_ISREG(status.st_mode)) {
        const std::string path = "/proc/self/fd/" + std::to_string(descriptor);
        const int own = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (own >= 0)
            return own;
    }
    return ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
}

} // namespace

UnwaitedOutput::UnwaitedOutput(int descriptor, QObject* parent)
    : QObject(parent), m_descriptor(ownDescriptorOf(descriptor, m_socket))
{
    if (m_descriptor < 0)
        return;
    m_writable = new QSocketNotifier(m_descriptor, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &UnwaitedOutput::flush);
}

UnwaitedOutput::~UnwaitedOutput()
{
    delete m_writable;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void UnwaitedOutput::write(const QByteArray& bytes)
{
    if (m_descriptor < 0 || m_closed || m_queued.size() + bytes.size() > maxQueuedBytes)
        return;
    m_queued += bytes;
    flush();
}

void UnwaitedOutput::flush()
{
    while (!m_queued.isEmpty()) {
        const auto size = static_cast<std::size_t>(m_queued.size());
        const ssize_t written = m_socket ? ::send(m_descriptor, m_queued.constData(), size, MSG_DONTWAIT | MSG_NOSIGNAL)
                                         : ::write(m_descriptor, m_queued.constData(), size);
        if (written >= 0) {
            m_queued.remove(0, written);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_writable->setEnabled(true);
            return;
        }
        m_queued.clear();
        // Another failure (a full disk) may pass; the next write tries again.
        if (errno == EPIPE || errno == ECONNRESET) {
            m_closed = true;
            m_writable->setEnabled(false);
            emit closed();
        }
        return;
    }
    m_writable->setEnabled(false);
}
