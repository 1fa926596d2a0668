#pragma once

#include <atomic>
#include <string>

namespace KelComm::LayerInterfaces::Internal {

// "'obj:<className>#<n>'", n being the next value of the class's serial counter (the first
// object gets 1).
std::wstring nextObjectName(const wchar_t* className, std::atomic<int>& serial);

// The trace line of a constructor or destructor: its full name, a space, the object name.
void traceLifetime(const wchar_t* function, const std::wstring& objectName);

} // namespace KelComm::LayerInterfaces::Internal
