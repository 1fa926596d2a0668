#include "sim/PseudoTerminal.h"

#include "sim/LineSpeed.h"
#include "sim/SimErrors.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>

namespace VPanel::Sim {

namespace {
void setFlags(int fd, int flags)
{
    if (fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | flags) != 0)
        throwSystemError(L"fcntl");
}
} // namespace

PseudoTerminal::PseudoTerminal()
{
    // A fresh pty echoes and translates line ends: it must be raw before anyone can open it.
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    if (openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0)
        throwSystemError(L"openpty");
    try {
        std::array<char, PATH_MAX> name{};
        if (ptsname_r(m_master, name.data(), name.size()) != 0)
            throwSystemError(L"ptsname_r");
        m_slavePath = name.data();
        setFlags(m_master, O_NONBLOCK);
        setFlags(m_slave, 0);
        m_portEvents = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_portEvents < 0 || inotify_add_watch(m_portEvents, m_slavePath.c_str(), IN_OPEN | IN_CLOSE) < 0)
            throwSystemError(L"inotify");
    } catch (...) {
        if (m_portEvents >= 0)
            close(m_portEvents);
        close(m_master);
        close(m_slave);
        throw;
    }
}

void PseudoTerminal::takePortEvents()
{
    alignas(inotify_event) std::array<char, 4096> events{};
    ssize_t size = 0;
    while ((size = read(m_portEvents, events.data(), events.size())) > 0) {
        for (ssize_t at = 0; at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events.data() + at);
            if (event->mask & IN_Q_OVERFLOW)
                m_opensKnown = false;
            else if (event->mask & IN_OPEN)
                ++m_opens;
            else if ((event->mask & IN_CLOSE) && m_opens > 0)
                --m_opens;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // After lost events the opens are unknown: keep what is queued rather than drop replies.
    if (m_opens == 0 && m_opensKnown)
        tcflush(m_slave, TCIFLUSH);
}

PseudoTerminal::~PseudoTerminal()
{
    close(m_portEvents);
    close(m_slave);
    close(m_master);
}

unsigned PseudoTerminal::baudRate() const { return lineBaudRate(m_master); }

} // namespace VPanel::Sim
