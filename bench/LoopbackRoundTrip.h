#pragma once

// The round trip of a short message over TCP on loopback, what a device server on the same
// host adds to each poll: the median of echoes through a server on a thread of its own.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace Bench {

namespace LoopbackDetail {

class Socket {
public:
    explicit Socket(int descriptor) : m_descriptor(descriptor) {}
    ~Socket()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return m_descriptor; }

private:
    int m_descriptor;
};

// Every byte read, or false when the peer went away.
inline bool exchange(int descriptor, const std::uint8_t* bytes, std::uint8_t* into, std::size_t size)
{
    if (::send(descriptor, bytes, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size))
        return false;
    for (std::size_t got = 0; got < size;) {
        const ssize_t now = ::recv(descriptor, into + got, size - got, 0);
        if (now <= 0)
            return false;
        got += static_cast<std::size_t>(now);
    }
    return true;
}

inline void noDelay(int descriptor)
{
    const int on = 1;
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace LoopbackDetail

// None when loopback cannot be had.
inline std::optional<std::chrono::duration<double>> loopbackRoundTrip(int echoes = 400)
{
    using namespace LoopbackDetail;
    constexpr std::size_t messageSize = 9; // an exchange request
    Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener.get() < 0 || ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return std::nullopt;

    std::thread server([&listener] {
        Socket peer(::accept(listener.get(), nullptr, nullptr));
        noDelay(peer.get());
        std::array<std::uint8_t, messageSize> message{};
        for (ssize_t got; (got = ::recv(peer.get(), message.data(), message.size(), 0)) > 0;)
            if (::send(peer.get(), message.data(), static_cast<std::size_t>(got), MSG_NOSIGNAL) != got)
                break;
    });
    std::vector<double> samples;
    {
        Socket client(::socket(AF_INET, SOCK_STREAM, 0));
        if (client.get() >= 0 && ::connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            noDelay(client.get());
            std::array<std::uint8_t, messageSize> out{}, back{};
            for (int echo = 0; echo < echoes; ++echo) {
                const auto sent = std::chrono::steady_clock::now();
                if (!exchange(client.get(), out.data(), back.data(), out.size()))
                    break;
                samples.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count());
            }
        }
        // Closing the client ends the server's loop; a failed connect leaves it waiting in accept.
        if (samples.empty())
            ::shutdown(listener.get(), SHUT_RDWR);
    }
    server.join();
    if (samples.empty())
        return std::nullopt;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return std::chrono::duration<double>(samples[samples.size() / 2]);
}

} // namespace Bench
