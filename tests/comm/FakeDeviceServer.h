#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace KelCommTest {

// A device server that misbehaves on purpose: it listens on a loopback port of its own
// and plays its script on the first connection, in a thread of its own, until the script
// returns or the test ends it.
class FakeDeviceServer {
public:
    // The connection and a flag the script is to give up on.
    using Script = std::function<void(int connection, const std::atomic<bool>& stop)>;

    explicit FakeDeviceServer(Script script, int receiveBuffer_bytes = 0);
    ~FakeDeviceServer();
    FakeDeviceServer(const FakeDeviceServer&) = delete;
    FakeDeviceServer& operator=(const FakeDeviceServer&) = delete;

    // "rfc2217://127.0.0.1:PORT" or "tcp://…".
    std::string url(const std::string& scheme) const;

private:
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A socket listening on a loopback port of its own, which `port` receives.
int listenOnLoopback(std::uint16_t& port, int receiveBuffer_bytes = 0);

// Helpers for scripts. Each gives up when the client left or the stop flag is set.
bool sendAll(int connection, const std::string& bytes, const std::atomic<bool>& stop);
std::string telnetCommand(std::initializer_list<int> bytes);

// Plays a device server that takes COM port control: agrees to the option, answers each
// request with the value asked (or `answer`'s own), keeps every request it received, counts
// the data bytes, and sends `reply` (then closes, if so asked) when the first data byte
// came. A pestering peer asks for an unknown option after each read, and reads slowly.
struct PortControlPeer {
    std::function<std::vector<std::uint8_t>(std::uint8_t command, const std::vector<std::uint8_t>& asked)> answer;
    std::string reply;
    bool closeAfterReply = false;
    bool pester = false;
    std::vector<std::vector<std::uint8_t>> requests;
    std::atomic<std::size_t> dataBytes{0};

    void operator()(int connection, const std::atomic<bool>& stop);
};

} // namespace KelCommTest
