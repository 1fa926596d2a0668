#include "comm/serial/PortLog.h"

#include "baselib/platform/Console.h"
#include "baselib/platform/Conversion.h"

#include <iostream>

namespace KelComm::Serial::Internal {

namespace {
void writeLine(KelConsole::Color::ConsoleColor color, const std::wstring& line)
{
    const KelConsole::Internal::ScopedConsoleLock lock;
    std::wclog.clear();
    std::wclog << KelConsole::Color(color) << line
               << KelConsole::Color(KelConsole::Color::Initial, KelConsole::Color::Initial) << std::flush;
}
} // namespace

void logTrace(const std::wstring& line) { writeLine(KelConsole::Color::Green, line); }

void logError(const std::wstring& line) { writeLine(KelConsole::Color::Red, line); }

std::wstring pathText(const std::string& path) { return KelBase::Conversion::stringFromUTF8(path); }

} // namespace KelComm::Serial::Internal
