#pragma once

#include "comm/Export.h"

#include <string>

namespace KelComm::PDU {

class Builder;
class Parser;

// A text field: UTF-8 bytes ended by one 0 byte on the wire. The text ends at its first NUL
// character, since anything after it could not be told apart from the next field.
class KELCOMM_EXPORT SzStr {
public:
    SzStr() = default;
    SzStr(const std::wstring& text);
    // A null pointer gives the empty text.
    SzStr(const wchar_t* text);
    SzStr& operator=(const std::wstring& text);
    SzStr& operator=(const wchar_t* text);

    std::wstring str() const;
    // The bytes as they go on the wire, without the terminator; bytes read from a block are
    // kept as they came, even when they are not valid UTF-8.
    const std::string& utf8() const { return m_utf8; }

    friend bool operator==(const SzStr& a, const SzStr& b) { return a.m_utf8 == b.m_utf8; }
    friend bool operator!=(const SzStr& a, const SzStr& b) { return a.m_utf8 != b.m_utf8; }

    friend KELCOMM_EXPORT Parser& operator>>(Parser& parser, SzStr& text);

private:
    std::string m_utf8;
};

// Appends the bytes and their 0 terminator.
KELCOMM_EXPORT Builder& operator<<(Builder& builder, const SzStr& text);
// Puts the bytes and their 0 terminator in front of the block.
KELCOMM_EXPORT Builder& operator>>(const SzStr& text, Builder& builder);
// At the end of the block the text is left as it was; otherwise it takes the bytes up to the
// first 0 or the end of the block, and the parser moves past that 0.
KELCOMM_EXPORT Parser& operator>>(Parser& parser, SzStr& text);

} // namespace KelComm::PDU
