#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace SimTest {

// vpanel-devsim run as a child process with pipes on its standard input and output. The
// constructor returns once the program has published its port.
class DevsimProcess {
public:
    explicit DevsimProcess(const std::vector<std::string>& arguments);
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // The first line the program printed: "COMn -> /dev/pts/k".
    const std::string& readyLine() const { return m_readyLine; }
    void sendLine(const std::string& line) const;
    // Sends the signal and returns the exit status, or -1 when it did not end in time.
    int stop(int signal);

    // Runs the program to its end and returns its exit status and what it wrote to stderr.
    static std::pair<int, std::string> run(const std::vector<std::string>& arguments);

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    std::string m_readyLine;
};

} // namespace SimTest
