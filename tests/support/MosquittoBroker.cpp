#include "MosquittoBroker.h"

#include "Ser2net.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace KelTestSupport {

namespace fs = std::filesystem;

namespace {
constexpr auto listenBound = std::chrono::seconds(20);
constexpr auto listenProbeInterval = std::chrono::milliseconds(10);

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
    const std::string programPath = "/usr/sbin/mosquitto";
    const std::string configPath = (m_directory / "mosquitto.conf").string();
    const std::string logPath = (m_directory / "mosquitto.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> arguments = {programPath, "-c", configPath};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, programPath.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        failure = "cannot start " + programPath;
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + listenBound;
    while (!accepts(m_port)) {
        const bool ended = waitpid(m_pid, nullptr, WNOHANG) == m_pid;
        if (ended)
            m_pid = -1;
        if (ended || std::chrono::steady_clock::now() > end) {
            std::ifstream log(logPath);
            failure = "mosquitto did not listen: " + std::string(std::istreambuf_iterator<char>(log), {});
            kill();
            return false;
        }
        std::this_thread::sleep_for(listenProbeInterval);
    }
    return true;
}

void MosquittoBroker::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace KelTestSupport
