#include "baselib/exceptions/Exception.h"

#include "baselib/platform/Conversion.h"

#include <cstring>

namespace KelBase {

namespace {
constexpr char libraryExceptionText[] = "KEL_EXCEPTION";
}

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return libraryExceptionText; }

RuntimeException::RuntimeException(const wchar_t* text) : m_message(text ? text : L"") {}
RuntimeException::RuntimeException(const std::wstring& text) : m_message(text) {}
RuntimeException::RuntimeException(NoExceptionMessage) {}

const wchar_t* RuntimeException::message() const { return m_message.c_str(); }
void RuntimeException::rethrow() const { throw *this; }
Exception* RuntimeException::clone(const std::wstring& text) const { return new RuntimeException(text); }
Exception* RuntimeException::clone(const wchar_t* text) const { return new RuntimeException(text); }
Exception* RuntimeException::clone() const { return new RuntimeException(*this); }

std::wstring exceptionMessage(const std::exception& error)
{
    const char* text = error.what();
    // A foreign class that happens to return the same text is not trusted with a cast.
    if (std::strcmp(text, libraryExceptionText) == 0)
        if (const auto* libraryError = dynamic_cast<const Exception*>(&error))
            return libraryError->message();
    return Conversion::stringFromCCharStr(text);
}

} // namespace KelBase
