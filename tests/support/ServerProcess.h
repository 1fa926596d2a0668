#pragma once

#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace KelTestSupport {

// A server program a test starts and ends at will, its output kept in a log file.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the program (the first argument, a path) with its output appended to `logPath`
    // and returns once `ready` holds; false with the log in `failure` when the program ends or
    // is not ready within a generous bound.
    bool start(std::vector<std::string> arguments, const std::string& logPath, const std::function<bool()>& ready,
               std::string& failure);
    // Ends the program at once, as a crash would.
    void kill();

private:
    pid_t m_pid = -1;
};

} // namespace KelTestSupport
