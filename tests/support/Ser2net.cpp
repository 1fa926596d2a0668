#include "Ser2net.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KelTestSupport {

namespace fs = std::filesystem;

namespace {
constexpr unsigned listeningState = 0x0A;
} // namespace

std::uint16_t Ser2net::freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free loopback port");
    close(fd);
    return ntohs(address.sin_port);
}

fs::path Ser2net::program()
{
    for (const char* directory : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"}) {
        const fs::path candidate = fs::path(directory) / "ser2net";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

Ser2net::Ser2net(const std::vector<std::string>& devicePaths, Accepter accepter) : m_accepter(accepter)
{
    char pattern[] = "/tmp/kel-ser2net-XXXXXX";
    m_directory = mkdtemp(pattern);
    std::ofstream config(m_directory / "ser2net.yaml");
    config << "%YAML 1.1\n---\n";
    for (std::size_t i = 0; i < devicePaths.size(); ++i) {
        m_ports.push_back(freePort());
        config << "connection: &device" << i << "\n"
               << "  accepter: " << (accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
               << "127.0.0.1," << m_ports.back() << "\n"
               << "  connector: serialdev," << devicePaths[i] << ",115200n81,local\n"
               << "  options:\n    kickolduser: true\n    chardelay: false\n    mdns: false\n";
    }
}

Ser2net::~Ser2net()
{
    kill();
    std::error_code ignored;
    fs::remove_all(m_directory, ignored);
}

bool Ser2net::listening() const
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    std::size_t found = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote;
        unsigned state = 0;
        fields >> slot >> local >> remote >> std::hex >> state;
        const std::uint16_t port = static_cast<std::uint16_t>(std::stoul(local.substr(local.find(':') + 1), nullptr, 16));
        for (const std::uint16_t wanted : m_ports)
            found += state == listeningState && port == wanted && local.rfind("0100007F:", 0) == 0;
    }
    return found == m_ports.size();
}

bool Ser2net::start(std::string& failure)
{
    return m_process.start({program().string(), "-n", "-d", "-c", (m_directory / "ser2net.yaml").string(), "-P",
                            (m_directory / "ser2net.pid").string()},
                           (m_directory / "ser2net.log").string(), [this] { return listening(); }, failure);
}

void Ser2net::kill()
{
    m_process.kill();
}

std::string Ser2net::url(std::size_t device) const
{
    return std::string(m_accepter == Accepter::Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" +
           std::to_string(m_ports.at(device));
}

} // namespace KelTestSupport
