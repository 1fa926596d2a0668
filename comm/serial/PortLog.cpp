#include "comm/serial/PortLog.h"

#include "baselib/platform/Console.h"
#include "baselib/platform/Conversion.h"

namespace KelComm::Serial::Internal {

namespace {
// The callers end their lines; the console writer ends them itself.
void writeLine(KelConsole::Color::ConsoleColor color, std::wstring line)
{
    if (!line.empty() && line.back() == L'\n')
        line.pop_back();
    KelConsole::writeTraceLine(line, color);
}
} // namespace

void logTrace(const std::wstring& line) { writeLine(KelConsole::Color::Green, line); }

void logError(const std::wstring& line) { writeLine(KelConsole::Color::Red, line); }

std::wstring pathText(const std::string& path) { return KelBase::Conversion::stringFromUTF8(path); }

} // namespace KelComm::Serial::Internal
