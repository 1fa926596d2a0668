#include "MosquittoBroker.h"

#include "Ser2net.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace KelTestSupport {

namespace fs = std::filesystem;

namespace {
constexpr int portAttempts = 3;

bool accepts(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return connected;
}

void addPassword(const fs::path& file, const MosquittoBroker::Account& account)
{
    const std::string command = "mosquitto_passwd -b '" + file.string() + "' '" + account.name + "' '" +
                                account.password + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("mosquitto_passwd failed for " + account.name);
}
} // namespace

MosquittoBroker::MosquittoBroker(const std::vector<Account>& accounts, const std::string& acl) : m_port(Ser2net::freePort())
{
    char pattern[] = "/tmp/vpanel-mosquitto-XXXXXX";
    m_directory = mkdtemp(pattern);
    std::ofstream(m_directory / "passwd").close();
    fs::permissions(m_directory / "passwd", fs::perms::owner_read | fs::perms::owner_write);
    for (const Account& account : accounts)
        addPassword(m_directory / "passwd", account);
    std::ofstream(m_directory / "acl") << acl;
    writeConfiguration();
}

void MosquittoBroker::writeConfiguration() const
{
    std::ofstream config(m_directory / "mosquitto.conf");
    // Run as root, the broker would become the user "mosquitto", who cannot read this folder.
    const passwd* self = getpwuid(getuid());
    if (self)
        config << "user " << self->pw_name << "\n";
    config << "listener " << m_port << " 127.0.0.1\n"
           << "allow_anonymous false\n"
           << "password_file " << (m_directory / "passwd").string() << "\n"
           << "acl_file " << (m_directory / "acl").string() << "\n"
           << "persistence false\n"
           << "set_tcp_nodelay true\n"
           << "log_dest stderr\nlog_type all\n";
}

MosquittoBroker::~MosquittoBroker()
{
    kill();
    std::error_code ignored;
    fs::remove_all(m_directory, ignored);
}

bool MosquittoBroker::start(std::string& failure)
{
    // A port found free is free for anyone, a client's own end of a connection included.
    for (int attempt = 1;; ++attempt) {
        if (m_process.start({"/usr/sbin/mosquitto", "-c", (m_directory / "mosquitto.conf").string()},
                            (m_directory / "mosquitto.log").string(), [this] { return accepts(m_port); }, failure))
            return m_started = true;
        if (m_started || attempt == portAttempts || failure.find("Address already in use") == std::string::npos)
            return false;
        m_port = Ser2net::freePort();
        writeConfiguration();
    }
}

std::string MosquittoBroker::secretFile(const std::string& secret) const
{
    const fs::path file = m_directory / "client.pass";
    std::ofstream(file) << secret;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    return file.string();
}

void MosquittoBroker::kill()
{
    m_process.kill();
}

} // namespace KelTestSupport
