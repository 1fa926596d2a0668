#include "ServerProcess.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace KelTestSupport {

namespace {
constexpr auto readyBound = std::chrono::seconds(20);
constexpr auto readyProbeInterval = std::chrono::milliseconds(10);
} // namespace

ServerProcess::~ServerProcess()
{
    kill();
}

bool ServerProcess::start(std::vector<std::string> arguments, const std::string& logPath,
                          const std::function<bool()>& ready, std::string& failure)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&m_pid, arguments.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        failure = "cannot start " + arguments.front();
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + readyBound;
    while (!ready()) {
        const bool ended = waitpid(m_pid, nullptr, WNOHANG) == m_pid;
        if (ended)
            m_pid = -1;
        if (ended || std::chrono::steady_clock::now() > end) {
            std::ifstream log(logPath);
            failure = arguments.front() + " did not get ready: " + std::string(std::istreambuf_iterator<char>(log), {});
            kill();
            return false;
        }
        std::this_thread::sleep_for(readyProbeInterval);
    }
    return true;
}

void ServerProcess::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace KelTestSupport
