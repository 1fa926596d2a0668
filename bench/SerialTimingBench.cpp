// Timing of the serial port over a pseudo-terminal:
//  (a) how late a read returns after its interval timeout expires, against a bare poll();
//  (b) a 9-byte request and 7-byte reply through SystemSerialPort against the same exchange
//      done with bare write/poll/read.
// Usage: serial_timing_bench [rounds for (a)] [rounds for (b)]

#include "comm/serial/SystemSerialPort.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using KelComm::Serial::CommSettings;
using KelComm::Serial::CommTimeouts;
using KelComm::Serial::IO_Result;
using KelComm::Serial::SystemSerialPort;

constexpr int interval_ms = 20;
constexpr std::size_t requestSize = 9;
constexpr std::size_t replySize = 7;
constexpr long baudRate = 921600;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stats {
    double median, p99;
};

Stats stats(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[std::min(values.size() - 1, std::size_t(q * values.size()))]; };
    return {at(0.5), at(0.99)};
}

struct Pty {
    Pty()
    {
        termios raw{};
        cfmakeraw(&raw);
        char name[128] = {};
        if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        path = name;
    }
    ~Pty()
    {
        close(master);
        close(slave);
    }
    int master = -1, slave = -1;
    std::string path;
};

void writeAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size) {
        const ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, -1);
        }
    }
}

bool readExactly(int fd, std::uint8_t* buffer, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0)
            return false;
        const ssize_t n = read(fd, buffer + got, size - got);
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// The device side: answers every 9-byte request with 7 bytes at once.
class Responder {
public:
    explicit Responder(int fd) : m_fd(fd), m_thread([this] { run(); }) {}
    ~Responder()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void run()
    {
        std::uint8_t request[requestSize];
        const std::uint8_t reply[replySize] = {1, 2, 3, 4, 5, 6, 7};
        while (!m_stop)
            if (readExactly(m_fd, request, requestSize))
                writeAll(m_fd, reply, replySize);
    }

    int m_fd;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// (a) One byte waits in the buffer; reading two takes it and then waits one interval for a
// second that never comes. Lateness = return time - (start + interval).
void intervalLateness(SystemSerialPort& port, const Pty& pty, int rounds)
{
    port.setTimeouts(CommTimeouts(KelTime::Seconds(1), KelTime::Milliseconds(interval_ms)), false);
    std::vector<double> portLate, pollLate;
    for (int round = 0; round < rounds; ++round) {
        const std::uint8_t one = 0x55;
        writeAll(pty.master, &one, 1);
        std::uint32_t waiting = 0, unused = 0;
        while (waiting < 1)
            port.queryQueueStatus(waiting, unused);
        std::uint8_t buffer[2];
        std::uint32_t received = 0;
        const auto start = Clock::now();
        const IO_Result result = port.read(buffer, 2, &received, false);
        portLate.push_back(ms(Clock::now() - start) - interval_ms);
        if (result.status != IO_Result::TimedOut || received != 1) {
            std::fprintf(stderr, "unexpected read result %d/%u\n", result.status, received);
            std::exit(1);
        }

        pollfd idle{pty.slave, POLLIN, 0};
        const auto pollStart = Clock::now();
        poll(&idle, 1, interval_ms);
        pollLate.push_back(ms(Clock::now() - pollStart) - interval_ms);
    }
    const Stats p = stats(portLate), b = stats(pollLate);
    std::printf("(a) read after a %d ms interval timeout, %d rounds: late by median %.3f ms, p99 %.3f ms "
                "(goal: median <= 0.5, p99 <= 1.5)\n",
                interval_ms, rounds, p.median, p.p99);
    std::printf("    bare poll(%d ms) on the same machine:           late by median %.3f ms, p99 %.3f ms\n",
                interval_ms, b.median, b.p99);
}

// (b) Request and reply, through the port and bare on the same pty.
void exchange(SystemSerialPort& port, const Pty& pty, int rounds)
{
    port.setTimeouts(CommTimeouts(KelTime::Seconds(1), KelTime::Milliseconds(interval_ms)), false);
    Responder responder(pty.master);
    const std::uint8_t request[requestSize] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    std::uint8_t reply[64];
    std::vector<double> viaPort, viaPortOpenEnded, bare, writeOnly;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        std::uint32_t count = 0;
        port.write(request, requestSize, &count);
        writeOnly.push_back(ms(Clock::now() - start));
        const IO_Result result = port.read(reply, replySize, &count, false);
        viaPort.push_back(ms(Clock::now() - start));
        if (!result.isGood() || count != replySize) {
            std::fprintf(stderr, "port exchange failed\n");
            std::exit(1);
        }

        start = Clock::now();
        writeAll(pty.slave, request, requestSize);
        if (!readExactly(pty.slave, reply, replySize)) {
            std::fprintf(stderr, "bare exchange failed\n");
            std::exit(1);
        }
        bare.push_back(ms(Clock::now() - start));

        // A reader that does not know the reply's length ends one interval after it.
        if (round % 20 == 0) {
            start = Clock::now();
            port.write(request, requestSize, &count);
            port.read(reply, sizeof reply, &count, false);
            viaPortOpenEnded.push_back(ms(Clock::now() - start));
        }
    }
    const Stats p = stats(viaPort), b = stats(bare), o = stats(viaPortOpenEnded), w = stats(writeOnly);
    const double byteTime_ms = 10 * 1000.0 / baudRate;
    std::printf("(b) 9-byte request + 7-byte reply at %ld baud, %d rounds (the port's write lasts at least "
                "9 x %.4f ms on the line):\n",
                baudRate, rounds, byteTime_ms);
    std::printf("    bare write/poll/read:  median %.3f ms, p99 %.3f ms\n", b.median, b.p99);
    std::printf("    SystemSerialPort:      median %.3f ms, p99 %.3f ms  -> ratio %.2f (median), %.2f (p99)\n",
                p.median, p.p99, p.median / b.median, p.p99 / b.p99);
    std::printf("    goal: port <= 1.2 x bare + interval (%d ms): median %.3f <= %.3f %s\n", interval_ms, p.median,
                1.2 * b.median + interval_ms, p.median <= 1.2 * b.median + interval_ms ? "met" : "NOT met");
    std::printf("    of which the write (held until the estimated end of transmission, %.3f ms): median %.3f ms\n",
                requestSize * byteTime_ms, w.median);
    std::printf("    reply length unknown (64-byte read): median %.3f ms = exchange + one interval\n", o.median);
}

} // namespace

int main(int argc, char** argv)
{
    const int lateRounds = argc > 1 ? std::atoi(argv[1]) : 200;
    const int exchangeRounds = argc > 2 ? std::atoi(argv[2]) : 2000;

    // The port is found through a port map of our own; log lines are not wanted here.
    const std::filesystem::path ports = std::filesystem::temp_directory_path() /
                                        ("kelcomm-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(ports);
    setenv("KELCOMM_PORTS_DIR", ports.c_str(), 1);
    std::wstringstream discardedLog;
    std::wstreambuf* const log = std::wclog.rdbuf(discardedLog.rdbuf());

    Pty pty;
    std::filesystem::create_symlink(pty.path, ports / "COM7");
    {
        SystemSerialPort port(L"COM7", CommSettings(baudRate), false);
        port.open();
        intervalLateness(port, pty, lateRounds);
        exchange(port, pty, exchangeRounds);
    }
    std::wclog.rdbuf(log);
    std::filesystem::remove_all(ports);
    return 0;
}
