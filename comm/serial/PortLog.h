#pragma once

#include <string>

// The port's log lines: green for opening and closing, red for failures, each written
// whole to the diagnostic stream under the console lock.
namespace KelComm::Serial::Internal {

void logTrace(const std::wstring& line);
void logError(const std::wstring& line);

// A device path as text for log lines.
std::wstring pathText(const std::string& path);

} // namespace KelComm::Serial::Internal
