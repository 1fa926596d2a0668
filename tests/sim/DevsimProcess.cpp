#include "tests/sim/DevsimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern char** environ;

namespace SimTest {

namespace {
constexpr auto startTimeout = std::chrono::seconds(10);
constexpr auto stopTimeout = std::chrono::seconds(5);
constexpr auto waitStep = std::chrono::milliseconds(10);

std::vector<char*> argv(std::vector<std::string>& words)
{
    std::vector<char*> pointers;
    for (auto& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

pid_t spawn(std::vector<std::string> arguments, int input, int output, int error)
{
    arguments.insert(arguments.begin(), DEVSIM_PATH);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, error, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, DEVSIM_PATH, &actions, nullptr, argv(arguments).data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        throw std::runtime_error("cannot start " DEVSIM_PATH);
    return pid;
}

std::string readLine(int fd, std::chrono::steady_clock::time_point deadline)
{
    std::string line;
    char character = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0)
            continue;
        if (read(fd, &character, 1) != 1)
            break;
        if (character == '\n')
            return line;
        line.push_back(character);
    }
    throw std::runtime_error("vpanel-devsim did not come up: " + line);
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[256];
    for (ssize_t size; (size = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(size));
    return text;
}

int waitFor(pid_t pid, std::chrono::steady_clock::duration within)
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(waitStep);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
} // namespace

DevsimProcess::DevsimProcess(const std::vector<std::string>& arguments)
{
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    m_pid = spawn(arguments, input[0], output[1], STDERR_FILENO);
    close(input[0]);
    close(output[1]);
    m_input = input[1];
    m_output = output[0];
    try {
        m_readyLine = readLine(m_output, std::chrono::steady_clock::now() + startTimeout);
    } catch (...) {
        stop(SIGKILL);
        close(m_input);
        close(m_output);
        throw;
    }
}

DevsimProcess::~DevsimProcess()
{
    if (m_pid > 0 && stop(SIGTERM) < 0)
        stop(SIGKILL);
    close(m_input);
    close(m_output);
}

void DevsimProcess::sendLine(const std::string& line) const
{
    const std::string text = line + "\n";
    if (write(m_input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to vpanel-devsim");
}

int DevsimProcess::stop(int signal)
{
    if (m_pid <= 0)
        return -1;
    kill(m_pid, signal);
    const int status = waitFor(m_pid, stopTimeout);
    if (status >= 0)
        m_pid = -1;
    return status;
}

std::pair<int, std::string> DevsimProcess::run(const std::vector<std::string>& arguments)
{
    int error[2];
    if (pipe2(error, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = spawn(arguments, nothing, nothing, error[1]);
    close(error[1]);
    close(nothing);
    std::string text = readAll(error[0]);
    close(error[0]);
    return {waitFor(pid, stopTimeout), text};
}

} // namespace SimTest
