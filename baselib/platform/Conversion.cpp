#include "baselib/platform/Conversion.h"

#include "baselib/exceptions/BaseMessages.h"
#include "baselib/exceptions/ExceptionTree.h"

#include <boost/format.hpp>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <locale>

namespace KelBase {

namespace {

using LocaleCodecvt = std::codecvt<wchar_t, char, std::mbstate_t>;

// The narrow text of the process's global locale, which may be a multibyte one (UTF-8).
const LocaleCodecvt& processCodecvt() { return std::use_facet<LocaleCodecvt>(std::locale()); }

constexpr char32_t replacementCharacter = 0xFFFD;
constexpr char32_t lastScalarValue = 0x10FFFF;
constexpr char32_t firstSurrogate = 0xD800;
constexpr char32_t lastSurrogate = 0xDFFF;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The bytes a well-formed sequence that starts with `lead` takes, the value bits of the lead
// and the allowed range of the second byte (which rules out overlong forms, surrogates and
// values above U+10FFFF). A length of 0 marks a byte that cannot start a sequence.
struct LeadByte {
    int length = 0;
    char32_t bits = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
};

LeadByte classify(unsigned char lead)
{
    if (lead < 0x80)
        return {1, lead};
    if (lead < 0xC2)
        return {};
    if (lead < 0xE0)
        return {2, char32_t(lead & 0x1F)};
    if (lead < 0xF0)
        return {3, char32_t(lead & 0x0F), static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF)};
    if (lead < 0xF5)
        return {4, char32_t(lead & 0x07), static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF)};
    return {};
}

std::wstring decodeUTF8(const char* data, std::size_t size)
{
    std::wstring wide;
    wide.reserve(size);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    std::size_t position = 0;
    while (position < size) {
        const LeadByte lead = classify(bytes[position++]);
        if (lead.length == 0) {
            wide += wchar_t(replacementCharacter);
            continue;
        }
        char32_t value = lead.bits;
        int taken = 1;
        for (; taken < lead.length && position < size; ++taken, ++position) {
            const unsigned char byte = bytes[position];
            const bool allowed = taken == 1 ? byte >= lead.secondMin && byte <= lead.secondMax
                                            : isContinuation(byte);
            if (!allowed)
                break;
            value = (value << 6) | (byte & 0x3F);
        }
        // A sequence cut short is one maximal subpart; the byte that cut it starts afresh.
        wide += wchar_t(taken == lead.length ? value : replacementCharacter);
    }
    return wide;
}

std::string encodeUTF8(const wchar_t* data, std::size_t size)
{
    std::string bytes;
    bytes.reserve(size);
    for (std::size_t index = 0; index < size; ++index) {
        // wchar_t is signed: a negative value lands above U+10FFFF here.
        char32_t value = static_cast<std::uint32_t>(data[index]);
        if (value > lastScalarValue || (value >= firstSurrogate && value <= lastSurrogate))
            value = replacementCharacter;
        if (value < 0x80) {
            bytes += char(value);
        } else if (value < 0x800) {
            bytes += char(0xC0 | (value >> 6));
            bytes += char(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            bytes += char(0xE0 | (value >> 12));
            bytes += char(0x80 | ((value >> 6) & 0x3F));
            bytes += char(0x80 | (value & 0x3F));
        } else {
            bytes += char(0xF0 | (value >> 18));
            bytes += char(0x80 | ((value >> 12) & 0x3F));
            bytes += char(0x80 | ((value >> 6) & 0x3F));
            bytes += char(0x80 | (value & 0x3F));
        }
    }
    return bytes;
}

} // namespace

std::wstring Conversion::stringFromCCharStr(const std::string& text)
{
    const LocaleCodecvt& codecvt = processCodecvt();
    std::wstring wide(text.size(), L'\0'); // never more characters than bytes
    std::mbstate_t state{};
    const char* from = text.data();
    const char* const end = from + text.size();
    wchar_t* to = wide.data();
    while (from < end) {
        const char* fromNext = from;
        wchar_t* toNext = to;
        codecvt.in(state, from, end, fromNext, to, wide.data() + wide.size(), toNext);
        from = fromNext;
        to = toNext;
        // The output has room for everything, so whatever is left starts with a byte the
        // locale cannot read (or a sequence cut short at the end): it gives U+FFFD.
        if (from < end) {
            *to++ = wchar_t(replacementCharacter);
            ++from;
            state = std::mbstate_t{};
        }
    }
    wide.resize(static_cast<std::size_t>(to - wide.data()));
    return wide;
}

std::wstring Conversion::stringFromCCharStr(const char* text)
{
    return stringFromCCharStr(std::string(text ? text : ""));
}

std::string Conversion::stringToCCharStr(const std::wstring& text)
{
    const LocaleCodecvt& codecvt = processCodecvt();
    std::string narrow(text.size() * static_cast<std::size_t>(std::max(codecvt.max_length(), 1)), '\0');
    std::mbstate_t state{};
    const wchar_t* from = text.data();
    const wchar_t* const end = from + text.size();
    char* to = narrow.data();
    while (from < end) {
        const wchar_t* fromNext = from;
        char* toNext = to;
        codecvt.out(state, from, end, fromNext, to, narrow.data() + narrow.size(), toNext);
        from = fromNext;
        to = toNext;
        if (from < end) {
            *to++ = '?';
            ++from;
            state = std::mbstate_t{};
        }
    }
    narrow.resize(static_cast<std::size_t>(to - narrow.data()));
    return narrow;
}

std::string Conversion::stringToCCharStr(const wchar_t* text)
{
    return stringToCCharStr(std::wstring(text ? text : L""));
}

std::wstring Conversion::stringFromUTF8(const std::string& text) { return decodeUTF8(text.data(), text.size()); }

std::wstring Conversion::stringFromUTF8(const char* text)
{
    return text ? decodeUTF8(text, std::char_traits<char>::length(text)) : std::wstring();
}

std::string Conversion::stringToUTF8(const std::wstring& text) { return encodeUTF8(text.data(), text.size()); }

std::string Conversion::stringToUTF8(const wchar_t* text)
{
    return text ? encodeUTF8(text, std::char_traits<wchar_t>::length(text)) : std::string();
}

void Conversion::throwNonConvertible(const wchar_t* text)
{
    throw NonConvertibleException(
        (boost::wformat(resStr(NumberConversionMessage::NotANumber)) % (text ? text : L"")).str());
}

UTF8String::UTF8String(const wchar_t* text) : m_bytes(Conversion::stringToUTF8(text)) {}

UTF8String::UTF8String(const std::wstring& text) : m_bytes(Conversion::stringToUTF8(text)) {}

UTF8String& UTF8String::operator=(const wchar_t* text)
{
    m_bytes = Conversion::stringToUTF8(text);
    return *this;
}

UTF8String& UTF8String::operator=(const std::wstring& text)
{
    m_bytes = Conversion::stringToUTF8(text);
    return *this;
}

UTF8String UTF8String::fromUTF8(const char* bytes) { return formUTF8(bytes ? bytes : ""); }

UTF8String UTF8String::formUTF8(const std::string& bytes)
{
    UTF8String text;
    text.m_bytes = bytes;
    return text;
}

std::wstring UTF8String::str() const { return Conversion::stringFromUTF8(m_bytes); }

} // namespace KelBase
