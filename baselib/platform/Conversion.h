#pragma once

#include "baselib/Export.h"

#include <boost/lexical_cast.hpp>

#include <limits>
#include <string>
#include <type_traits>

namespace KelBase {

// Text conversions between wide strings, narrow strings of the process locale and UTF-8.
//
// UTF-8 is decoded strictly: every well-formed sequence gives its scalar value, and each
// maximal ill-formed subpart (a stray or truncated sequence, an overlong form, an encoded
// surrogate, a value above U+10FFFF) gives one U+FFFD. Encoding writes U+FFFD in place of a
// wide character that is not a scalar value (a surrogate, or a value above U+10FFFF).
class KELBASE_EXPORT Conversion {
public:
    // Narrow text of the process's global locale; a byte it cannot read becomes U+FFFD.
    static std::wstring stringFromCCharStr(const std::string& text);
    static std::wstring stringFromCCharStr(const char* text);
    // A character without a narrow form in the process locale becomes '?'.
    static std::string stringToCCharStr(const std::wstring& text);
    static std::string stringToCCharStr(const wchar_t* text);

    static std::wstring stringFromUTF8(const std::string& text);
    static std::wstring stringFromUTF8(const char* text);
    static std::string stringToUTF8(const std::wstring& text);
    static std::string stringToUTF8(const wchar_t* text);

    // The number the whole text spells; anything else throws NonConvertibleException.
    template <class Number>
    static Number toNumber(const std::wstring& text)
    {
        static_assert(std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool> &&
                          !std::is_same_v<Number, wchar_t> && !std::is_same_v<Number, char16_t> &&
                          !std::is_same_v<Number, char32_t>,
                      "toNumber converts to numbers");
        // lexical_cast would wrap "-1" round to the largest unsigned value.
        if constexpr (std::is_unsigned_v<Number>)
            if (text.find(L'-') != std::wstring::npos)
                throwNonConvertible(text.c_str());
        // lexical_cast reads the char types as characters, so small integers go through int.
        using Read = std::conditional_t<std::is_integral_v<Number> && (sizeof(Number) < sizeof(int)),
                                        std::conditional_t<std::is_signed_v<Number>, int, unsigned>, Number>;
        Read value{};
        if (!boost::conversion::try_lexical_convert(text, value))
            throwNonConvertible(text.c_str());
        if constexpr (!std::is_same_v<Read, Number>)
            if (value < std::numeric_limits<Number>::min() || value > std::numeric_limits<Number>::max())
                throwNonConvertible(text.c_str());
        return static_cast<Number>(value);
    }

private:
    [[noreturn]] static void throwNonConvertible(const wchar_t* text);
};

// UTF-8 bytes, given as they are or converted from a wide string.
class KELBASE_EXPORT UTF8String {
public:
    UTF8String() = default;
    UTF8String(const wchar_t* text);
    UTF8String(const std::wstring& text);
    UTF8String& operator=(const wchar_t* text);
    UTF8String& operator=(const std::wstring& text);

    static UTF8String fromUTF8(const char* bytes);
    static UTF8String formUTF8(const std::string& bytes);

    std::wstring str() const;
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

} // namespace KelBase
