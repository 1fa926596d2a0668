#pragma once

#include "baselib/Export.h"

#include <string>

namespace KelBase {

// Text conversions between wide strings, narrow strings of the process locale and UTF-8.
class KELBASE_EXPORT Conversion {
public:
    static std::wstring stringFromCCharStr(const std::string& text);
    static std::wstring stringFromCCharStr(const char* text);
    // A character without a narrow form in the process locale becomes '?'.
    static std::string stringToCCharStr(const std::wstring& text);
    static std::string stringToCCharStr(const wchar_t* text);

    static std::wstring stringFromUTF8(const std::string& text);
    static std::wstring stringFromUTF8(const char* text);
    static std::string stringToUTF8(const std::wstring& text);
    static std::string stringToUTF8(const wchar_t* text);

private:
    [[noreturn]] static void throwNonConvertible(const wchar_t* text);
};

} // namespace KelBase
