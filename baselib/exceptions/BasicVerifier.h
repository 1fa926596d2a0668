#pragma once

#include "baselib/Export.h"

#include <string>

namespace Threading {

// Texts of failed POSIX-thread calls, for the threading primitives.
class KELBASE_EXPORT BasicVerifier {
protected:
    static std::wstring errorCodeToMessage(int code);
    static std::wstring errnoToMessage();
};

} // namespace Threading
