#pragma once

#include "ServerProcess.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace KelTestSupport {

// A mosquitto broker of the test's own on a free loopback port, with a password file and an
// ACL. It keeps nothing on disk: a restart forgets every retained message.
class MosquittoBroker {
public:
    struct Account {
        std::string name;
        std::string password;
    };

    // The accounts and the ACL in mosquitto's acl_file syntax.
    MosquittoBroker(const std::vector<Account>& accounts, const std::string& acl);
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Starts the broker (again, on the same port) and returns once it listens; false with the
    // broker's own output in `failure` when it does not within a generous bound. A first start
    // moves to another port when its own was taken meanwhile.
    bool start(std::string& failure);
    // Ends the broker at once, as a crash would.
    void kill();

    // A file with the secret alone, readable by its owner only, as a client program reads its
    // password; its path.
    std::string secretFile(const std::string& secret) const;

    std::uint16_t port() const { return m_port; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(m_port); }

private:
    void writeConfiguration() const;

    std::filesystem::path m_directory;
    std::uint16_t m_port;
    bool m_started = false;
    ServerProcess m_process;
};

} // namespace KelTestSupport
