// vpanel-devsim: simulated devices with an operator console on a pseudo-terminal, published as
// a serial port of the port map until the program ends.

#include "baselib/exceptions/Exception.h"
#include "baselib/platform/Console.h"
#include "baselib/platform/Conversion.h"
#include "sim/FdOutput.h"
#include "sim/Options.h"
#include "sim/Simulator.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {
using namespace VPanel::Sim;

constexpr int livenessCheck_ms = 200;
constexpr int exitUsage = 2;
constexpr int exitFailure = 1;

FdOutput& errors()
{
    static FdOutput stream(STDERR_FILENO);
    return stream;
}

std::string text(const std::exception& error)
{
    return KelBase::Conversion::stringToUTF8(KelBase::exceptionMessage(error));
}

// Applies every complete line that came in; false at the end of the input.
bool readControlLines(std::string& pending, Simulator& simulator)
{
    char buffer[256];
    const ssize_t size = read(STDIN_FILENO, buffer, sizeof buffer);
    if (size <= 0)
        return false;
    pending.append(buffer, static_cast<std::size_t>(size));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        Faults faults = simulator.faults();
        try {
            applyFaultLine(line, faults);
            simulator.setFaults(faults);
        } catch (const std::exception& error) {
            errors() << text(error) << std::endl;
        }
    }
    return true;
}

// Serves until a termination signal; the simulator's destructor then removes the port.
int serve(Simulator& simulator, int signalFd, bool control)
{
    std::string pending;
    bool readInput = control;
    for (;;) {
        pollfd fds[] = {{signalFd, POLLIN, 0}, {readInput ? STDIN_FILENO : -1, POLLIN, 0}};
        poll(fds, 2, livenessCheck_ms);
        if (fds[0].revents)
            return 0;
        if (fds[1].revents)
            readInput = readControlLines(pending, simulator);
        if (!simulator.running()) {
            try {
                if (const auto failure = simulator.failure())
                    std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                errors() << text(error) << std::endl;
            }
            return exitFailure;
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    KelConsole::openClosedStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    ProgramOptions options;
    try {
        options = parseArguments(arguments);
    } catch (const std::exception& error) {
        errors() << text(error) << "\n\n" << usage(wantsEnglish(arguments)) << std::flush;
        return exitUsage;
    }
    if (options.help) {
        FdOutput(STDOUT_FILENO) << usage(wantsEnglish(arguments)) << std::flush;
        return 0;
    }
    if (options.version) {
        FdOutput(STDOUT_FILENO) << "vpanel-devsim " << VPANEL_VERSION << std::endl;
        return 0;
    }
    if (options.simulator.replay)
        for (const std::string& warning : options.simulator.replay->warnings())
            errors() << warning << std::endl;

    // Blocked before any thread starts, so that only the signal descriptor sees them and the
    // port is always unpublished; a reader that went away must not kill us either.
    sigset_t termination;
    sigemptyset(&termination);
    sigaddset(&termination, SIGINT);
    sigaddset(&termination, SIGTERM);
    sigaddset(&termination, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &termination, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &termination, SFD_CLOEXEC);
    if (signalFd < 0) {
        errors() << "signalfd: " << std::strerror(errno) << std::endl;
        return exitFailure;
    }

    // The line's thread has a stream of its own, so that the two never share a buffer.
    FdOutput frames(STDOUT_FILENO);
    if (options.verbose) {
        options.simulator.verbose = &frames;
        KelConsole::setTraceLinesShown(true);
    }
    try {
        Simulator simulator(options.simulator);
        FdOutput(STDOUT_FILENO) << simulator.portName() << " -> " << simulator.devicePath() << std::endl;
        const int status = serve(simulator, signalFd, options.control);
        close(signalFd);
        return status;
    } catch (const std::exception& error) {
        errors() << text(error) << std::endl;
        return exitFailure;
    }
}
