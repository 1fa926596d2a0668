#pragma once

#include "baselib/platform/Console.h"

#include <iostream>
#include <sstream>
#include <string>

// Catches the libraries' trace lines (std::wclog) for its lifetime.
class TraceCapture {
public:
    TraceCapture()
    {
        const KelConsole::Internal::ScopedConsoleLock lock;
        m_previous = std::wclog.rdbuf(m_buffer.rdbuf());
    }

    ~TraceCapture()
    {
        const KelConsole::Internal::ScopedConsoleLock lock;
        std::wclog.rdbuf(m_previous);
    }

    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::wstring text() const
    {
        const KelConsole::Internal::ScopedConsoleLock lock;
        return m_buffer.str();
    }

    std::size_t count(const std::wstring& line) const
    {
        const std::wstring all = text();
        std::size_t found = 0;
        for (auto position = all.find(line); position != std::wstring::npos; position = all.find(line, position + 1))
            ++found;
        return found;
    }

private:
    std::wostringstream m_buffer;
    std::wstreambuf* m_previous = nullptr;
};
