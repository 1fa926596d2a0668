#pragma once

#include "ServerProcess.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace KelTestSupport {

// The ser2net device server serving serial devices on loopback ports of its own, started
// and stopped by a test. Each device gets one port; the server drops an older client for a
// newer one and forwards bytes at once.
class Ser2net {
public:
    enum class Accepter { Rfc2217, RawTcp };

    // The server's program, or an empty path when it is not installed.
    static std::filesystem::path program();
    // A loopback port nothing listens on now.
    static std::uint16_t freePort();

    Ser2net(const std::vector<std::string>& devicePaths, Accepter accepter);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Starts the server and returns once all its ports listen; false with the server's own
    // output in `failure` when they do not within a generous bound.
    bool start(std::string& failure);
    // Ends the server at once, as a crash or a pulled cable would.
    void kill();

    // rfc2217://127.0.0.1:PORT or tcp://127.0.0.1:PORT of the device with that index.
    std::string url(std::size_t device = 0) const;

private:
    bool listening() const;

    std::filesystem::path m_directory;
    Accepter m_accepter;
    std::vector<std::uint16_t> m_ports;
    ServerProcess m_process;
};

} // namespace KelTestSupport
