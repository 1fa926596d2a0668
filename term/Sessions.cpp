#include "term/Sessions.h"

#include "datafiles/PortAdvice.h"
#include "baselib/exceptions/Exception.h"
#include "host/EventTexts.h"
#include "term/CursesScreen.h"
#include "term/StatusTexts.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace VPanel::Term {

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A device that answers but never reaches polling is as good as silent after this long.
constexpr milliseconds startUpBound{30'000};
constexpr int withoutTimeout = -1;

enum class Woken { Changed, Input, Signal, TimedOut };

// Waits for the feed, the stopSignals or, when `input` is given, standard input.
Woken waitFor(const ViewFeed& feed, int stopSignals, bool input, int timeout_ms)
{
    pollfd fds[] = {{stopSignals, POLLIN, 0}, {feed.wakeDescriptor(), POLLIN, 0}, {input ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = poll(fds, 3, timeout_ms);
    // A resized terminal interrupts the wait; the terminal library then reads it as a key.
    if (ready < 0 && errno == EINTR)
        return input ? Woken::Input : Woken::Changed;
    if (ready <= 0)
        return Woken::TimedOut;
    if (fds[0].revents) {
        signalfd_siginfo info{};
        (void)read(stopSignals, &info, sizeof info);
        return Woken::Signal;
    }
    // A terminal that hung up without a SIGHUP to us (not our controlling one) would stay
    // readable for ever: gone is gone.
    if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL))
        return Woken::Signal;
    return fds[1].revents ? Woken::Changed : Woken::Input;
}

int remaining_ms(Clock::time_point deadline)
{
    return static_cast<int>(std::max<long long>(
        0, std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count()));
}

// Asks for the stop and waits for the stop packet to go out.
void stopAndWait(Panel::DeviceLink& link)
{
    link.stop();
    link.wait(link.stopWaitBound());
}

// The link's last word, with the advice the window gives for a port that would not open.
void printFailure(const LinkState& state, const std::string& port)
{
    if (!state.lastEvent)
        return;
    QString text = Host::eventText(*state.lastEvent);
    if (state.lastEvent->code == Panel::LinkEvent::Exception)
        if (const QString advice = PortAdvice::accessLine(QString::fromStdString(port)); !advice.isEmpty())
            text += QLatin1Char('\n') + advice;
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

void printRows(const Host::ConsoleScreen& screen, std::FILE* out)
{
    for (const std::string& row : screen.text())
        std::fprintf(out, "%s\n", row.c_str());
    std::fflush(out);
}
} // namespace

int terminationSignals()
{
    sigset_t termination;
    sigemptyset(&termination);
    // Ctrl+\ too: its default would leave the terminal raw and the device without a stop.
    for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        sigaddset(&termination, signal);
    pthread_sigmask(SIG_BLOCK, &termination, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const int descriptor = signalfd(-1, &termination, SFD_CLOEXEC);
    if (descriptor < 0)
        throw KelBase::RuntimeException(L"signalfd");
    return descriptor;
}

int runInTerminal(Panel::DeviceLink& link, ViewFeed& feed, int stopSignals)
{
    bool stopping = false;
    View view;
    {
        // A terminal that cannot show the panel stops us before the device hears of it.
        CursesScreen terminal;
        link.start();
        for (;;) {
            view = feed.snapshot();
            terminal.draw(view, StatusTexts::stateLine(view.state), StatusTexts::legend());
            if (view.state.ended)
                break;
            // Once stopping, the link's own bound is the most it may take to say it ended.
            const Woken woken = waitFor(feed, stopSignals, !stopping,
                                        stopping ? static_cast<int>(link.stopWaitBound().count()) : withoutTimeout);
            if (woken == Woken::TimedOut)
                break;
            if (woken == Woken::Signal && !stopping) {
                link.stop();
                stopping = true;
            }
            if (woken == Woken::Input)
                for (const int scanCode : terminal.typedKeys())
                    if (!link.tap(scanCode))
                        terminal.refuseKey();
        }
    }
    stopAndWait(link);
    if (stopping)
        return exitDone;
    printRows(view.screen, stdout);
    printFailure(view.state, link.parameters().port);
    return exitFailed;
}

int runScript(Panel::DeviceLink& link, ViewFeed& feed, int stopSignals, const Script& script, std::FILE* out)
{
    link.start();
    const Clock::time_point startUpDeadline = Clock::now() + startUpBound;
    View view = feed.snapshot();
    while (!view.state.live && !view.state.ended) {
        const Woken woken = waitFor(feed, stopSignals, false, remaining_ms(startUpDeadline));
        if (woken == Woken::Signal || woken == Woken::TimedOut)
            break;
        view = feed.snapshot();
    }
    int verdict = exitFailed;
    if (view.state.live) {
        for (const int scanCode : script.keys)
            link.tap(scanCode);
        const Clock::time_point deadline = Clock::now() + script.timeout;
        verdict = exitTextNotSeen;
        for (;;) {
            if (view.screen.shows(script.expected)) {
                verdict = exitDone;
                break;
            }
            if (view.state.ended) {
                verdict = exitFailed;
                break;
            }
            const Woken woken = waitFor(feed, stopSignals, false, remaining_ms(deadline));
            if (woken == Woken::Signal || woken == Woken::TimedOut)
                break;
            view = feed.snapshot();
        }
    }
    stopAndWait(link);
    // The rows of the reply that showed the text may still have been arriving.
    view = feed.snapshot();
    printRows(view.screen, out);
    if (verdict == exitFailed)
        printFailure(view.state, link.parameters().port);
    return verdict;
}

} // namespace VPanel::Term
