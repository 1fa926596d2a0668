#pragma once

#include <termios.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <sys/types.h>

namespace KelComm::Serial {
class SystemSerialPort;
}

namespace KelCommTest {

// The message with which opening the port fails, or "(opened)".
std::wstring openFailure(KelComm::Serial::SystemSerialPort& port);

using SteadyClock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

double elapsedMs(SteadyClock::time_point since);

// The calling thread's id, as /proc names it.
pid_t currentThreadId();

// Waits until that thread of this process sleeps inside the system call `number`, with its
// first argument in [low, high) unless the range is empty: so a test knows that another
// thread is blocked exactly where it means it to be. False when the bound passes first.
bool awaitBlockedIn(pid_t thread, long number, std::chrono::milliseconds bound, std::uintptr_t low = 0,
                    std::uintptr_t high = 0);

// While it lives, the calling thread and the threads it starts run ahead of every ordinary
// process, where the system allows it (else nothing changes): tests that time milliseconds
// then measure the port, not whatever else keeps the machine busy.
class AheadOfOtherLoad {
public:
    AheadOfOtherLoad();
    ~AheadOfOtherLoad();
    AheadOfOtherLoad(const AheadOfOtherLoad&) = delete;
    AheadOfOtherLoad& operator=(const AheadOfOtherLoad&) = delete;

private:
    int m_previousPolicy = -1;
    int m_previousPriority = 0;
};

// The test's end of a line, where it plays the device.
class PeerEnd {
public:
    virtual ~PeerEnd() = default;

    void send(const std::vector<std::uint8_t>& bytes) const;
    void send(const std::string& text) const;
    // Whatever arrives within the time, up to count bytes.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds within) const;

protected:
    virtual int descriptor() const = 0;
};

// A pseudo-terminal made raw at once. The port opens the slave by its path; the test talks
// through the master. The pair keeps a slave descriptor of its own, so the master does not
// see a hang-up while the port closes and reopens.
class PtyPair : public PeerEnd {
public:
    PtyPair();
    ~PtyPair() override;
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    // The device's own line rate, as a port opened without settings finds it.
    void setDeviceSpeed(speed_t speed) const;
    // The line vanishes: the port's side then sees a hang-up.
    void closeMaster();
    void closeSlave();

private:
    int descriptor() const override { return m_master; }

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// A raw stream server on a loopback port of its own, standing in for a device server whose
// relay adds no delays of its own: the test plays the device on the connection it accepted.
class LoopbackPeer : public PeerEnd {
public:
    LoopbackPeer();
    ~LoopbackPeer() override;
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // tcp://127.0.0.1:PORT
    std::string url() const;
    // Takes the port's connection, dropping the one before; false when none comes in time.
    bool accept(std::chrono::milliseconds within);

private:
    int descriptor() const override { return m_connection; }

    int m_listener = -1;
    int m_connection = -1;
    std::uint16_t m_port = 0;
};

// A port map, an empty sysfs tree, a folder of device nodes (dev) and a stable-name folder
// (under dev/serial/by-id, so that its links ../../ttyX lead to dev/ttyX) in a temporary folder, named by the environment
// variables the library reads, so that no test ever reaches a real serial device.
class PortEnvironment : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // COMn -> target in the port map.
    void mapPort(unsigned number, const std::string& target) const;
    std::wstring mapPty(unsigned number, const PtyPair& pty) const;
    // COMn as a file naming a device server by its first line.
    std::wstring mapServer(unsigned number, const std::string& firstLine) const;

    std::filesystem::path m_root;
    std::filesystem::path m_portsDir;
    std::filesystem::path m_sysfsRoot;
    std::filesystem::path m_stableNamesDir;
};

// Captures what the library writes to std::wclog while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::wstring text() const;

private:
    std::wstringstream m_buffer;
    std::wstreambuf* m_previous = nullptr;
};

} // namespace KelCommTest
