// Writes console output for ConsoleTest, which runs it with its standard output and error
// on pseudo-terminals or pipes. A process of its own, so that the test process never
// writes wide text to its own standard streams.
#include "baselib/platform/Console.h"
#include "baselib/platform/PlatformInit.h"

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace {

using KelConsole::Color;

constexpr int linesPerThread = 300;

int writeColors()
{
    std::wcerr << Color::Green << L"e" << Color(Color::Initial, Color::Initial) << std::flush;
    std::wcout << Color(Color::DarkGray, Color::Blue) << L"o" << std::flush;
    return 0;
}

// Two threads write whole lines to the two streams of standard error at once. The first
// holds the console lock around each line too, which must be allowed: the lock is recursive.
int writeLines()
{
    std::thread trace([] {
        const std::wstring text(120, L'a');
        for (int line = 0; line < linesPerThread; ++line) {
            const KelConsole::Internal::ScopedConsoleLock lock;
            KelConsole::writeTraceLine(text);
        }
    });
    std::thread report([] {
        const std::wstring text(120, L'b');
        for (int line = 0; line < linesPerThread; ++line)
            KelConsole::writeErrorReport(text);
    });
    trace.join();
    report.join();
    return 0;
}

// Library lines between the program's own narrow or wide writes to standard error: neither
// kind may be silenced by the lines, nor the lines by it.
int writeAroundLines(bool wide)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    for (int round = 0; round < 2; ++round) {
        KelConsole::writeTraceLine(L"трасса");
        if (wide)
            std::wcerr << L"широкий" << std::endl;
        else
            std::fprintf(stderr, "узкий\n");
        KelConsole::writeErrorReport(L"отчёт");
    }
    return 0;
}

int writeCyrillic(int argc, char** argv)
{
    const KelBase::KelPlatformInit init(argc, argv);
    std::wcout << L"Привет" << std::endl;
    return std::wcout ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "colors")
        return writeColors();
    if (mode == "lines")
        return writeLines();
    if (mode == "narrow" || mode == "wide")
        return writeAroundLines(mode == "wide");
    if (mode == "cyrillic")
        return writeCyrillic(argc, argv);
    return 2;
}
