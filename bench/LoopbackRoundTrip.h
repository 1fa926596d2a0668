#pragma once

// The round trip of a short message over TCP on loopback, what a device server on the same
// host adds to each poll: the median of echoes through a server on a thread of its own.

#include <boost/asio/buffer.hpp>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace Bench {

// None when loopback cannot be had.
inline std::optional<std::chrono::duration<double>> loopbackRoundTrip(int echoes = 400)
{
    namespace asio = boost::asio;
    using asio::ip::tcp;
    using Message = std::array<std::uint8_t, 9>; // an exchange request
    asio::io_context context;
    boost::system::error_code error;
    tcp::acceptor acceptor(context);
    tcp::socket client(context);
    tcp::socket served(context);
    // The listening socket's backlog completes the connection before it is accepted.
    const tcp::endpoint loopback(asio::ip::address_v4::loopback(), 0);
    acceptor.open(loopback.protocol(), error);
    if (!error)
        acceptor.bind(loopback, error);
    if (!error)
        acceptor.listen(1, error);
    if (!error)
        client.connect(acceptor.local_endpoint(), error);
    if (!error)
        acceptor.accept(served, error);
    if (error)
        return std::nullopt;
    client.set_option(tcp::no_delay(true), error);
    served.set_option(tcp::no_delay(true), error);

    std::thread server([&served] {
        Message message{};
        boost::system::error_code ended;
        while (asio::read(served, asio::buffer(message), ended) == message.size() &&
               asio::write(served, asio::buffer(message), ended) == message.size()) {
        }
    });
    std::vector<double> samples;
    Message out{}, back{};
    for (int echo = 0; echo < echoes; ++echo) {
        const auto sent = std::chrono::steady_clock::now();
        if (asio::write(client, asio::buffer(out), error) != out.size() ||
            asio::read(client, asio::buffer(back), error) != back.size())
            break;
        samples.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count());
    }
    // The server's read ends with the connection.
    client.close(error);
    server.join();
    if (samples.empty())
        return std::nullopt;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return std::chrono::duration<double>(samples[samples.size() / 2]);
}

} // namespace Bench
