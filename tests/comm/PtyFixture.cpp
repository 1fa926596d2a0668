#include "PtyFixture.h"

#include "FakeDeviceServer.h"

#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SystemSerialPort.h"

#include "baselib/platform/Console.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace KelCommTest {

namespace fs = std::filesystem;

double elapsedMs(SteadyClock::time_point since) { return Milliseconds(SteadyClock::now() - since).count(); }

pid_t currentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

bool awaitBlockedIn(pid_t thread, long number, std::chrono::milliseconds bound, std::uintptr_t low,
                    std::uintptr_t high)
{
    constexpr auto probeInterval = std::chrono::microseconds(100);
    const std::string path = "/proc/self/task/" + std::to_string(thread) + "/syscall";
    const auto end = SteadyClock::now() + bound;
    do {
        // "running" while on a processor; the call's number and arguments while asleep in it.
        std::ifstream probe(path);
        long seen = -1;
        std::uintptr_t argument = 0;
        if (probe >> seen >> std::hex >> argument && seen == number &&
            (low == high || (argument >= low && argument < high)))
            return true;
        std::this_thread::sleep_for(probeInterval);
    } while (SteadyClock::now() < end);
    return false;
}

AheadOfOtherLoad::AheadOfOtherLoad()
{
    sched_param previous{};
    int policy = 0;
    if (pthread_getschedparam(pthread_self(), &policy, &previous) != 0)
        return;
    const sched_param lowestRealTime{sched_get_priority_min(SCHED_FIFO)};
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowestRealTime) != 0)
        return;
    m_previousPolicy = policy;
    m_previousPriority = previous.sched_priority;
}

AheadOfOtherLoad::~AheadOfOtherLoad()
{
    if (m_previousPolicy < 0)
        return;
    const sched_param previous{m_previousPriority};
    pthread_setschedparam(pthread_self(), m_previousPolicy, &previous);
}

PtyPair::PtyPair()
{
    termios raw{};
    cfmakeraw(&raw);
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_slavePath = name;
}

PtyPair::~PtyPair()
{
    closeMaster();
    closeSlave();
}

void PeerEnd::send(const std::vector<std::uint8_t>& bytes) const
{
    if (write(descriptor(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("peer write failed");
}

void PeerEnd::send(const std::string& text) const { send(std::vector<std::uint8_t>(text.begin(), text.end())); }

std::vector<std::uint8_t> PeerEnd::receive(std::size_t count, std::chrono::milliseconds within) const
{
    std::vector<std::uint8_t> bytes;
    const auto end = SteadyClock::now() + within;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - SteadyClock::now());
        pollfd fd{descriptor(), POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            break;
        std::uint8_t chunk[256];
        const ssize_t got = read(descriptor(), chunk, std::min(sizeof chunk, count - bytes.size()));
        if (got <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

void PtyPair::setDeviceSpeed(speed_t speed) const
{
    termios record{};
    tcgetattr(m_master, &record);
    cfsetspeed(&record, speed);
    tcsetattr(m_master, TCSANOW, &record);
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        close(m_master);
    m_master = -1;
}

void PtyPair::closeSlave()
{
    if (m_slave >= 0)
        close(m_slave);
    m_slave = -1;
}

std::wstring openFailure(KelComm::Serial::SystemSerialPort& port)
{
    try {
        port.open();
    } catch (const KelComm::Serial::SerialPortSystemException& error) {
        return error.message();
    }
    return L"(opened)";
}

LoopbackPeer::LoopbackPeer() { m_listener = listenOnLoopback(m_port); }

LoopbackPeer::~LoopbackPeer()
{
    if (m_connection >= 0)
        close(m_connection);
    close(m_listener);
}

std::string LoopbackPeer::url() const { return "tcp://127.0.0.1:" + std::to_string(m_port); }

bool LoopbackPeer::accept(std::chrono::milliseconds within)
{
    pollfd fd{m_listener, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(within.count())) <= 0)
        return false;
    if (m_connection >= 0)
        close(m_connection);
    m_connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    // Each send leaves at once, so the gaps the port sees are the ones the test made.
    const int on = 1;
    return m_connection >= 0 && setsockopt(m_connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

void PortEnvironment::SetUp()
{
    char pattern[] = "/tmp/kelcomm-test-XXXXXX";
    m_root = mkdtemp(pattern);
    m_portsDir = m_root / "ports";
    m_sysfsRoot = m_root / "sys";
    m_stableNamesDir = m_root / "dev" / "serial" / "by-id";
    fs::create_directories(m_portsDir);
    fs::create_directories(m_sysfsRoot);
    fs::create_directories(m_root / "dev");
    setenv("KELCOMM_PORTS_DIR", m_portsDir.c_str(), 1);
    setenv("KELCOMM_DEV_DIR", (m_root / "dev").c_str(), 1);
    setenv("KELCOMM_SYSFS_ROOT", m_sysfsRoot.c_str(), 1);
    setenv("KELCOMM_BY_ID_DIR", m_stableNamesDir.c_str(), 1);
}

void PortEnvironment::TearDown()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void PortEnvironment::mapPort(unsigned number, const std::string& target) const
{
    fs::create_symlink(target, m_portsDir / ("COM" + std::to_string(number)));
}

std::wstring PortEnvironment::mapPty(unsigned number, const PtyPair& pty) const
{
    mapPort(number, pty.slavePath());
    return L"COM" + std::to_wstring(number);
}

std::wstring PortEnvironment::mapServer(unsigned number, const std::string& firstLine) const
{
    std::ofstream(m_portsDir / ("COM" + std::to_string(number))) << firstLine << "\n";
    return L"COM" + std::to_wstring(number);
}

LogCapture::LogCapture()
{
    const KelConsole::Internal::ScopedConsoleLock lock;
    m_previous = std::wclog.rdbuf(m_buffer.rdbuf());
}

LogCapture::~LogCapture()
{
    const KelConsole::Internal::ScopedConsoleLock lock;
    std::wclog.rdbuf(m_previous);
}

std::wstring LogCapture::text() const
{
    const KelConsole::Internal::ScopedConsoleLock lock;
    return m_buffer.str();
}

} // namespace KelCommTest
