// A program of the project as far as trace lines go: kel_program_traces linked in, and a library
// that writes a trace line as it loads. Writes a trace line, a line of its own and an error
// report to standard error; with --verbose it turns the traces on first.
#include "baselib/platform/Console.h"

#include <clocale>
#include <cstdio>
#include <cstring>

bool loadingTraceWritten();

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    if (argc > 1 && std::strcmp(argv[1], "--verbose") == 0)
        KelConsole::setTraceLinesShown(true);
    KelConsole::writeTraceLine(L"трасса");
    std::fprintf(stderr, "своё\n");
    KelConsole::writeErrorReport(L"отчёт");
    return loadingTraceWritten() ? 0 : 1;
}
