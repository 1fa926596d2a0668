#include "baselib/platform/Console.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using KelConsole::Color;

struct ProbeOutput {
    std::string out;
    std::string err;
    int status = -1;
};

// One end for the child (its fd 1 or 2) and one for us to read: a raw pseudo-terminal,
// so that the child sees a terminal, or a pipe.
struct Channel {
    int reader = -1;
    int writer = -1;

    explicit Channel(bool terminal)
    {
        if (terminal) {
            termios raw{};
            cfmakeraw(&raw);
            if (openpty(&reader, &writer, nullptr, &raw, nullptr) != 0)
                throw std::runtime_error("openpty failed");
            fcntl(reader, F_SETFD, FD_CLOEXEC);
            fcntl(writer, F_SETFD, FD_CLOEXEC);
        } else {
            int ends[2];
            if (pipe2(ends, O_CLOEXEC) != 0)
                throw std::runtime_error("pipe failed");
            reader = ends[0];
            writer = ends[1];
        }
    }
};

// Runs a probe program with one argument and collects what it wrote until it closed both. Its
// environment is ours without KEL_TRACE, plus `trace` as KEL_TRACE when given.
ProbeOutput runProgram(const char* program, const char* argument, bool stdoutTerminal, bool stderrTerminal,
                       const char* trace = nullptr)
{
    Channel out(stdoutTerminal);
    Channel err(stderrTerminal);
    const char* const arguments[] = {program, argument, nullptr};
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable)
        if (std::strncmp(*variable, "KEL_TRACE=", 10) != 0)
            variables.emplace_back(*variable);
    if (trace)
        variables.push_back(std::string("KEL_TRACE=") + trace);
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out.writer, STDOUT_FILENO);
        dup2(err.writer, STDERR_FILENO);
        execve(program, const_cast<char* const*>(arguments), environment.data());
        _exit(127);
    }
    close(out.writer);
    close(err.writer);

    ProbeOutput output;
    std::array<pollfd, 2> fds{{{out.reader, POLLIN, 0}, {err.reader, POLLIN, 0}}};
    std::array<std::string*, 2> targets{&output.out, &output.err};
    int open = 2;
    while (open > 0 && poll(fds.data(), fds.size(), -1) > 0) {
        for (std::size_t index = 0; index < fds.size(); ++index) {
            if (fds[index].fd < 0 || fds[index].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t count = read(fds[index].fd, buffer, sizeof buffer);
            if (count > 0) {
                targets[index]->append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            // End of a pipe, or EIO from a pseudo-terminal whose other side has gone.
            close(fds[index].fd);
            fds[index].fd = -1;
            --open;
        }
    }
    waitpid(child, &output.status, 0);
    return output;
}

// Runs the console probe in `mode`.
ProbeOutput runProbe(const char* mode, bool stdoutTerminal, bool stderrTerminal)
{
    return runProgram(KEL_CONSOLE_PROBE, mode, stdoutTerminal, stderrTerminal);
}

TEST(ConsoleColor, SgrSequenceOfEachKindOfColor)
{
    const struct {
        Color color;
        const wchar_t* sequence;
    } cases[] = {
        {Color(Color::Black), L"\x1b[30m"},
        {Color(Color::Blue), L"\x1b[34m"},
        {Color(Color::Green), L"\x1b[32m"},
        {Color(Color::Red), L"\x1b[31m"},
        {Color(Color::Brown), L"\x1b[33m"},
        {Color(Color::LightGray), L"\x1b[37m"},
        {Color(Color::DarkGray), L"\x1b[37m"},
        {Color(Color::LightBlue), L"\x1b[94m"},
        {Color(Color::LightRed), L"\x1b[91m"},
        {Color(Color::White), L"\x1b[97m"},
        {Color(Color::Current, Color::Cyan), L"\x1b[46m"},
        {Color(Color::Current, Color::DarkGray), L"\x1b[47m"},
        {Color(Color::Yellow, Color::Blue), L"\x1b[93;44m"},
        {Color(Color::Current, Color::LightMagenta), L"\x1b[105m"},
        {Color(Color::Initial, Color::Initial), L"\x1b[39;49m"},
        {Color(Color::Initial), L"\x1b[39m"},
        {Color(Color::Current, Color::Current), L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KelConsole::sgrSequence(c.color), c.sequence)
            << "colour " << c.color.foreground() << "/" << c.color.background();
}

TEST(ConsoleColor, OtherStreamsGetNothing)
{
    std::wostringstream stream;
    stream << Color::Green << L"x" << Color(Color::Initial, Color::Initial);
    EXPECT_EQ(stream.str(), L"x");
}

TEST(ConsoleColor, SequencesOnlyWhenTheStandardStreamIsATerminal)
{
    const ProbeOutput terminals = runProbe("colors", true, true);
    ASSERT_TRUE(WIFEXITED(terminals.status) && WEXITSTATUS(terminals.status) == 0);
    EXPECT_EQ(terminals.err, "\x1b[32me\x1b[39;49m");
    EXPECT_EQ(terminals.out, "\x1b[37;44mo");

    const ProbeOutput pipes = runProbe("colors", false, false);
    ASSERT_TRUE(WIFEXITED(pipes.status) && WEXITSTATUS(pipes.status) == 0);
    EXPECT_EQ(pipes.err, "e");
    EXPECT_EQ(pipes.out, "o");

    const ProbeOutput mixed = runProbe("colors", false, true);
    EXPECT_EQ(mixed.err, "\x1b[32me\x1b[39;49m");
    EXPECT_EQ(mixed.out, "o");
}

TEST(ConsoleLines, LinesOfTwoThreadsNeverInterleave)
{
    const ProbeOutput output = runProbe("lines", false, true);
    ASSERT_TRUE(WIFEXITED(output.status) && WEXITSTATUS(output.status) == 0);
    const std::string trace = "\x1b[32m" + std::string(120, 'a') + "\x1b[39;49m";
    const std::string report = "\x1b[91m" + std::string(120, 'b') + "\x1b[39;49m";
    int traces = 0;
    int reports = 0;
    std::istringstream lines(output.err);
    for (std::string line; std::getline(lines, line);) {
        if (line == trace)
            ++traces;
        else if (line == report)
            ++reports;
        else
            ADD_FAILURE() << "mixed line: " << line;
    }
    EXPECT_EQ(traces, 300);
    EXPECT_EQ(reports, 300);
}

TEST(ConsoleLines, ProgramsOwnNarrowAndWideWritesKeepWorking)
{
    for (const char* mode : {"narrow", "wide"}) {
        const ProbeOutput output = runProbe(mode, false, false);
        ASSERT_TRUE(WIFEXITED(output.status) && WEXITSTATUS(output.status) == 0) << mode;
        const std::string own = std::string(mode) == "wide" ? "широкий\n" : "узкий\n";
        const std::string round = "трасса\n" + own + "отчёт\n";
        EXPECT_EQ(output.err, round + round) << mode;
    }
}

// The project's programs show trace lines, a library's line as it loads included, only when
// asked for; error reports and their own lines always. Other programs see every line (above).
TEST(ConsoleLines, ProgramsOfTheProjectShowTraceLinesOnlyWhenAsked)
{
    const std::string own = "своё\nотчёт\n";
    const struct {
        const char* argument;
        const char* trace; // KEL_TRACE, or none
        std::string err;
    } cases[] = {
        {"", nullptr, own},
        {"", "0", own},
        {"", "1", "loading\nтрасса\n" + own},
        {"--verbose", nullptr, "трасса\n" + own},
    };
    for (const auto& c : cases) {
        const ProbeOutput output = runProgram(KEL_PROGRAM_TRACE_PROBE, c.argument, false, false, c.trace);
        EXPECT_TRUE(WIFEXITED(output.status) && WEXITSTATUS(output.status) == 0);
        EXPECT_EQ(output.err, c.err) << "'" << c.argument << "' with KEL_TRACE " << (c.trace ? c.trace : "unset");
    }
}

TEST(ConsoleLocale, CyrillicPrintsAsUtf8AfterPlatformInit)
{
    try {
        std::locale("ru_RU.CP866");
        GTEST_SKIP() << "the console locale of this system is not UTF-8";
    } catch (const std::runtime_error&) {
    }
    const ProbeOutput output = runProbe("cyrillic", false, false);
    ASSERT_TRUE(WIFEXITED(output.status) && WEXITSTATUS(output.status) == 0);
    EXPECT_EQ(output.out, "Привет\n");
}

// In a child of its own, with one standard stream closed as its starter left it: the next
// file opened must not take that stream's number.
TEST(ConsoleStreams, AClosedStandardStreamKeepsItsNumberFromLaterFiles)
{
    for (int closed = STDIN_FILENO; closed <= STDERR_FILENO; ++closed) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(closed);
            KelConsole::openClosedStandardStreams();
            const int later = ::open("/dev/null", O_RDONLY);
            ::_exit(later > STDERR_FILENO ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "stream " << closed;
    }
}

} // namespace
