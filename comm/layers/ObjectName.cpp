#include "comm/layers/ObjectName.h"

#include "baselib/platform/Console.h"

#include <boost/format.hpp>

namespace KelComm::LayerInterfaces::Internal {

std::wstring nextObjectName(const wchar_t* className, std::atomic<int>& serial)
{
    return (boost::wformat(L"'obj:%s#%d'") % className % (serial.fetch_add(1) + 1)).str();
}

void traceLifetime(const wchar_t* function, const std::wstring& objectName)
{
    KelConsole::writeTraceLine(function + (L' ' + objectName));
}

} // namespace KelComm::LayerInterfaces::Internal
