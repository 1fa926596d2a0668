#pragma once

#include "comm/serial/NetworkLine.h"

namespace KelComm::Serial::Internal {

// A raw byte stream to a device server, whose line the server alone sets.
class KELCOMM_EXPORT RawNetworkLine final : public NetworkLine {
public:
    std::size_t writeSome(const void* data, std::size_t size) override;

private:
    friend class NetworkLine;
    using NetworkLine::NetworkLine;

    // A server that refuses the connection (its line busy) says so and closes at once: the
    // line waits a round trip for that before it is handed out.
    void start(std::chrono::milliseconds connectTime) override;
    void takeReceived(const char* bytes, std::size_t size) override { queueReceived(bytes, size); }
};

} // namespace KelComm::Serial::Internal
