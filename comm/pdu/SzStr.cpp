#include "comm/pdu/SzStr.h"

#include "baselib/platform/Conversion.h"
#include "comm/pdu/Builder.h"
#include "comm/pdu/Parser.h"

#include <algorithm>

namespace KelComm::PDU {

namespace {

std::string utf8UpToNul(const std::wstring& text)
{
    return KelBase::Conversion::stringToUTF8(text.substr(0, text.find(L'\0')));
}

// The text together with the 0 that std::string keeps after it.
ConstBytes withTerminator(const std::string& bytes)
{
    const auto* first = reinterpret_cast<const unsigned char*>(bytes.c_str());
    return {first, first + bytes.size() + 1};
}

} // namespace

SzStr::SzStr(const std::wstring& text) : m_utf8(utf8UpToNul(text)) {}

SzStr::SzStr(const wchar_t* text) : m_utf8(text ? KelBase::Conversion::stringToUTF8(text) : std::string()) {}

SzStr& SzStr::operator=(const std::wstring& text)
{
    m_utf8 = utf8UpToNul(text);
    return *this;
}

SzStr& SzStr::operator=(const wchar_t* text)
{
    return *this = SzStr(text);
}

std::wstring SzStr::str() const { return KelBase::Conversion::stringFromUTF8(m_utf8); }

Builder& operator<<(Builder& builder, const SzStr& text)
{
    builder.pushBack(withTerminator(text.utf8()));
    return builder;
}

Builder& operator>>(const SzStr& text, Builder& builder)
{
    builder.pushFront(withTerminator(text.utf8()));
    return builder;
}

Parser& operator>>(Parser& parser, SzStr& text)
{
    if (parser.atEnd())
        return parser;
    const ConstBytes rest = parser.rest();
    const unsigned char* terminator = std::find(rest.begin, rest.end, 0);
    text.m_utf8.assign(rest.begin, terminator);
    parser.skip(static_cast<std::size_t>(terminator - rest.begin) + (terminator != rest.end ? 1 : 0));
    return parser;
}

} // namespace KelComm::PDU
