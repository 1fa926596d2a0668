#pragma once

#include "comm/Export.h"

#include <optional>
#include <string>

namespace KelComm::Serial {

// A device node that the user may not open for reading and writing, and the group that
// owns it: joining that group is what lets the user in.
struct DeniedAccess {
    std::wstring devicePath;
    std::wstring group;
};

// Whether the file mode of COMn's device node keeps the calling user out; nothing for a
// port that is free to open, missing, or refused for another reason (in use, say).
KELCOMM_EXPORT std::optional<DeniedAccess> deniedAccess(const std::wstring& portName);

} // namespace KelComm::Serial
