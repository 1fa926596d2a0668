#include "app/window/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// Written by the handler, read in the GUI thread: a handler may do little more than write.
int wakeUpPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    (void)!::write(wakeUpPipe[1], &byte, 1);
    errno = savedErrno;
}

constexpr int terminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

TerminationSignals::TerminationSignals(QWidget& window) : m_window(window)
{
    if (::pipe2(wakeUpPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(wakeUpPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::terminate);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : terminationSignals)
        sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : terminationSignals)
        sigaction(signal, &action, nullptr);
    delete m_notifier;
    for (int& end : wakeUpPipe)
        ::close(std::exchange(end, -1));
}

void TerminationSignals::terminate()
{
    // The notifier wakes the event loop for as long as a byte is left in the pipe.
    char bytes[64];
    while (::read(wakeUpPipe[0], bytes, sizeof bytes) > 0) {
    }
    // Ends every event loop running now, a modal box's included, and makes any box that the
    // window's last events open while it closes return at once.
    QCoreApplication::exit(0);
    m_window.close();
}
