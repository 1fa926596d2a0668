#pragma once

#include "baselib/Export.h"

namespace KelWin {

// The system's text for an error number (errno values on this platform), or null when the
// system has none for it. Owns the text.
class KELBASE_EXPORT ErrorMessage {
public:
    explicit ErrorMessage(unsigned long code);
    ~ErrorMessage();
    ErrorMessage(const ErrorMessage&) = delete;
    ErrorMessage& operator=(const ErrorMessage&) = delete;

    const wchar_t* text() const { return m_text; }
    operator const wchar_t*() const { return m_text; }

private:
    wchar_t* m_text = nullptr;
};

// The text of the calling thread's errno.
class KELBASE_EXPORT LastErrorMessage : public ErrorMessage {
public:
    LastErrorMessage();
};

} // namespace KelWin
