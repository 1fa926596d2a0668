#include "baselib/exceptions/ErrorMessage.h"

#include "baselib/platform/Conversion.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

namespace KelWin {

namespace {
// The GNU strerror_r returns either its own static text or the buffer.
const char* systemText(int code, char* buffer, std::size_t size)
{
    return strerror_r(code, buffer, size);
}

bool isUnknownErrorText(const char* text) { return std::strncmp(text, "Unknown error", 13) == 0; }
} // namespace

ErrorMessage::ErrorMessage(unsigned long code)
{
    if (code > static_cast<unsigned long>(INT_MAX))
        return;
    char buffer[256];
    const char* narrow = systemText(static_cast<int>(code), buffer, sizeof buffer);
    if (!narrow || isUnknownErrorText(narrow))
        return;
    const std::wstring wide = KelBase::Conversion::stringFromCCharStr(narrow);
    m_text = new wchar_t[wide.size() + 1];
    std::wmemcpy(m_text, wide.c_str(), wide.size() + 1);
}

ErrorMessage::~ErrorMessage() { delete[] m_text; }

LastErrorMessage::LastErrorMessage() : ErrorMessage(static_cast<unsigned long>(errno)) {}

} // namespace KelWin
