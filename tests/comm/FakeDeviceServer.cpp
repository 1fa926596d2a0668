#include "FakeDeviceServer.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KelCommTest {

namespace {
constexpr int stopLookInterval_ms = 10;
constexpr std::uint8_t iac = 255;
constexpr std::uint8_t sb = 250;
constexpr std::uint8_t se = 240;
constexpr std::uint8_t doOption = 253;
constexpr std::uint8_t comPortOption = 44;

// False when nothing came before the stop flag or the client left.
bool awaitReadable(int fd, const std::atomic<bool>& stop)
{
    pollfd readable{fd, POLLIN, 0};
    while (!stop) {
        const int ready = poll(&readable, 1, stopLookInterval_ms);
        if (ready > 0)
            return true;
        if (ready < 0)
            return false;
    }
    return false;
}

// A COM port control subnegotiation: IAC SB 44 command value… IAC SE.
std::string portControl(std::uint8_t command, const std::vector<std::uint8_t>& value)
{
    std::string bytes = telnetCommand({iac, sb, comPortOption, command});
    for (const std::uint8_t byte : value) {
        bytes.push_back(static_cast<char>(byte));
        if (byte == iac)
            bytes.push_back(static_cast<char>(iac));
    }
    return bytes + telnetCommand({iac, se});
}
} // namespace

int listenOnLoopback(std::uint16_t& port, int receiveBuffer_bytes)
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener >= 0 && receiveBuffer_bytes)
        setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_bytes, sizeof receiveBuffer_bytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port = ntohs(address.sin_port);
    return listener;
}

FakeDeviceServer::FakeDeviceServer(Script script, int receiveBuffer_bytes)
{
    m_listener = listenOnLoopback(m_port, receiveBuffer_bytes);
    m_thread = std::thread([this, script = std::move(script)] {
        if (!awaitReadable(m_listener, m_stop))
            return;
        const int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        script(connection, m_stop);
        close(connection);
    });
}

FakeDeviceServer::~FakeDeviceServer()
{
    m_stop = true;
    m_thread.join();
    close(m_listener);
}

std::string FakeDeviceServer::url(const std::string& scheme) const
{
    return scheme + "://127.0.0.1:" + std::to_string(m_port);
}

bool sendAll(int connection, const std::string& bytes, const std::atomic<bool>& stop)
{
    std::size_t sent = 0;
    pollfd writable{connection, POLLOUT, 0};
    while (sent < bytes.size() && !stop) {
        if (poll(&writable, 1, stopLookInterval_ms) <= 0)
            continue;
        const ssize_t count = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (count > 0)
            sent += static_cast<std::size_t>(count);
    }
    return sent == bytes.size();
}

std::string telnetCommand(std::initializer_list<int> bytes)
{
    std::string command;
    for (const int byte : bytes)
        command.push_back(static_cast<char>(byte));
    return command;
}

void PortControlPeer::operator()(int connection, const std::atomic<bool>& stop)
{
    if (!sendAll(connection, telnetCommand({iac, doOption, comPortOption}), stop))
        return;
    enum class State { Data, Command, Option, SubData, SubCommand } state = State::Data;
    std::vector<std::uint8_t> body;
    char chunk[4096];
    const auto takeData = [&] {
        if (dataBytes++ || reply.empty())
            return true;
        return sendAll(connection, reply, stop) && !closeAfterReply;
    };
    while (awaitReadable(connection, stop)) {
        const ssize_t count = recv(connection, chunk, pester ? 512 : sizeof chunk, 0);
        if (count <= 0)
            return;
        if (pester) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (!sendAll(connection, telnetCommand({iac, doOption, 99}), stop))
                return;
        }
        for (ssize_t i = 0; i < count; ++i) {
            const auto byte = static_cast<std::uint8_t>(chunk[i]);
            switch (state) {
            case State::Data:
                state = byte == iac ? State::Command : State::Data;
                if (byte != iac && !takeData())
                    return;
                break;
            case State::Command:
                state = byte == sb ? State::SubData : (byte >= 251 && byte <= 254 ? State::Option : State::Data);
                body.clear();
                if (byte == iac && !takeData())
                    return;
                break;
            case State::Option:
                state = State::Data;
                break;
            case State::SubData:
                if (byte == iac)
                    state = State::SubCommand;
                else
                    body.push_back(byte);
                break;
            case State::SubCommand:
                if (byte == iac) {
                    body.push_back(byte);
                    state = State::SubData;
                    break;
                }
                state = State::Data;
                if (body.size() < 2 || body[0] != comPortOption)
                    break;
                const std::uint8_t command = body[1];
                const std::vector<std::uint8_t> asked(body.begin() + 2, body.end());
                requests.push_back(std::vector<std::uint8_t>(body.begin() + 1, body.end()));
                const std::vector<std::uint8_t> given = answer ? answer(command, asked) : asked;
                if (!sendAll(connection, portControl(static_cast<std::uint8_t>(command + 100), given), stop))
                    return;
                break;
            }
        }
    }
}

} // namespace KelCommTest
