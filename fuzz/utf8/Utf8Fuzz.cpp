// The UTF-8 codec on arbitrary bytes: decoding gives only scalar values, re-encoding and
// decoding again is stable, well-formed input round-trips exactly, and arbitrary wide
// characters encode to UTF-8 that decodes back (non-scalar values as U+FFFD).
#include "baselib/platform/Conversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using KelBase::Conversion;

constexpr wchar_t replacement = 0xFFFD;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isScalarValue(wchar_t c)
{
    const auto value = static_cast<std::uint32_t>(c);
    return value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

void checkDecoding(const std::string& bytes)
{
    const std::wstring wide = Conversion::stringFromUTF8(bytes);
    require(wide.size() <= bytes.size());
    for (wchar_t c : wide)
        require(isScalarValue(c));

    const std::string encoded = Conversion::stringToUTF8(wide);
    require(Conversion::stringFromUTF8(encoded) == wide);
    // Without a replacement the input was well-formed, so it must come back unchanged.
    if (wide.find(replacement) == std::wstring::npos)
        require(encoded == bytes);

    // The C-string form stops at the first NUL.
    const std::string head = bytes.substr(0, bytes.find('\0'));
    require(Conversion::stringFromUTF8(head.c_str()) == Conversion::stringFromUTF8(head));
}

void checkEncoding(const std::uint8_t* data, std::size_t size)
{
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), data, wide.size() * sizeof(wchar_t));
    const std::wstring decoded = Conversion::stringFromUTF8(Conversion::stringToUTF8(wide));
    require(decoded.size() == wide.size());
    for (std::size_t index = 0; index < wide.size(); ++index)
        require(decoded[index] == (isScalarValue(wide[index]) ? wide[index] : replacement));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkDecoding(std::string(reinterpret_cast<const char*>(data), size));
    checkEncoding(data, size);
    return 0;
}
