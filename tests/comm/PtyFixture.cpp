#include "PtyFixture.h"

#include "baselib/platform/Console.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
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

void PtyPair::send(const std::vector<std::uint8_t>& bytes) const
{
    if (write(m_master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pty write failed");
}

void PtyPair::send(const std::string& text) const { send(std::vector<std::uint8_t>(text.begin(), text.end())); }

std::vector<std::uint8_t> PtyPair::receive(std::size_t count, std::chrono::milliseconds within) const
{
    std::vector<std::uint8_t> bytes;
    const auto end = SteadyClock::now() + within;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - SteadyClock::now());
        pollfd fd{m_master, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            break;
        std::uint8_t chunk[256];
        const ssize_t got = read(m_master, chunk, std::min(sizeof chunk, count - bytes.size()));
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

void PortEnvironment::SetUp()
{
    char pattern[] = "/tmp/kelcomm-test-XXXXXX";
    m_root = mkdtemp(pattern);
    m_portsDir = m_root / "ports";
    m_sysfsRoot = m_root / "sys";
    m_stableNamesDir = m_root / "dev" / "serial" / "by-id";
    fs::create_directories(m_portsDir);
    fs::create_directories(m_sysfsRoot);
    setenv("KELCOMM_PORTS_DIR", m_portsDir.c_str(), 1);
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
