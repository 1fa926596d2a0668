#include "comm/serial/PortName.h"

#include "baselib/platform/Conversion.h"
#include "comm/serial/SerialExceptions.h"
#include "comm/serial/SerialMessages.h"

#include <algorithm>

namespace KelComm::Serial::Internal {

namespace {
constexpr wchar_t portPrefix[] = L"COM";
constexpr std::size_t portPrefixLength = 3;

// Digits and letters of the classic locale only: no other script's digits or case rules.
bool isClassicDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
wchar_t classicUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c; }
} // namespace

std::uint16_t parsePortName(const std::wstring& name)
{
    if (name.empty())
        return 0;
    const auto firstDigit = std::find_if(name.begin(), name.end(), isClassicDigit);
    const bool prefixMatches =
        firstDigit - name.begin() == static_cast<std::ptrdiff_t>(portPrefixLength) &&
        std::equal(name.begin(), firstDigit, portPrefix,
                   [](wchar_t c, wchar_t expected) { return classicUpper(c) == expected; });
    if (!prefixMatches || !std::all_of(firstDigit, name.end(), isClassicDigit))
        throw InvalidSerialPortNameException(KelBase::resStr(PortNameSyntaxMessage::NotComX));
    return KelBase::Conversion::toNumber<std::uint16_t>(std::wstring(firstDigit, name.end()));
}

std::wstring portDisplayName(std::uint16_t number)
{
    return number ? portPrefix + std::to_wstring(number) : std::wstring();
}

} // namespace KelComm::Serial::Internal
