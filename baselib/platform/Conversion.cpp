#include "baselib/platform/Conversion.h"

#include <locale>

namespace KelBase {

namespace {
const std::ctype<wchar_t>& processCtype() { return std::use_facet<std::ctype<wchar_t>>(std::locale()); }
} // namespace

std::wstring Conversion::stringFromCCharStr(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    processCtype().widen(text.data(), text.data() + text.size(), wide.data());
    return wide;
}

std::wstring Conversion::stringFromCCharStr(const char* text)
{
    return stringFromCCharStr(std::string(text ? text : ""));
}

std::string Conversion::stringToCCharStr(const std::wstring& text)
{
    std::string narrow(text.size(), '\0');
    processCtype().narrow(text.data(), text.data() + text.size(), '?', narrow.data());
    return narrow;
}

std::string Conversion::stringToCCharStr(const wchar_t* text)
{
    return stringToCCharStr(std::wstring(text ? text : L""));
}

} // namespace KelBase
