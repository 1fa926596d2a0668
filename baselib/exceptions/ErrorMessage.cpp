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
} // namespace

ErrorMessage::ErrorMessage(unsigned long code)
{
    // Known or not is decided by the code: the text of an unknown one is in the language of
    // the messages, "Unknown error 7000" as well as any translation of it.
    if (code > static_cast<unsigned long>(INT_MAX) || !strerrordesc_np(static_cast<int>(code)))
        return;
    char buffer[256];
    const char* narrow = systemText(static_cast<int>(code), buffer, sizeof buffer);
    if (!narrow)
        return;
    const std::wstring wide = KelBase::Conversion::stringFromCCharStr(narrow);
    m_text = new wchar_t[wide.size() + 1];
    std::wmemcpy(m_text, wide.c_str(), wide.size() + 1);
}

ErrorMessage::~ErrorMessage() { delete[] m_text; }

LastErrorMessage::LastErrorMessage() : ErrorMessage(static_cast<unsigned long>(errno)) {}

} // namespace KelWin
